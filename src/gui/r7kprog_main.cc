// r7kprog: the desktop programmer for the memory modules of the R7000 knitting machine.

#include "gui/gui_app.h"

int main(int argc, char** argv) { return r7k::RunGui(argc, argv); }
