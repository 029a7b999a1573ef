#pragma once

#include <cstddef>
#include <cstdint>

// A small deterministic random source (splitmix64): the generated images must be the same
// byte for byte on every machine and standard library, which std:: distributions are not.
namespace r7k::gen {

class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}

  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

  // Uniform in [lo, hi].
  int Between(int lo, int hi) { return lo + static_cast<int>(Next() % uint64_t(hi - lo + 1)); }

  // True with the given chance in percent.
  bool Chance(int percent) { return Between(1, 100) <= percent; }

  template <typename T, size_t N>
  const T& Pick(const T (&items)[N]) {
    return items[Next() % N];
  }

 private:
  uint64_t state_;
};

}  // namespace r7k::gen
