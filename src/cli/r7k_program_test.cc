// Runs the built r7k program itself: exit statuses and the streams as a shell sees them.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <vector>

#include "cli/cli_fixture.h"
#include "testing/shell.h"

namespace r7k::cli {
namespace {

// A program built beside this test program (build/bin).
std::string Program(const std::string& name) {
  return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / name).string();
}

using Result = ::r7k::testing::ShellResult;
using ::r7k::testing::RunShell;

// The README's first command: the demo module read from the simulated box, then listed.
TEST(R7kProgram, ReadsTheDemoModuleFromTheSimulatedBox) {
  ScratchDir dir;
  const std::string file = dir.File("demo.r7v");
  const std::string r7k = "R7K_CONFIG_DIR='" + dir.File("config") + "' '" + Program("r7k") + "'";
  const Result read = RunShell(r7k + " read '" + file + "' --sim 2>&1 >/dev/null");
  EXPECT_EQ(read.status, 0) << read.out;
  // Not a terminal: plain progress lines, the last one complete.
  EXPECT_NE(read.out.find("Read Module: 2050/2050 commands, 524288/524288 bytes"),
            std::string::npos)
      << read.out;
  EXPECT_EQ(RunShell(r7k + " ls '" + file + "' | head -1").out,
            "   FC _0000 98304  98320  16   \n");
}

// At a terminal (script(1) gives it one) r7k asks what --yes would answer.
TEST(R7kProgram, EraseAsksAtATerminalAndDoesWhatTheUserAnswers) {
  ScratchDir dir;
  const std::string flash = dir.File("flash.bin");
  const auto erase = [&](const std::string& answer) {
    return RunShell("printf '" + answer + "' | R7K_CONFIG_DIR='" + dir.File("config") +
                    "' script -qec \"'" + Program("r7k") + "' erase --sim='" + flash +
                    "'\" /dev/null 2>&1");
  };
  const Result no = erase("n\\n");
  EXPECT_EQ(no.status, 1) << no.out;
  EXPECT_NE(no.out.find("Erase Module: Are you sure? [y/N]"), std::string::npos) << no.out;
  EXPECT_NE(no.out.find("answered no to \"Are you sure?\"; the module in the box is unchanged."),
            std::string::npos)
      << no.out;
  const std::vector<uint8_t> before = testing::ReadBytes(flash);
  ASSERT_TRUE(std::any_of(before.begin(), before.end(), [](uint8_t b) { return b != 0xFF; }));
  const Result yes = erase("y\\n");
  EXPECT_EQ(yes.status, 0) << yes.out;
  EXPECT_EQ(testing::ReadBytes(flash), std::vector<uint8_t>(before.size(), 0xFF));
}

TEST(R7kProgram, ExitStatusesAndPipedOutput) {
  ASSERT_TRUE(std::filesystem::exists(Program("r7k")));
  ScratchDir dir;
  const std::string file = dir.File("rom.r7v");
  const std::string r7k = "'" + Program("r7k") + "'";
  EXPECT_EQ(RunShell(r7k + " builtin R7kRom -o '" + file + "'").status, 0);
  EXPECT_EQ(RunShell(r7k + " ls '" + file + "' | head -1").out,
            "   FC T0001 32768  32809  41   \n");
  EXPECT_EQ(RunShell(r7k + " --help").status, 0);
  EXPECT_EQ(RunShell(r7k + " ls --help").status, 0);
  const Result unknown = RunShell(r7k + " lss 2>&1");
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.out.find("Did you mean 'ls'?"), std::string::npos);
  EXPECT_EQ(RunShell(r7k + " ls 2>/dev/null").status, 2);
  const Result missing = RunShell(r7k + " ls /nonexistent/x.r7v 2>&1 >/dev/null");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "Cannot load file /nonexistent/x.r7v, not found\n");
}

// --- Stopped from outside: real signals against r7kbox on a pseudo-terminal ----------------

// A program run in the background with its output in files.
class Background {
 public:
  Background(const std::vector<std::string>& args, const std::string& out, const std::string& err) {
    pid_ = fork();
    if (pid_ == 0) {
      if (!freopen(out.c_str(), "w", stdout) || !freopen(err.c_str(), "w", stderr)) _exit(126);
      std::vector<char*> argv;
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
  }
  ~Background() {
    if (pid_ > 0 && status_ < 0) {
      kill(pid_, SIGKILL);
      Wait();
    }
  }
  void Signal(int signal) { kill(pid_, signal); }
  // The exit status, or 128 + the signal that ended it.
  int Wait() {
    int status = 0;
    if (status_ < 0 && waitpid(pid_, &status, 0) == pid_)
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return status_;
  }

 private:
  pid_t pid_ = -1;
  int status_ = -1;
};

std::string FileText(const std::string& path) {
  const auto bytes = testing::ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

// Waits until `done` holds, up to `seconds`.
bool WaitFor(const std::function<bool()>& done, double seconds) {
  for (int i = 0; i < seconds * 50; ++i) {
    if (done()) return true;
    usleep(20000);
  }
  return done();
}

class Interrupted : public ::testing::Test {
 protected:
  void SetUp() override {
    flash_ = dir_.File("flash.r7v");
    log_ = dir_.File("box.log");
    module_ = dir_.File("mine.r7v");
    // The file is the demo module with other bytes in its patterns, so a write changes the flash.
    RunShell("'" + Program("r7k") + "' builtin demo -o '" + flash_ + "'");
    mine_ = testing::ReadBytes(flash_);
    for (size_t i = 0x20000; i < 0x30000; ++i) mine_[i] = uint8_t(i * 7);
    testing::WriteBytes(module_, mine_);
  }
  // Starts the box, paced at the line rate so that an operation lasts long enough to stop.
  std::string StartBox(std::vector<std::string> more = {}) {
    std::vector<std::string> args = {Program("r7kbox"), "--image", flash_, "--pace", "--log", log_};
    args.insert(args.end(), more.begin(), more.end());
    // The name an earlier box printed must not be taken for this one's.
    std::filesystem::remove(dir_.File("box.out"));
    box_ = std::make_unique<Background>(args, dir_.File("box.out"), dir_.File("box.err"));
    std::string port;
    WaitFor([&] { return !(port = FileText(dir_.File("box.out"))).empty() && port.back() == '\n'; },
            10);
    return port.substr(0, port.find('\n'));
  }
  std::unique_ptr<Background> R7k(const std::vector<std::string>& args) {
    std::vector<std::string> all = {Program("r7k")};
    all.insert(all.end(), args.begin(), args.end());
    return std::make_unique<Background>(all, dir_.File("r7k.out"), dir_.File("r7k.err"));
  }
  bool Heard(const std::string& command) {
    return FileText(log_).find(command) != std::string::npos;
  }
  std::string ErrorText() { return FileText(dir_.File("r7k.err")); }
  bool Told(const std::string& words) { return ErrorText().find(words) != std::string::npos; }
  size_t BoxLines() {
    const std::string log = FileText(log_);
    return size_t(std::count(log.begin(), log.end(), '\n'));
  }
  // The last LED command the box heard: "led off" once a stopped operation is done with it.
  std::string LastLed() {
    std::string last;
    std::istringstream log(FileText(log_));
    for (std::string line; std::getline(log, line);)
      if (line.starts_with("led ")) last = line.substr(0, line.find(" ["));
    return last;
  }

  ScratchDir dir_;
  std::string flash_, log_, module_;
  std::vector<uint8_t> mine_;
  std::unique_ptr<Background> box_;
};

TEST_F(Interrupted, CtrlCDuringTheCompareReadLeavesTheFileAsItWas) {
  auto r7k = R7k({"read", module_, "--port", StartBox(), "--yes"});
  // Past the check and the first read's 2050 commands.
  ASSERT_TRUE(WaitFor([&] { return BoxLines() > 2600; }, 120)) << ErrorText();
  r7k->Signal(SIGINT);
  EXPECT_EQ(r7k->Wait(), 130);
  EXPECT_EQ(testing::ReadBytes(module_), mine_);
  EXPECT_EQ(LastLed(), "led off");
  EXPECT_TRUE(Told("r7k read: stopped by Ctrl-C; " + module_ + " is as it was.")) << ErrorText();
  // Nothing of ours is left beside the file.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 7);
}

// What became of the module: a write stopped once pieces went out, an erase once it was sent.
TEST_F(Interrupted, AStoppedWriteOrEraseSaysWhatTheModuleHolds) {
  auto r7k = R7k({"write", module_, "--port", StartBox()});
  ASSERT_TRUE(WaitFor([&] { return Heard("ws40 02"); }, 120));
  r7k->Signal(SIGTERM);
  EXPECT_EQ(r7k->Wait(), 143);
  EXPECT_EQ(testing::ReadBytes(module_), mine_);
  EXPECT_EQ(LastLed(), "led off");
  EXPECT_TRUE(
      Told("Write Module: Stopped: the module in the box is now erased or partly "
           "written. Write it again before you use it.\n"));
  box_.reset();
  std::filesystem::remove(log_);
  r7k = R7k({"erase", "--port", StartBox({"--erase-ms", "1500"}), "--yes"});
  ASSERT_TRUE(WaitFor([&] { return Heard("erase40"); }, 60));
  r7k->Signal(SIGINT);
  EXPECT_EQ(r7k->Wait(), 130);
  EXPECT_EQ(LastLed(), "led off");
  EXPECT_TRUE(Told("r7k erase: stopped by Ctrl-C; the module in the box is erased.\n"))
      << ErrorText();
}

TEST_F(Interrupted, ASecondCtrlCEndsAtOnce) {
  // The first Ctrl-C waits for the slow erase to answer; the second does not.
  auto r7k = R7k({"write", module_, "--port", StartBox({"--erase-ms", "20000"})});
  ASSERT_TRUE(WaitFor([&] { return Heard("erase40"); }, 60));
  r7k->Signal(SIGINT);
  usleep(300000);
  const auto start = std::chrono::steady_clock::now();
  r7k->Signal(SIGINT);
  EXPECT_EQ(r7k->Wait(), 130);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(testing::ReadBytes(module_), mine_);
}

}  // namespace
}  // namespace r7k::cli
