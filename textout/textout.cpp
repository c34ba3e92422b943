// printf with three-digit exponents.
//
//   out_vformat    the text as a std::string
//   out_vprintf    the text to a stream
#include "textout/textout.h"

#include "textout/reference_format.h"

namespace textout {

std::string out_vformat(const char* format, std::va_list args) { return detail::reference_vformat(format, args); }

std::string out_format(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::string text = out_vformat(format, args);
  va_end(args);
  return text;
}

int out_vprintf(std::FILE* stream, const char* format, std::va_list args) {
  if (stream == nullptr) return -1;
  const std::string text = out_vformat(format, args);
  if (std::fwrite(text.data(), 1, text.size(), stream) != text.size()) return -1;
  return static_cast<int>(text.size());
}

int out_printf(std::FILE* stream, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  const int written = out_vprintf(stream, format, args);
  va_end(args);
  return written;
}

}  // namespace textout
