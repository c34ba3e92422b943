// report_steps: the step sizes of the battery's plotted runs, at full
// precision.
//
//   usage: report_steps REPORTS DIR
//
// The step sizes cannot be read off the plot tables: their times have seven
// digits (3756 of test01's 4494 rows repeat the time before them), and even
// at full precision a step below the time resolution conm14*|t| leaves t
// where it was. So each run of test01 .. test09 is made again, in process and
// exactly as the battery makes it, and DIR/stepsNN.rez gets a table "t h" of
// the time reached and the step taken by every accepted step, to 17 digits.
// That the run is the battery's own is checked: the plot table it writes must
// equal REPORTS/grtestNN.rez byte for byte, or the program fails.
//
//   recording   StepLog, record_step, MemoryStream, read_whole
//   per test    plotted_run, write_steps
//   entry       main
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "models/dae_catalogue.h"
#include "models/model_streams.h"
#include "report/case_run.h"
#include "textout/textout.h"

namespace {

struct StepLog {
  std::vector<double> times, steps;
};

void record_step(void* context, double t, double h) {
  auto& log = *static_cast<StepLog*>(context);
  log.times.push_back(t);
  log.steps.push_back(h);
}

// A stream that collects what is written to it.
struct MemoryStream {
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* file = open_memstream(&data, &size);
  ~MemoryStream() {
    if (file != nullptr) std::fclose(file);
    std::free(data);
  }
  MemoryStream() = default;
  MemoryStream(const MemoryStream&) = delete;
  MemoryStream& operator=(const MemoryStream&) = delete;
  std::string text() const {
    std::fflush(file);
    return std::string(data, size);
  }
};

std::string read_whole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The battery's run of c, its steps, and whether its plot table
// matches the one the battery wrote.
bool plotted_run(const models::DaeTestCase& c, const std::string& battery_table, StepLog& log) {
  MemoryStream plot;
  models::streams = {nullptr, plot.file, nullptr};
  report::run_case(c, c.nm, c.eps, {}, {record_step, &log});
  models::streams = {nullptr, nullptr, nullptr};
  return plot.text() == battery_table;
}

bool write_steps(const std::string& path, const models::DaeTestCase& c, const StepLog& log) {
  std::FILE* out = std::fopen(path.c_str(), "w");
  if (out == nullptr) return false;
  textout::out_printf(out, "step sizes of %s,t,h\n", c.name);
  for (std::size_t k = 0; k < log.times.size(); ++k) {
    textout::out_printf(out, "%.17e %.17e\n", log.times[k], log.steps[k]);
  }
  return std::fclose(out) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: report_steps REPORTS DIR\n");
    return 2;
  }
  const std::string reports = argv[1];
  const std::string dir = argv[2];
  for (const models::DaeTestCase& c : models::dae_catalogue()) {
    if (c.test == 0) continue;  // test00 has no plot table
    const std::string number = textout::out_format("%02d", c.test);
    const std::string table = reports + "/grtest" + number + ".rez";
    StepLog log;
    if (!plotted_run(c, read_whole(table), log)) {
      std::fprintf(stderr, "report_steps: the run of %s does not write %s as the battery did\n", c.name, table.c_str());
      return 1;
    }
    if (!write_steps(dir + "/steps" + number + ".rez", c, log)) {
      std::fprintf(stderr, "report_steps: cannot write %s/steps%s.rez\n", dir.c_str(), number.c_str());
      return 1;
    }
  }
  return 0;
}
