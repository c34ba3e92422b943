// Report streams and the echo convention.
//
//   open_report           open a report file in text mode, or stop the program
//   close_report          flush and close a report stream once, or stop the program
//   check_report_streams  stop the program if a write to a report or the console failed
//   finish_console        flush standard output at the end of the run, or stop
//   make_standard_streams_valid
//                         open descriptors 0-2 on /dev/null where they are closed
//   echo                  a line to the console, then the same line to a file
//   echo_file_first       the same line to a file, then to the console
//   to_file               a line to a file only
//   to_console            a line to the console only
//
// Nothing is lost silently: every write, flush and close of a report and of
// standard output is checked. On the first failure the program prints one line
// on standard error naming the file and the system's reason and ends with exit
// status 1, as it does when a report cannot be created. Every function formats
// through the one output layer (three-digit exponents).
#pragma once

#include <cstdio>

namespace battery {

// Opens path with mode "wt" and a large stream buffer, released when the
// report is closed. When the file cannot be created, prints one line naming
// the file and the system's reason on standard error and ends the program with
// exit status 1: no report line is ever written through a null stream.
std::FILE* open_report(const char* path);

// Flushes and closes the stream if it is not null, and sets it to null.
void close_report(std::FILE*& stream);

// Stops the program if a write to any open report or to standard output has
// failed since it was opened (for the lines the model callbacks write).
void check_report_streams();

// Flushes standard output at the end of the run; stops on a failure.
void finish_console();

// Makes descriptors 0, 1 and 2 valid before any report is opened, so that a
// report can never take the place of a closed standard output.
void make_standard_streams_valid();

void echo(std::FILE* file, const char* format, ...);
void echo_file_first(std::FILE* file, const char* format, ...);
void to_file(std::FILE* file, const char* format, ...);
void to_console(const char* format, ...);

}  // namespace battery
