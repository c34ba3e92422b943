// Cost of the long decimal operations on operands typical of the linear
// solvers: 15-digit inputs and the full-length values that elimination makes.
#include <benchmark/benchmark.h>

#include "longdec/longdec.h"

namespace {

LongDecimal from_double(double x) {
  LongDecimal v;
  ld_from_double(x, v);
  return v;
}

// A full-length value: the quotient of two 15-digit inputs.
LongDecimal full_length(double a, double b) { return ld_div(from_double(a), from_double(b)); }

void BM_ld_from_double(benchmark::State& state) {
  double x = 0.123456789012345e7;
  for (auto _ : state) {
    LongDecimal v;
    ld_from_double(x, v);
    benchmark::DoNotOptimize(v);
    benchmark::DoNotOptimize(x);
  }
}
BENCHMARK(BM_ld_from_double);

void BM_ld_to_double(benchmark::State& state) {
  const LongDecimal v = full_length(2.0, 3.0);
  for (auto _ : state) {
    double out = 0.0;
    ld_to_double(v, out);
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_ld_to_double);

void BM_ld_add_short(benchmark::State& state) {
  const LongDecimal a = from_double(1234.56789012345);
  const LongDecimal b = from_double(-0.987654321098765);
  for (auto _ : state) benchmark::DoNotOptimize(ld_add(a, b));
}
BENCHMARK(BM_ld_add_short);

void BM_ld_add_full(benchmark::State& state) {
  const LongDecimal a = full_length(1.0, 3.0);
  const LongDecimal b = ld_negate(full_length(2.0, 7.0));
  for (auto _ : state) benchmark::DoNotOptimize(ld_add(a, b));
}
BENCHMARK(BM_ld_add_full);

void BM_ld_mul_full(benchmark::State& state) {
  const LongDecimal a = full_length(1.0, 3.0);
  const LongDecimal b = full_length(2.0, 7.0);
  for (auto _ : state) benchmark::DoNotOptimize(ld_mul(a, b));
}
BENCHMARK(BM_ld_mul_full);

// A 15-digit factor times a full-length value: the solvers' commonest product.
void BM_ld_mul_short(benchmark::State& state) {
  const LongDecimal a = from_double(-1.3);
  const LongDecimal b = full_length(2.0, 7.0);
  for (auto _ : state) benchmark::DoNotOptimize(ld_mul(a, b));
}
BENCHMARK(BM_ld_mul_short);

void BM_ld_div_short(benchmark::State& state) {
  const LongDecimal a = from_double(1234.56789012345);
  const LongDecimal b = from_double(0.987654321098765);
  for (auto _ : state) benchmark::DoNotOptimize(ld_div(a, b));
}
BENCHMARK(BM_ld_div_short);

void BM_ld_div_full(benchmark::State& state) {
  const LongDecimal a = full_length(1.0, 3.0);
  const LongDecimal b = full_length(2.0, 7.0);
  for (auto _ : state) benchmark::DoNotOptimize(ld_div(a, b));
}
BENCHMARK(BM_ld_div_full);

}  // namespace
