#pragma once

// What the operating system says about itself, asked through its own version interfaces and
// composed by support/os_description.

#include <string>

namespace r7k {

// The description of the system this program runs on; empty when it cannot be queried.
std::string DescribeOperatingSystem();

// Linux: always. Windows: the NT family, version 5 or later.
bool OsSupported();

}  // namespace r7k
