#pragma once

// Version and copyright of the program, fixed at build time.
namespace r7k {
const char* ProgramVersion();
const char* ProgramCopyright();
}  // namespace r7k
