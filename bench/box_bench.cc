// The box link end to end: r7k reads and writes the demo module on a simulated box over a
// pseudo-terminal, without pacing and with the box paced at 460,800 and 921,600 baud. Reports
// commands per second, where the time goes (our stack between an answer and the next command,
// the box and the line from a command to its answer), and the ratio to the wire time of the
// bytes exchanged plus the 10 ms pauses between the pieces of long commands. The simulated
// box paces only its answers (a pseudo-terminal takes the host's commands at once) and wakes
// on whole milliseconds, and a busy machine delays its wake-ups, so the ratio carries the
// box's timing too: the share of our stack is printed apart.
//
//   r7k_box_bench [--quick]     (--quick: the unpaced runs only)

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command.h"
#include "link/link_trace.h"
#include "module/builtin_images.h"
#include "platform/config_files.h"
#include "sim/box_simulator.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// One crossing of the link, as the trace saw it.
struct Crossing {
  Clock::time_point at;
  bool to_box;
  size_t bytes;
  std::string head;  // the first characters, to tell the kind of command
};

class Recorder {
 public:
  Recorder() {
    r7k::SetLinkTraceHook([this](bool to_box, std::string_view bytes) {
      const auto now = Clock::now();
      std::lock_guard lock(mutex_);
      crossings_.push_back({now, to_box, bytes.size(), std::string(bytes.substr(0, 8))});
    });
  }
  ~Recorder() { r7k::SetLinkTraceHook(nullptr); }
  std::vector<Crossing> Take() {
    std::lock_guard lock(mutex_);
    return std::move(crossings_);
  }

 private:
  std::mutex mutex_;
  std::vector<Crossing> crossings_;
};

struct Figures {
  size_t commands = 0;
  uint64_t bytes = 0;               // both ways
  double seconds = 0;               // first command of the phase to its last answer
  double stack = 0;                 // answer handed back to the next command sent
  double box_and_line = 0;          // command sent to its answer handed back
  double pauses = 0;                // 10 ms between the 64-byte pieces of a command
  std::vector<double> round_trips;  // command sent to answer back, each
};

bool InPhase(const std::string& head, bool read) {
  // The simulated box is of revision 2: the read is binary (the check's text reads are not
  // part of it).
  if (read) return head.starts_with("binread") || head.starts_with("b16read");
  return head.starts_with("erase40") || head.starts_with("ws40");
}

// The commands of the phase (read rows, or the erase and the data rows) and their answers.
Figures Measure(const std::vector<Crossing>& all, bool read) {
  Figures f;
  const Crossing* first = nullptr;
  const Crossing* last_answer = nullptr;
  for (size_t i = 0; i + 1 < all.size(); ++i) {
    const Crossing& c = all[i];
    if (!c.to_box || !InPhase(c.head, read) || all[i + 1].to_box) continue;
    const Crossing& answer = all[i + 1];
    if (!first) first = &c;
    if (last_answer) f.stack += std::chrono::duration<double>(c.at - last_answer->at).count();
    f.round_trips.push_back(std::chrono::duration<double>(answer.at - c.at).count());
    f.box_and_line += f.round_trips.back();
    f.pauses += double((c.bytes + 63) / 64 - 1) * 0.010;
    f.bytes += c.bytes + answer.bytes;
    ++f.commands;
    last_answer = &answer;
  }
  if (first && last_answer)
    f.seconds = std::chrono::duration<double>(last_answer->at - first->at).count();
  return f;
}

void Report(const char* what, Figures f, uint32_t baud) {
  if (f.commands == 0) {
    std::printf("  %-6s no commands seen\n", what);
    return;
  }
  std::printf(
      "  %-6s %5zu commands in %6.2f s: %7.0f commands/s; per command %6.3f ms in our "
      "stack, %6.3f ms box and line",
      what, f.commands, f.seconds, f.commands / f.seconds, 1000 * f.stack / f.commands,
      1000 * f.box_and_line / f.commands);
  if (baud) {
    const double wire = double(f.bytes) * 10 / baud + f.pauses;
    std::printf("; wire %.2f s (%.2f s of pauses), ratio %.3f, our stack %.1f%% of the wire", wire,
                f.pauses, f.seconds / wire, 100 * f.stack / wire);
  }
  std::sort(f.round_trips.begin(), f.round_trips.end());
  auto at = [&](double share) {
    return 1000 * f.round_trips[size_t(share * (f.round_trips.size() - 1))];
  };
  std::printf("\n         round trip median %.3f ms, 90%% %.3f ms, 99%% %.3f ms, longest %.3f ms\n",
              at(0.5), at(0.9), at(0.99), at(1.0));
}

int Run(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  r7k::cli::CommandIo io{out, err};
  const int status = r7k::cli::RunCli(args, io);
  if (status != 0)
    std::fprintf(stderr, "r7k %s failed (%d):\n%s", args[0].c_str(), status, err.str().c_str());
  return status;
}

// One round: read the demo module, then write it back, with the box paced at `baud` (0: none).
bool Round(const fs::path& dir, uint32_t baud) {
  const fs::path config = dir / (baud ? "config-" + std::to_string(baud) : "config-fast");
  ::setenv("R7K_CONFIG_DIR", config.c_str(), 1);
  // The link opens the port at the profile's rate; the box paces at the rate the host set.
  r7k::WriteProfileString("R7kProg.ini", "Options", "BaudRate",
                          std::to_string(baud ? baud : 921600));
  r7k::BoxOptions options;
  options.pace = baud != 0;
  std::string error;
  auto box = r7k::BoxSimulator::Start(options, &error);
  if (!box) {
    std::fprintf(stderr, "cannot start the simulated box: %s\n", error.c_str());
    return false;
  }
  const std::string module = (dir / "read.r7v").string();
  fs::remove(module);
  std::printf("%s:\n", baud ? (std::to_string(baud) + " baud, paced").c_str() : "no pacing");
  {
    Recorder recorder;
    if (Run({"read", module, "--port", box->PortName(), "--yes"}) != 0) return false;
    Report("read", Measure(recorder.Take(), true), baud);
  }
  {
    Recorder recorder;
    if (Run({"write", module, "--port", box->PortName(), "--no-verify"}) != 0) return false;
    Report("write", Measure(recorder.Take(), false), baud);
  }
  box->Stop();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const bool quick = argc > 1 && std::string(argv[1]) == "--quick";
  char pattern[] = "/tmp/r7k-bench-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const fs::path dir = pattern;
  bool ok = Round(dir, 0);
  if (ok && !quick) ok = Round(dir, 460800) && Round(dir, 921600);
  fs::remove_all(dir);
  return ok ? 0 : 1;
}
