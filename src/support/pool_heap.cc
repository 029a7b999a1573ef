#include "support/pool_heap.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <new>
#include <thread>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define R7K_POOL_LSAN 1
#endif

namespace r7k {
namespace {

// Layout. Everything is counted in 32-byte units. Headers keep 32-bit fields so that they stay
// 32 bytes on 64-bit builds: links inside a segment are byte offsets from the segment's start
// (0 = none; offset 0 is the segment header, never a block), and the owning segment is the
// block's own offset back to it. Only the segment header holds real pointers, for the pool's
// segment chain.

constexpr uint32_t kUnit = 32;
constexpr uint32_t kSegmentMagic = 0x16CDCD16;
constexpr uint32_t kFreeMagic = 0x17CDCD17;
constexpr uint32_t kUsedMagic = 0x18CDCD18;
constexpr uint32_t kHeaderGuard = 0xCD1919CD;
constexpr uint32_t kSentinel = 32;    // offset of the segment's size-0 free block
constexpr uint32_t kFirstBlock = 64;  // offset of the first real block
constexpr uint32_t kTrailerSize = 8;
constexpr uint32_t kMaxSegmentUnits = 67108863;
constexpr uint32_t kNoFile = 0xFFFFFFFF;

struct SegmentHeader {
  uint32_t magic;
  uint32_t rover;      // free block after which the next search starts
  uint32_t used_head;  // newest used block
  uint32_t total;      // bytes, this header included
  SegmentHeader* next;
  SegmentHeader* prev;
};

struct BlockHeader {
  uint32_t magic;
  uint32_t size;  // whole block, header and trailer included
  uint32_t next;  // free: address-ordered circular list through the sentinel; used: newest first
  uint32_t prev;
  uint32_t time;       // seconds at allocation; 0 when free
  uint32_t requested;  // bytes asked for
  uint32_t segment;    // distance back to the owning segment
  uint32_t guard;
};

struct Trailer {
  uint32_t file;  // index into the file-name table
  uint32_t line;
};

static_assert(sizeof(SegmentHeader) == kUnit && sizeof(BlockHeader) == kUnit);
static_assert(sizeof(Trailer) == kTrailerSize);

struct PoolDescriptor {
  char name[16];
  std::atomic<int32_t> initialised;
  std::atomic<int32_t> initialising;
  alignas(std::mutex) unsigned char lock_storage[sizeof(std::mutex)];
  uint32_t segment_size;
  uint32_t free_fill;  // 256 or more: freed data is left as it is
  uint32_t search_depth;
  uint32_t guard;  // guard byte in all four bytes
  SegmentHeader* first;
  SegmentHeader* last;

  std::mutex& lock() { return *std::launder(reinterpret_cast<std::mutex*>(lock_storage)); }
  uint8_t guard_byte() const { return static_cast<uint8_t>(guard); }
};

// Zero-initialised static storage with nothing to destroy, so that blocks can still be freed
// while the process shuts down.
struct GlobalArea {
  std::atomic<int32_t> initialising;
  std::atomic<int32_t> ready;
  PoolDescriptor pools[kPoolCount];
};
GlobalArea g_area;

// Source file names live in an append-only table so a trailer can name one in 32 bits.
constexpr uint32_t kFileSlots = 4096;
std::atomic<const char*> g_files[kFileSlots];

uint32_t FileRef(const char* file) {
  if (!file) return kNoFile;
  uint64_t h = reinterpret_cast<uintptr_t>(file);
  h = (h ^ (h >> 29)) * 0x9E3779B97F4A7C15ull;
  const uint32_t start = static_cast<uint32_t>(h >> 52);
  for (uint32_t i = 0; i < kFileSlots; ++i) {
    const uint32_t slot = (start + i) % kFileSlots;
    const char* seen = g_files[slot].load(std::memory_order_acquire);
    if (!seen && g_files[slot].compare_exchange_strong(seen, file, std::memory_order_acq_rel))
      return slot;
    if (seen == file) return slot;
  }
  return kNoFile;
}

const char* FileName(uint32_t ref) {
  return ref < kFileSlots ? g_files[ref].load(std::memory_order_acquire) : nullptr;
}

void SleepFiveMs() { std::this_thread::sleep_for(std::chrono::milliseconds(5)); }

char* Bytes(void* p) { return static_cast<char*>(p); }
uint32_t Offset(const SegmentHeader* seg, const void* p) {
  return static_cast<uint32_t>(static_cast<const char*>(p) - reinterpret_cast<const char*>(seg));
}
BlockHeader* At(SegmentHeader* seg, uint32_t offset) {
  return reinterpret_cast<BlockHeader*>(Bytes(seg) + offset);
}
uint8_t* DataOf(BlockHeader* blk) { return reinterpret_cast<uint8_t*>(blk) + kUnit; }
BlockHeader* HeaderOf(const void* data) {
  return reinterpret_cast<BlockHeader*>(const_cast<char*>(static_cast<const char*>(data)) - kUnit);
}
// Bytes between the block's data start and its trailer.
uint32_t Room(const BlockHeader* blk) { return blk->size - kUnit - kTrailerSize; }
Trailer ReadTrailer(BlockHeader* blk) {
  Trailer t;
  std::memcpy(&t, Bytes(blk) + blk->size - kTrailerSize, sizeof t);
  return t;
}
void WriteTrailer(BlockHeader* blk, Trailer t) {
  std::memcpy(Bytes(blk) + blk->size - kTrailerSize, &t, sizeof t);
}
uint32_t BlockBytes(size_t size) {
  return static_cast<uint32_t>(((size + 43) / kUnit + 1) * kUnit);
}

// Ends the process: an integrity failure means the heap can no longer be trusted. Names the
// allocation's source location when the block's trailer can be read safely.
[[noreturn]] void Fatal(const char* check, SegmentHeader* seg = nullptr,
                        BlockHeader* blk = nullptr) {
  char msg[600];
  int n = 0;
  const char* file = nullptr;
  uint32_t line = 0;
  if (seg && blk) {
    const uint32_t off = Offset(seg, blk);
    if (off >= kFirstBlock && off % kUnit == 0 && blk->size >= 2 * kUnit &&
        blk->size % kUnit == 0 && blk->size <= seg->total - off) {
      const Trailer t = ReadTrailer(blk);
      file = FileName(t.file);
      line = t.line;
    }
  }
  if (file)
    n = std::snprintf(msg, sizeof msg, "pool heap: %s (block allocated at %s:%u)\n", check, file,
                      line);
  else
    n = std::snprintf(msg, sizeof msg, "pool heap: %s\n", check);
  if (n > 0) {
    std::fwrite(msg, 1, std::min<size_t>(n, sizeof msg - 1), stderr);
    std::fflush(stderr);
  }
  std::abort();
}

void EnsureGlobalArea() {
  if (g_area.ready.load(std::memory_order_acquire)) return;
  if (g_area.initialising.fetch_add(1, std::memory_order_acq_rel) == 0) {
    for (PoolDescriptor& p : g_area.pools) {
      std::memset(p.name, 0, sizeof p.name);
      p.initialised.store(0, std::memory_order_relaxed);
      p.initialising.store(0, std::memory_order_relaxed);
      p.first = p.last = nullptr;
    }
    std::strcpy(g_area.pools[0].name, "malloc");
    std::strcpy(g_area.pools[1].name, "new");
    g_area.ready.store(1, std::memory_order_release);
    return;
  }
  while (!g_area.ready.load(std::memory_order_acquire)) SleepFiveMs();
}

void EnsurePool(PoolDescriptor& pool) {
  if (pool.initialised.load(std::memory_order_acquire)) return;
  if (pool.initialising.fetch_add(1, std::memory_order_acq_rel) == 0) {
    new (pool.lock_storage) std::mutex;
    pool.segment_size = 0x80000;
    pool.free_fill = 0xFD;
    pool.search_depth = 16;
    pool.guard = 0x7F7F7F7F;
    pool.initialised.store(1, std::memory_order_release);
    return;
  }
  while (!pool.initialised.load(std::memory_order_acquire)) SleepFiveMs();
}

// A free-list link, checked before it is followed so that a broken list stops the process
// instead of sending the walk into foreign memory.
BlockHeader* FreeAt(SegmentHeader* seg, uint32_t offset) {
  if (offset % kUnit != 0 || offset < kSentinel || offset >= seg->total)
    Fatal("free list link out of its segment");
  BlockHeader* b = At(seg, offset);
  if (b->magic != kFreeMagic) Fatal("free list block without free magic");
  return b;
}

BlockHeader* UsedAt(SegmentHeader* seg, uint32_t offset) {
  if (offset % kUnit != 0 || offset < kFirstBlock || offset >= seg->total)
    Fatal("used list link out of its segment");
  BlockHeader* b = At(seg, offset);
  if (b->magic != kUsedMagic) Fatal("used list block without used magic", seg, b);
  return b;
}

void CheckSegment(SegmentHeader* seg) {
  if (seg->magic != kSegmentMagic) Fatal("segment header overwritten");
}

// Segments come zero-filled and page-aligned from the runtime's aligned allocation, the same on
// every system.
constexpr std::align_val_t kSegmentAlignment{4096};

SegmentHeader* MapSegment(size_t bytes) {
  void* p = ::operator new(bytes, kSegmentAlignment, std::nothrow);
  if (!p) return nullptr;
  std::memset(p, 0, bytes);
#ifdef R7K_POOL_LSAN
  // Blocks may hold the only pointer to runtime allocations.
  __lsan_register_root_region(p, bytes);
#endif
  return static_cast<SegmentHeader*>(p);
}

void UnmapSegment(SegmentHeader* seg) {
#ifdef R7K_POOL_LSAN
  __lsan_unregister_root_region(seg, seg->total);
#endif
  // Not the sized form: clang offers it only with -fsized-deallocation.
  ::operator delete(seg, kSegmentAlignment);
}

void InitFree(SegmentHeader* seg, uint32_t offset, uint32_t size, uint32_t next, uint32_t prev) {
  BlockHeader* b = At(seg, offset);
  *b = BlockHeader{kFreeMagic, size, next, prev, 0, 0, offset, kHeaderGuard};
}

// Appends a segment with room for at least `units` units; nullptr when the system refuses.
SegmentHeader* NewSegment(PoolDescriptor& pool, uint64_t units) {
  if (units > kMaxSegmentUnits) return nullptr;
  const uint64_t default_units =
      pool.segment_size > 33
          ? std::min<uint64_t>((pool.segment_size - 33) / kUnit, kMaxSegmentUnits)
          : 0;
  uint64_t bytes = std::max(default_units, units) * kUnit + 2 * kUnit;
  SegmentHeader* seg = MapSegment(bytes);
  if (!seg && bytes != units * kUnit + 2 * kUnit) {
    bytes = units * kUnit + 2 * kUnit;
    seg = MapSegment(bytes);
  }
  if (!seg) return nullptr;
  const uint32_t total = static_cast<uint32_t>(bytes);
  *seg = SegmentHeader{kSegmentMagic, kSentinel, 0, total, nullptr, pool.last};
  InitFree(seg, kSentinel, 0, kFirstBlock, kFirstBlock);
  InitFree(seg, kFirstBlock, total - kFirstBlock, kSentinel, kSentinel);
  if (pool.last)
    pool.last->next = seg;
  else
    pool.first = seg;
  pool.last = seg;
  return seg;
}

// Next fit: the first free block of `bytes` or more after the rover, all the way round.
bool FindFit(SegmentHeader* seg, uint32_t bytes, BlockHeader** prev, BlockHeader** cand) {
  CheckSegment(seg);
  if (seg->total - kFirstBlock < bytes) return false;
  BlockHeader* const rover = FreeAt(seg, seg->rover);
  BlockHeader* p = rover;
  for (uint32_t steps = seg->total / kUnit; steps > 0; --steps) {
    BlockHeader* q = FreeAt(seg, p->next);
    if (q->size >= bytes) {
      *prev = p;
      *cand = q;
      return true;
    }
    if (q == rover) return false;
    p = q;
  }
  Fatal("free list does not close");
}

// Looks a little further for a block that fits more tightly, so a big block is not cut for a
// small request when a closer one is near.
void Refine(const PoolDescriptor& pool, SegmentHeader* seg, uint32_t bytes, BlockHeader** prev,
            BlockHeader** cand) {
  if ((*cand)->size - bytes <= 128) return;
  BlockHeader* const stop = *prev;
  BlockHeader* p = *cand;
  BlockHeader* q = FreeAt(seg, p->next);
  for (uint32_t steps = 0; steps < pool.search_depth && q != stop; ++steps) {
    if (q->size >= bytes) {
      while (steps + 1 < pool.search_depth) {
        BlockHeader* n = FreeAt(seg, q->next);
        if (n == stop || n->size >= q->size || n->size < bytes) break;
        p = q;
        q = n;
        ++steps;
      }
      if (q->size < (*cand)->size) {
        *cand = q;
        *prev = p;
        if (q->size - bytes <= 128) return;
      }
    }
    p = q;
    q = FreeAt(seg, q->next);
  }
}

void UnlinkFree(SegmentHeader* seg, BlockHeader* blk) {
  At(seg, blk->prev)->next = blk->next;
  At(seg, blk->next)->prev = blk->prev;
}

void PushUsed(SegmentHeader* seg, BlockHeader* blk) {
  const uint32_t off = Offset(seg, blk);
  blk->next = seg->used_head;
  blk->prev = 0;
  if (seg->used_head) At(seg, seg->used_head)->prev = off;
  seg->used_head = off;
}

void* AllocIn(PoolDescriptor& pool, size_t size, uint32_t file, uint32_t line) {
  if (size > kPoolMaxRequest) return nullptr;
  const uint64_t units = (size + 43) / kUnit + 1;
  const uint32_t bytes = static_cast<uint32_t>(units * kUnit);
  std::unique_lock<std::mutex> hold(pool.lock());
  SegmentHeader* seg = pool.first;
  BlockHeader* prev = nullptr;
  BlockHeader* cand = nullptr;
  while (seg && !FindFit(seg, bytes, &prev, &cand)) seg = seg->next;
  const bool fresh = !seg;  // a new segment comes zeroed from the system
  if (fresh) {
    seg = NewSegment(pool, units);
    if (!seg || !FindFit(seg, bytes, &prev, &cand)) return nullptr;
  }
  Refine(pool, seg, bytes, &prev, &cand);

  BlockHeader* blk;
  if (cand->size == bytes || cand->size == bytes + kUnit) {
    UnlinkFree(seg, cand);
    blk = cand;
  } else {
    cand->size -= bytes;
    blk = At(seg, Offset(seg, cand) + cand->size);
    blk->size = bytes;
  }
  seg->rover = Offset(seg, prev);
  blk->magic = kUsedMagic;
  blk->segment = Offset(seg, blk);
  blk->guard = kHeaderGuard;
  blk->time = static_cast<uint32_t>(std::time(nullptr));
  blk->requested = static_cast<uint32_t>(size);
  PushUsed(seg, blk);
  const uint8_t guard = pool.guard_byte();
  hold.unlock();

  uint8_t* data = DataOf(blk);
  if (!fresh) std::memset(data, 0, size);
  std::memset(data + size, guard, Room(blk) - size);
  WriteTrailer(blk, Trailer{file, line});
  return data;
}

struct Owner {
  PoolDescriptor* pool;
  SegmentHeader* seg;
  std::unique_lock<std::mutex> hold;
};

SegmentHeader* SegmentHolding(PoolDescriptor& pool, const char* header) {
  for (SegmentHeader* s = pool.first; s; s = s->next) {
    const char* start = reinterpret_cast<const char*>(s);
    if (header >= start && header < start + s->total) return s;
  }
  return nullptr;
}

// The pool and segment whose memory holds the block's header, with that pool's lock held.
Owner FindOwner(unsigned first, const void* data) {
  const char* header = static_cast<const char*>(data) - kUnit;
  for (unsigned i = 0; i <= kPoolCount; ++i) {
    if (i > 0 && i - 1 == first) continue;
    const unsigned index = i == 0 ? first : i - 1;
    if (index >= kPoolCount) continue;
    PoolDescriptor& pool = g_area.pools[index];
    if (!pool.initialised.load(std::memory_order_acquire)) continue;
    std::unique_lock<std::mutex> hold(pool.lock());
    if (SegmentHeader* seg = SegmentHolding(pool, header))
      return Owner{&pool, seg, std::move(hold)};
  }
  Fatal("address not owned by any pool");
}

// What every operation checks before it touches a block.
void CheckHeader(SegmentHeader* seg, BlockHeader* blk) {
  const uint32_t off = Offset(seg, blk);
  if (off < kFirstBlock || off % kUnit != 0) Fatal("address is not the start of a block");
  if (blk->magic != kUsedMagic) Fatal("block is not in use (freed twice?)");
  if (blk->guard != kHeaderGuard) Fatal("block header guard overwritten");
  if (blk->size % kUnit != 0 || blk->size < 2 * kUnit || blk->size > seg->total - off)
    Fatal("block size overwritten");
  if (blk->size - kUnit < blk->requested) Fatal("block size smaller than its data", seg, blk);
  if (blk->segment != off) Fatal("block segment reference overwritten", seg, blk);
}

bool GuardIntact(const PoolDescriptor& pool, BlockHeader* blk) {
  if (blk->requested > blk->size - kUnit - 4) return false;
  return std::memcmp(DataOf(blk) + blk->requested, &pool.guard, 4) == 0;
}

void CheckGuard(const PoolDescriptor& pool, SegmentHeader* seg, BlockHeader* blk) {
  if (!GuardIntact(pool, blk)) Fatal("guard after the data overwritten", seg, blk);
}

void UnlinkUsed(SegmentHeader* seg, BlockHeader* blk) {
  if (blk->prev)
    At(seg, blk->prev)->next = blk->next;
  else
    seg->used_head = blk->next;
  if (blk->next) At(seg, blk->next)->prev = blk->prev;
}

void FillHeader(const PoolDescriptor& pool, BlockHeader* blk) {
  if (pool.free_fill < 256) std::memset(blk, static_cast<int>(pool.free_fill), kUnit);
}

// Frees a block whose header passed CheckHeader; the pool's lock is held.
void FreeLocked(PoolDescriptor& pool, SegmentHeader* seg, BlockHeader* blk) {
  CheckSegment(seg);
  const uint32_t off = Offset(seg, blk);
  if (blk->prev) {
    if (UsedAt(seg, blk->prev)->next != off) Fatal("used list broken", seg, blk);
  } else if (seg->used_head != off) {
    Fatal("used list broken", seg, blk);
  }
  if (blk->next && UsedAt(seg, blk->next)->prev != off) Fatal("used list broken", seg, blk);
  CheckGuard(pool, seg, blk);
  if (off + blk->size < seg->total) {
    const uint32_t magic = At(seg, off + blk->size)->magic;
    if (magic != kUsedMagic && magic != kFreeMagic)
      Fatal("header of the following block overwritten", seg, blk);
  }

  std::memset(Bytes(blk) + blk->size - kTrailerSize, pool.guard_byte(), kTrailerSize);
  blk->magic = kFreeMagic;
  UnlinkUsed(seg, blk);

  // Its place in the address-ordered list: between p and q, or at the wrap-around.
  BlockHeader* p = FreeAt(seg, seg->rover);
  BlockHeader* q;
  for (uint32_t steps = seg->total / kUnit;; --steps) {
    if (steps == 0) Fatal("free list does not close");
    q = FreeAt(seg, p->next);
    if (q->guard != kHeaderGuard) Fatal("free block header guard overwritten");
    if ((p < blk && blk < q) || (q <= p && (blk > p || blk < q))) break;
    p = q;
  }
  if ((q > blk && Bytes(blk) + blk->size > Bytes(q)) ||
      (p < blk && Bytes(p) + p->size > Bytes(blk)))
    Fatal("free blocks overlap", seg, blk);

  if (pool.free_fill < 256)
    std::memset(DataOf(blk), static_cast<int>(pool.free_fill), blk->requested);
  blk->time = 0;
  blk->requested = 0;
  blk->prev = Offset(seg, p);
  blk->next = Offset(seg, q);
  p->next = off;
  q->prev = off;
  seg->rover = Offset(seg, p);

  if (Bytes(blk) + blk->size == Bytes(q)) {
    blk->size += q->size;
    UnlinkFree(seg, q);
    FillHeader(pool, q);
  }
  if (Bytes(p) + p->size == Bytes(blk)) {
    p->size += blk->size;
    UnlinkFree(seg, blk);
    FillHeader(pool, blk);
  }

  if (seg->used_head == 0 && seg != pool.first) {
    seg->prev->next = seg->next;
    if (seg->next)
      seg->next->prev = seg->prev;
    else
      pool.last = seg->prev;
    UnmapSegment(seg);
  }
}

// Resizes a checked block without moving it; false when the neighbourhood leaves no room.
bool ResizeInPlace(PoolDescriptor& pool, SegmentHeader* seg, BlockHeader* blk, size_t size) {
  CheckSegment(seg);
  CheckGuard(pool, seg, blk);
  if (size > kPoolMaxRequest) return false;
  const uint32_t s = static_cast<uint32_t>(size);
  const uint32_t r = blk->requested;
  const uint32_t bytes = BlockBytes(size);
  const uint32_t whole = blk->size;
  uint8_t* data = DataOf(blk);
  const uint8_t guard = pool.guard_byte();

  if (bytes == whole || bytes + kUnit == whole) {
    if (s <= r)
      std::memset(data + s, guard, (bytes == whole ? r : Room(blk)) - s);
    else
      std::memset(data + r, 0, s - r);
    blk->requested = s;
    return true;
  }

  const Trailer trailer = ReadTrailer(blk);
  const uint32_t off = Offset(seg, blk);
  if (bytes < whole) {
    // Cut the tail off as a used block of its own and free it, which merges it.
    const uint32_t tail_size = whole - bytes;
    BlockHeader* tail = At(seg, off + bytes);
    *tail = BlockHeader{kUsedMagic,     tail_size,         0,           0, blk->time,
                        tail_size - 36, Offset(seg, tail), kHeaderGuard};
    std::memcpy(DataOf(tail) + tail->requested, &pool.guard, 4);
    PushUsed(seg, tail);
    blk->size = bytes;
    if (s > r) std::memset(data + r, 0, s - r);
    blk->requested = s;
    std::memset(data + s, guard, Room(blk) - s);
    WriteTrailer(blk, trailer);
    FreeLocked(pool, seg, tail);
    return true;
  }

  if (off + whole >= seg->total) return false;
  BlockHeader* next = At(seg, off + whole);
  if (next->magic != kFreeMagic || whole + next->size < bytes) return false;
  if (seg->rover == Offset(seg, next)) seg->rover = next->prev;
  uint32_t grown;
  if (bytes + kUnit >= whole + next->size) {
    grown = whole + next->size;
    UnlinkFree(seg, next);
  } else {
    const uint32_t cut = bytes - whole;
    BlockHeader rest = *next;
    rest.size -= cut;
    rest.segment = Offset(seg, next) + cut;
    BlockHeader* moved = At(seg, rest.segment);
    *moved = rest;
    At(seg, rest.prev)->next = rest.segment;
    At(seg, rest.next)->prev = rest.segment;
    grown = bytes;
  }
  blk->size = grown;
  std::memset(data + r, 0, s - r);
  std::memset(data + s, guard, Room(blk) - s);
  WriteTrailer(blk, trailer);
  blk->requested = s;
  return true;
}

PoolDescriptor* PoolAt(unsigned pool) {
  EnsureGlobalArea();
  return pool < kPoolCount ? &g_area.pools[pool] : nullptr;
}

}  // namespace

void* PoolAlloc(unsigned pool, size_t size, const char* file, int line) {
  PoolDescriptor* p = PoolAt(pool);
  if (!p || size > kPoolMaxRequest) return nullptr;
  EnsurePool(*p);
  return AllocIn(*p, size, FileRef(file), static_cast<uint32_t>(line));
}

void PoolFree(unsigned pool, void* data) {
  if (!data) return;
  EnsureGlobalArea();
  Owner owner = FindOwner(pool, data);
  BlockHeader* blk = HeaderOf(data);
  CheckHeader(owner.seg, blk);
  FreeLocked(*owner.pool, owner.seg, blk);
}

void* PoolRealloc(unsigned pool, void* data, size_t size, const char* /*file*/, int /*line*/) {
  if (!data) return nullptr;
  EnsureGlobalArea();
  Owner owner = FindOwner(pool, data);
  BlockHeader* blk = HeaderOf(data);
  CheckHeader(owner.seg, blk);
  if (ResizeInPlace(*owner.pool, owner.seg, blk, size)) return data;
  // The new block keeps the old one's source location: that is where the data was made.
  const Trailer origin = ReadTrailer(blk);
  const size_t keep = std::min<size_t>(blk->requested, size);
  owner.hold.unlock();
  void* moved = AllocIn(*owner.pool, size, origin.file, origin.line);
  if (!moved) return nullptr;
  std::memcpy(moved, data, keep);
  owner.hold.lock();
  CheckHeader(owner.seg, blk);
  FreeLocked(*owner.pool, owner.seg, blk);
  return moved;
}

size_t PoolSize(unsigned pool, const void* data) {
  if (!data) return 0;
  EnsureGlobalArea();
  Owner owner = FindOwner(pool, data);
  BlockHeader* blk = HeaderOf(data);
  CheckHeader(owner.seg, blk);
  return blk->requested;
}

PoolStats PoolCheck(unsigned pool) {
  PoolStats stats;
  PoolDescriptor* p = PoolAt(pool);
  if (!p || !p->initialised.load(std::memory_order_acquire)) return stats;
  std::lock_guard<std::mutex> hold(p->lock());
  SegmentHeader* before = nullptr;
  for (SegmentHeader* seg = p->first; seg; before = seg, seg = seg->next) {
    CheckSegment(seg);
    if (seg->prev != before) Fatal("segment chain broken");
    ++stats.segments;
    size_t used = 0, free = 0;
    bool last_free = false;
    for (uint32_t off = kFirstBlock; off < seg->total;) {
      BlockHeader* b = At(seg, off);
      if (b->guard != kHeaderGuard) Fatal("check: block header guard overwritten");
      if (b->size % kUnit != 0 || b->size < 2 * kUnit || b->size > seg->total - off)
        Fatal("check: block size overwritten");
      if (b->segment != off) Fatal("check: block segment reference overwritten", seg, b);
      if (b->magic == kUsedMagic) {
        CheckHeader(seg, b);
        CheckGuard(*p, seg, b);
        ++used;
        stats.used_bytes += b->size;
        last_free = false;
      } else if (b->magic == kFreeMagic) {
        if (last_free) Fatal("check: neighbouring free blocks not merged");
        ++free;
        stats.free_bytes += b->size;
        last_free = true;
      } else {
        Fatal("check: block without magic");
      }
      off += b->size;
    }
    // The free list runs through every free block in address order and closes at the sentinel.
    size_t listed = 0;
    bool rover_listed = seg->rover == kSentinel;
    BlockHeader* sentinel = FreeAt(seg, kSentinel);
    if (sentinel->size != 0) Fatal("check: sentinel size overwritten");
    for (BlockHeader* b = sentinel;;) {
      BlockHeader* n = FreeAt(seg, b->next);
      if (n->prev != Offset(seg, b)) Fatal("check: free list back link broken");
      if (n == sentinel) break;
      if (n <= b || ++listed > free) Fatal("check: free list out of address order");
      rover_listed |= seg->rover == Offset(seg, n);
      b = n;
    }
    if (listed != free) Fatal("check: free block missing from the free list");
    if (!rover_listed) Fatal("check: rover is not on the free list");
    size_t chained = 0;
    uint32_t back = 0;
    for (uint32_t off = seg->used_head; off; off = At(seg, off)->next) {
      BlockHeader* b = UsedAt(seg, off);
      if (b->prev != back || ++chained > used) Fatal("check: used list broken", seg, b);
      back = off;
    }
    if (chained != used) Fatal("check: used block missing from the used list");
    stats.used_blocks += used;
    stats.free_blocks += free;
  }
  if (before != p->last) Fatal("segment chain broken");
  return stats;
}

}  // namespace r7k
