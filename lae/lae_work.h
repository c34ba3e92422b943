// Pieces shared by the three linear solvers: limits, result codes, 1-based
// index helpers, fixed-capacity long-decimal work storage, the input check,
// the failure exit and the precision estimate.
//
//   limits and codes   kFullMaxOrder, kBandMaxOrder, kIerSuccess, kIerFailure
//   layout             flat_index, FullMatrix, FullVector
//   checks and exits   full_input_finite, solution_representable,
//                      fail_with_zero_solution
//   full systems       load_full_system, full_residual
//   estimate           largest_relative_correction
//
// Every work record lives on the solver's stack for one call; nothing here
// allocates or keeps state between calls.
#pragma once

#include <array>
#include <cstddef>
#include <span>

#include "longdec/longdec.h"

namespace lae {

// Result codes written to ier. Above a solver's limit ier is not written.
inline constexpr int kIerSuccess = 0;
inline constexpr int kIerFailure = 1;

// Largest order of the full-matrix solvers: their work matrices hold 16x16
// cells, and the largest flat index used, n*n + n, is 240 at n = 15.
inline constexpr int kFullMaxOrder = 15;
inline constexpr std::size_t kFullMatrixCells = 256;
inline constexpr std::size_t kFullVectorCells = kFullMaxOrder + 1;  // index 0 unused

// Largest order of the tridiagonal sweep: 199 rows of three band entries.
inline constexpr int kBandMaxOrder = 199;

// Below this magnitude a solution entry is treated as zero in the precision
// estimate: the correction itself counts instead of the ratio, which guards
// the double division against underflowed and zero denominators.
inline constexpr double kTinySolution = 1e-308;

// Entry (i, j) of a matrix of order n lies at flat index i*n + j; all indices
// start at 1, so row 0 and column 0 are never used.
constexpr int flat_index(int n, int i, int j) { return i * n + j; }

// A full work matrix of long decimals in the caller's layout (row stride n).
// The cells are not initialised here: each solver loads or clears every cell
// it reads, as its load step says.
struct FullMatrix {
  explicit FullMatrix(int order) : n(order) {}

  LongDecimal& operator()(int i, int j) { return cell[flat_index(n, i, j)]; }
  const LongDecimal& operator()(int i, int j) const { return cell[flat_index(n, i, j)]; }

  int n;
  std::array<LongDecimal, kFullMatrixCells> cell;
};

// A work vector of the full-matrix solvers, entries 1..n.
using FullVector = std::array<LongDecimal, kFullVectorCells>;

// True when A(i, j) for i, j = 1..n and B(1..n) are all finite. Checked
// before any conversion: the decimal conversion of an infinity never ends.
bool full_input_finite(int n, const double* A, const double* B);

// True when X(1..n) are all finite: a solution beyond the double range comes
// back from its long decimal as an infinity, and fails like a singular system.
bool solution_representable(int n, const double* X);

// The common failure exit: ier = 1 and X(1..n) = 0.
void fail_with_zero_solution(int n, double* X, int* ier);

// AA(i, j) and BB(k) from the caller's A and B, each through its
// 15-significant-digit decimal value; AA keeps the caller's row order.
void load_full_system(int n, const double* A, const double* B, FullMatrix& AA, FullVector& BB);

// RR = BB - AA*XX in long decimals: row by row, the products summed over the
// columns in increasing order, then subtracted from BB.
void full_residual(const FullMatrix& AA, const FullVector& BB, const FullVector& XX, FullVector& RR);

// The precision estimate poi: the largest over k = 1..n of |DD(k) / X(k)|,
// or of |DD(k)| where |X(k)| <= kTinySolution. DD(k) is taken to double
// first; entry 0 of DD is not read.
double largest_relative_correction(int n, std::span<const LongDecimal> DD, const double* X);

}  // namespace lae
