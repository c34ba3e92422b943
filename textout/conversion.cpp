// Reading one printf conversion (see conversion.h).
//
//   flag_bit           the FlagBit of a flag character, 0 for any other
//   append_limited     keep a character if its text has room
//   read_number        a run of decimal digits, saturated at INT_MAX
//   parse_conversion   flags, width, precision, length, conversion
#include "textout/conversion.h"

#include <climits>

namespace textout::detail {
namespace {

unsigned flag_bit(char c) {
  switch (c) {
    case '-':
      return kFlagMinus;
    case '+':
      return kFlagPlus;
    case ' ':
      return kFlagSpace;
    case '#':
      return kFlagHash;
    case '0':
      return kFlagZero;
    default:
      return 0;
  }
}

bool is_length_char(char c) { return c == 'h' || c == 'l' || c == 'L' || c == 'q' || c == 'j' || c == 'z' || c == 't'; }

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Returns whether the character was kept.
bool append_limited(char* text, int capacity, char c) {
  int len = 0;
  while (text[len] != '\0') ++len;
  if (len + 1 >= capacity) return false;
  text[len] = c;
  text[len + 1] = '\0';
  return true;
}

void add_flag(Conversion& conv, char c) {
  if (append_limited(conv.flags, kFlagTextCapacity, c)) conv.flag_bits |= flag_bit(c);
}

// A width beyond INT_MAX cannot be honoured anyway; saturating keeps the
// arithmetic defined.
const char* read_number(const char* p, int& value) {
  value = 0;
  for (; is_digit(*p); ++p) {
    const int digit = *p - '0';
    value = value > (INT_MAX - digit) / 10 ? INT_MAX : value * 10 + digit;
  }
  return p;
}

}  // namespace

const char* parse_conversion(const char* p, Conversion& conv, std::va_list& args) {
  for (; flag_bit(*p) != 0; ++p) add_flag(conv, *p);
  if (*p == '*') {
    const int w = va_arg(args, int);
    if (w < 0) add_flag(conv, '-');
    conv.width = w >= 0 ? w : (w == INT_MIN ? INT_MAX : -w);
    ++p;
  } else if (is_digit(*p)) {
    p = read_number(p, conv.width);
  }
  if (*p == '.') {
    ++p;
    if (*p == '*') {
      conv.precision = va_arg(args, int);  // a negative precision counts as none
      ++p;
    } else {
      p = read_number(p, conv.precision);
    }
  }
  for (; is_length_char(*p); ++p) append_limited(conv.length, kLengthTextCapacity, *p);
  conv.conversion = *p;
  return *p != '\0' ? p + 1 : p;
}

}  // namespace textout::detail
