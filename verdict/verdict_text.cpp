// The verdict as a readable table (see verdict_text.h).
//
//   cells      short_solver, poi_cell, relative_cell, ulps_cell, scd_cell, cap_cell
//   linear     linear_table, linear_totals, linear_legend
//   dae        work_cells, dae_table, peer_table, dae_legend
//   notes      wrapped, notes_section
//   writing    write_verdict_text
#include "verdict/verdict_text.h"

#include <cmath>
#include <cstdint>
#include <string>

#include "textout/textout.h"

namespace verdict {
namespace {

using textout::out_format;
using textout::out_printf;

constexpr const char* kNone = "-";

// Larger ulp counts are shown in floating form, which keeps the column narrow.
constexpr std::uint64_t kLargestPlainUlps = 9999999;

// Notes are wrapped to this width.
constexpr std::size_t kNoteWidth = 100;

// --- cells -----------------------------------------------------------------------------

// "LAE_Solver_01" -> "01".
std::string short_solver(const char* solver) {
  const std::string s(solver);
  return s.substr(s.rfind('_') + 1);
}

std::string poi_cell(const std::optional<double>& poi) { return poi ? out_format("%.2e", *poi) : kNone; }

std::string relative_cell(const std::optional<LinearErrors>& e) {
  if (!e) return kNone;
  if (std::isinf(e->max_relative_error)) return "inf";
  return out_format("%.2e", e->max_relative_error);
}

std::string ulps_cell(const std::optional<LinearErrors>& e) {
  if (!e) return kNone;
  if (e->max_ulps <= kLargestPlainUlps) return out_format("%llu", static_cast<unsigned long long>(e->max_ulps));
  return out_format("%.2e", static_cast<double>(e->max_ulps));
}

std::string scd_cell(const std::optional<Scd>& scd) {
  return scd ? out_format("%.1f%s", scd->digits, scd->capped ? "*" : " ") : std::string(kNone) + " ";
}

std::string cap_cell(const std::optional<Scd>& scd) { return scd ? out_format("%d", scd->cap) : kNone; }

// --- linear ----------------------------------------------------------------------------

constexpr const char* kLinearRow = "%3s  %-6s %3s %4s %10s %6s %12s %10s  %-36s %s\n";

void linear_table(std::FILE* f, const std::vector<LinearRow>& rows) {
  out_printf(f, "LINEAR SYSTEMS: the X the battery prints against the exact solution\n\n");
  out_printf(f, kLinearRow, "#", "solver", "n", "ier", "poi", "exact", "max rel err", "max ulps", "class", "task");
  for (const LinearRow& r : rows) {
    out_printf(f, kLinearRow, std::to_string(r.number).c_str(), short_solver(r.solver).c_str(),
               std::to_string(r.n).c_str(), std::to_string(r.ier).c_str(), poi_cell(r.poi).c_str(),
               std::to_string(r.exact_ier).c_str(), relative_cell(r.judgement.errors).c_str(),
               ulps_cell(r.judgement.errors).c_str(), class_label(r.judgement.verdict), r.title.c_str());
  }
}

void linear_totals(std::FILE* f, const std::vector<LinearRow>& rows) {
  out_printf(f, "\nClasses of the %zu tasks:\n", rows.size());
  for (const LinearClass c : kAllClasses) {
    int count = 0;
    for (const LinearRow& r : rows) count += r.judgement.verdict == c ? 1 : 0;
    out_printf(f, "  %-36s %3d\n", class_label(c), count);
  }
}

void linear_legend(std::FILE* f) {
  out_printf(f,
             "\n"
             "  #            the task's place in the battery\n"
             "  solver       01: LAE_Solver_01 (tasks 1-12), 02: LAE_Solver_02 (13-23), 3diag: LAE_Solver_3diag (24)\n"
             "  n            the order of the system\n"
             "  ier          the solver's code: 0 accepted, 1 rejected\n"
             "  poi          the solver's own precision estimate; - where it stopped before making one\n"
             "  exact        LAE_Solver_exact on the same doubles: 0 unique, 1 singular and inconsistent,\n"
             "               2 singular and consistent, 3 unique but beyond the double range\n"
             "  max rel err  max_i |X_i - x_i| / |x_i|, X the solver's X as the battery prints it, x the exact\n"
             "               solution rounded to nearest; a zero x_i counts 0 when X_i is 0, inf otherwise;\n"
             "               - where not measured (rejected, or no unique solution)\n"
             "  max ulps     max_i of the number of doubles from X_i to x_i (+0 and -0 are one point)\n"
             "  class        correct: accepted, every component within %llu ulps; accepted but wrong: beyond;\n"
             "               rejected although uniquely solvable; rightly rejected: no unique solution in\n"
             "               doubles; accepted although singular\n"
             "  task         the task's title in the battery\n",
             static_cast<unsigned long long>(kCorrectUlps));
}

// --- dae -------------------------------------------------------------------------------

constexpr const char* kDaeRow = "%-17s %2s %9s %4s %10s %6s %3s %9s %9s %9s %10s\n";
constexpr const char* kPeerRow = "%-17s %9s %5s %10s %6s %3s %9s %9s %9s %10s\n";

struct WorkCells {
  std::string steps, solves, calls, cpu;
};

WorkCells work_cells(const DaeWork& w) {
  return {std::to_string(w.accepted_steps), std::to_string(w.newton_solves), std::to_string(w.model_calls),
          out_format("%.3e", w.cpu_seconds)};
}

void add_work(DaeWork& total, const DaeWork& w) {
  total.accepted_steps += w.accepted_steps;
  total.newton_solves += w.newton_solves;
  total.model_calls += w.model_calls;
  total.cpu_seconds += w.cpu_seconds;
}

void dae_table(std::FILE* f, const std::vector<DaeRow>& rows) {
  out_printf(f, "DAE RUNS: DAE_Solver_01's state against the reference solution, and the work\n\n");
  out_printf(f, kDaeRow, "run", "nm", "eps", "ier", "t", "scd", "cap", "steps", "solves", "calls", "CPU s");
  DaeWork total;
  for (const DaeRow& r : rows) {
    const WorkCells w = work_cells(r.work);
    out_printf(f, kDaeRow, r.c->name, std::to_string(r.c->nm).c_str(), out_format("%.1e", r.c->eps).c_str(),
               std::to_string(r.ier).c_str(), out_format("%.4g", r.t).c_str(), scd_cell(r.scd).c_str(),
               cap_cell(r.scd).c_str(), w.steps.c_str(), w.solves.c_str(), w.calls.c_str(), w.cpu.c_str());
    add_work(total, r.work);
  }
  const WorkCells w = work_cells(total);
  out_printf(f, kDaeRow, "total", "", "", "", "", "", "", w.steps.c_str(), w.solves.c_str(), w.calls.c_str(),
             w.cpu.c_str());
}

void peer_table(std::FILE* f, const std::vector<PeerRow>& rows) {
  out_printf(f, "SUNDIALS IDA at the battery's settings: rtol = eps, atol_i = eps * f_i, the test's hmax\n\n");
  out_printf(f, kPeerRow, "test", "rtol", "flag", "t", "scd", "cap", "steps", "solves", "calls", "CPU s");
  DaeWork total;
  for (const PeerRow& r : rows) {
    const WorkCells w = work_cells(r.work);
    out_printf(f, kPeerRow, r.name.c_str(), out_format("%.1e", r.rtol).c_str(), std::to_string(r.flag).c_str(),
               out_format("%.4g", r.t).c_str(), scd_cell(r.scd).c_str(), cap_cell(r.scd).c_str(), w.steps.c_str(),
               w.solves.c_str(), w.calls.c_str(), w.cpu.c_str());
    add_work(total, r.work);
  }
  const WorkCells w = work_cells(total);
  out_printf(f, kPeerRow, "total", "", "", "", "", "", w.steps.c_str(), w.solves.c_str(), w.calls.c_str(),
             w.cpu.c_str());
}

void dae_legend(std::FILE* f) {
  out_printf(f,
             "\n"
             "  run, test    the battery's run (test00: pass ii and method nm); IDA runs once per test\n"
             "  nm           DAE_Solver_01's method: 1 implicit Euler, 2 trapezoidal, 3 three-point\n"
             "  eps, rtol    the run's tolerance; IDA's relative tolerance is the same\n"
             "  ier, flag    DAE_Solver_01's code (0: reached tend); IDA's last flag (1: stopped at tend)\n"
             "  t            the time of the state judged: tend, or the horizon of a chaotic test\n"
             "  scd          significant correct digits -log10(max_i |y_i - ref_i| / max(|ref_i|, f_i)), f_i the\n"
             "               reference file's floor of y_i; * capped (see the notes); - no scd\n"
             "  cap          the digits the reference is good for\n"
             "  steps        accepted steps\n"
             "  solves       Newton solves (IDA: nonlinear iterations)\n"
             "  calls        model callback calls, every kind\n"
             "  CPU s        process CPU seconds of the run\n"
             "  total        the sums over the rows (the battery's DAE part; IDA's eleven runs)\n");
}

// --- notes -----------------------------------------------------------------------------

// text broken at spaces into lines of at most kNoteWidth, the first starting
// with "- " and the others indented to match.
std::string wrapped(const std::string& text) {
  std::string out = "- ";
  std::string line;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(start, end - start);
    if (!line.empty() && line.size() + 1 + word.size() + 2 > kNoteWidth) {
      out += line + "\n  ";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
    start = end + 1;
  }
  return out + line + "\n";
}

void notes_section(std::FILE* f, const Verdict& v) {
  out_printf(f, "NOTES\n\n");
  for (const std::string& note : verdict_notes(v)) out_printf(f, "%s", wrapped(note).c_str());
}

}  // namespace

// --- writing ---------------------------------------------------------------------------

bool write_verdict_text(const Verdict& v, std::FILE* stream) {
  out_printf(stream, "VERDICT OF THE BATTERY\nReference solutions: %s\n\n", v.references_file.c_str());
  linear_table(stream, v.linear);
  linear_totals(stream, v.linear);
  linear_legend(stream);
  out_printf(stream, "\n\n");
  dae_table(stream, v.dae);
  out_printf(stream, "\n");
  peer_table(stream, v.peer);
  dae_legend(stream);
  out_printf(stream, "\n\n");
  notes_section(stream, v);
  return std::ferror(stream) == 0;
}

}  // namespace verdict
