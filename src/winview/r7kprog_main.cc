// r7kprog.exe: the desktop programmer for the memory modules of the R7000 knitting machine,
// with the Win32 view of its dialogs.

#include "winview/win_app.h"

int main() { return r7k::RunWinGui(); }
