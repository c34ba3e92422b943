// One printf conversion, split into its parts. Internal to textout: both the
// fast formatter and the C-library route read conversions through this parser,
// so that they agree on every quirk of the format text.
//
//   Conversion         flags, width, precision, length modifier, conversion
//   has_flag           whether a flag character was given
//   parse_conversion   read one conversion after its '%', taking '*' values
#pragma once

#include <cstdarg>

namespace textout::detail {

// Flag characters as bits, so that the fast formatter tests them without a search.
enum FlagBit : unsigned {
  kFlagMinus = 1U << 0,  // '-': pad on the right
  kFlagPlus = 1U << 1,   // '+': sign on positive numbers
  kFlagSpace = 1U << 2,  // ' ': blank in place of a plus sign
  kFlagHash = 1U << 3,   // '#': alternate form
  kFlagZero = 1U << 4,   // '0': pad with zeros after the sign
};

// The text spellings keep their historical capacities: at most seven flag
// characters and three length characters are kept, the rest are dropped.
constexpr int kFlagTextCapacity = 8;
constexpr int kLengthTextCapacity = 4;

struct Conversion {
  char flags[kFlagTextCapacity] = {};     // the kept flag characters, in order
  unsigned flag_bits = 0;                 // the same set as FlagBit values
  int width = -1;                         // -1: none
  int precision = -1;                     // negative: none
  char length[kLengthTextCapacity] = {};  // "", "h", "hh", "l", "ll", "L", "z", "j", "t", ...
  char conversion = '\0';                 // '\0' when the format ended first
};

inline bool has_flag(const Conversion& conv, FlagBit flag) { return (conv.flag_bits & flag) != 0; }

// Reads a conversion starting just after '%' and returns the position after
// its conversion character (or at the terminating '\0'). A '*' width or
// precision is taken from args; a negative '*' width means the '-' flag.
const char* parse_conversion(const char* p, Conversion& conv, std::va_list& args);

}  // namespace textout::detail
