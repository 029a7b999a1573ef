#include "testing/file_modes.h"

namespace r7k {

bool FileModesKeepUsOut() { return false; }
bool PosixFileSystem() { return false; }

}  // namespace r7k
