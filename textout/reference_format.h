// The C-library route of the formatting layer. Internal to textout.
//
// Each conversion is handed to vsnprintf, then its exponent is widened to
// three digits and the field width applied, exactly as the layer always did.
// The fast formatter sends here what only the C library does (the '#' flag,
// %a, unusual length modifiers, very long precisions); the differential check
// compares the fast formatter with reference_vformat on millions of values.
//
//   reference_floating   one floating conversion of a value
//   reference_other      one non-floating conversion, taking its argument
//   reference_vformat    a whole format string, every conversion by this route
//   reference_format     the same with variadic arguments
#pragma once

#include <cstdarg>
#include <string>

#include "textout/conversion.h"

namespace textout::detail {

std::string reference_floating(const Conversion& conv, double value);
std::string reference_other(const Conversion& conv, std::va_list& args);

std::string reference_vformat(const char* format, std::va_list args);
std::string reference_format(const char* format, ...);

}  // namespace textout::detail
