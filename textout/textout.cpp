// printf with three-digit exponents.
//
//   parse_conversion        split one conversion into its parts
//   widen_exponent    e-015 instead of e-15
//   pad_to_width      apply flags and field width to already formatted text
//   format_one        format one conversion with its argument
//   out_vformat       walk the format string
//   out_vprintf       write the result to a stream
#include "textout/textout.h"

#include <array>
#include <cerrno>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace textout {
namespace {

constexpr int kMinExponentDigits = 3;

struct Conversion {
  char flags[8] = {};   // any of "-+ #0"
  int width = -1;       // -1: none
  int precision = -1;   // -1: none
  char length[4] = {};  // "", "h", "hh", "l", "ll", "L", "z", "j", "t"
  char conversion = '\0';
};

bool has_flag(const Conversion& conv, char flag) { return std::strchr(conv.flags, flag) != nullptr; }

void append_char(char* text, std::size_t capacity, char c) {
  const std::size_t len = std::strlen(text);
  if (len + 1 < capacity) {
    text[len] = c;
    text[len + 1] = '\0';
  }
}

using FormatBuffer = std::array<char, 48>;

// Rebuilds a single-conversion format from its parts. The width is left out
// for floating conversions (applied after the exponent is widened), and so
// are the flags that only act on the width.
FormatBuffer build_format(const Conversion& conv, bool with_width) {
  FormatBuffer out{};
  char flags[8] = {};
  for (const char* f = conv.flags; *f != '\0'; ++f) {
    if (with_width || (*f != '-' && *f != '0')) append_char(flags, sizeof flags, *f);
  }
  char width[16] = {};
  if (with_width && conv.width >= 0) std::snprintf(width, sizeof width, "%d", conv.width);
  char precision[16] = {};
  if (conv.precision >= 0) std::snprintf(precision, sizeof precision, ".%d", conv.precision);
  std::snprintf(out.data(), out.size(), "%%%s%s%s%s%c", flags, width, precision,
                with_width ? conv.length : "", conv.conversion);
  return out;
}

// Reads a conversion starting just after '%'. Returns the
// position after the conversion character. '*' width and precision are taken
// from args.
const char* parse_conversion(const char* p, Conversion& conv, std::va_list& args) {
  while (*p != '\0' && std::strchr("-+ #0", *p) != nullptr) append_char(conv.flags, sizeof conv.flags, *p++);
  if (*p == '*') {
    int w = va_arg(args, int);
    if (w < 0) {
      append_char(conv.flags, sizeof conv.flags, '-');
      w = -w;
    }
    conv.width = w;
    ++p;
  } else if (std::isdigit(static_cast<unsigned char>(*p))) {
    conv.width = 0;
    while (std::isdigit(static_cast<unsigned char>(*p))) conv.width = conv.width * 10 + (*p++ - '0');
  }
  if (*p == '.') {
    ++p;
    if (*p == '*') {
      conv.precision = va_arg(args, int);  // a negative precision counts as none
      ++p;
    } else {
      conv.precision = 0;
      while (std::isdigit(static_cast<unsigned char>(*p))) conv.precision = conv.precision * 10 + (*p++ - '0');
    }
  }
  while (*p != '\0' && std::strchr("hlLqjzt", *p) != nullptr) append_char(conv.length, sizeof conv.length, *p++);
  conv.conversion = *p;
  return *p != '\0' ? p + 1 : p;
}

// "1.5e+05" -> "1.5e+005". Text without an exponent (fixed form of %g,
// inf, nan) is returned unchanged.
std::string widen_exponent(const std::string& text) {
  const std::size_t e = text.find_first_of("eE");
  if (e == std::string::npos || e + 1 >= text.size()) return text;
  const std::size_t digits_at = e + 2;  // after the exponent sign
  if (text[e + 1] != '+' && text[e + 1] != '-') return text;
  const std::size_t digit_count = text.size() - digits_at;
  if (digit_count >= kMinExponentDigits) return text;
  std::string widened = text.substr(0, digits_at);
  widened.append(kMinExponentDigits - digit_count, '0');
  widened.append(text, digits_at, std::string::npos);
  return widened;
}

// Applies the field width to formatted text the way printf does: '-' pads on
// the right, '0' pads with zeros after the sign (finite numbers only),
// otherwise spaces on the left.
std::string pad_to_width(const std::string& text, const Conversion& conv, bool numeric_finite) {
  if (conv.width < 0 || text.size() >= static_cast<std::size_t>(conv.width)) return text;
  const std::size_t fill = static_cast<std::size_t>(conv.width) - text.size();
  if (has_flag(conv, '-')) return text + std::string(fill, ' ');
  if (has_flag(conv, '0') && numeric_finite) {
    std::size_t sign_end = 0;
    if (!text.empty() && (text[0] == '-' || text[0] == '+' || text[0] == ' ')) sign_end = 1;
    return text.substr(0, sign_end) + std::string(fill, '0') + text.substr(sign_end);
  }
  return std::string(fill, ' ') + text;
}

std::string vsnprintf_string(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string vsnprintf_string(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::va_list again;
  va_copy(again, args);
  const int size = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string out;
  if (size > 0) {
    out.resize(static_cast<std::size_t>(size) + 1);
    std::vsnprintf(out.data(), out.size(), format, again);
    out.resize(static_cast<std::size_t>(size));
  }
  va_end(again);
  return out;
}

// A floating conversion without its width: flags other than '-' and '0' and
// the precision stay, the width is applied after the exponent is widened.
std::string format_floating(const Conversion& conv, double value) {
  const FormatBuffer inner = build_format(conv, false);
  std::string text = vsnprintf_string(inner.data(), value);
  const char c = conv.conversion;
  if (c == 'e' || c == 'E' || c == 'g' || c == 'G') text = widen_exponent(text);
  const bool finite = value - value == 0.0;
  return pad_to_width(text, conv, finite);
}

// Every other conversion is left to the C library, whole.
std::string format_passthrough(const Conversion& conv, std::va_list& args) {
  const FormatBuffer format = build_format(conv, true);
  const char* full = format.data();
  const std::string_view length = conv.length;
  const bool is_long = length == "l";
  const bool is_long_long = length == "ll" || length == "q" || length == "j";
  const bool is_size = length == "z" || length == "t";
  switch (conv.conversion) {
    case 'd':
    case 'i':
      if (is_long_long) return vsnprintf_string(full, va_arg(args, long long));
      if (is_long) return vsnprintf_string(full, va_arg(args, long));
      if (is_size) return vsnprintf_string(full, va_arg(args, std::ptrdiff_t));
      return vsnprintf_string(full, va_arg(args, int));
    case 'u':
    case 'o':
    case 'x':
    case 'X':
      if (is_long_long) return vsnprintf_string(full, va_arg(args, unsigned long long));
      if (is_long) return vsnprintf_string(full, va_arg(args, unsigned long));
      if (is_size) return vsnprintf_string(full, va_arg(args, std::size_t));
      return vsnprintf_string(full, va_arg(args, unsigned int));
    case 'c':
      return vsnprintf_string(full, va_arg(args, int));
    case 's': {
      const char* s = va_arg(args, const char*);
      return vsnprintf_string(full, s != nullptr ? s : "(null)");
    }
    case 'p':
      return vsnprintf_string(full, va_arg(args, void*));
    default:
      return std::string(format.data());
  }
}

}  // namespace

std::string out_vformat(const char* format, std::va_list args_in) {
  std::va_list args;
  va_copy(args, args_in);
  std::string out;
  for (const char* p = format; *p != '\0';) {
    if (*p != '%') {
      out += *p++;
      continue;
    }
    if (p[1] == '%') {
      out += '%';
      p += 2;
      continue;
    }
    Conversion conv;
    p = parse_conversion(p + 1, conv, args);
    switch (conv.conversion) {
      case 'e':
      case 'E':
      case 'f':
      case 'F':
      case 'g':
      case 'G':
      case 'a':
      case 'A':
        // "%Le" takes a double as well: the reports print doubles with it.
        out += format_floating(conv, va_arg(args, double));
        break;
      case 'n':
        break;  // never used; writing through it is not supported
      case '\0':
        break;
      default:
        out += format_passthrough(conv, args);
        break;
    }
  }
  va_end(args);
  return out;
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

int out_vprintf(std::FILE* stream, const char* format, std::va_list args) {
  if (stream == nullptr) return -1;
  const std::string text = out_vformat(format, args);
  if (std::fwrite(text.data(), 1, text.size(), stream) != text.size()) {
    latest_write_error = errno;
    return -1;
  }
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
