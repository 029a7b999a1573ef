#include "platform/environment.h"

#include <stdlib.h>

namespace r7k {

// The C runtime's copy, which getenv reads.
void SetEnvironmentValue(const std::string& name, const std::string& value) {
  _putenv_s(name.c_str(), value.c_str());
}

void ClearEnvironmentValue(const std::string& name) { _putenv_s(name.c_str(), ""); }

}  // namespace r7k
