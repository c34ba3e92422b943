// The data line shared by the plot tables of tests 01 to 08: the time and
// four quantities of the model.
#pragma once

#include <cstdio>

#include "textout/textout.h"

namespace models {

inline constexpr const char* kPlotDataLine = "  %e   %e  %e  %e  %e\n";

inline void write_plot_line(std::FILE* stream, double t, double v1, double v2, double v3, double v4) {
  textout::out_printf(stream, kPlotDataLine, t, v1, v2, v3, v4);
}

}  // namespace models
