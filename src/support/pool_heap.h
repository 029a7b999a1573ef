#pragma once

// The pool heap: all of the program's own raw blocks come from here rather than from the
// runtime's allocator. Every block carries magic values, a guard after its data and the source
// location of its allocation, so overwrites, double frees and foreign pointers stop the process
// on the spot with a message naming the broken check.
//
// Call sites pass their own location: use the macros from C-style code and PoolBuffer, PoolPtr
// or PoolAllocHere from C++ (they pick up the caller's location by themselves).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <utility>

namespace r7k {

// Pools 0 ("malloc", the one the program uses) and 1 ("new"); 2 to 7 are unnamed.
inline constexpr unsigned kPoolCount = 8;
inline constexpr unsigned kMainPool = 0;

// Largest size a block can be asked for; anything bigger gets none.
inline constexpr size_t kPoolMaxRequest = 0x7FFFFFC0;

// Zero-filled block of `size` bytes, or nullptr when memory is exhausted, the size is too big or
// there is no such pool.
void* PoolAlloc(unsigned pool, size_t size, const char* file, int line);
// Nothing for nullptr. A pointer no pool owns, or a broken block, is fatal.
void PoolFree(unsigned pool, void* data);
// Resizes in place when it can, else moves the data to a new block of the owner pool. nullptr
// for a nullptr block (nothing is allocated); nullptr on exhaustion leaves the old block as it is.
void* PoolRealloc(unsigned pool, void* data, size_t size, const char* file, int line);
// The size the block was asked for; 0 for nullptr.
size_t PoolSize(unsigned pool, const void* data);
// The pool argument of the last three only says where to look first: the owner is found.

// Walks every segment, block and list of a pool and stops the process at the first fault.
// Only meaningful while no other thread works on the pool.
struct PoolStats {
  size_t segments = 0;
  size_t used_blocks = 0;
  size_t used_bytes = 0;  // whole blocks, headers and trailers included
  size_t free_blocks = 0;
  size_t free_bytes = 0;
};
PoolStats PoolCheck(unsigned pool);

#define R7K_POOL_ALLOC(size) ::r7k::PoolAlloc(::r7k::kMainPool, (size), __FILE__, __LINE__)
#define R7K_POOL_REALLOC(data, size) \
  ::r7k::PoolRealloc(::r7k::kMainPool, (data), (size), __FILE__, __LINE__)
#define R7K_POOL_FREE(data) ::r7k::PoolFree(::r7k::kMainPool, (data))

// The call site's file and line come from the default arguments (clang 14 has no
// std::source_location, and the fuzz build uses it).
inline void* PoolAllocHere(size_t size, const char* file = __builtin_FILE(),
                           int line = __builtin_LINE()) {
  return PoolAlloc(kMainPool, size, file, line);
}

// Frees a main-pool block, for std::unique_ptr.
struct PoolDeleter {
  void operator()(void* data) const noexcept { PoolFree(kMainPool, data); }
};
template <typename T>
using PoolPtr = std::unique_ptr<T, PoolDeleter>;

// Owns one main-pool block of bytes. Empty when the allocation failed.
class PoolBuffer {
 public:
  PoolBuffer() = default;
  explicit PoolBuffer(size_t size, const char* file = __builtin_FILE(), int line = __builtin_LINE())
      : data_(static_cast<uint8_t*>(PoolAlloc(kMainPool, size, file, line))),
        size_(data_ ? size : 0) {}
  PoolBuffer(PoolBuffer&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
  PoolBuffer& operator=(PoolBuffer&& other) noexcept {
    if (this != &other) {
      PoolFree(kMainPool, data_);
      data_ = std::exchange(other.data_, nullptr);
      size_ = std::exchange(other.size_, 0);
    }
    return *this;
  }
  PoolBuffer(const PoolBuffer&) = delete;
  PoolBuffer& operator=(const PoolBuffer&) = delete;
  ~PoolBuffer() { PoolFree(kMainPool, data_); }

  uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  bool empty() const { return data_ == nullptr; }
  explicit operator bool() const { return data_ != nullptr; }
  std::span<uint8_t> span() const { return {data_, size_}; }

  // Grows (new bytes zero) or shrinks the block; false keeps it as it was. An empty buffer
  // allocates.
  bool Resize(size_t size, const char* file = __builtin_FILE(), int line = __builtin_LINE()) {
    void* grown = data_ ? PoolRealloc(kMainPool, data_, size, file, line)
                        : PoolAlloc(kMainPool, size, file, line);
    if (!grown) return false;
    data_ = static_cast<uint8_t*>(grown);
    size_ = size;
    return true;
  }
  // Hands the block over; the caller frees it with PoolFree.
  uint8_t* Release() {
    size_ = 0;
    return std::exchange(data_, nullptr);
  }

 private:
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace r7k
