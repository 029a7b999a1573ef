#pragma once

// Small helpers of the Windows forms of the platform layer.

#include <string>

namespace r7k {

// The system's text for an error code (GetLastError), without its line end.
std::string SystemErrorText(unsigned long code);

}  // namespace r7k
