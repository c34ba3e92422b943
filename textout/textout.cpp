// printf with three-digit exponents: the walk over a format string and the
// one write per call.
//
//   format_into    literal text in runs, each conversion by append_conversion
//   out_vformat    the text as a std::string
//   out_vprintf    the text to a stream, in one write
//   last_write_error  why the latest failed write of this thread failed
#include "textout/textout.h"

#include <cerrno>
#include <cstring>

#include "textout/conversion.h"
#include "textout/fast_format.h"
#include "textout/output_buffer.h"

namespace textout {
namespace {

using detail::OutputBuffer;

void format_into(OutputBuffer& out, const char* format, std::va_list& args) {
  const char* p = format;
  for (;;) {
    const char* percent = std::strchr(p, '%');
    if (percent == nullptr) {
      out.append(p, std::strlen(p));
      return;
    }
    out.append(p, static_cast<std::size_t>(percent - p));
    if (percent[1] == '%') {
      out.append("%", 1);
      p = percent + 2;
      continue;
    }
    detail::Conversion conv;
    p = detail::parse_conversion(percent + 1, conv, args);
    detail::append_conversion(conv, args, out);
  }
}

}  // namespace

std::string out_vformat(const char* format, std::va_list args_in) {
  std::va_list args;
  va_copy(args, args_in);
  OutputBuffer out;
  format_into(out, format, args);
  va_end(args);
  return std::string(out.data(), out.size());
}

std::string out_format(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::string text = out_vformat(format, args);
  va_end(args);
  return text;
}

namespace {
thread_local int latest_write_error = 0;
}  // namespace

int last_write_error() { return latest_write_error; }

int out_vprintf(std::FILE* stream, const char* format, std::va_list args_in) {
  if (stream == nullptr) return -1;
  std::va_list args;
  va_copy(args, args_in);
  OutputBuffer out;
  format_into(out, format, args);
  va_end(args);
  if (std::fwrite(out.data(), 1, out.size(), stream) != out.size()) {
    latest_write_error = errno;
    return -1;
  }
  return static_cast<int>(out.size());
}

int out_printf(std::FILE* stream, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  const int written = out_vprintf(stream, format, args);
  va_end(args);
  return written;
}

}  // namespace textout
