// The numbers of the DAE integrator's Newton iteration and step control, each
// defined once, with what it guards.
//
//   zero and bounds        kTiny, kMinTolerance, kMaxSolves
//   rounding level         kRoundingStart, kRoundingSweeps, kRoundingDamping,
//                          kRoundingScale
//   Newton verdict         kVerdictSolves, kFreezeFromSolve, kSettlingRatio,
//                          kSlowRatio, kSlowIterations
//   small steps            kDoubtfulStepFactor, kSmallStepFactor, kLookAhead
//   error estimate         kEe1Weight, kEe2Weight, kEe3Weight, kHistoryLength,
//                          kEstimateSlots, kFdzEpsLimit
//   oscillation            kOscillationPairs
//   growth and method      kUnchangedStepsToGrow, kMaxGrowthBands, kEulerBands, kTrapezoidalBands,
//                          kLobattoBands, kToLobattoBelow, kToTrapezoidalBelow
//   start-up               kStartupSettled, kPowerBand, kMaxPowerOfTwo,
//                          kMaxStartupAttempts, kNoStopFactor
//   ip                     cleared_ip_count
//
// Tolerance bands are written as divisors of eps (eps/4 is kept as a division,
// so every band is rounded exactly as the reports were produced).
#pragma once

#include <array>

namespace dae {

// ---------------------------------------------------------------------------
// Zero and bounds

// Magnitudes not above this count as zero: it guards every division by a
// magnitude, every "relative to" test and the smallest admissible hmin.
inline constexpr double kTiny = 1e-200;
// Tolerances at or below this are beyond double precision.
inline constexpr double kMinTolerance = 1e-12;
// Newton solves allowed in one attempt; the next one ends it as not converged.
inline constexpr int kMaxSolves = 10;

// ---------------------------------------------------------------------------
// Rounding level conm14: kRoundingSweeps damped Newton steps towards sqrt(2),
// x += kRoundingDamping*(x*x - 2) from kRoundingStart, leave a residual and a
// last correction of the size of the rounding of x*x; kRoundingScale times
// their sum (about 4.6e-15) is the relative level below which the integrator
// treats differences as noise.
inline constexpr double kRoundingStart = 1.41;
inline constexpr int kRoundingSweeps = 20;
inline constexpr double kRoundingDamping = -0.3;
inline constexpr double kRoundingScale = 8;

// ---------------------------------------------------------------------------
// Newton verdict

// Before this many solves the iteration gives no verdict (other than a zero
// residual), and the residuals of these first evaluations make up r0.
inline constexpr int kVerdictSolves = 2;
// From this solve on, a component whose last correction was dropped stays
// frozen, so that rounding noise cannot keep the iteration going.
inline constexpr int kFreezeFromSolve = 3;
// A largest correction ratio above this means the iteration is still settling.
inline constexpr double kSettlingRatio = 8;
// Ratios of the corrections and residuals to those of the last accepted step
// below (divergence) or above (no fdz warning) this mark a slow iteration.
inline constexpr double kSlowRatio = 0.1;
// After this many slow iterations the iteration ends as slow (converged, with
// the fdz test to follow).
inline constexpr int kSlowIterations = 2;

// ---------------------------------------------------------------------------
// Small steps

// A doubtful model evaluation (status 2) is used rather than failed when the
// step is no larger than this many hmin: halving would leave hmin behind.
inline constexpr double kDoubtfulStepFactor = 2;
// A step no larger than this many hmin is neither declared divergent nor
// halved for a failed error test: it is accepted (counted in ip[5]).
inline constexpr double kSmallStepFactor = 4;
// A stop time or tend no further than this fraction of h beyond the step's
// end is reached by stretching the step rather than by a sliver after it.
inline constexpr double kLookAhead = 0.5;

// ---------------------------------------------------------------------------
// Error estimate

// Weights of the scaled second, third and fifth divided differences: the
// error estimates of implicit Euler, the trapezoidal rule and the three-point
// method.
inline constexpr double kEe1Weight = 2;
inline constexpr double kEe2Weight = 6;
inline constexpr double kEe3Weight = 64;
// Past points of the differential unknowns kept for the estimate (Y1..Y5).
inline constexpr int kHistoryLength = 5;
// work[1..kEstimateSlots] hold ee1, ee2, ee3 of the last attempt.
inline constexpr int kEstimateSlots = 3;
// With eps above this the slow-iteration rejection is never applied.
inline constexpr double kFdzEpsLimit = 100;

// ---------------------------------------------------------------------------
// Oscillation

// A derivative oscillates when all kOscillationPairs neighbouring pairs of its
// kOscillationPairs + 1 latest values change sign: the step is then redone
// with implicit Euler.
inline constexpr int kOscillationPairs = 3;

// ---------------------------------------------------------------------------
// Growth and method change

// Inside a band the step grows only on the step after this many unchanged
// steps (or at once after a change of size).
inline constexpr int kUnchangedStepsToGrow = 2;

// Growth bands: the estimate e is compared with eps/divisor[j]; the factor of
// the band it falls in multiplies the step. Divisors rise, bands shrink.
inline constexpr int kMaxGrowthBands = 4;
struct GrowthBands {
  int levels;                                   // bands in use
  std::array<double, kMaxGrowthBands> divisor;  // eps/divisor[0] > eps/divisor[1] > ...
  std::array<double, kMaxGrowthBands> factor;   // growth factor of each band
};
// Implicit Euler: e <= eps/4 grows by 1.2, e <= eps/8 by 1.5, e <= eps/16 by 2,
// without the counters of the growth rule.
inline constexpr GrowthBands kEulerBands{3, {4, 8, 16, 0}, {1.2, 1.5, 2, 0}};
// Trapezoidal rule and three-point method: the growth rule with counters.
inline constexpr GrowthBands kTrapezoidalBands{3, {8, 16, 32, 0}, {1.1, 1.3, 2, 0}};
inline constexpr GrowthBands kLobattoBands{4, {16, 32, 64, 128}, {1.1, 1.2, 1.5, 2}};
// nm = 4: the trapezoidal rule hands over to the three-point method when ee2
// reaches eps/kToLobattoBelow, the three-point method back when ee2 falls
// below eps/kToTrapezoidalBelow.
inline constexpr double kToLobattoBelow = 8;
inline constexpr double kToTrapezoidalBelow = 128;

// ---------------------------------------------------------------------------
// Start-up

// The start-up ends when the derivatives of two attempts differ by at most this.
inline constexpr double kStartupSettled = 0.001;
// A derivative ratio within this of 2^k (k = 1..kMaxPowerOfTwo) scales with a
// power of h and is left out of the start-up measure.
inline constexpr double kPowerBand = 0.1;
inline constexpr int kMaxPowerOfTwo = 10;
// Bound on the start-up attempts: a derivative that never settles would
// otherwise halve h without end.
inline constexpr int kMaxStartupAttempts = 60;
// The stop time is set to this multiple of tend when an attempt has read it:
// for tend > 0 a time no step reaches.
inline constexpr double kNoStopFactor = 2;

// ---------------------------------------------------------------------------
// ip

// Entries ip[1 .. cleared_ip_count(n, m)] are cleared at the start of a call:
// the statistics ip[1..20] and the sign counts ip[22..21+m] (and, as the count
// has always been, a part of the first permutation block, which the
// factorisation initialises anyway).
constexpr int cleared_ip_count(int n, int m) { return 20 + 2 * n + m; }

}  // namespace dae
