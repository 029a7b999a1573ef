#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/box_line.h"
#include "sim/box_core.h"
#include "sim/faults.h"
#include "sim/flash_image.h"

namespace r7k {

struct BoxOptions {
  BoxConfig box;
  // The flash image file; empty: the start content, kept in memory only. A file that does not
  // exist yet is created with the start content.
  std::filesystem::path image;
  // The start content when no existing image file is given: 524288 bytes, or empty for the
  // built-in demo module.
  std::vector<uint8_t> contents;
  uint32_t baud = 0;  // answer only a host at this rate; 0: any rate
  bool pace = false;  // send no faster than the line rate (10 bits a byte)
  std::vector<Fault> faults;
  uint64_t seed = 1;
  std::filesystem::path log;  // one line per command received; empty: none
};

// Parses the r7kbox command line (without the program name) into options; false with *error
// for the user on a bad argument.
bool ParseBoxArguments(const std::vector<std::string>& args, BoxOptions* options,
                       std::string* error);

// The programmer box on a line of its own (a pseudo-terminal on Linux, an in-process line on
// Windows), served by its own thread.
class BoxSimulator {
 public:
  // Loads the image, opens the pseudo-terminal and starts serving; nullptr with *error when the
  // image or the pseudo-terminal cannot be had.
  static std::unique_ptr<BoxSimulator> Start(BoxOptions options, std::string* error);
  ~BoxSimulator();
  BoxSimulator(const BoxSimulator&) = delete;
  BoxSimulator& operator=(const BoxSimulator&) = delete;

  // The name a program opens as its port ("pts/4").
  const std::string& PortName() const { return port_name_; }
  // Ends serving and saves pending flash changes. Safe to call twice.
  void Stop();
  // True once the box has hung up (fault) or stopped.
  bool Finished() const { return finished_; }

  uint64_t CommandsReceived() const;
  std::map<std::string, int> FaultCounts() const;
  std::vector<uint8_t> Flash() const;

 private:
  BoxSimulator(BoxOptions options, FlashImage flash, std::unique_ptr<BoxLine> line);
  void Serve();
  void Handle(const std::string& command);
  // Sends the bytes, pacing and pausing as told; false when stopped meanwhile.
  bool Send(const Delivery& d);
  bool SendBytes(std::string_view bytes, uint32_t pace_baud);
  // Sleeps unless stopped; false when stopped.
  bool Pause(int ms);
  void SaveIfChanged();
  void Log(const std::string& command, const std::string& note);

  BoxOptions options_;
  std::unique_ptr<BoxLine> line_;
  std::string port_name_;
  bool hung_up_ = false;  // serving thread only
  std::ofstream log_;

  mutable std::mutex mutex_;  // flash_, core_ and plan_ against the accessors
  FlashImage flash_;
  BoxCore core_;
  FaultPlan plan_;
  bool dirty_ = false;

  CommandSplitter splitter_;
  std::atomic<bool> finished_{false};
  std::thread thread_;
};

}  // namespace r7k
