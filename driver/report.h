// Report streams and the echo convention.
//
//   open_report        open a report file in text mode, or stop the program
//   close_report       close a report stream once, if it is open
//   echo               a line to the console, then the same line to a file
//   echo_file_first    the same line to a file, then to the console
//   to_file            a line to a file only
//   to_console         a line to the console only
//
// Every function formats through the one output layer (three-digit exponents).
#pragma once

#include <cstdio>

namespace battery {

// Opens path with mode "wt". When the file cannot be created, prints one line
// naming the file and the system's reason on standard error and ends the
// program with exit status 1: no report line is ever written through a null
// stream.
std::FILE* open_report(const char* path);

// Closes the stream if it is not null and sets it to null.
void close_report(std::FILE*& stream);

void echo(std::FILE* file, const char* format, ...);
void echo_file_first(std::FILE* file, const char* format, ...);
void to_file(std::FILE* file, const char* format, ...);
void to_console(const char* format, ...);

}  // namespace battery
