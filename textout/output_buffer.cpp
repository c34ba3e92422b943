// The rare move of a formatted text from the stack to the heap (see output_buffer.h).
//
//   OutputBuffer::grow   room for n more bytes, at least doubling
#include "textout/output_buffer.h"

#include <cstring>
#include <new>
#include <utility>

namespace textout::detail {

void OutputBuffer::grow(std::size_t n) {
  std::size_t capacity = capacity_;
  while (n > capacity - size_) {
    if (capacity > static_cast<std::size_t>(-1) / 2) throw std::bad_alloc();
    capacity *= 2;
  }
  std::unique_ptr<char[]> block(new char[capacity]);
  std::memcpy(block.get(), data_, size_);
  heap_ = std::move(block);
  data_ = heap_.get();
  capacity_ = capacity;
}

}  // namespace textout::detail
