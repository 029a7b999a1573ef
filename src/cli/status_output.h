#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

// What a box command tells the user on the error stream while it runs: message boxes, the
// link trace (from the link thread) and a progress bar (from the dialog thread), kept apart
// so that no line is torn.
namespace r7k::cli {

// Bytes on the wire in printable form: printable ASCII as it is, "\r", "\n", "\\" and every
// other byte as "\xHH".
std::string PrintableBytes(std::string_view bytes);

// The figures of a running module operation.
struct ProgressFigures {
  std::string_view operation;  // "Read Module"
  uint32_t commands_done = 0;
  uint32_t commands_total = 0;
  uint64_t bytes_done = 0;
  uint64_t bytes_total = 0;
  double seconds = 0;  // since the operation started
};

// One line of progress. bar_width 0 gives the plain form for logs:
//   "Read Module: 512/2048 commands, 131072/524288 bytes, 1.0 s, 128.0 KiB/s"
// otherwise a bar of that many characters leads:
//   "Read Module [#####-----] 512/2048 commands, 128/512 KiB, 1.0 s, 128.0 KiB/s"
std::string FormatProgress(const ProgressFigures& figures, int bar_width);

// The error stream, shared by threads.
class StatusOutput {
 public:
  // `terminal`: the stream is a terminal, so the progress bar redraws one line.
  StatusOutput(std::ostream& err, bool terminal) : err_(err), terminal_(terminal) {}

  bool terminal() const { return terminal_; }
  // A whole line (the newline is added); a progress bar on screen is cleared first.
  void Line(std::string_view text);
  // Progress: on a terminal redraws the bar line, otherwise a plain line.
  void Progress(std::string_view text);
  // Ends the bar line on a terminal (after the last progress of an operation).
  void EndProgress();

 private:
  std::mutex mutex_;
  std::ostream& err_;
  bool terminal_;
  bool bar_shown_ = false;
};

// Decides when progress is shown: on a terminal at most ten times a second, otherwise a line
// every few seconds; the first and the last figures of an operation always.
class ProgressRenderer {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr auto kTerminalEvery = std::chrono::milliseconds(100);
  static constexpr auto kPlainEvery = std::chrono::seconds(3);

  explicit ProgressRenderer(StatusOutput& out) : out_(out) {}

  // One report of the operation; `finished` on its last one.
  void Update(std::string_view operation, uint32_t commands_done, uint32_t commands_total,
              uint64_t bytes_done, uint64_t bytes_total, bool finished, Clock::time_point now);

 private:
  StatusOutput& out_;
  std::string operation_;
  Clock::time_point started_;
  std::optional<Clock::time_point> last_shown_;
};

}  // namespace r7k::cli
