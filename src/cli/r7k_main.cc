// r7k: the operations of r7kprog from a terminal. See `r7k --help`.

#include <iostream>
#include <string>
#include <vector>

#include "cli/command.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  r7k::cli::CommandIo io{std::cout, std::cerr};
  const int status = r7k::cli::RunCli(args, io);
  std::cout.flush();
  return status;
}
