// The whole verdict (see verdict.h).
//
//   judging   reference_for, judge_battery
//   notes     test_label, cap_note, horizon_note, failure_notes, verdict_notes
#include "verdict/verdict.h"

#include <utility>

#include "textout/textout.h"

namespace verdict {

// --- judging ---------------------------------------------------------------------------

namespace {

const DaeReference* reference_for(const Verdict& v, const models::DaeTestCase& c) {
  return find_reference(v.references, c.test, c.ii);
}

}  // namespace

Verdict judge_battery(const std::string& references_file, std::vector<DaeReference> references, int timing_repeats) {
  Verdict v{references_file, std::move(references), judge_linear_tasks(), {}, {}, timing_repeats};
  for (const models::DaeTestCase& c : models::dae_catalogue()) {
    v.dae.push_back(judge_dae_run(c, reference_for(v, c), timing_repeats));
  }
  // IDA has no methods to choose from: one run per test, per pass of test00.
  for (const models::DaeTestCase& c : models::dae_catalogue()) {
    if (c.test != 0 || c.nm == DAE_NM_EULER) v.peer.push_back(judge_peer(c, reference_for(v, c), timing_repeats));
  }
  return v;
}

// --- notes -----------------------------------------------------------------------------

namespace {

std::string test_label(const DaeReference& r) {
  return r.test == 0 ? textout::out_format("test00 ii=%d", r.ii) : textout::out_format("test%02d", r.test);
}

std::string cap_note(const Verdict& v) {
  std::string closed;
  for (const DaeReference& r : v.references) {
    if (r.closed_form) closed += (closed.empty() ? "" : ", ") + test_label(r);
  }
  return textout::out_format(
      "scd is capped at cap, the digits the reference is good for: the least over its components of the "
      "digits on which its two IDA runs agree, or %d where the reference file gives a closed form (%s); a "
      "run that matches the reference beyond the cap (or exactly) shows the cap, marked *.",
      kClosedFormDigits, closed.c_str());
}

std::string horizon_note(const DaeRow& row, const DaeReference& r) {
  std::string s = textout::out_format(
      "%s is chaotic: it is compared at t = %g, the horizon up to which the two reference runs agree, not "
      "at tend = %g. ",
      row.c->name, r.t, r.tend);
  if (row.horizon) {
    s += textout::out_format(
        "DAE_Solver_01's state there comes from a second run that lands on t = %g with a stop time; its "
        "accepted points before t = %g are %s those of the battery's run (%ld points). ",
        row.horizon->t, r.t, row.horizon->identical_before ? "identical, bit for bit, to" : "NOT the same as",
        row.horizon->points_before);
  }
  return s + textout::out_format(
                 "The work columns are the battery's whole run to tend; IDA's state is its own interpolation "
                 "at t = %g within its run to tend.",
                 r.t);
}

void failure_notes(const Verdict& v, std::vector<std::string>& notes) {
  for (const DaeRow& row : v.dae) {
    if (find_reference(v.references, row.c->test, row.c->ii) == nullptr) {
      notes.push_back(textout::out_format("%s: no reference in the reference file, no scd.", row.c->name));
    } else if (!row.scd) {
      notes.push_back(
          textout::out_format("%s: the run ended with ier = %d at t = %g, no scd.", row.c->name, row.ier, row.t));
    }
  }
  for (const PeerRow& row : v.peer) {
    if (!row.scd && find_reference(v.references, row.c->test, row.c->ii) != nullptr) {
      notes.push_back(
          textout::out_format("IDA on %s stopped with flag %d at t = %g, no scd.", row.name.c_str(), row.flag, row.t));
    }
  }
}

}  // namespace

std::vector<std::string> verdict_notes(const Verdict& v) {
  std::vector<std::string> notes{cap_note(v)};
  for (const DaeRow& row : v.dae) {
    const DaeReference* r = find_reference(v.references, row.c->test, row.c->ii);
    if (r != nullptr && r->chaotic && r->t < row.c->tend) notes.push_back(horizon_note(row, *r));
  }
  failure_notes(v, notes);
  notes.push_back(textout::out_format(
      "CPU seconds are process CPU time, the best of %d runs each; DAE_Solver_01 writes no reports in them, and "
      "IDA's leave out the battery's start-up that gives IDA its start values.",
      v.timing_repeats));
  return notes;
}

}  // namespace verdict
