// Entry point: runs the linear battery, then the DAE battery, and returns 0.
// The program takes no input; its command line is ignored.
#include "driver/dae_battery.h"
#include "driver/linear_battery.h"

int main() {
  battery::run_linear_battery();
  battery::run_dae_battery();
  return 0;
}
