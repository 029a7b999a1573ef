// The module file survives the program being killed at any moment while it writes: a child
// process runs one write (a whole module image, an entity update, a new technique) and is
// killed with SIGKILL after a random delay; the file is then either its old or its new content,
// and the directory of either loads.

#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>

#include "app/directory_view_fixture.h"
#include "app/entity_files.h"
#include "app/new_entries.h"
#include "module/directory.h"
#include "module/hex_text.h"
#include "platform/file_io.h"

namespace r7k::testing {
namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

// Time each kind of write gets: well inside a test's few seconds, unless R7K_CRASH_SECONDS
// asks for a longer run (scripts/crash-long).
Clock::duration Budget() {
  const char* seconds = std::getenv("R7K_CRASH_SECONDS");
  if (seconds && std::atoi(seconds) > 0) return std::chrono::seconds(std::atoi(seconds));
  return std::chrono::milliseconds(2500);
}

struct KillCounts {
  int rounds = 0;
  int killed = 0;      // the child died of the kill before it finished
  int kept_old = 0;    // ... and the file is the old content
  int got_new = 0;     // ... and the file is already the new content
  int completed = 0;   // the child finished before the kill came
  int left_temps = 0;  // hidden files beside the module a kill left behind
};

class CrashConsistency : public EditingTest {
 protected:
  // A kill does not lose what the page cache holds, so the file system's speed only decides
  // how many rounds fit: a memory file system, where there is one, gives many more.
  void SetUp() override {
    EditingTest::SetUp();
    std::string shm = "/dev/shm/r7k-crash-XXXXXX";
    if (access("/dev/shm", W_OK) != 0 || mkdtemp(shm.data()) == nullptr) return;
    std::filesystem::remove_all(dir_);
    dir_ = shm;
    module_ = WriteImage("module.r7v", BuiltinImage("demo"));
    StoreSetString(app_, "CurrentVirtualModule", module_);
  }

  // The file as it is now (the fixture's reader is too slow for hundreds of rounds).
  Bytes Read() const { return ReadFileBytes(module_, kModuleImageSize).value_or(Bytes{}); }

  // Runs `write` in a child and waits for it; how long the child took.
  static Clock::duration RunToCompletion(const std::function<void()>& write) {
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
      write();
      _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return Clock::now() - start;
  }

  // Hidden files a killed write left beside the module; removed so that rounds start alike.
  int RemoveLeftovers() {
    int n = 0;
    for (const auto& f : std::filesystem::directory_iterator(dir_)) {
      if (f.path().filename().string().starts_with(".")) {
        std::filesystem::remove(f.path());
        ++n;
      }
    }
    return n;
  }

  // Kills `write` at random moments over and over, checking the module after each kill.
  KillCounts KillDuring(const std::string& what, const std::function<void()>& write) {
    const Bytes old_bytes = Read();
    const auto took = RunToCompletion(write);
    const Bytes new_bytes = Read();
    EXPECT_NE(new_bytes, old_bytes) << what << ": the write changes the file";
    EXPECT_EQ(ReadDirectory(new_bytes).error, DirectoryError::kNone) << what;
    EXPECT_EQ(ReadDirectory(old_bytes).error, DirectoryError::kNone) << what;

    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    // Kills come up to 1.2 times the write's own time after the start; the bound follows how
    // the rounds go (a loaded machine makes writes slower or faster), so that about half the
    // kills land inside the write.
    long max_ns = std::max<long>(
        1000, std::chrono::duration_cast<std::chrono::nanoseconds>(took).count() * 6 / 5);

    KillCounts counts;
    const auto end = Clock::now() + Budget();
    while (Clock::now() < end) {
      WriteImage(std::filesystem::path(module_).filename().string(), old_bytes);
      const long ns = std::uniform_int_distribution<long>(0, max_ns)(random);
      const pid_t pid = fork();
      if (pid == 0) {
        write();
        _exit(0);
      }
      const timespec pause{0, ns};
      nanosleep(&pause, nullptr);
      kill(pid, SIGKILL);
      int status = 0;
      waitpid(pid, &status, 0);
      ++counts.rounds;
      const Bytes now = Read();
      max_ns = WIFSIGNALED(status) ? std::min(max_ns * 9 / 8, 999'999'999L)
                                   : std::max(max_ns * 3 / 4, 1000L);
      if (WIFSIGNALED(status)) {
        ++counts.killed;
        if (now == old_bytes) ++counts.kept_old;
        if (now == new_bytes) ++counts.got_new;
      } else {
        ++counts.completed;
        EXPECT_EQ(now, new_bytes) << what << ": a finished write left its content";
      }
      if (now != old_bytes && now != new_bytes) {
        ADD_FAILURE() << what << ": a kill after " << ns << " ns left " << now.size()
                      << " bytes that are neither the old nor the new file (seed " << seed << ")";
        break;
      }
      EXPECT_EQ(ReadDirectory(now).error, DirectoryError::kNone) << what;
      counts.left_temps += RemoveLeftovers();
    }
    std::printf(
        "%s: %d rounds, %d killed mid-write (%d old, %d new kept), %d finished first, "
        "%d temporary files left, write takes %lld us\n",
        what.c_str(), counts.rounds, counts.killed, counts.kept_old, counts.got_new,
        counts.completed, counts.left_temps,
        static_cast<long long>(
            std::chrono::duration_cast<std::chrono::microseconds>(took).count()));
    EXPECT_GT(counts.killed, 0) << what << ": no kill landed before the write finished";
    return counts;
  }
};

TEST_F(CrashConsistency, ModuleImageWriteIsOldOrNew) {
  // A read module replacing the file, as CardAnalyse writes it: the demo with every entity
  // byte changed.
  Bytes image = Read();
  for (size_t i = 0x20000; i < image.size(); ++i) image[i] ^= 0x5A;
  KillDuring("module image", [&] {
    if (!WriteFileAtomically(module_, image)) _exit(1);
  });
}

TEST_F(CrashConsistency, EntityUpdateIsOldOrNew) {
  Select("T0031");
  const auto start = static_cast<size_t>(StoreGetNumeric(app_, "Start"));
  Bytes record = Read();
  record =
      Bytes(record.begin() + static_cast<std::ptrdiff_t>(start),
            record.begin() + static_cast<std::ptrdiff_t>(start + StoreGetNumeric(app_, "Size")));
  record[5] ^= 0x01;
  StoreSetString(app_, "HexData", RenderHexText(record));
  KillDuring("entity update", [&] {
    if (DP_Update(base_, 0, 0, main_, app_) != 1) _exit(1);
  });
}

TEST_F(CrashConsistency, NewTechniqueIsOldOrNew) {
  view_.WhenDialogOpens("NewTech", [](DialogUser& user) {
    user.Set("t_Name", "T0777");
    user.Set("t_Size", "31");
    user.Press("OK");
  });
  KillDuring("new technique", [&] {
    if (DP_NewTechnique(base_, 0, 0, main_, app_) != 1) _exit(1);
  });
}

}  // namespace
}  // namespace r7k::testing
