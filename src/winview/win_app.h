#pragma once

// r7kprog.exe: the desktop program on Windows with the Win32 view.

namespace r7k {

// r7kprog [FILE.r7v] | --screenshots DIR | --user-path ... | --help | --version, from the
// process's own (UTF-16) command line. Returns the exit status.
int RunWinGui();

}  // namespace r7k
