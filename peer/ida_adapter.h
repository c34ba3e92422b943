// The adapter between a catalogue model (1-based vectors, flat matrices with
// (i, j) at i*n + j, a status flag) and IDA's residual and Jacobian functions
// (0-based N_Vectors, a column-major dense SUNMatrix, a return code).
//
//   context      AdapterContext, make_adapter_context
//   callbacks    ida_residual (IDAResFn), ida_jacobian (IDALsJacFn)
//   helpers      evaluate_model, copy_in, fill_iteration_matrix
//
// Scratch vectors are sized once by make_adapter_context: the callbacks
// themselves never allocate.
#pragma once

#include <ida/ida.h>
#include <sundials/sundials_matrix.h>
#include <sundials/sundials_nvector.h>

#include <vector>

#include "models/dae_catalogue.h"

namespace peer {

// IDA's return codes for a callback.
inline constexpr int kCallbackOk = 0;
inline constexpr int kCallbackRecoverable = 1;  // IDA retries with a smaller step

struct AdapterContext {
  const models::DaeTestCase* test = nullptr;
  void* ida_mem = nullptr;  // for the current step size handed to the model
  std::vector<double> y;    // y(1..n)
  std::vector<double> yp;   // y'(1..m)
  std::vector<double> F;    // F(1..n)
  std::vector<double> fyp;  // dF/dy', (i, j) at i*n + j; entries never written stay 0
  std::vector<double> fy;   // dF/dy, likewise
  std::vector<int> ip;      // the statistics array the model may read; ip[1] stays 0
  int status = 0;           // the model's report flag
  long model_calls = 0;
};

// Scratch storage for the test's n and m, all zero.
AdapterContext make_adapter_context(const models::DaeTestCase& c);

// F(t, y, y') into rr; recoverable when the model cannot be evaluated.
int ida_residual(double t, N_Vector yy, N_Vector yp, N_Vector rr, void* context);

// J = dF/dy + cj dF/dy' at (t, y, y'); recoverable when the model cannot be
// evaluated there.
int ida_jacobian(double t, double cj, N_Vector yy, N_Vector yp, N_Vector rr, SUNMatrix J, void* context, N_Vector tmp1,
                 N_Vector tmp2, N_Vector tmp3);

// Calls the model at (t, yy, yp) into the context's F, fyp, fy; false when it
// reported a status other than 0.
bool evaluate_model(AdapterContext& a, double t, N_Vector yy, N_Vector yp);

// J(i-1, j-1) = fy(i, j) + cj * fyp(i, j) (the second term for j <= m only).
void fill_iteration_matrix(const AdapterContext& a, double cj, SUNMatrix J);

}  // namespace peer
