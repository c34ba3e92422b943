// Cost of one plot-table line (five %e) through the formatting layer, against
// the C-library route it replaced, one snprintf of the line and bare
// std::to_chars of its five numbers.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdio>

#include "models/plot_line.h"
#include "textout/reference_format.h"
#include "textout/textout.h"

namespace {

// A line of test 04's plot table.
constexpr double kLine[5] = {1.2345678901234e-3, -0.7182818284590452, 3.0e-151, 42.0, -1.0e10};

class NullStream {
 public:
  NullStream() : stream_(std::fopen("/dev/null", "w")) {}
  ~NullStream() { std::fclose(stream_); }
  NullStream(const NullStream&) = delete;
  NullStream& operator=(const NullStream&) = delete;
  std::FILE* get() const { return stream_; }

 private:
  std::FILE* stream_;
};

void BM_plot_line_layer(benchmark::State& state) {
  NullStream null;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        textout::out_printf(null.get(), models::kPlotDataLine, kLine[0], kLine[1], kLine[2], kLine[3], kLine[4]));
  }
}
BENCHMARK(BM_plot_line_layer);

void BM_plot_line_c_library_route(benchmark::State& state) {
  NullStream null;
  for (auto _ : state) {
    const std::string text =
        textout::detail::reference_format(models::kPlotDataLine, kLine[0], kLine[1], kLine[2], kLine[3], kLine[4]);
    benchmark::DoNotOptimize(std::fwrite(text.data(), 1, text.size(), null.get()));
  }
}
BENCHMARK(BM_plot_line_c_library_route);

void BM_plot_line_one_snprintf(benchmark::State& state) {
  char line[160];
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        std::snprintf(line, sizeof line, "  %e   %e  %e  %e  %e\n", kLine[0], kLine[1], kLine[2], kLine[3], kLine[4]));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_plot_line_one_snprintf);

void BM_plot_line_to_chars(benchmark::State& state) {
  char line[160];
  for (auto _ : state) {
    char* p = line;
    for (const double x : kLine) p = std::to_chars(p, line + sizeof line, x, std::chars_format::scientific, 6).ptr;
    benchmark::DoNotOptimize(p);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_plot_line_to_chars);

}  // namespace
