// The verdict as JSON (out/verdict.json), for programs that show or check it.
//
//   writing   verdict_json, write_verdict_json
//
// Schema, version 1. Numbers are JSON numbers; a non-finite number is null.
//
// {
//   "schema": "battery-verdict", "version": 1,
//   "references_file": path of the reference solutions, as given to the program,
//   "timing_repeats":  CPU times are the best of this many runs,
//   "linear": {
//     "correct_ulps":  4, the class "correct" allows this many ulps per component,
//     "classes":       the five class names, in this order:
//                      "correct", "accepted_but_wrong", "rejected_although_solvable",
//                      "rightly_rejected", "accepted_although_singular",
//     "class_counts":  {class name: number of tasks}, every class present,
//     "tasks": [ 24 objects in the battery's order:
//       "number"       1..24 (1-12 LAE_Solver_01, 13-23 LAE_Solver_02, 24 LAE_Solver_3diag),
//       "solver"       "LAE_Solver_01" | "LAE_Solver_02" | "LAE_Solver_3diag",
//       "title"        the task's title, "n" its order,
//       "ier"          the solver's code (0 accepted, 1 rejected),
//       "poi"          the solver's precision estimate, or null when it made none,
//       "exact_ier"    LAE_Solver_exact's code: 0 unique, 1 singular and inconsistent,
//                      2 singular and consistent, 3 unique but beyond the double range,
//       "x"            the X the battery prints (the entry point's), n numbers,
//       "exact_x"      LAE_Solver_exact's X, n numbers (each correctly rounded when exact_ier = 0),
//       "measured"     true when the errors below were measured (ier = 0 and exact_ier = 0),
//       "max_relative_error"  max_i |x_i - exact_x_i| / |exact_x_i|; a zero exact_x_i counts 0
//                      when x_i is 0, infinite otherwise; null when infinite or not measured,
//       "max_ulps"     max_i of the doubles from x_i to exact_x_i (+0 = -0), null when not measured,
//       "class"        one of "classes" ] },
//   "dae": {
//     "runs": [ 15 objects, the battery's DAE_Solver_01 runs in its order:
//       "run"          "test00 ii=1 nm=1" .. "test09", "test" 0..9, "ii" 1|2 for test00 else 0,
//       "nm" the method, "n" unknowns, "eps" the tolerance, "tend",
//       "ier"          the solver's code (0: reached tend),
//       "t"            the time of the state judged: tend, or the chaotic test's horizon,
//       "y"            that state, n numbers,
//       "scd"          significant correct digits against the reference, capped; null when
//                      there is none (failed run, no reference),
//       "scd_cap"      the digits the reference is good for (null with scd),
//       "scd_capped"   the measured digits reached the cap (null with scd),
//       "accepted_steps", "newton_solves", "model_calls", "cpu_seconds"   the work of the
//                      whole run to tend,
//       "horizon"      null, or for the chaotic test {"t": the landing time, "points_before":
//                      accepted points of the battery's run before it, "identical_before":
//                      whether the landing run's points before it are the same bit for bit} ],
//     "peer": [ 11 objects, SUNDIALS IDA at the battery's settings (rtol = eps,
//               atol_i = eps * floor_i), test00 per ii, then test01..09:
//       "name" "test00 ii=1" | "test01" ..., "test", "ii", "n", "rtol", "tend",
//       "flag"         IDA's last return flag, "reached_tend" true when it got to tend,
//       "t", "y", "scd", "scd_cap", "scd_capped"   as for the runs (at the horizon: IDA's
//                      interpolation there),
//       "accepted_steps", "newton_solves" (IDA's nonlinear iterations), "model_calls",
//       "cpu_seconds" ] },
//   "notes": [ sentences the text table also ends with ]
// }
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "verdict/verdict.h"

namespace verdict {

inline constexpr int kJsonVersion = 1;

nlohmann::json verdict_json(const Verdict& v);

// Writes verdict_json(v) to path; false when the file cannot be written.
bool write_verdict_json(const Verdict& v, const std::string& path);

}  // namespace verdict
