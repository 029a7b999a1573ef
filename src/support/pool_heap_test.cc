#include "support/pool_heap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

namespace r7k {
namespace {

// Tests that look at block placement use their own pool and leave it empty, so its one
// segment is a single free block again when the next test starts.
constexpr unsigned kLayoutPool = 2;

uint8_t* Alloc(size_t size, unsigned pool = kLayoutPool) {
  return static_cast<uint8_t*>(PoolAlloc(pool, size, __FILE__, __LINE__));
}
uint8_t* Realloc(void* data, size_t size, unsigned pool = kLayoutPool) {
  return static_cast<uint8_t*>(PoolRealloc(pool, data, size, __FILE__, __LINE__));
}
bool All(const uint8_t* p, size_t n, uint8_t value) {
  return std::all_of(p, p + n, [value](uint8_t b) { return b == value; });
}

class PoolHeapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Make sure the pool has its first segment, then start from it empty.
    PoolFree(kLayoutPool, Alloc(1));
    empty_ = PoolCheck(kLayoutPool);
    ASSERT_EQ(empty_.used_blocks, 0u);
    ASSERT_EQ(empty_.free_blocks, 1u);
  }
  void TearDown() override {
    const PoolStats end = PoolCheck(kLayoutPool);
    EXPECT_EQ(end.used_blocks, 0u);
    EXPECT_EQ(end.segments, 1u);
    EXPECT_EQ(end.free_bytes, empty_.free_bytes);
  }
  PoolStats empty_;
};

TEST_F(PoolHeapTest, BlockSizesFollowTheRequest) {
  // Blocks are cut from the top of the free space downwards, so each address difference is the
  // size of the lower block.
  uint8_t* a = Alloc(0);
  uint8_t* b = Alloc(20);
  uint8_t* c = Alloc(21);
  uint8_t* d = Alloc(52);
  uint8_t* e = Alloc(53);
  EXPECT_EQ(a - b, 64);
  EXPECT_EQ(b - c, 96);
  EXPECT_EQ(c - d, 96);
  EXPECT_EQ(d - e, 128);
  EXPECT_EQ(PoolCheck(kLayoutPool).used_bytes, 64u + 64 + 96 + 96 + 128);
  EXPECT_EQ(PoolSize(kLayoutPool, b), 20u);
  EXPECT_EQ(PoolSize(kLayoutPool, a), 0u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(e) % 32, 0u);
  for (uint8_t* p : {a, b, c, d, e}) PoolFree(kLayoutPool, p);
}

TEST_F(PoolHeapTest, ImpossibleRequestsAndNullBlocksChangeNothing) {
  EXPECT_EQ(PoolAlloc(kLayoutPool, kPoolMaxRequest + 1, __FILE__, __LINE__), nullptr);
  EXPECT_EQ(PoolAlloc(kPoolCount, 16, __FILE__, __LINE__), nullptr);
  EXPECT_EQ(Realloc(nullptr, 100), nullptr);
  PoolFree(kLayoutPool, nullptr);
  EXPECT_EQ(PoolSize(kLayoutPool, nullptr), 0u);
  EXPECT_EQ(PoolCheck(kLayoutPool).used_blocks, 0u);
  uint8_t* p = Alloc(10);
  p[0] = 9;
  EXPECT_EQ(Realloc(p, kPoolMaxRequest + 1), nullptr);  // the block stays as it was
  EXPECT_EQ(PoolSize(kLayoutPool, p), 10u);
  EXPECT_EQ(p[0], 9);
  PoolFree(kLayoutPool, p);
}

TEST_F(PoolHeapTest, FreshDataIsZeroAndFreedDataReadsFD) {
  uint8_t* p = Alloc(100);
  ASSERT_TRUE(All(p, 100, 0));
  EXPECT_TRUE(All(p + 100, 4, 0x7F));  // guard
  std::memset(p, 0xAA, 100);
  PoolFree(kLayoutPool, p);
  EXPECT_TRUE(All(p, 100, 0xFD));
  uint8_t* q = Alloc(100);
  ASSERT_EQ(q, p);  // the same place again, cleared
  EXPECT_TRUE(All(q, 100, 0));
  PoolFree(kLayoutPool, q);
}

TEST_F(PoolHeapTest, FreedNeighboursMerge) {
  // Low to high: [free][c][b][a], a at the segment's end.
  uint8_t* a = Alloc(100);
  uint8_t* b = Alloc(100);
  uint8_t* c = Alloc(100);
  PoolFree(kLayoutPool, a);
  EXPECT_EQ(PoolCheck(kLayoutPool).free_blocks, 2u);
  PoolFree(kLayoutPool, c);  // joins the free space below
  EXPECT_EQ(PoolCheck(kLayoutPool).free_blocks, 2u);
  PoolFree(kLayoutPool, b);  // joins both sides
  const PoolStats s = PoolCheck(kLayoutPool);
  EXPECT_EQ(s.free_blocks, 1u);
  EXPECT_EQ(s.free_bytes, empty_.free_bytes);
}

TEST_F(PoolHeapTest, PrefersACloseFitNearTheFirstCandidate) {
  // Low to high: [free][a4][f3][a3][f2][a2][f1][a1]. After the frees the search starts behind f3,
  // so f2 (1056 bytes) fits first; f1 (160 bytes) just after it fits exactly and wins.
  uint8_t* a1 = Alloc(10);
  uint8_t* f1 = Alloc(100);
  uint8_t* a2 = Alloc(10);
  uint8_t* f2 = Alloc(1000);
  uint8_t* a3 = Alloc(10);
  uint8_t* f3 = Alloc(100);
  uint8_t* a4 = Alloc(10);
  for (uint8_t* f : {f1, f3, f2}) PoolFree(kLayoutPool, f);
  uint8_t* x = Alloc(100);
  EXPECT_EQ(x, f1);
  // The big free block at the bottom fits first, but f2 close by fits tighter and is cut from
  // its top end.
  uint8_t* y = Alloc(500);
  EXPECT_EQ(y + 544, f2 + 1056);
  for (uint8_t* p : {a1, a2, a3, a4, x, y}) PoolFree(kLayoutPool, p);
}

TEST_F(PoolHeapTest, SameUnitResizeNeverMoves) {
  uint8_t* p = Alloc(40);  // 96-byte block: room for 52 bytes
  for (int i = 0; i < 40; ++i) p[i] = static_cast<uint8_t>(i + 1);
  ASSERT_EQ(Realloc(p, 52), p);
  EXPECT_EQ(PoolSize(kLayoutPool, p), 52u);
  EXPECT_EQ(p[39], 40);
  EXPECT_TRUE(All(p + 40, 12, 0));
  ASSERT_EQ(Realloc(p, 30), p);
  EXPECT_TRUE(All(p + 30, 22, 0x7F));  // the dropped bytes are guard now
  ASSERT_EQ(Realloc(p, 44), p);
  EXPECT_EQ(p[29], 30);
  EXPECT_TRUE(All(p + 30, 14, 0));
  EXPECT_EQ(PoolCheck(kLayoutPool).used_bytes, 96u);
  PoolFree(kLayoutPool, p);
}

TEST_F(PoolHeapTest, ShrinkReturnsTheTailAtOnce) {
  uint8_t* top = Alloc(10);
  uint8_t* p = Alloc(1000);  // 1056-byte block below `top`
  std::memset(p, 0x5A, 1000);
  const size_t used = PoolCheck(kLayoutPool).used_bytes;
  ASSERT_EQ(Realloc(p, 10), p);
  EXPECT_TRUE(All(p, 10, 0x5A));
  EXPECT_EQ(PoolCheck(kLayoutPool).used_bytes, used - 992);
  // The next request that fits the tail gets it.
  uint8_t* q = Alloc(900);
  EXPECT_EQ(q, p + 64);
  EXPECT_TRUE(All(q, 900, 0));
  for (uint8_t* x : {top, p, q}) PoolFree(kLayoutPool, x);
}

TEST_F(PoolHeapTest, GrowsIntoAFreeNeighbourElseMoves) {
  uint8_t* above = Alloc(5000);
  uint8_t* p = Alloc(100);
  uint8_t* below = Alloc(100);
  std::memset(p, 0x11, 100);
  std::memset(below, 0x22, 100);
  PoolFree(kLayoutPool, above);
  ASSERT_EQ(Realloc(p, 3000), p);
  EXPECT_TRUE(All(p, 100, 0x11));
  EXPECT_TRUE(All(p + 100, 2900, 0));
  ASSERT_EQ(Realloc(p, 5120), p);  // a 32-byte rest is not worth keeping: takes it whole
  EXPECT_TRUE(All(p + 3000, 2120, 0));
  EXPECT_EQ(PoolCheck(kLayoutPool).free_blocks, 1u);
  uint8_t* moved = Realloc(below, 300);  // its neighbour is in use
  ASSERT_NE(moved, below);
  EXPECT_TRUE(All(moved, 100, 0x22));
  EXPECT_TRUE(All(moved + 100, 200, 0));
  uint8_t* q = Realloc(p, 6000);  // the block ends the segment now
  ASSERT_NE(q, p);
  EXPECT_TRUE(All(q, 100, 0x11));
  EXPECT_EQ(PoolCheck(kLayoutPool).used_blocks, 2u);
  PoolFree(kLayoutPool, q);
  PoolFree(kLayoutPool, moved);
}

TEST_F(PoolHeapTest, EmptySegmentsBeyondTheFirstGoBack) {
  uint8_t* a = Alloc(400000);
  uint8_t* b = Alloc(400000);
  EXPECT_EQ(PoolCheck(kLayoutPool).segments, 2u);
  PoolFree(kLayoutPool, b);
  EXPECT_EQ(PoolCheck(kLayoutPool).segments, 1u);
  // A request bigger than a segment gets a segment of its own.
  uint8_t* big = Alloc(3 << 20);
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(PoolCheck(kLayoutPool).segments, 2u);
  EXPECT_EQ(PoolSize(kLayoutPool, big), size_t{3} << 20);
  EXPECT_TRUE(All(big, 3 << 20, 0));
  std::memset(big, 0x33, 3 << 20);
  PoolFree(kLayoutPool, big);
  PoolFree(kLayoutPool, a);  // the first segment stays
  EXPECT_EQ(PoolCheck(kLayoutPool).segments, 1u);
}

TEST_F(PoolHeapTest, FindsTheOwnerInAnyPool) {
  uint8_t* p = Alloc(50, 3);
  EXPECT_EQ(PoolSize(kMainPool, p), 50u);
  uint8_t* q = Realloc(p, 200000, kMainPool);  // moves within pool 3
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(PoolCheck(3).used_blocks, 1u);
  PoolFree(kMainPool, q);
  EXPECT_EQ(PoolCheck(3).used_blocks, 0u);
}

TEST(PoolBuffer, OwnsAndResizesAMainPoolBlock) {
  PoolBuffer buf(100);
  ASSERT_TRUE(buf);
  EXPECT_EQ(buf.size(), 100u);
  EXPECT_TRUE(All(buf.data(), 100, 0));
  buf.data()[99] = 7;
  ASSERT_TRUE(buf.Resize(5000));
  EXPECT_EQ(buf.size(), 5000u);
  EXPECT_EQ(buf.data()[99], 7);
  EXPECT_FALSE(buf.Resize(kPoolMaxRequest + 1));
  EXPECT_EQ(buf.size(), 5000u);
  PoolBuffer other = std::move(buf);
  EXPECT_TRUE(buf.empty());
  EXPECT_EQ(PoolSize(kMainPool, other.data()), 5000u);
  PoolPtr<uint8_t[]> owned(other.Release());
  EXPECT_TRUE(other.empty());
  EXPECT_EQ(PoolSize(kMainPool, owned.get()), 5000u);
  PoolPtr<uint32_t> here(static_cast<uint32_t*>(PoolAllocHere(sizeof(uint32_t))));
  EXPECT_EQ(*here, 0u);
}

class PoolHeapDeathTest : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(PoolHeapDeathTest, OneBytePastTheEndIsCaughtAtFree) {
  uint8_t* p = static_cast<uint8_t*>(PoolAlloc(kMainPool, 20, __FILE__, __LINE__));
  p[20] = 0;
  EXPECT_DEATH(PoolFree(kMainPool, p),
               "pool heap: guard after the data overwritten \\(block allocated at "
               ".*pool_heap_test\\.cc:.+\\)");
  EXPECT_DEATH(Realloc(p, 10, kMainPool), "guard after the data overwritten");
}

TEST_F(PoolHeapDeathTest, DoubleFreeAndForeignPointersAreFatal) {
  void* p = R7K_POOL_ALLOC(30);
  PoolFree(kMainPool, p);
  EXPECT_DEATH(PoolFree(kMainPool, p), "pool heap: block is not in use");
  EXPECT_DEATH(PoolSize(kMainPool, p), "pool heap: block is not in use");
  int local = 0;
  EXPECT_DEATH(PoolFree(kMainPool, &local), "pool heap: address not owned by any pool");
  void* runtime = std::malloc(64);
  EXPECT_DEATH(PoolFree(kMainPool, runtime), "address not owned by any pool");
  std::free(runtime);
  uint8_t* q = static_cast<uint8_t*>(R7K_POOL_ALLOC(100));
  EXPECT_DEATH(PoolFree(kMainPool, q + 8), "pool heap: address is not the start of a block");
  R7K_POOL_FREE(q);
}

TEST_F(PoolHeapDeathTest, OverwrittenHeaderIsFatal) {
  uint8_t* p = static_cast<uint8_t*>(R7K_POOL_ALLOC(100));
  p[-1] = 0;  // last byte of the header guard
  EXPECT_DEATH(PoolFree(kMainPool, p), "pool heap: block header guard overwritten");
  p[-1] = 0xCD;
  R7K_POOL_FREE(p);
  // An overrun that jumps the guard and trailer lands in the next block's header.
  uint8_t* above = Alloc(10);
  uint8_t* gap = Alloc(10);
  uint8_t* below = Alloc(10);
  ASSERT_EQ(above - below, 128);
  PoolFree(kLayoutPool, gap);
  below[32] ^= 0xFF;
  EXPECT_DEATH(PoolFree(kLayoutPool, below),
               "pool heap: header of the following block overwritten \\(block allocated at "
               ".*pool_heap_test\\.cc:.+\\)");
  below[32] ^= 0xFF;
  PoolFree(kLayoutPool, below);
  PoolFree(kLayoutPool, above);
}

// Several threads allocate, resize and free at random in two pools, each freeing through the
// other pool's index now and then; every block's contents are checked on the way, and both pools
// must be whole and empty at the end.
TEST(PoolHeapStress, ManyThreadsKeepEveryBlockIntact) {
  constexpr int kThreads = 4;
  constexpr int kOps = 6000;
  constexpr size_t kLargest = 16384 + 600000;
  constexpr unsigned kPools[2] = {6, 7};
  // Block contents are a window into one shared pattern, so checks run at memcmp speed.
  std::vector<uint8_t> pattern(kLargest + 256);
  for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<uint8_t>(i * 31 + i / 251);
  auto is_zero = [](const uint8_t* p, size_t n) {
    return n == 0 || (p[0] == 0 && std::memcmp(p, p + 1, n - 1) == 0);
  };
  std::vector<std::thread> threads;
  std::vector<int> failures(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      std::mt19937 rng(1234 + t);
      const unsigned pool = kPools[t % 2];
      const unsigned other = kPools[(t + 1) % 2];
      struct Slot {
        uint8_t* data = nullptr;
        size_t size = 0;
        const uint8_t* expect = nullptr;
      };
      std::vector<Slot> slots(48);
      auto random_size = [&]() -> size_t {
        const unsigned k = rng() % 100;
        if (k < 70) return rng() % 257;
        if (k < 99) return 257 + rng() % 16128;
        return 16384 + rng() % 600000;
      };
      auto intact = [&](const Slot& s) {
        return std::memcmp(s.data, s.expect, s.size) == 0 && PoolSize(pool, s.data) == s.size;
      };
      for (int op = 0; op < kOps; ++op) {
        Slot& s = slots[rng() % slots.size()];
        if (!s.data) {
          s.size = random_size();
          s.expect = pattern.data() + rng() % 256;
          s.data = static_cast<uint8_t*>(PoolAlloc(pool, s.size, __FILE__, __LINE__));
          if (!s.data || !is_zero(s.data, s.size)) ++failures[t];
          if (s.data) std::memcpy(s.data, s.expect, s.size);
          continue;
        }
        if (!intact(s)) ++failures[t];
        const unsigned what = rng() % 10;
        if (what < 5) {
          PoolFree(what == 0 ? other : pool, s.data);
          s.data = nullptr;
        } else if (what < 9) {
          const size_t size = what == 8 ? s.size + rng() % 64 : random_size();
          uint8_t* moved =
              static_cast<uint8_t*>(PoolRealloc(pool, s.data, size, __FILE__, __LINE__));
          if (!moved) {
            ++failures[t];
            continue;
          }
          if (std::memcmp(moved, s.expect, std::min(size, s.size)) != 0) ++failures[t];
          if (size > s.size && !is_zero(moved + s.size, size - s.size)) ++failures[t];
          s.data = moved;
          s.size = size;
          std::memcpy(s.data, s.expect, s.size);
        }
      }
      for (Slot& s : slots) {
        if (s.data && !intact(s)) ++failures[t];
        PoolFree(pool, s.data);
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
  for (unsigned pool : kPools) {
    const PoolStats s = PoolCheck(pool);
    EXPECT_EQ(s.used_blocks, 0u);
    EXPECT_EQ(s.segments, 1u);
    EXPECT_EQ(s.free_blocks, 1u);
  }
}

}  // namespace
}  // namespace r7k
