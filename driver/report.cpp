// Report streams and the echo convention (see report.h).
//
//   the open reports   OpenReport, open_reports, find_report
//   stopping           stop, stop_on_write_failure, check_written, check_stream
//   writing            write_twice
//   streams            open_report, close_report, check_report_streams,
//                      finish_console, make_standard_streams_valid
//   lines              echo, echo_file_first, to_file, to_console
#include "driver/report.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "textout/textout.h"

namespace battery {
namespace {

// A report holds a whole plot table of several megabytes; a large buffer keeps
// the number of write calls small.
constexpr std::size_t kReportBufferBytes = std::size_t{1} << 18;

// At most three reports are open at once (the linear report, or a protocol
// and its plot table); one more slot is spare.
constexpr std::size_t kMaxOpenReports = 4;

struct OpenReport {
  std::FILE* stream = nullptr;
  std::string name;
  std::unique_ptr<char[]> buffer;
};

std::array<OpenReport, kMaxOpenReports> open_reports;

OpenReport* find_report(const std::FILE* stream) {
  for (OpenReport& report : open_reports) {
    if (report.stream != nullptr && report.stream == stream) return &report;
  }
  return nullptr;
}

// The console so far, then one line on standard error. A reason of 0 (no
// failed write recorded) is reported as an input/output error.
[[noreturn]] void stop(const std::string& what, int error) {
  std::fflush(stdout);
  std::fprintf(stderr, "battery: %s: %s\n", what.c_str(), std::strerror(error != 0 ? error : EIO));
  std::exit(EXIT_FAILURE);
}

[[noreturn]] void stop_on_write_failure(const std::FILE* stream, int error) {
  if (stream == stdout) stop("cannot write standard output", error);
  const OpenReport* report = find_report(stream);
  stop("cannot write report file \"" + (report != nullptr ? report->name : std::string("?")) + "\"", error);
}

// A write through the output layer that returned -1.
void check_written(int written, std::FILE* stream) {
  if (written < 0 && stream != nullptr) stop_on_write_failure(stream, textout::last_write_error());
}

void check_stream(std::FILE* stream) {
  if (std::ferror(stream) != 0) stop_on_write_failure(stream, textout::last_write_error());
}

// The same line to two streams, first to `first`.
void write_twice(std::FILE* first, std::FILE* second, const char* format, std::va_list args) {
  std::va_list again;
  va_copy(again, args);
  check_written(textout::out_vprintf(first, format, args), first);
  check_written(textout::out_vprintf(second, format, again), second);
  va_end(again);
}

}  // namespace

std::FILE* open_report(const char* path) {
  std::FILE* stream = std::fopen(path, "wt");
  if (stream == nullptr) {
    const int error = errno;
    stop("cannot create report file \"" + std::string(path) + "\"", error);
  }
  OpenReport* slot = std::find_if(open_reports.begin(), open_reports.end(),
                                  [](const OpenReport& report) { return report.stream == nullptr; });
  if (slot == open_reports.end()) stop("too many report files open at once", EMFILE);
  slot->stream = stream;
  slot->name = path;
  slot->buffer = std::make_unique<char[]>(kReportBufferBytes);
  std::setvbuf(stream, slot->buffer.get(), _IOFBF, kReportBufferBytes);
  return stream;
}

void close_report(std::FILE*& stream) {
  if (stream == nullptr) return;
  check_stream(stream);
  OpenReport* report = find_report(stream);
  if (std::fflush(stream) != 0) stop_on_write_failure(stream, errno);
  check_stream(stream);
  const std::string name = report->name;
  if (std::fclose(stream) != 0) {
    const int error = errno;
    stop("cannot write report file \"" + name + "\"", error);
  }
  *report = OpenReport{};
  stream = nullptr;
}

void check_report_streams() {
  check_stream(stdout);
  for (const OpenReport& report : open_reports) {
    if (report.stream != nullptr) check_stream(report.stream);
  }
}

void finish_console() {
  check_stream(stdout);
  if (std::fflush(stdout) != 0) stop_on_write_failure(stdout, errno);
  check_stream(stdout);
}

void make_standard_streams_valid() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free descriptor is fd itself, since those below it are valid.
    if (open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY) != fd) std::_Exit(EXIT_FAILURE);
  }
}

void echo(std::FILE* file, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  write_twice(stdout, file, format, args);
  va_end(args);
}

void echo_file_first(std::FILE* file, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  write_twice(file, stdout, format, args);
  va_end(args);
}

void to_file(std::FILE* file, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  check_written(textout::out_vprintf(file, format, args), file);
  va_end(args);
}

void to_console(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  check_written(textout::out_vprintf(stdout, format, args), stdout);
  va_end(args);
}

}  // namespace battery
