#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command.h"
#include "testing/scratch_folder.h"

// Helpers for the tests of the r7k commands: files in and out, and a captured command run.
namespace r7k::cli::testing {

inline void WriteBytes(const std::string& path, std::span<const uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Sets an environment variable for the life of the object, then restores it.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

struct Run {
  int status = 0;
  std::string out;
  std::string err;
};

// Runs `r7k ARGS...` in-process with captured output.
inline Run RunR7k(std::vector<std::string> args) {
  std::ostringstream out, err;
  CommandIo io{out, err};
  Run run;
  run.status = RunCli(args, io);
  run.out = out.str();
  run.err = err.str();
  return run;
}

}  // namespace r7k::cli::testing
