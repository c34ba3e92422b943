// The DAE battery: test00 to test09, each writing its protocol testNN.rez and
// (from test01 on) its plot table grtestNN.rez in the current directory.
#pragma once

namespace battery {

// Runs the ten DAE tests in order. Stops the program with a message on
// standard error when a report file cannot be created.
void run_dae_battery();

}  // namespace battery
