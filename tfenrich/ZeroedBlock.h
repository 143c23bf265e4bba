#pragma once
// A block of zero-filled memory for large tables that are written once,
// sparsely or in full.  On POSIX systems it is an anonymous mapping: the
// system hands out zeroed pages when they are first touched, so the block
// is never cleared by the program, and pages never touched cost nothing.
// Blocks of several megabytes ask for large pages, which cuts the number
// of page faults by a factor of 512 where the system supports them.
#include <cstddef>

namespace tfenrich {

class ZeroedBytes {
 public:
  ZeroedBytes() = default;
  ~ZeroedBytes() { release(); }
  ZeroedBytes(const ZeroedBytes&) = delete;
  ZeroedBytes& operator=(const ZeroedBytes&) = delete;
  ZeroedBytes(ZeroedBytes&& other) noexcept : data_(other.data_), size_(other.size_) {
    other.data_ = nullptr;
    other.size_ = 0;
  }
  ZeroedBytes& operator=(ZeroedBytes&& other) noexcept;

  // Replaces the block by a zero-filled one of `bytes` bytes (none for 0);
  // false when the memory cannot be had (the block is empty then).
  bool allocate(std::size_t bytes);
  void release();
  void* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  void* data_ = nullptr;
  std::size_t size_ = 0;
};

template <typename T>
class ZeroedBlock {
 public:
  bool allocate(std::size_t count) {
    if (count > static_cast<std::size_t>(-1) / sizeof(T)) return false;
    return bytes_.allocate(count * sizeof(T));
  }
  void release() { bytes_.release(); }
  T* get() const { return static_cast<T*>(bytes_.data()); }
  std::size_t size() const { return bytes_.size() / sizeof(T); }

 private:
  ZeroedBytes bytes_;
};

}  // namespace tfenrich
