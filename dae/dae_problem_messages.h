// The words of solve's result: what each ier means and, for a failed run,
// which counters point to its cause.
//
//   facts      RunFacts
//   messages   size_message, result_message
#pragma once

#include <string>

#include "dae/dae_problem.h"

namespace dae {

// The settings a message quotes, after the defaults were applied.
struct RunFacts {
  double t0, tend, hmin, hmax, eps;
};

// Why n and m do not fit the integrator.
std::string size_message(int n, int m);

// r.ier in words, with the likely causes read from r's statistics and solution.
std::string result_message(const Result& r, const RunFacts& facts);

}  // namespace dae
