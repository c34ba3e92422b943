// The text of one formatted call, on the stack. Internal to textout.
//
// A report line fits in the stack array, so the formatter never touches the
// heap; only an unusually long text (a huge field width, a very long %s)
// moves to a heap block, which is released with the buffer.
//
//   append       copy bytes to the end
//   fill         n copies of one character
//   extend       n writable bytes at the end, for formatting in place
//   data, size   the text so far
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <utility>

namespace textout::detail {

class OutputBuffer {
 public:
  static constexpr std::size_t kStackBytes = 1024;

  OutputBuffer() = default;
  OutputBuffer(const OutputBuffer&) = delete;
  OutputBuffer& operator=(const OutputBuffer&) = delete;

  char* extend(std::size_t n) {
    if (n > capacity_ - size_) grow(n);
    char* at = data_ + size_;
    size_ += n;
    return at;
  }
  void append(const char* text, std::size_t n) { std::memcpy(extend(n), text, n); }
  void fill(char c, std::size_t n) { std::memset(extend(n), c, n); }

  const char* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  void grow(std::size_t n);

  char local_[kStackBytes];
  std::unique_ptr<char[]> heap_;
  char* data_ = local_;
  std::size_t size_ = 0;
  std::size_t capacity_ = kStackBytes;
};

}  // namespace textout::detail
