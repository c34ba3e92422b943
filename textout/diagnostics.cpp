// The per-thread stream for solver diagnostics (see diagnostics.h).
#include "textout/diagnostics.h"

namespace textout {
namespace {

// nullptr means silenced, so "not redirected" needs its own mark.
struct ThreadDiagnostics {
  bool redirected = false;
  std::FILE* stream = nullptr;
};

thread_local ThreadDiagnostics current;

}  // namespace

std::FILE* diagnostics_stream() { return current.redirected ? current.stream : stdout; }

DiagnosticsTo::DiagnosticsTo(std::FILE* stream) : previous_(diagnostics_stream()) {
  current.redirected = true;
  current.stream = stream;
}

DiagnosticsTo::~DiagnosticsTo() {
  current.redirected = previous_ != stdout;
  current.stream = previous_;
}

}  // namespace textout
