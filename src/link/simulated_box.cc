#include "link/simulated_box.h"

#include <cctype>
#include <filesystem>
#include <mutex>

#include "platform/config_files.h"
#include "sim/box_simulator.h"

namespace r7k {

bool IsSimulatedPortName(std::string_view name) {
  if (name.size() != kSimPortName.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(name[i])) != kSimPortName[i]) return false;
  }
  return true;
}

std::string SimulatedBoxDevice(std::string* error) {
  static std::mutex mutex;
  // Runs until the process ends, like the link thread that talks to it.
  static BoxSimulator* box = nullptr;
  std::lock_guard lock(mutex);
  if (box && box->Finished()) box = nullptr;  // hung up: a fresh box, the old one is left as is
  if (!box) {
    BoxOptions options;
    std::error_code ec;
    std::filesystem::create_directories(ConfigFolder(), ec);
    options.image = ConfigFolder() / "simulated-box.r7v";
    std::string why;
    std::unique_ptr<BoxSimulator> started = BoxSimulator::Start(options, &why);
    if (!started) {
      if (error) *error = "Cannot start the simulated box: " + why;
      return {};
    }
    box = started.release();
  }
  return box->PortName();
}

}  // namespace r7k
