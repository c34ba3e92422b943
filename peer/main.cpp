// ida_peer: the fifteen solver runs of the DAE battery integrated by SUNDIALS
// IDA at the battery's settings, one line per run. It is the other side of the
// whole-process comparison of `make bench-peer`, so it does the same runs as
// the battery (test00 six times) and writes no reports.
#include <cstdio>

#include "models/dae_catalogue.h"
#include "peer/ida_peer.h"
#include "textout/textout.h"

int main() {
  int failures = 0;
  for (const models::DaeTestCase& c : models::dae_catalogue()) {
    const peer::IdaRun run = peer::integrate_with_ida(c, peer::battery_settings(c));
    if (!peer::ida_succeeded(run)) ++failures;
    textout::out_printf(stdout, "%-18s flag=%d t=%.6e steps=%ld cpu=%.3es\n", c.name, run.flag, run.t, run.steps,
                        run.cpu_seconds);
  }
  return failures == 0 ? 0 : 1;
}
