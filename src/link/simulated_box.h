#pragma once

// The port name "sim": the programmer box simulated inside the program, on a pseudo-terminal,
// for users without hardware. Its flash is the file "simulated-box.r7v" in the configuration
// folder, so what is written to it is still there the next time.

#include <string>
#include <string_view>

namespace r7k {

inline constexpr std::string_view kSimPortName = "sim";
// What the program says while "sim" is the port in use: it is never chosen by itself, and a
// user who forgot choosing it should not take its "Verified" for a real module's.
inline constexpr std::string_view kSimulatedBoxInUse =
    "The simulated box is in use (port \"sim\"), not a real one.";

bool IsSimulatedPortName(std::string_view name);
// Starts the simulated box on first use and gives the device name of its pseudo-terminal
// ("pts/5"); empty with *error when it cannot be started.
std::string SimulatedBoxDevice(std::string* error);

}  // namespace r7k
