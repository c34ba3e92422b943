// The verdict on the DAE battery (see dae_verdict.h).
//
//   timing       cpu_now
//   observing    TracePoint, Observation, observing, counting_model, observing_output,
//                RunOutcome, observe_run
//   battery      same_points, land_on_horizon, scd_of, judge_dae_run
//   peer         peer_name, judge_peer
#include "verdict/dae_verdict.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>
#include <memory>
#include <span>
#include <vector>

#include "models/model_streams.h"
#include "peer/ida_peer.h"
#include "textout/diagnostics.h"

namespace verdict {
namespace {

// --- quiet runs ------------------------------------------------------------------------

double cpu_now() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// --- observing -------------------------------------------------------------------------

constexpr double kNever = std::numeric_limits<double>::infinity();

struct TracePoint {
  double t;
  models::DaeVector y;
};

// What the wrappers of one run need and find out. DAE_Solver_01 hands its
// callbacks no pointer of the caller's, so the wrappers find the run here.
struct Observation {
  DAE_Model model = nullptr;  // the test's own callbacks
  DAE_Output output = nullptr;
  double land_at = kNever;       // a time for the steps to end on, as a stop time
  double trace_until = -kNever;  // accepted points before this time go into trace
  long model_calls = 0;
  double last_t = 0;  // the latest output
  models::DaeVector last_y{};
  bool landed = false;  // an output at or past land_at was seen
  double landed_t = 0;
  models::DaeVector landed_y{};
  std::vector<TracePoint> trace;
};

// The run in progress on this thread, if any.
thread_local Observation* observing = nullptr;

int counting_model(double* y, double* yp, double* f, double* fyp, double* fy, int n, int m, double t, double h,
                   int kind, int* status, const int* ip) {
  ++observing->model_calls;
  return observing->model(y, yp, f, fyp, fy, n, m, t, h, kind, status, ip);
}

// The test's output first: it may set a stop time of its own, which the
// horizon must not push later.
int observing_output(double* y, double* yp, int n, int m, double t, double t0, double tend, double h, double* tstop,
                     int kind, const int* ip) {
  Observation& o = *observing;
  const int result = o.output(y, yp, n, m, t, t0, tend, h, tstop, kind, ip);
  o.last_t = t;
  std::copy(y + 1, y + n + 1, o.last_y.begin() + 1);
  if (kind == DAE_OUTPUT_STEP && t < o.trace_until) o.trace.push_back({t, o.last_y});
  if (o.land_at == kNever) return result;
  if (t < o.land_at) {
    *tstop = std::min(*tstop, o.land_at);
  } else if (!o.landed) {
    o.landed = true;
    o.landed_t = t;
    o.landed_y = o.last_y;
  }
  return result;
}

struct RunOutcome {
  int ier;
  DaeWork work;
};

// The run on fresh arrays, as run_dae_case makes it, through the wrappers.
RunOutcome observe_run(const models::DaeTestCase& c, Observation& o) {
  models::DaeTestCase wrapped = c;
  wrapped.model = counting_model;
  wrapped.output = observing_output;
  o.model = c.model;
  o.output = c.output;
  auto arrays = std::make_unique<models::DaeArrays>();
  int ier = 0;
  observing = &o;
  const double start = cpu_now();
  models::run_dae_case(wrapped, *arrays, ier);
  const double seconds = cpu_now() - start;
  observing = nullptr;
  return {ier, {arrays->ip[IP_ACCEPTED_STEPS], arrays->ip[IP_TOTAL_SOLVES], o.model_calls, seconds}};
}

// --- battery ---------------------------------------------------------------------------

bool same_points(const std::vector<TracePoint>& a, const std::vector<TracePoint>& b) {
  if (a.size() != b.size()) return false;
  return a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(TracePoint)) == 0;
}

// A second run that lands on the horizon; the state there goes into the row.
void land_on_horizon(const models::DaeTestCase& c, double horizon, const Observation& first, DaeRow& row) {
  Observation landing;
  landing.land_at = horizon;
  landing.trace_until = horizon;
  const RunOutcome run = observe_run(c, landing);
  row.horizon =
      HorizonCapture{landing.landed_t, static_cast<long>(first.trace.size()), same_points(first.trace, landing.trace)};
  row.t = landing.landed ? landing.landed_t : landing.last_t;
  row.y = landing.landed ? landing.landed_y : landing.last_y;
  if (!landing.landed) row.ier = run.ier;
}

std::optional<Scd> scd_of(const models::DaeTestCase& c, const models::DaeVector& y, double t, const DaeReference* ref) {
  if (ref == nullptr || t != ref->t) return std::nullopt;
  return significant_digits(std::span<const double>(y.data() + 1, static_cast<std::size_t>(c.n)), ref->components);
}

}  // namespace

DaeRow judge_dae_run(const models::DaeTestCase& c, const DaeReference* ref, int timing_repeats) {
  const models::SilentStreams silent;
  const textout::DiagnosticsTo quiet(nullptr);
  const bool at_horizon = ref != nullptr && ref->chaotic && ref->t < c.tend;
  Observation first;
  if (at_horizon) first.trace_until = ref->t;
  const RunOutcome run = observe_run(c, first);
  DaeRow row{&c, run.ier, first.last_t, first.last_y, std::nullopt, run.work, std::nullopt};
  for (int k = 1; k < timing_repeats; ++k) {
    Observation again;
    row.work.cpu_seconds = std::min(row.work.cpu_seconds, observe_run(c, again).work.cpu_seconds);
  }
  if (at_horizon && run.ier == DAE_IER_OK) land_on_horizon(c, ref->t, first, row);
  if (row.ier == DAE_IER_OK) row.scd = scd_of(c, row.y, row.t, ref);
  return row;
}

// --- peer ------------------------------------------------------------------------------

namespace {

std::string peer_name(const models::DaeTestCase& c) {
  return c.test == 0 ? "test00 ii=" + std::to_string(c.ii) : std::string(c.name);
}

}  // namespace

PeerRow judge_peer(const models::DaeTestCase& c, const DaeReference* ref, int timing_repeats) {
  const models::SilentStreams silent;
  const textout::DiagnosticsTo quiet(nullptr);
  peer::IdaSettings settings = peer::battery_settings(c);
  const bool at_horizon = ref != nullptr && ref->chaotic && ref->t < c.tend;
  if (at_horizon) settings.sample_times = {ref->t};
  const peer::IdaRun run = peer::integrate_with_ida(c, settings);
  double best = run.cpu_seconds;
  for (int k = 1; k < timing_repeats; ++k) best = std::min(best, peer::integrate_with_ida(c, settings).cpu_seconds);
  PeerRow row{&c,
              peer_name(c),
              settings.rtol,
              run.flag,
              peer::ida_succeeded(run),
              run.t,
              run.y,
              std::nullopt,
              DaeWork{run.steps, run.newton_iterations, run.model_calls, best}};
  if (at_horizon && !run.samples.empty()) {
    row.t = run.samples.front().t;
    row.y = run.samples.front().y;
    row.scd = scd_of(c, row.y, row.t, ref);
  } else if (!at_horizon && row.reached_tend) {
    row.scd = scd_of(c, row.y, row.t, ref);
  }
  return row;
}

}  // namespace verdict
