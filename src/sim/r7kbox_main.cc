// r7kbox: the programmer box on a pseudo-terminal. Prints the port name on its first line and
// serves until it is killed (or hangs up on purpose).

#include <signal.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "sim/box_simulator.h"

namespace {

constexpr const char* kUsage =
    "Usage: r7kbox [--image FILE] [--chip CODE] [--no-card] [--revision N] [--16bit]\n"
    "              [--baud N] [--pace] [--erase-ms MS] [--fault SPEC]... [--seed N] [--log FILE]\n"
    "\n"
    "Plays the R7000 programmer box on a pseudo-terminal. The first line of output is the\n"
    "port name to use (pts/N).\n"
    "\n"
    "  --image FILE   flash image of 524288 bytes; changes are saved to it (a missing file\n"
    "                 is created with the built-in demo module, also the default content)\n"
    "  --chip CODE    maker and device (and sector-0 status) in hex of a chip the program\n"
    "                 knows (01A4, C2A4...); default 20E200\n"
    "  --no-card      no module in the slot\n"
    "  --revision N   model revision 0-3 (default 2; 2 and up read in binary)\n"
    "  --16bit        a 16-bit box\n"
    "  --baud N       answer only a host at this rate\n"
    "  --pace         send no faster than the line rate\n"
    "  --erase-ms MS  how long an erase takes (default 100)\n"
    "  --fault SPEC   silence-after=N, drop-every=N, drop-rate=P, corrupt-every=N,\n"
    "                 gap-every=N[:MS], line-error-every=N, slow-erase[=MS], hangup-after=N\n"
    "  --seed N       seed for the faults (default 1)\n"
    "  --log FILE     append one line per command received\n";

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
  }
  r7k::BoxOptions options;
  std::string error;
  if (!r7k::ParseBoxArguments(args, &options, &error)) {
    std::fprintf(stderr, "r7kbox: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  // Signals are taken by sigtimedwait below, so the flash is saved before the program ends.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  auto sim = r7k::BoxSimulator::Start(std::move(options), &error);
  if (!sim) {
    std::fprintf(stderr, "r7kbox: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s\n", sim->PortName().c_str());
  std::fflush(stdout);
  const timespec tick{0, 100'000'000};
  while (!sim->Finished()) {
    if (sigtimedwait(&stop_signals, nullptr, &tick) > 0) break;
  }
  sim->Stop();
  return 0;
}
