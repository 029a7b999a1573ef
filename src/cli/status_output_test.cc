#include "cli/status_output.h"

#include <gtest/gtest.h>

#include <sstream>

namespace r7k::cli {
namespace {

using namespace std::chrono_literals;

TEST(PrintableBytes, ControlAndBinaryBytesAreEscaped) {
  EXPECT_EQ(PrintableBytes("version\r"), "version\\r");
  EXPECT_EQ(PrintableBytes(std::string("b\\\n?\0\xFF", 6)), "b\\\\\\n?\\x00\\xFF");
}

TEST(FormatProgress, PlainAndBarForms) {
  const ProgressFigures half{"Read Module", 1024, 2048, 262144, 524288, 2.0};
  EXPECT_EQ(FormatProgress(half, 0),
            "Read Module: 1024/2048 commands, 262144/524288 bytes, 2.0 s, 128.0 KiB/s");
  EXPECT_EQ(FormatProgress(half, 10),
            "Read Module [#####-----] 1024/2048 commands, 256/512 KiB, 2.0 s, 128.0 KiB/s");
  // No rate in the first moments; a total of 0 (nothing known yet) draws an empty bar; a write
  // that skipped pieces may end above its lowered total and still draws a full bar.
  EXPECT_EQ(FormatProgress({"Read Module", 0, 0, 0, 524288, 0.05}, 4),
            "Read Module [----] 0/0 commands, 0/512 KiB, 0.1 s");
  EXPECT_EQ(FormatProgress({"Erase Module", 1, 3, 0, 0, 0.3}, 0),
            "Erase Module: 1/3 commands, 0.3 s");
  EXPECT_EQ(FormatProgress({"Write Module", 9, 8, 1024, 1024, 1.0}, 4),
            "Write Module [####] 9/8 commands, 1/1 KiB, 1.0 s, 1.0 KiB/s");
}

TEST(ProgressRenderer, PlainLinesEveryFewSecondsWithFirstAndLast) {
  std::ostringstream err;
  StatusOutput out(err, false);
  ProgressRenderer renderer(out);
  const auto t0 = ProgressRenderer::Clock::time_point{};
  renderer.Update("Read Module", 1, 2048, 256, 524288, false, t0);
  renderer.Update("Read Module", 2, 2048, 512, 524288, false, t0 + 1s);  // too soon
  renderer.Update("Read Module", 3, 2048, 768, 524288, false, t0 + 3s);
  out.Line("Read Module: Command mismatch!");
  renderer.Update("Read Module", 2048, 2048, 524288, 524288, true, t0 + 4s);
  EXPECT_EQ(err.str(),
            "Read Module: 1/2048 commands, 256/524288 bytes, 0.0 s\n"
            "Read Module: 3/2048 commands, 768/524288 bytes, 3.0 s, 0.2 KiB/s\n"
            "Read Module: Command mismatch!\n"
            "Read Module: 2048/2048 commands, 524288/524288 bytes, 4.0 s, 128.0 KiB/s\n");
}

TEST(ProgressRenderer, TerminalRedrawsOneLineAndMessagesClearIt) {
  std::ostringstream err;
  StatusOutput out(err, true);
  ProgressRenderer renderer(out);
  const auto t0 = ProgressRenderer::Clock::time_point{};
  renderer.Update("Erase Module", 0, 3, 0, 0, false, t0);
  renderer.Update("Erase Module", 1, 3, 0, 0, false, t0 + 50ms);  // too soon
  out.Line("trace");
  renderer.Update("Erase Module", 3, 3, 0, 0, true, t0 + 1s);
  // The next operation starts its clock anew.
  renderer.Update("Read Module", 0, 2048, 0, 524288, false, t0 + 2s);
  const std::string bar0 = "Erase Module [" + std::string(30, '-') + "] 0/3 commands, 0.0 s";
  const std::string bar3 = "Erase Module [" + std::string(30, '#') + "] 3/3 commands, 1.0 s";
  const std::string read0 =
      "Read Module [" + std::string(30, '-') + "] 0/2048 commands, 0/512 KiB, 0.0 s";
  EXPECT_EQ(err.str(), "\r" + bar0 + "\033[K" + "\r\033[Ktrace\n" + "\r" + bar3 + "\033[K\n" +
                           "\r" + read0 + "\033[K");
}

}  // namespace
}  // namespace r7k::cli
