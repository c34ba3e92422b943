// One conversion of the formatting layer, the fast way. Internal to textout.
//
// Numbers are converted by std::to_chars, which yields the digits printf
// yields (the exact binary value, correctly rounded, ties to even), straight
// into the caller's buffer; the exponent is widened to three digits and the
// field width applied in the same pass. What only the C library does (the
// '#' flag, %a, %o, %x, %p, short and size length modifiers, precisions
// beyond kMaxFastPrecision) goes the reference route (reference_format.h).
//
//   append_conversion   format one conversion, taking its argument, into out
#pragma once

#include <cstdarg>

#include "textout/conversion.h"
#include "textout/output_buffer.h"

namespace textout::detail {

// Longest precision formatted without the C library: %f of the largest double
// at this precision still fits a stack scratch buffer.
constexpr int kMaxFastPrecision = 160;

void append_conversion(const Conversion& conv, std::va_list& args, OutputBuffer& out);

}  // namespace textout::detail
