// Report streams and the echo convention (see report.h).
#include "driver/report.h"

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "textout/textout.h"

namespace battery {

std::FILE* open_report(const char* path) {
  std::FILE* stream = std::fopen(path, "wt");
  if (stream == nullptr) {
    const int error = errno;
    std::fflush(stdout);
    std::fprintf(stderr, "battery: cannot create report file \"%s\": %s\n", path, std::strerror(error));
    std::exit(EXIT_FAILURE);
  }
  return stream;
}

void close_report(std::FILE*& stream) {
  if (stream != nullptr) {
    std::fclose(stream);
    stream = nullptr;
  }
}

void echo(std::FILE* file, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::va_list again;
  va_copy(again, args);
  textout::out_vprintf(stdout, format, args);
  textout::out_vprintf(file, format, again);
  va_end(again);
  va_end(args);
}

void echo_file_first(std::FILE* file, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::va_list again;
  va_copy(again, args);
  textout::out_vprintf(file, format, args);
  textout::out_vprintf(stdout, format, again);
  va_end(again);
  va_end(args);
}

void to_file(std::FILE* file, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  textout::out_vprintf(file, format, args);
  va_end(args);
}

void to_console(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  textout::out_vprintf(stdout, format, args);
  va_end(args);
}

}  // namespace battery
