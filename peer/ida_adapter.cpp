// The adapter between a catalogue model and IDA (see ida_adapter.h).
//
//   context      make_adapter_context
//   helpers      copy_in, evaluate_model, fill_iteration_matrix
//   callbacks    ida_residual, ida_jacobian
#include "peer/ida_adapter.h"

#include <nvector/nvector_serial.h>
#include <sunmatrix/sunmatrix_dense.h>

#include "layout/flat_index.h"

namespace peer {

// --- context ---------------------------------------------------------------------------

AdapterContext make_adapter_context(const models::DaeTestCase& c) {
  AdapterContext a;
  a.test = &c;
  a.y.assign(c.n + 1, 0.0);
  a.yp.assign(c.n + 1, 0.0);
  a.F.assign(c.n + 1, 0.0);
  a.fyp.assign(layout::flat_cells(c.n), 0.0);
  a.fy.assign(layout::flat_cells(c.n), 0.0);
  a.ip.assign(dae_ip_size(c.n), 0);
  return a;
}

// --- helpers ---------------------------------------------------------------------------

namespace {

// The first count entries of v into to(1..count).
void copy_in(N_Vector v, std::vector<double>& to, int count) {
  const double* from = N_VGetArrayPointer(v);
  for (int i = 1; i <= count; ++i) to[i] = from[i - 1];
}

}  // namespace

bool evaluate_model(AdapterContext& a, double t, N_Vector yy, N_Vector yp) {
  const models::DaeTestCase& c = *a.test;
  copy_in(yy, a.y, c.n);
  copy_in(yp, a.yp, c.m);
  double h = 0;
  if (a.ida_mem != nullptr) IDAGetCurrentStep(a.ida_mem, &h);
  a.status = DAE_STATUS_OK;
  ++a.model_calls;
  c.model(a.y.data(), a.yp.data(), a.F.data(), a.fyp.data(), a.fy.data(), c.n, c.m, t, h, DAE_MODEL_ORDINARY, &a.status,
          a.ip.data());
  return a.status == DAE_STATUS_OK;
}

void fill_iteration_matrix(const AdapterContext& a, double cj, SUNMatrix J) {
  const int n = a.test->n;
  const int m = a.test->m;
  for (int j = 1; j <= n; ++j) {
    double* column = SUNDenseMatrix_Column(J, j - 1);
    for (int i = 1; i <= n; ++i) {
      const int k = layout::flat_index(i, j, n);
      column[i - 1] = j <= m ? a.fy[k] + cj * a.fyp[k] : a.fy[k];
    }
  }
}

// --- callbacks -------------------------------------------------------------------------

int ida_residual(double t, N_Vector yy, N_Vector yp, N_Vector rr, void* context) {
  auto& a = *static_cast<AdapterContext*>(context);
  if (!evaluate_model(a, t, yy, yp)) return kCallbackRecoverable;
  double* r = N_VGetArrayPointer(rr);
  for (int i = 1; i <= a.test->n; ++i) r[i - 1] = a.F[i];
  return kCallbackOk;
}

int ida_jacobian(double t, double cj, N_Vector yy, N_Vector yp, N_Vector, SUNMatrix J, void* context, N_Vector,
                 N_Vector, N_Vector) {
  auto& a = *static_cast<AdapterContext*>(context);
  if (!evaluate_model(a, t, yy, yp)) return kCallbackRecoverable;
  fill_iteration_matrix(a, cj, J);
  return kCallbackOk;
}

}  // namespace peer
