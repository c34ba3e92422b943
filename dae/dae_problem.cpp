// solve: the C++ layer over the integrator core. The caller's vectors are
// copied once into 1-based storage; the core's callbacks are bridged to the
// caller's callables, which see that storage through 0-based spans and
// matrix views, so no evaluation copies or allocates anything.
//
//   entry point    solve
//   checks         sizes_fit, check_sizes
//   settings       default_hmin, core_settings
//   storage        Storage
//   output times   OutputTimes
//   bridges        Bridge, bridge_model, bridge_output
//   result         statistics_of, result_of
#include "dae/dae_problem.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "dae/dae_core.h"
#include "dae/dae_problem_messages.h"
#include "layout/flat_index.h"
#include "textout/diagnostics.h"

namespace dae {

static_assert(kIerStopped == DAE_IER_STOPPED && kIerStepLimit == DAE_IER_STEP_LIMIT);

namespace {

// Default smallest step, relative to the span. Steps grow geometrically from
// hmin, so each factor of ten below costs about three steps, while steps at a
// hmin too large are accepted with a failed error test: Robertson's kinetics
// over [0, 4e10] did so with eps = 1e-8 at 1e-20 of the span, and with
// eps = 1e-10 still at 1e-24, not at 1e-26 or below.
constexpr double kDefaultHminFraction = 1e-30;
// The smallest default: the integrator rejects hmin <= 1e-200.
constexpr double kLeastDefaultHmin = 1e-199;

// ---------------------------------------------------------------------------
// Checks

bool sizes_fit(int n, int m) {
  return n >= 1 && m >= 0 && m <= n && n <= DAE_WORK_SIZE && dae_work_need(n, m) <= DAE_WORK_SIZE;
}

// Empty when the problem, start and options agree in their sizes and there
// is a model; otherwise what is wrong.
std::optional<std::string> check_sizes(const Problem& problem, const InitialValues& start, const Options& options) {
  const auto n = static_cast<std::size_t>(problem.n);
  const auto m = static_cast<std::size_t>(problem.m);
  if (!sizes_fit(problem.n, problem.m)) return "sizes: " + size_message(problem.n, problem.m);
  if (start.y.size() != n) return "sizes: start.y has " + std::to_string(start.y.size()) + " entries, not n";
  if (!start.yp.empty() && start.yp.size() != m) {
    return "sizes: start.yp has " + std::to_string(start.yp.size()) + " entries, neither m nor none";
  }
  if (!options.ye.empty() && options.ye.size() != n) {
    return "sizes: options.ye has " + std::to_string(options.ye.size()) + " entries, neither n nor none";
  }
  if (!problem.model) return std::string("problem: the model is empty");
  return std::nullopt;
}

// ---------------------------------------------------------------------------
// Settings

double default_hmin(double t0, double tend) { return std::max(kDefaultHminFraction * (tend - t0), kLeastDefaultHmin); }

CoreSettings core_settings(const Problem& problem, double t0, double tend, const Options& options) {
  CoreSettings s{};
  s.t0 = t0;
  s.tend = tend;
  s.hmin = options.hmin != 0 ? options.hmin : default_hmin(t0, tend);
  s.hmax = options.hmax != 0 ? options.hmax : tend - t0;
  s.eps = options.eps;
  s.n = problem.n;
  s.m = problem.m;
  s.nm = static_cast<int>(options.method);
  s.init = static_cast<int>(options.start);
  s.forward_differences = options.difference_jacobian;
  s.max_steps = options.max_steps;
  s.quiet = options.diagnostics == nullptr;
  return s;
}

// ---------------------------------------------------------------------------
// Storage

// The core's arrays, 1-based, allocated once per call.
struct Storage {
  Storage(const Problem& problem, const InitialValues& start, const Options& options)
      : y(vector_size(problem.n)),
        yp(vector_size(problem.n)),
        ye(vector_size(problem.n)),
        ype(vector_size(problem.n)),
        F(vector_size(problem.n)),
        fyp(static_cast<std::size_t>(layout::flat_cells(problem.n))),
        fy(static_cast<std::size_t>(layout::flat_cells(problem.n))),
        ip(static_cast<std::size_t>(dae_ip_size(problem.n))) {
    std::copy(start.y.begin(), start.y.end(), y.begin() + 1);
    std::copy(start.yp.begin(), start.yp.end(), yp.begin() + 1);
    for (int i = 1; i <= problem.n; ++i) {
      const double y0 = std::fabs(y[static_cast<std::size_t>(i)]);
      ye[static_cast<std::size_t>(i)] =
          options.ye.empty() ? std::max(y0, 1.0) : options.ye[static_cast<std::size_t>(i - 1)];
    }
  }

  static std::size_t vector_size(int n) { return static_cast<std::size_t>(n) + 1; }

  CoreArrays arrays() {
    return {y.data(), yp.data(), ye.data(), ype.data(), F.data(), fyp.data(), fy.data(), &tstop, &status, ip.data()};
  }

  std::vector<double> y, yp, ye, ype, F, fyp, fy;
  std::vector<int> ip;
  double tstop = 0;
  int status = 0;
};

// ---------------------------------------------------------------------------
// Output times

// The caller's output times in [t0, tend], sorted (t0 only marks the first
// observation), and the next one to land on.
class OutputTimes {
 public:
  OutputTimes(std::vector<double> times, double t0, double tend) : times_(std::move(times)) {
    std::erase_if(times_, [&](double x) { return !(x >= t0 && x <= tend); });
    std::sort(times_.begin(), times_.end());
  }

  // Moves past every time up to t; true when t is one of them.
  bool pass(double t) {
    bool hit = false;
    while (next_ < times_.size() && times_[next_] <= t) hit = hit || times_[next_++] == t;
    return hit;
  }

  // The next time beyond the last one passed, if any.
  std::optional<double> next() const {
    if (next_ == times_.size()) return std::nullopt;
    return times_[next_];
  }

 private:
  std::vector<double> times_;
  std::size_t next_ = 0;
};

// ---------------------------------------------------------------------------
// Bridges

// What the core's callbacks carry to the caller's callables.
struct Bridge {
  const ModelFunction& model;
  const Observer& observer;
  OutputTimes times;
};

int bridge_model(void* context, double* y, double* yp, double* f, double* fyp, double* fy, int n, int m, double t,
                 double h, int kind, int* status, const int* ip) {
  const auto& bridge = *static_cast<const Bridge*>(context);
  const auto nn = static_cast<std::size_t>(n);
  const auto mm = static_cast<std::size_t>(m);
  const ModelPoint at{t, {y + 1, nn}, {yp + 1, mm}, h, static_cast<Evaluation>(kind), ip[IP_STEP_SOLVES]};
  ModelValues values{{f + 1, nn}, MatrixView(fy, n, n, n), MatrixView(fyp, n, n, m)};
  *status = static_cast<int>(bridge.model(at, values));
  return 0;
}

// Observes the outputs of kind 0 and 1 (a failure is the result's to report),
// then aims the next step at the next output time.
OutputReply bridge_output(void* context, double* y, double* yp, int n, int m, double t, double, double, double h,
                          double* tstop, int kind, const int* ip) {
  if (kind == DAE_OUTPUT_ERROR) return OutputReply::proceed;
  auto& bridge = *static_cast<Bridge*>(context);
  const bool output_time = bridge.times.pass(t);
  ObserverReply reply = ObserverReply::proceed;
  if (bridge.observer) {
    const Observation point{t,
                            {y + 1, static_cast<std::size_t>(n)},
                            {yp + 1, static_cast<std::size_t>(m)},
                            h,
                            kind == DAE_OUTPUT_FIRST,
                            output_time,
                            ip[IP_ACCEPTED_STEPS]};
    reply = bridge.observer(point);
  }
  if (const std::optional<double> next = bridge.times.next()) *tstop = *next;
  return reply == ObserverReply::stop ? OutputReply::stop : OutputReply::proceed;
}

// ---------------------------------------------------------------------------
// Result

Statistics statistics_of(const std::vector<int>& ip, const CoreResult& core) {
  Statistics s;
  s.accepted_steps = ip[IP_ACCEPTED_STEPS];
  s.newton_solves = ip[IP_TOTAL_SOLVES];
  s.halvings = ip[IP_HALVINGS];
  s.error_test_failures = ip[IP_ERROR_TEST_FAILURES];
  s.failed_attempts = ip[IP_FAILED_ATTEMPTS];
  s.trapezoidal_solves = ip[IP_TRAPEZOIDAL_SOLVES];
  s.trapezoidal_steps = ip[IP_TRAPEZOIDAL_STEPS];
  s.lobatto_solves = ip[IP_LOBATTO_SOLVES];
  s.lobatto_steps = ip[IP_LOBATTO_STEPS];
  s.slow_warnings = ip[IP_FDZ_WARNINGS];
  s.damping_redos = ip[IP_DAMPING_REDOS];
  s.slow_rejections = ip[IP_SLOW_REJECTIONS];
  s.model_failures = ip[IP_MODEL_FAILURES];
  s.not_converged = ip[IP_NOT_CONVERGED];
  s.divergent = ip[IP_DIVERGENT];
  s.accepted_error_failed = core.accepted_error_failed;
  return s;
}

Result result_of(const Storage& storage, const Problem& problem, const CoreResult& core, const RunFacts& facts) {
  Result r;
  r.ier = core.ier;
  r.t = core.t;
  r.h = core.h;
  r.y.assign(storage.y.begin() + 1, storage.y.begin() + 1 + problem.n);
  r.yp.assign(storage.yp.begin() + 1, storage.yp.begin() + 1 + problem.m);
  r.statistics = statistics_of(storage.ip, core);
  r.message = result_message(r, facts);
  return r;
}

}  // namespace

Result solve(const Problem& problem, const InitialValues& start, double tend, const Options& options,
             const Observer& observer) {
  if (const std::optional<std::string> wrong = check_sizes(problem, start, options)) {
    Result r;
    r.ier = DAE_IER_SIZES;
    r.t = start.t0;
    r.message = *wrong;
    return r;
  }
  const CoreSettings settings = core_settings(problem, start.t0, tend, options);
  Storage storage(problem, start, options);
  Bridge bridge{problem.model, observer, OutputTimes(options.output_times, start.t0, tend)};
  std::optional<textout::DiagnosticsTo> redirect;
  if (options.diagnostics != nullptr) redirect.emplace(options.diagnostics);
  const CoreResult core = integrate(storage.arrays(), settings, {bridge_model, &bridge}, {bridge_output, &bridge});
  return result_of(storage, problem, core, {settings.t0, settings.tend, settings.hmin, settings.hmax, settings.eps});
}

}  // namespace dae
