// The verdict as JSON (see verdict_json.h for the schema).
//
//   pieces    finite_or_null, state_json, scd_json, work_json
//   parts     linear_json, run_json, peer_json
//   writing   verdict_json, write_verdict_json
#include "verdict/verdict_json.h"

#include <cmath>
#include <cstdio>
#include <span>
#include <vector>

#include "textout/textout.h"

namespace verdict {
namespace {

using nlohmann::json;

// --- pieces ----------------------------------------------------------------------------

json finite_or_null(double v) { return std::isfinite(v) ? json(v) : json(nullptr); }

json state_json(const models::DaeVector& y, int n) { return std::vector<double>(y.begin() + 1, y.begin() + 1 + n); }

void scd_json(const std::optional<Scd>& scd, json& j) {
  j["scd"] = scd ? json(scd->digits) : json(nullptr);
  j["scd_cap"] = scd ? json(scd->cap) : json(nullptr);
  j["scd_capped"] = scd ? json(scd->capped) : json(nullptr);
}

void work_json(const DaeWork& w, json& j) {
  j["accepted_steps"] = w.accepted_steps;
  j["newton_solves"] = w.newton_solves;
  j["model_calls"] = w.model_calls;
  j["cpu_seconds"] = w.cpu_seconds;
}

// --- parts -----------------------------------------------------------------------------

json task_json(const LinearRow& r) {
  const std::optional<LinearErrors>& e = r.judgement.errors;
  return {{"number", r.number},
          {"solver", r.solver},
          {"title", r.title},
          {"n", r.n},
          {"ier", r.ier},
          {"poi", r.poi ? finite_or_null(*r.poi) : json(nullptr)},
          {"exact_ier", r.exact_ier},
          {"x", r.x},
          {"exact_x", r.exact},
          {"measured", e.has_value()},
          {"max_relative_error", e ? finite_or_null(e->max_relative_error) : json(nullptr)},
          {"max_ulps", e ? json(e->max_ulps) : json(nullptr)},
          {"class", class_key(r.judgement.verdict)}};
}

json linear_json(const std::vector<LinearRow>& rows) {
  json classes = json::array();
  json counts = json::object();
  for (const LinearClass c : kAllClasses) {
    classes.push_back(class_key(c));
    counts[class_key(c)] = 0;
  }
  json tasks = json::array();
  for (const LinearRow& r : rows) {
    tasks.push_back(task_json(r));
    counts[class_key(r.judgement.verdict)] = counts[class_key(r.judgement.verdict)].get<int>() + 1;
  }
  return {{"correct_ulps", kCorrectUlps}, {"classes", classes}, {"class_counts", counts}, {"tasks", tasks}};
}

json run_json(const DaeRow& r) {
  const models::DaeTestCase& c = *r.c;
  json j = {{"run", c.name}, {"test", c.test}, {"ii", c.ii},   {"nm", c.nm}, {"n", c.n},
            {"eps", c.eps},  {"tend", c.tend}, {"ier", r.ier}, {"t", r.t},   {"y", state_json(r.y, c.n)}};
  scd_json(r.scd, j);
  work_json(r.work, j);
  j["horizon"] = r.horizon ? json{{"t", r.horizon->t},
                                  {"points_before", r.horizon->points_before},
                                  {"identical_before", r.horizon->identical_before}}
                           : json(nullptr);
  return j;
}

json peer_json(const PeerRow& r) {
  const models::DaeTestCase& c = *r.c;
  json j = {{"name", r.name}, {"test", c.test},           {"ii", c.ii},     {"n", c.n},
            {"rtol", r.rtol}, {"tend", c.tend},           {"flag", r.flag}, {"reached_tend", r.reached_tend},
            {"t", r.t},       {"y", state_json(r.y, c.n)}};
  scd_json(r.scd, j);
  work_json(r.work, j);
  return j;
}

}  // namespace

// --- writing ---------------------------------------------------------------------------

json verdict_json(const Verdict& v) {
  json runs = json::array();
  for (const DaeRow& r : v.dae) runs.push_back(run_json(r));
  json peer = json::array();
  for (const PeerRow& r : v.peer) peer.push_back(peer_json(r));
  return {{"schema", "battery-verdict"},
          {"version", kJsonVersion},
          {"references_file", v.references_file},
          {"timing_repeats", v.timing_repeats},
          {"linear", linear_json(v.linear)},
          {"dae", {{"runs", runs}, {"peer", peer}}},
          {"notes", verdict_notes(v)}};
}

bool write_verdict_json(const Verdict& v, const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) return false;
  const bool written = textout::out_printf(f, "%s\n", verdict_json(v).dump(1).c_str()) >= 0;
  return std::fclose(f) == 0 && written;
}

}  // namespace verdict
