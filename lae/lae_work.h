// Pieces shared by the linear solvers: limits, result codes, fixed-capacity
// long-decimal work storage, the entry guard, the failure exit, the precision
// estimate and verdict, and the printing of an outcome.
//
//   limits             kFullMaxOrder, kFlatMaxOrder, kBandMaxOrder, kFullPoiLimit,
//                      kBandPoiLimit, kTinySolution
//   work storage       FullMatrix, FullVector, BandMatrix, BandVector
//   outcome            Stage, CoreOutcome
//   entry and exits    refuse_entry, solution_representable, stop_with_zero_solution
//   full systems       load_full_system, full_residual
//   estimate           largest_relative_correction, judge
//   printing           report_outcome
//
// Every work record lives for one call; nothing here allocates or keeps state
// between calls. A solver's core computes without printing; its entry point
// prints through report_outcome, so a caller of the core decides what is said.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>

#include "lae/lae_solvers.h"
#include "layout/flat_index.h"
#include "longdec/longdec.h"

namespace lae {

// Largest order of the full-matrix solvers: their work matrices hold 16x16
// cells, and the largest flat index used, n*n + n, is 240 at n = 15.
inline constexpr int kFullMaxOrder = 15;
inline constexpr std::size_t kFullMatrixCells = 256;
inline constexpr std::size_t kFullVectorCells = kFullMaxOrder + 1;  // index 0 unused

// The largest order whose flat layout, n*n + n, still indexes within an int:
// the bound of the exact solver, which has no storage limit of its own.
inline constexpr int kFlatMaxOrder = 46340;

// Largest order of the tridiagonal sweep: 199 rows of three band entries.
inline constexpr int kBandMaxOrder = 199;
inline constexpr int kBandWidth = 3;
// Band vectors hold entries 1..n+1: the sweep coefficients reach index n + 1.
inline constexpr std::size_t kBandVectorCells = kBandMaxOrder + 2;

// A solution whose estimate poi exceeds its solver's limit is rejected like a
// singular matrix: the dense solvers ask for 1e-16, the sweep for 1e-15.
inline constexpr double kFullPoiLimit = 1e-16;
inline constexpr double kBandPoiLimit = 1e-15;

// Below this magnitude a solution entry is treated as zero in the precision
// estimate: the correction itself counts instead of the ratio, which guards
// the double division against underflowed and zero denominators.
inline constexpr double kTinySolution = 1e-308;

// A full work matrix of long decimals in the caller's layout (row stride n,
// indices from 1). The cells are not initialised here: each solver loads or
// clears every cell it reads.
struct FullMatrix {
  explicit FullMatrix(int order) : n(order) {}

  LongDecimal& operator()(int i, int j) { return cell[layout::flat_index(i, j, n)]; }
  const LongDecimal& operator()(int i, int j) const { return cell[layout::flat_index(i, j, n)]; }

  int n;
  std::array<LongDecimal, kFullMatrixCells> cell;
};

// A work vector of the full-matrix solvers, entries 1..n.
using FullVector = std::array<LongDecimal, kFullVectorCells>;

// The three band entries of each row of a tridiagonal system, rows 1..n,
// band columns 1..3 (sub-diagonal, diagonal, super-diagonal), packed.
struct BandMatrix {
  explicit BandMatrix(int order) : n(order) {}

  LongDecimal& operator()(int i, int j) { return cell[kBandWidth * (i - 1) + (j - 1)]; }
  const LongDecimal& operator()(int i, int j) const { return cell[kBandWidth * (i - 1) + (j - 1)]; }

  int n;
  std::array<LongDecimal, kBandWidth * kBandMaxOrder> cell;
};

using BandVector = std::array<LongDecimal, kBandVectorCells>;

// How far a solver's core got, which fixes what its entry point prints.
enum class Stage {
  kAboveLimit,  // n above the solver's limit: nothing written, nothing printed
  kStopped,     // failed before the estimate: ier 1, X zeroed, nothing printed
  kJudged,      // poi computed and judged: the "poi=" line, then the banner on success
};

struct CoreOutcome {
  Stage stage;
  int ier;     // written to the caller's ier unless kAboveLimit
  double poi;  // the estimate; meaningful at kJudged only
};

// The entry guard of every solver. Above max_order nothing is written; an
// order below 1, or a non-finite entry among B(1..n) and A(i, 1..columns) for
// i = 1..n (entry (i, j) at flat index i*row_stride + j), stops with ier 1 and
// X zeroed, before any decimal conversion, which would never end on an
// infinity. Returns that outcome when the solver must not go on, nothing when
// it may.
std::optional<CoreOutcome> refuse_entry(int n, int max_order, const double* A, int row_stride, int columns,
                                        const double* B, double* X);

// True when X(1..n) are all finite: a solution beyond the double range comes
// back from its long decimal as an infinity, and fails like a singular system.
bool solution_representable(int n, const double* X);

// The common failure exit before the estimate: X(1..n) = 0, ier 1.
CoreOutcome stop_with_zero_solution(int n, double* X);

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

// The verdict on an estimate: ier 1 with X(1..n) zeroed when poi > limit,
// otherwise ier 0 (the limit itself is accepted).
CoreOutcome judge(int n, double poi, double limit, double* X);

// What an entry point does with its core's outcome: writes ier (not above the
// limit) and prints on the diagnostics stream the "poi=" line once judged and
// then, on success, the banner (none when banner is null).
void report_outcome(const CoreOutcome& outcome, const char* banner, int* ier);

}  // namespace lae
