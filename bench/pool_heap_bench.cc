// The pool heap against the C library's allocator for the sizes the program uses: message
// blocks of 16 bytes to 4 KiB, 16 KiB buffers and 512 KiB module images.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "support/pool_heap.h"

namespace {

struct PoolHeap {
  static void* Alloc(size_t n) { return R7K_POOL_ALLOC(n); }
  static void* Realloc(void* p, size_t n) { return R7K_POOL_REALLOC(p, n); }
  static void Free(void* p) { R7K_POOL_FREE(p); }
};

// calloc, because pool blocks come zeroed.
struct CLibrary {
  static void* Alloc(size_t n) { return std::calloc(1, n); }
  static void* Realloc(void* p, size_t n) { return std::realloc(p, n); }
  static void Free(void* p) { std::free(p); }
};

// One block allocated, touched and freed, over and over.
template <typename Heap>
void AllocFree(benchmark::State& state) {
  const size_t size = static_cast<size_t>(state.range(0));
  for (auto _ : state) {
    auto* p = static_cast<char*>(Heap::Alloc(size));
    p[size / 2] = 1;
    benchmark::DoNotOptimize(p);
    Heap::Free(p);
  }
  state.SetItemsProcessed(state.iterations());
}

// Message traffic: 64 live blocks of 16 bytes to 4 KiB, one replaced at a time.
template <typename Heap>
void MessageChurn(benchmark::State& state) {
  std::mt19937 rng(42);
  std::vector<void*> live(64, nullptr);
  for (auto _ : state) {
    void*& slot = live[rng() % live.size()];
    Heap::Free(slot);
    slot = Heap::Alloc(16 + rng() % 4081);
    benchmark::DoNotOptimize(slot);
  }
  for (void* p : live) Heap::Free(p);
  state.SetItemsProcessed(state.iterations());
}

// A buffer grown piece by piece, as the module reads fill their image.
template <typename Heap>
void GrowBuffer(benchmark::State& state) {
  for (auto _ : state) {
    void* p = nullptr;
    for (size_t n = 256; n <= 16384; n += 256) p = n == 256 ? Heap::Alloc(n) : Heap::Realloc(p, n);
    benchmark::DoNotOptimize(p);
    Heap::Free(p);
  }
}

}  // namespace

BENCHMARK_TEMPLATE(AllocFree, PoolHeap)->Arg(16)->Arg(256)->Arg(4096)->Arg(16384)->Arg(524288);
BENCHMARK_TEMPLATE(AllocFree, CLibrary)->Arg(16)->Arg(256)->Arg(4096)->Arg(16384)->Arg(524288);
BENCHMARK_TEMPLATE(MessageChurn, PoolHeap);
BENCHMARK_TEMPLATE(MessageChurn, CLibrary);
BENCHMARK_TEMPLATE(GrowBuffer, PoolHeap);
BENCHMARK_TEMPLATE(GrowBuffer, CLibrary);
