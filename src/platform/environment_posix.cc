#include "platform/environment.h"

#include <stdlib.h>

namespace r7k {

void SetEnvironmentValue(const std::string& name, const std::string& value) {
  ::setenv(name.c_str(), value.c_str(), 1);
}

void ClearEnvironmentValue(const std::string& name) { ::unsetenv(name.c_str()); }

}  // namespace r7k
