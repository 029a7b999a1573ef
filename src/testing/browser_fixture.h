#pragma once

// Running a headless Chromium from the tests that look at the program's pages as a browser
// shows them.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace r7k::testing {

// $R7K_CHROMIUM, else the first Chromium found in PATH.
inline std::optional<std::string> FindBrowser() {
  if (const char* chosen = std::getenv("R7K_CHROMIUM"); chosen && *chosen) return chosen;
  const char* path = std::getenv("PATH");
  if (!path) return std::nullopt;
  for (const char* name : {"chromium", "chromium-browser", "google-chrome", "headless_shell"}) {
    std::string dirs = path;
    size_t start = 0;
    while (start <= dirs.size()) {
      const size_t end = std::min(dirs.find(':', start), dirs.size());
      const std::filesystem::path candidate =
          std::filesystem::path(dirs.substr(start, end - start)) / name;
      if (end > start && access(candidate.c_str(), X_OK) == 0) return candidate.string();
      start = end + 1;
    }
  }
  return std::nullopt;
}

// Runs a program and waits for it; its standard output goes to `output` when one is named.
// The exit status, or -1 when it could not run or did not exit.
inline int RunProgram(const std::vector<std::string>& args, const std::string& output = {}) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!output.empty())
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The headless browser's command with the options every test uses; `profile` is a folder of
// the test's own.
inline std::vector<std::string> HeadlessBrowser(const std::string& browser,
                                                const std::string& profile) {
  return {"timeout",
          "120",
          browser,
          "--headless",
          "--no-sandbox",
          "--disable-gpu",
          "--hide-scrollbars",
          "--force-device-scale-factor=1",
          "--force-color-profile=srgb",
          "--user-data-dir=" + profile};
}

}  // namespace r7k::testing
