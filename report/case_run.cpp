// Silent, limited runs of a catalogue case (see case_run.h).
//
//   clock          thread_cpu_seconds
//   callbacks      RunContext, model_call, output_call
//   running        run_case, run_ida_case
#include "report/case_run.h"

#include <ctime>
#include <memory>

#include "dae/dae_core.h"
#include "peer/ida_peer.h"
#include "textout/diagnostics.h"

namespace report {

double thread_cpu_seconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

namespace {

// Reading the clock at every output would cost more than a small step.
constexpr int kOutputsPerClockCheck = 32;

struct RunContext {
  const models::DaeTestCase* c;
  RunLimits limits;
  StepObserver observer;
  double start;
  int outputs;
};

int model_call(void* context, double* y, double* yp, double* f, double* fyp, double* fy, int n, int m, double t,
               double h, int kind, int* status, const int* ip) {
  return static_cast<RunContext*>(context)->c->model(y, yp, f, fyp, fy, n, m, t, h, kind, status, ip);
}

dae::OutputReply output_call(void* context, double* y, double* yp, int n, int m, double t, double t0, double tend,
                             double h, double* tstop, int kind, const int* ip) {
  auto& run = *static_cast<RunContext*>(context);
  if (run.c->test != 0) run.c->output(y, yp, n, m, t, t0, tend, h, tstop, kind, ip);
  if (kind < 0) return dae::OutputReply::proceed;
  if (kind == DAE_OUTPUT_STEP && run.observer.function != nullptr) run.observer.function(run.observer.context, t, h);
  ++run.outputs;
  const bool check = run.limits.max_cpu_seconds > 0 && run.outputs % kOutputsPerClockCheck == 0;
  if (check && thread_cpu_seconds() - run.start > run.limits.max_cpu_seconds) return dae::OutputReply::stop;
  return dae::OutputReply::proceed;
}

}  // namespace

CaseRun run_case(const models::DaeTestCase& c, int nm, double eps, const RunLimits& limits, StepObserver observer) {
  const textout::DiagnosticsTo quiet(nullptr);
  auto a = std::make_unique<models::DaeArrays>();
  RunContext context{&c, limits, observer, thread_cpu_seconds(), 0};
  c.set_parameters();
  models::set_start_values(c, *a);
  const dae::CoreArrays arrays{a->y.data(),   a->yp.data(), a->ye.data(), a->ype.data(), a->F.data(),
                               a->fyp.data(), a->fy.data(), &a->tstop,    &a->status,    a->ip.data()};
  dae::CoreSettings settings{c.t0, c.tend, c.hmin, c.hmax, eps, c.n, c.m, nm, c.init};
  settings.max_steps = limits.max_steps;
  settings.quiet = true;
  const dae::CoreResult r = dae::integrate(arrays, settings, {model_call, &context}, {output_call, &context});

  CaseRun run;
  run.cpu_seconds = thread_cpu_seconds() - context.start;
  run.code = r.ier;
  run.reached_end = r.ier == DAE_IER_OK;
  run.t = r.t;
  for (int i = 1; i <= c.n; ++i) run.y[i] = a->y[i];
  run.steps = r.accepted_steps;
  return run;
}

CaseRun run_ida_case(const models::DaeTestCase& c, double rtol, const RunLimits& limits) {
  const textout::DiagnosticsTo quiet(nullptr);
  peer::IdaSettings settings = peer::settings_at(c, rtol);
  settings.max_steps = static_cast<long>(limits.max_steps);
  const double start = thread_cpu_seconds();
  const peer::IdaRun r = peer::integrate_with_ida(c, settings);

  CaseRun run;
  run.cpu_seconds = thread_cpu_seconds() - start;
  run.code = r.flag;
  run.reached_end = peer::ida_succeeded(r);
  run.t = r.t;
  run.y = r.y;
  run.steps = r.steps;
  return run;
}

}  // namespace report
