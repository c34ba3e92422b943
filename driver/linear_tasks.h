// The built-in data of the linear battery: the matrices D1..D13 and the
// three series that run them.
//
//   LinearData        order, rows of A (row-major, n*n values) and B
//   LinearTask        a title with its data and whether the factors are printed
//   first_series      the twelve tasks of LAE_Solver_01
//   second_series     the eleven tasks of LAE_Solver_02
//   tridiagonal_task  D13: band rows (sub, diagonal, super) and B
#pragma once

#include <span>

namespace battery {

struct LinearData {
  int n;
  std::span<const double> rows;  // A(i, j) at (i-1)*n + (j-1)
  std::span<const double> rhs;   // B(i) at i-1
};

struct LinearTask {
  const char* title;  // printed verbatim; most titles continue on the next line's text
  const LinearData* data;
  bool print_factors;  // print L and U after the X lines (second series only)
};

std::span<const LinearTask> first_series();
std::span<const LinearTask> second_series();

// Band of the tridiagonal task: row i holds (a_i, b_i, c_i) at 3*(i-1) .. 3*(i-1)+2.
const LinearData& tridiagonal_task();

}  // namespace battery
