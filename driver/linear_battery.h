// The linear battery: three series of tasks through the three linear solvers,
// echoed to the console and written to "lae-solver.txt".
#pragma once

namespace battery {

// Opens "lae-solver.txt", runs the three series and closes the report.
void run_linear_battery();

}  // namespace battery
