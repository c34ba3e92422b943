// The fast conversions: std::to_chars and padding into the caller's buffer
// (see fast_format.h).
//
// Deciding the route
//   is_floating, length_is, fast_floating, fast_integer, fast_text
// Writing
//   put_sign            '-', '+', ' ' or nothing before a number
//   append_padded       a signed text, padded to the field width
//   widen_exponent      e-05 -> e-005, in place
//   append_floating     %e %E %f %F %g %G of a double
//   append_integer      %d %i %u of int, long, long long
//   append_text         %s and %c
// Entry point
//   append_conversion   the fast route when it is exact, else the reference
#include "textout/fast_format.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <string>
#include <system_error>

#include "textout/reference_format.h"

namespace textout::detail {
namespace {

constexpr int kDefaultPrecision = 6;  // printf's precision when none is given

// %f of the largest double (309 integer digits) at kMaxFastPrecision, with
// room for the sign and the inserted exponent digit.
constexpr std::size_t kNumberScratch = 512;
static_assert(309 + 1 + kMaxFastPrecision + 2 < kNumberScratch);

constexpr std::size_t kIntegerScratch = 24;  // a sign and the 20 digits of 2^64

// The flags a %s or %c may carry on the fast route.
constexpr unsigned kTextFlags = kFlagMinus;

bool is_floating(char c) {
  return c == 'e' || c == 'E' || c == 'f' || c == 'F' || c == 'g' || c == 'G' || c == 'a' || c == 'A';
}

bool length_is(const Conversion& conv, const char* length) { return std::strcmp(conv.length, length) == 0; }

bool fast_floating(const Conversion& conv) {
  const char c = conv.conversion;
  return c != 'a' && c != 'A' && !has_flag(conv, kFlagHash) && conv.precision <= kMaxFastPrecision;
}

bool fast_integer(const Conversion& conv) {
  const bool plain_length = length_is(conv, "") || length_is(conv, "l") || length_is(conv, "ll");
  return plain_length && conv.precision < 0 && !has_flag(conv, kFlagHash);
}

bool fast_text(const Conversion& conv) { return length_is(conv, "") && (conv.flag_bits & ~kTextFlags) == 0; }

// The sign printf puts before a number, written at `at`; returns its length.
std::size_t put_sign(char* at, bool negative, const Conversion& conv) {
  const char sign = negative ? '-' : has_flag(conv, kFlagPlus) ? '+' : has_flag(conv, kFlagSpace) ? ' ' : '\0';
  *at = sign;
  return sign != '\0' ? 1 : 0;
}

// printf's placement of the padding around a text that begins with a sign of
// sign_length characters: after the text for '-', between sign and digits
// for '0' (when zero_fill is allowed), before the text otherwise.
void append_padded(const Conversion& conv, const char* text, std::size_t length, std::size_t sign_length,
                   bool zero_fill, OutputBuffer& out) {
  const std::size_t width = conv.width > 0 ? static_cast<std::size_t>(conv.width) : 0;
  const std::size_t fill = width > length ? width - length : 0;
  const bool left = has_flag(conv, kFlagMinus);
  if (fill != 0 && !left && zero_fill && has_flag(conv, kFlagZero)) {
    out.append(text, sign_length);
    out.fill('0', fill);
    out.append(text + sign_length, length - sign_length);
    return;
  }
  if (fill != 0 && !left) out.fill(' ', fill);
  out.append(text, length);
  if (fill != 0 && left) out.fill(' ', fill);
}

// to_chars writes at least two exponent digits; the reports want three. An
// exponent, when present, is the last four or five characters.
std::size_t widen_exponent(char* body, std::size_t length) {
  if (length < 4 || body[length - 4] != 'e') return length;
  body[length] = body[length - 1];
  body[length - 1] = body[length - 2];
  body[length - 2] = '0';
  return length + 1;
}

std::chars_format chars_format_of(char conversion) {
  switch (conversion) {
    case 'e':
    case 'E':
      return std::chars_format::scientific;
    case 'f':
    case 'F':
      return std::chars_format::fixed;
    default:
      return std::chars_format::general;
  }
}

void to_upper_ascii(char* body, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if (body[i] >= 'a' && body[i] <= 'z') body[i] = static_cast<char>(body[i] - 'a' + 'A');
  }
}

void append_floating(const Conversion& conv, double value, OutputBuffer& out) {
  char text[kNumberScratch];
  const char c = conv.conversion;
  const int precision = conv.precision < 0 ? kDefaultPrecision : conv.precision;
  // The sign is ours, so that -0.0 and negative NaNs keep theirs.
  const std::size_t sign_length = put_sign(text, std::signbit(value), conv);
  char* const body = text + sign_length;
  const auto [end, error] =
      std::to_chars(body, text + kNumberScratch - 1, std::fabs(value), chars_format_of(c), precision);
  if (error != std::errc()) {
    const std::string slow = reference_floating(conv, value);
    out.append(slow.data(), slow.size());
    return;
  }
  auto length = static_cast<std::size_t>(end - body);
  const bool finite = std::isfinite(value);
  if (finite && c != 'f' && c != 'F') length = widen_exponent(body, length);
  if (c == 'E' || c == 'F' || c == 'G') to_upper_ascii(body, length);
  append_padded(conv, text, sign_length + length, sign_length, finite, out);
}

void append_integer(const Conversion& conv, std::va_list& args, OutputBuffer& out) {
  const bool is_signed = conv.conversion != 'u';
  unsigned long long magnitude = 0;
  bool negative = false;
  if (is_signed) {
    const long long value = length_is(conv, "ll")  ? va_arg(args, long long)
                            : length_is(conv, "l") ? va_arg(args, long)
                                                   : va_arg(args, int);
    negative = value < 0;
    magnitude = negative ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
  } else {
    magnitude = length_is(conv, "ll")  ? va_arg(args, unsigned long long)
                : length_is(conv, "l") ? va_arg(args, unsigned long)
                                       : va_arg(args, unsigned int);
  }
  char text[kIntegerScratch];
  const std::size_t sign_length = is_signed ? put_sign(text, negative, conv) : 0;
  const char* end = std::to_chars(text + sign_length, text + kIntegerScratch, magnitude).ptr;
  append_padded(conv, text, static_cast<std::size_t>(end - text), sign_length, true, out);
}

void append_text(const Conversion& conv, std::va_list& args, OutputBuffer& out) {
  if (conv.conversion == 'c') {
    const char c = static_cast<char>(va_arg(args, int));
    append_padded(conv, &c, 1, 0, false, out);
    return;
  }
  const char* s = va_arg(args, const char*);
  if (s == nullptr) s = "(null)";
  const std::size_t length =
      conv.precision >= 0 ? strnlen(s, static_cast<std::size_t>(conv.precision)) : std::strlen(s);
  append_padded(conv, s, length, 0, false, out);
}

}  // namespace

void append_conversion(const Conversion& conv, std::va_list& args, OutputBuffer& out) {
  const char c = conv.conversion;
  if (is_floating(c)) {
    // Every floating conversion takes a double, "%Le" included: the reports
    // print doubles with it.
    const double value = va_arg(args, double);
    if (fast_floating(conv)) {
      append_floating(conv, value, out);
      return;
    }
    const std::string text = reference_floating(conv, value);
    out.append(text.data(), text.size());
    return;
  }
  const bool integer = c == 'd' || c == 'i' || c == 'u';
  if (integer && fast_integer(conv)) {
    append_integer(conv, args, out);
    return;
  }
  if ((c == 's' || c == 'c') && fast_text(conv)) {
    append_text(conv, args, out);
    return;
  }
  const std::string text = reference_other(conv, args);
  out.append(text.data(), text.size());
}

}  // namespace textout::detail
