/// @file
/// Where the solvers' own console lines go (banners, "poi=" lines, start-up and
/// warning lines of the integrator).
///
///     diagnostics_stream   the stream of the calling thread: standard output
///                          unless a DiagnosticsTo is in force on that thread
///     DiagnosticsTo        for its lifetime, sends this thread's solver lines
///                          to another stream, or nowhere (nullptr)
///
/// The setting is per thread: a caller silencing its own solver calls never
/// changes what another thread's calls print. Scopes nest; each restores the
/// stream that was in force when it began.
#pragma once

#include <cstdio>

namespace textout {

/// The stream for solver diagnostics on this thread, or nullptr when they are
/// silenced. out_printf with a null stream writes nothing.
std::FILE* diagnostics_stream();

/// A scope that sends the calling thread's solver lines elsewhere:
///
///     {
///       textout::DiagnosticsTo quiet(nullptr);  // nothing printed in this scope
///       LAE_Solver_01(&n, A, B, X, &ier);
///     }
///
/// Other threads are not affected.
class DiagnosticsTo {
 public:
  /// From now on this thread's solver lines go to stream; nullptr silences them.
  explicit DiagnosticsTo(std::FILE* stream);
  /// Restores the stream that was in force before.
  ~DiagnosticsTo();
  DiagnosticsTo(const DiagnosticsTo&) = delete;
  DiagnosticsTo& operator=(const DiagnosticsTo&) = delete;

 private:
  std::FILE* previous_;
};

}  // namespace textout
