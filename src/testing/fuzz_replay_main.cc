// Runs a fuzz target without libFuzzer, for the tests: first on the seeds the target makes
// for itself, then on every file under the folders or files given (the kept crash inputs).
// A crash or a sanitizer report fails the test; so does a target that makes no seeds while
// saying it would.

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace fs = std::filesystem;

namespace {

int RunFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>()};
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  return 1;
}

int RunPath(const fs::path& path) {
  if (!fs::is_directory(path)) return fs::exists(path) ? RunFile(path) : 0;
  int n = 0;
  for (const auto& entry : fs::recursive_directory_iterator(path))
    if (entry.is_regular_file()) n += RunFile(entry.path());
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 0;
  if (LLVMFuzzerInitialize) {
    // The target writes its seeds and exits when asked: let a child do that.
    std::string dir = (fs::temp_directory_path() / "r7k-seeds-XXXXXX").string();
    if (mkdtemp(dir.data()) == nullptr) return 1;
    const pid_t pid = fork();
    if (pid == 0) {
      setenv("R7K_FUZZ_SEEDS", dir.c_str(), 1);
      LLVMFuzzerInitialize(&argc, &argv);
      _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return 1;
    LLVMFuzzerInitialize(&argc, &argv);
    runs += RunPath(dir);
    fs::remove_all(dir);
  }
  for (int i = 1; i < argc; ++i) runs += RunPath(argv[i]);
  std::printf("%d inputs replayed\n", runs);
  return 0;
}
