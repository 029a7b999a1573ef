#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "sim/box_core.h"

namespace r7k {

// One misbehaviour of the simulated box, as given on the command line:
//   silence-after=N      no answers after the first N commands
//   drop-every=N         every Nth answer is lost (the command still runs)
//   drop-rate=P          each answer is lost with probability P (0 to 1)
//   corrupt-every=N      one byte of every Nth answer is damaged
//   gap-every=N[:MS]     every Nth answer stops for MS ms (default 1500, under 2000) midway
//   line-error-every=N   every Nth answer breaks off after a damaged byte, as a line error
//                        leaves it (a pseudo-terminal cannot carry the error itself)
//   slow-erase[=MS]      an erase takes MS ms (default 61000, longer than the host waits)
//   hangup-after=N       the line is closed after the Nth answer
struct Fault {
  enum class Kind {
    kSilenceAfter,
    kDropEvery,
    kDropRate,
    kCorruptEvery,
    kGapEvery,
    kLineErrorEvery,
    kSlowErase,
    kHangupAfter
  };
  Kind kind;
  uint32_t n = 0;
  double rate = 0;
  int ms = 0;
};

std::optional<Fault> ParseFault(std::string_view spec, std::string* error);
const char* FaultName(Fault::Kind kind);

// How one answer goes out after the faults had their say.
struct Delivery {
  bool silent = false;         // nothing is sent
  bool hang_up_after = false;  // close the line once this answer is out
  std::string bytes;
  size_t work_at = 0;  // pause of work_ms after this many bytes (erase)
  int work_ms = 0;
  size_t gap_at = 0;  // pause of gap_ms after this many bytes
  int gap_ms = 0;
  std::vector<std::string> fired;  // names of the faults applied, for the log
};

// Applies the faults to each answer in turn. The same faults and seed give the same deliveries.
class FaultPlan {
 public:
  FaultPlan(std::vector<Fault> faults, uint64_t seed) : faults_(std::move(faults)), rng_(seed) {}

  Delivery Apply(BoxReply reply);
  // How often each fault fired, by name.
  const std::map<std::string, int>& counts() const { return counts_; }
  uint64_t commands() const { return commands_; }

 private:
  uint64_t Random(uint64_t bound) { return bound ? rng_() % bound : 0; }

  std::vector<Fault> faults_;
  std::mt19937_64 rng_;
  uint64_t commands_ = 0;
  std::map<std::string, int> counts_;
};

}  // namespace r7k
