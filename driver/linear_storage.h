// Process-wide storage of the linear battery. The solvers receive the
// addresses of these arrays; everything is zero at start and keeps what
// earlier tasks left wherever a task does not write.
#pragma once

#include <array>

namespace battery {

struct LinearStorage {
  int n = 0;                     // order of the current task
  std::array<double, 3200> A{};  // matrix, entry (i, j) at i*n + j
  std::array<double, 200> B{};   // right-hand side B(1..n)
  std::array<double, 200> X{};   // solution X(1..n), written by the solver
  std::array<double, 256> L{};   // lower factor from LAE_Solver_02, layout of A
  std::array<double, 256> U{};   // upper factor from LAE_Solver_02, layout of A
};

inline LinearStorage linear;

}  // namespace battery
