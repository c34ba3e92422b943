// The verdict as a readable table (out/verdict.txt): one section per part with
// aligned columns, a legend line per column, totals, then the notes.
//
//   writing   write_verdict_text
#pragma once

#include <cstdio>

#include "verdict/verdict.h"

namespace verdict {

// Writes the tables to stream; false when a write failed.
bool write_verdict_text(const Verdict& v, std::FILE* stream);

}  // namespace verdict
