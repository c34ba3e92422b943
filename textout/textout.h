/// @file
/// The one formatted-output layer of the program: every console and report
/// line goes through out_printf / out_vprintf.
///
///     out_printf, out_vprintf   printf to a stream
///     out_format, out_vformat   the same text as a std::string (for tests and echo)
///
/// Semantics are those of printf with two differences that keep the reports in
/// the layout they were designed with:
///   - every e/E/g/G conversion that shows an exponent writes at least three
///     exponent digits (`1.000000e-003`, `1e-008`); a field width is applied to
///     the widened text, so `"%15.8e"` of 4.62e-15 is `"4.62000000e-015"`;
///   - an L length modifier on a floating conversion (`"%Le"`) takes a double
///     argument, since the reports print doubles through it.
///
/// Numbers are written as in the C locale, in which the program runs.
/// out_vprintf formats on the stack and hands the text to the stream in one
/// write; it allocates only for a text longer than 1 KiB or for a rare
/// conversion left to the C library (the `#` flag, `%a`, `%o`, `%x`, `%p`,
/// integer lengths other than `l` and `ll`, an integer precision, `%s` or `%c`
/// with flags other than `-`, a floating precision above 160).
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

namespace textout {

/// out_format with the arguments in a va_list.
std::string out_vformat(const char* format, std::va_list args);
/// The text that out_printf(stream, format, ...) would write, as a string.
std::string out_format(const char* format, ...);

/// out_printf with the arguments in a va_list.
int out_vprintf(std::FILE* stream, const char* format, std::va_list args);
/// Writes the formatted text to stream; returns the number of bytes written,
/// or -1 when the stream is null or the write fails.
int out_printf(std::FILE* stream, const char* format, ...);

/// The errno of the latest write through this layer that failed on the calling
/// thread, or 0. A buffered stream may fail on a write of some later line, and
/// the C library forgets the reason once it has discarded the buffer; a caller
/// that finds ferror() set on a stream asks here why.
int last_write_error();

}  // namespace textout
