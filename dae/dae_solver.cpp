// DAE_Solver_01: the fixed 24-argument entry point, a thin wrapper over the
// integrator core (dae_core.h) with the caller's plain callbacks.
//
//   entry point   DAE_Solver_01
//   callbacks     PlainCallbacks, plain_model, plain_output
#include "dae/dae_solver.h"

#include "dae/dae_core.h"

namespace {

// The caller's function pointers, handed to the core as the callbacks' context.
struct PlainCallbacks {
  DAE_Model model;
  DAE_Output output;
};

int plain_model(void* context, double* y, double* yp, double* f, double* fyp, double* fy, int n, int m, double t,
                double h, int kind, int* status, const int* ip) {
  return static_cast<const PlainCallbacks*>(context)->model(y, yp, f, fyp, fy, n, m, t, h, kind, status, ip);
}

// A plain output routine cannot stop the run: its return value is ignored.
dae::OutputReply plain_output(void* context, double* y, double* yp, int n, int m, double t, double t0, double tend,
                              double h, double* tstop, int kind, const int* ip) {
  static_cast<const PlainCallbacks*>(context)->output(y, yp, n, m, t, t0, tend, h, tstop, kind, ip);
  return dae::OutputReply::proceed;
}

}  // namespace

void DAE_Solver_01(double* y, double* yp, double* ye, double* ype, double* F, double* fyp, double* fy, double t,
                   double t0, double tend, double h, double hmin, double hmax, double eps, double* tstop, int n, int m,
                   int nm, int init, int* status, int* ier, int* ip, DAE_Model model, DAE_Output output) {
  static_cast<void>(t);  // the working time starts at t0
  PlainCallbacks plain{model, output};
  dae::CoreSettings settings{t0, tend, hmin, hmax, eps, n, m, nm, init};
  settings.forward_differences = *ier == DAE_IER_FORWARD_DIFFERENCES;
  settings.h = h;
  const dae::CoreArrays arrays{y, yp, ye, ype, F, fyp, fy, tstop, status, ip};
  *ier = dae::integrate(arrays, settings, {plain_model, &plain}, {plain_output, &plain}).ier;
}
