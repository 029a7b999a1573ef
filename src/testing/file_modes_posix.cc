#include "testing/file_modes.h"

#include <unistd.h>

namespace r7k {

bool FileModesKeepUsOut() { return geteuid() != 0; }
bool PosixFileSystem() { return true; }

}  // namespace r7k
