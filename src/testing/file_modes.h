#pragma once

namespace r7k {

// Whether a file's mode bits keep this process out (not when running as root, and never on
// Windows, where chmod only sets the read-only attribute): tests of refused files need it.
bool FileModesKeepUsOut();

// Whether the file system has links, mode bits and a sysfs (not on Windows).
bool PosixFileSystem();

}  // namespace r7k
