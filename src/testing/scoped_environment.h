#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/environment.h"

namespace r7k {

// Environment values a test sets, put back as they were when it ends.
class ScopedEnvironment {
 public:
  ScopedEnvironment() = default;
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  ~ScopedEnvironment() {
    for (auto it = old_.rbegin(); it != old_.rend(); ++it) {
      if (it->second) {
        SetEnvironmentValue(it->first, *it->second);
      } else {
        ClearEnvironmentValue(it->first);
      }
    }
  }

  void Set(const std::string& name, const std::string& value) {
    Remember(name);
    SetEnvironmentValue(name, value);
  }
  void Clear(const std::string& name) {
    Remember(name);
    ClearEnvironmentValue(name);
  }
  // The temporary folder, under every name the systems look for it.
  void SetTempFolder(const std::string& folder) {
    for (const char* name : {"TMPDIR", "TMP", "TEMP"}) Set(name, folder);
  }

 private:
  void Remember(const std::string& name) {
    const char* old = std::getenv(name.c_str());
    old_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
  }

  std::vector<std::pair<std::string, std::optional<std::string>>> old_;
};

}  // namespace r7k
