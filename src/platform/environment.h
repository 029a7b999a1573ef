#pragma once

// Changing this process's environment (tests and the programs' own settings use it).

#include <string>

namespace r7k {

void SetEnvironmentValue(const std::string& name, const std::string& value);
void ClearEnvironmentValue(const std::string& name);

}  // namespace r7k
