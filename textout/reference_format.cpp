// The C-library route: printf per conversion, then three-digit exponents and
// the field width (see reference_format.h).
//
//   build_format        a single-conversion format rebuilt from its parts
//   vsnprintf_string    printf into a std::string
//   widen_exponent      e-015 instead of e-15
//   pad_to_width        flags and field width on already formatted text
//   reference_floating  one floating conversion
//   reference_other     one non-floating conversion
//   reference_vformat   walk a whole format string
#include "textout/reference_format.h"

#include <array>
#include <cstddef>
#include <cstdio>
#include <string_view>

namespace textout::detail {
namespace {

constexpr std::size_t kMinExponentDigits = 3;

using FormatBuffer = std::array<char, 48>;

// The width is left out for floating conversions (it is applied after the
// exponent is widened), and so are the flags that only act on the width and
// the length modifier ("%Le" takes a double).
FormatBuffer build_format(const Conversion& conv, bool with_width) {
  FormatBuffer out{};
  char flags[kFlagTextCapacity] = {};
  std::size_t kept = 0;
  for (const char* f = conv.flags; *f != '\0'; ++f) {
    if (with_width || (*f != '-' && *f != '0')) flags[kept++] = *f;
  }
  char width[16] = {};
  if (with_width && conv.width >= 0) std::snprintf(width, sizeof width, "%d", conv.width);
  char precision[16] = {};
  if (conv.precision >= 0) std::snprintf(precision, sizeof precision, ".%d", conv.precision);
  std::snprintf(out.data(), out.size(), "%%%s%s%s%s%c", flags, width, precision, with_width ? conv.length : "",
                conv.conversion);
  return out;
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

// The field width the way printf applies it: '-' pads on the right, '0' pads
// with zeros after the sign (finite numbers only), otherwise spaces on the left.
std::string pad_to_width(const std::string& text, const Conversion& conv, bool numeric_finite) {
  if (conv.width < 0 || text.size() >= static_cast<std::size_t>(conv.width)) return text;
  const std::size_t fill = static_cast<std::size_t>(conv.width) - text.size();
  if (has_flag(conv, kFlagMinus)) return text + std::string(fill, ' ');
  if (has_flag(conv, kFlagZero) && numeric_finite) {
    std::size_t sign_end = 0;
    if (!text.empty() && (text[0] == '-' || text[0] == '+' || text[0] == ' ')) sign_end = 1;
    return text.substr(0, sign_end) + std::string(fill, '0') + text.substr(sign_end);
  }
  return std::string(fill, ' ') + text;
}

bool is_floating(char c) {
  return c == 'e' || c == 'E' || c == 'f' || c == 'F' || c == 'g' || c == 'G' || c == 'a' || c == 'A';
}

}  // namespace

std::string reference_floating(const Conversion& conv, double value) {
  const FormatBuffer inner = build_format(conv, false);
  std::string text = vsnprintf_string(inner.data(), value);
  const char c = conv.conversion;
  if (c == 'e' || c == 'E' || c == 'g' || c == 'G') text = widen_exponent(text);
  const bool finite = value - value == 0.0;
  return pad_to_width(text, conv, finite);
}

std::string reference_other(const Conversion& conv, std::va_list& args) {
  const FormatBuffer format = build_format(conv, true);
  const char* full = format.data();
  const std::string_view length = conv.length;
  const bool is_long = length == "l";
  const bool is_long_long = length == "ll" || length == "q" || length == "j";
  const bool is_size = length == "z" || length == "t";
  switch (conv.conversion) {
    case 'd':  // NOLINT(bugprone-branch-clone): the integer conversions share their length rules
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
    case 'n':
    case '\0':
      return {};  // %n is never used; writing through it is not supported
    default:
      return std::string(format.data());
  }
}

std::string reference_vformat(const char* format, std::va_list args_in) {
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
    if (is_floating(conv.conversion)) {
      out += reference_floating(conv, va_arg(args, double));
    } else {
      out += reference_other(conv, args);
    }
  }
  va_end(args);
  return out;
}

std::string reference_format(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::string text = reference_vformat(format, args);
  va_end(args);
  return text;
}

}  // namespace textout::detail
