#pragma once

#include <optional>
#include <string>

namespace r7k {

// A pseudo-terminal pair: the master end for whoever plays the device, and the name a program
// opens as its serial port ("pts/4", i.e. /dev/pts/4). The slave end stays open here as well, so
// the master keeps working while the program closes and reopens the port.
class PseudoTerminal {
 public:
  PseudoTerminal() = default;
  ~PseudoTerminal() { Close(); }
  PseudoTerminal(PseudoTerminal&& other) noexcept;
  PseudoTerminal& operator=(PseudoTerminal&& other) noexcept;
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  // Opens a new pair in raw mode; on failure fills *error.
  static std::optional<PseudoTerminal> Open(std::string* error);

  int master_fd() const { return master_fd_; }
  int slave_fd() const { return slave_fd_; }
  const std::string& name() const { return name_; }
  // Closing both ends hangs up the line for the program.
  void Close();

 private:
  int master_fd_ = -1;
  int slave_fd_ = -1;
  std::string name_;
};

}  // namespace r7k
