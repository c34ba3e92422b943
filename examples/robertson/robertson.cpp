// Robertson's chemical kinetics in its DAE form: three species A -> B
// (k1 = 0.04), B + B -> C + B (k2 = 3e7), B + C -> A + C (k3 = 1e4), with the
// conservation law y1 + y2 + y3 = 1 in place of the third rate equation:
//
//   y1' = -k1 y1 + k3 y2 y3
//   y2' =  k1 y1 - k3 y2 y3 - k2 y2^2
//   0   =  y1 + y2 + y3 - 1
//
// Stiff (rates from 0.04 to 3e7) over a long span, t in [0, 4e10]: the steps
// grow from the default hmin, 4e-20 here, to about 1e10. Prints the solution
// at every decade, how well the conservation law holds, and the integrator's
// statistics.
#include <dae/dae_problem.h>
#include <textout/textout.h>

#include <cmath>
#include <vector>

namespace {

// The rate constants travel with the model (no globals).
struct Rates {
  double k1 = 0.04, k2 = 3e7, k3 = 1e4;
};

dae::Problem robertson(Rates k) {
  auto model = [k](const dae::ModelPoint& at, dae::ModelValues& v) {
    const auto& y = at.y;
    v.f[0] = at.yp[0] + k.k1 * y[0] - k.k3 * y[1] * y[2];
    v.f[1] = at.yp[1] - k.k1 * y[0] + k.k3 * y[1] * y[2] + k.k2 * y[1] * y[1];
    v.f[2] = y[0] + y[1] + y[2] - 1;
    // dF/dy', 3 x 2: the two rate equations' derivative terms.
    v.dfdyp(0, 0) = 1;
    v.dfdyp(1, 1) = 1;
    // dF/dy, 3 x 3.
    v.dfdy(0, 0) = k.k1;
    v.dfdy(0, 1) = -k.k3 * y[2];
    v.dfdy(0, 2) = -k.k3 * y[1];
    v.dfdy(1, 0) = -k.k1;
    v.dfdy(1, 1) = k.k3 * y[2] + 2 * k.k2 * y[1];
    v.dfdy(1, 2) = k.k3 * y[1];
    v.dfdy(2, 0) = v.dfdy(2, 1) = v.dfdy(2, 2) = 1;
    return dae::ModelStatus::ok;
  };
  return {3, 2, model};
}

}  // namespace

int main() {
  dae::Options options;
  options.eps = 1e-6;
  // y2 stays below 4e-5: say so (from its start value 0 the default scale
  // would be 1). Here the coupling to y1 keeps y2 accurate either way; where a
  // small unknown moves on its own, a scale far above its size loosens its
  // error test.
  options.ye = {1, 1e-4, 1};
  for (double t = 4e-6; t <= 4e10; t *= 10) options.output_times.push_back(t);

  textout::out_printf(stdout, "%12s %16s %16s %16s %10s\n", "t", "y1", "y2", "y3", "sum - 1");
  double worst_sum = 0;
  auto observer = [&](const dae::Observation& p) {
    const double sum = p.y[0] + p.y[1] + p.y[2] - 1;
    worst_sum = std::fmax(worst_sum, std::fabs(sum));
    if (p.output_time) {
      textout::out_printf(stdout, "%12.3e %16.9e %16.9e %16.9e %10.2e\n", p.t, p.y[0], p.y[1], p.y[2], sum);
    }
    return dae::ObserverReply::proceed;
  };
  const dae::Result r = dae::solve(robertson(Rates{}), {0, {1, 0, 0}, {}}, 4e10, options, observer);

  const dae::Statistics& s = r.statistics;
  textout::out_printf(stdout, "\nier %d: %s\n", r.ier, r.message.c_str());
  textout::out_printf(stdout, "largest |y1 + y2 + y3 - 1| at an accepted point: %.2e\n", worst_sum);
  textout::out_printf(stdout, "accepted steps %lld (three-point %lld), Newton solves %lld, halvings %lld\n",
                      s.accepted_steps, s.lobatto_steps, s.newton_solves, s.halvings);
  textout::out_printf(stdout, "error test failures %lld (accepted with a failed test %lld), failed attempts %lld\n",
                      s.error_test_failures, s.accepted_error_failed, s.failed_attempts);
  return r.ok() ? 0 : 1;
}
