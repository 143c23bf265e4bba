// Zero-filled blocks from anonymous mappings (calloc elsewhere).
#include "tfenrich/ZeroedBlock.h"

#include <cstdlib>

#if defined(__unix__) || defined(__APPLE__)
#include <sys/mman.h>
#define TFENRICH_HAVE_MMAP 1
#endif

namespace tfenrich {

ZeroedBytes& ZeroedBytes::operator=(ZeroedBytes&& other) noexcept {
  if (this != &other) {
    release();
    data_ = other.data_;
    size_ = other.size_;
    other.data_ = nullptr;
    other.size_ = 0;
  }
  return *this;
}

bool ZeroedBytes::allocate(std::size_t bytes) {
  release();
  if (bytes == 0) return true;
#ifdef TFENRICH_HAVE_MMAP
  void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return false;
#ifdef MADV_HUGEPAGE
  // Only a hint: where large pages are not available this changes nothing.
  constexpr std::size_t kLargePage = std::size_t{2} << 20;
  if (bytes >= 2 * kLargePage) madvise(p, bytes, MADV_HUGEPAGE);
#endif
#else
  void* p = std::calloc(bytes, 1);
  if (p == nullptr) return false;
#endif
  data_ = p;
  size_ = bytes;
  return true;
}

void ZeroedBytes::release() {
  if (data_ == nullptr) return;
#ifdef TFENRICH_HAVE_MMAP
  munmap(data_, size_);
#else
  std::free(data_);
#endif
  data_ = nullptr;
  size_ = 0;
}

}  // namespace tfenrich
