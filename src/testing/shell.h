#pragma once

// Runs a shell command line and collects what it writes (POSIX only).

#include <stdio.h>
#include <sys/wait.h>

#include <array>
#include <string>

namespace r7k::testing {

struct ShellResult {
  int status = -1;  // the exit status, -1 when it did not exit by itself
  std::string out;
};

inline ShellResult RunShell(const std::string& command) {
  ShellResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0) result.out.append(buf.data(), n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace r7k::testing
