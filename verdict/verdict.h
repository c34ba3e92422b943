// The whole verdict: the linear tasks, the DAE runs, IDA on each test, and the
// notes that go with them into both written forms.
//
//   the record   Verdict
//   judging      judge_battery
//   notes        verdict_notes
#pragma once

#include <string>
#include <vector>

#include "verdict/dae_reference.h"
#include "verdict/dae_verdict.h"
#include "verdict/linear_verdict.h"

namespace verdict {

struct Verdict {
  std::string references_file;           // where the references were read, as given
  std::vector<DaeReference> references;  // as read
  std::vector<LinearRow> linear;         // 24 rows, battery order
  std::vector<DaeRow> dae;               // 15 rows, battery order
  std::vector<PeerRow> peer;             // 11 rows: test00 per pass, then test01..09
  int timing_repeats = kTimingRepeats;   // runs timed per row
};

// Every linear task, every DAE run of the catalogue and IDA on every test.
Verdict judge_battery(const std::string& references_file, std::vector<DaeReference> references,
                      int timing_repeats = kTimingRepeats);

// Sentences for the reader: how scd is capped and where a closed form is the
// reference, the chaotic test's horizon and how its state was taken, runs
// without a verdict, how the times were measured.
std::vector<std::string> verdict_notes(const Verdict& v);

}  // namespace verdict
