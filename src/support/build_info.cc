#include "support/build_info.h"

#include "support/build_info_values.h"

namespace r7k {
const char* ProgramVersion() { return kR7kVersion; }
const char* ProgramCopyright() { return kR7kCopyright; }
}  // namespace r7k
