// The per-thread diagnostics stream: redirect, silence, nesting, and no effect
// on another thread.
#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

#include "textout/diagnostics.h"

namespace {

using textout::diagnostics_stream;
using textout::DiagnosticsTo;

TEST(Diagnostics, ScopesNestAndRestorePerThread) {
  EXPECT_EQ(diagnostics_stream(), stdout);
  {
    const DiagnosticsTo to_stderr(stderr);
    EXPECT_EQ(diagnostics_stream(), stderr);
    {
      const DiagnosticsTo silent(nullptr);
      EXPECT_EQ(diagnostics_stream(), nullptr);
      std::FILE* seen_by_other_thread = nullptr;
      std::thread([&] { seen_by_other_thread = diagnostics_stream(); }).join();
      EXPECT_EQ(seen_by_other_thread, stdout);
      {
        const DiagnosticsTo back_to_stdout(stdout);
        EXPECT_EQ(diagnostics_stream(), stdout);
      }
      EXPECT_EQ(diagnostics_stream(), nullptr);
    }
    EXPECT_EQ(diagnostics_stream(), stderr);
  }
  EXPECT_EQ(diagnostics_stream(), stdout);
}

}  // namespace
