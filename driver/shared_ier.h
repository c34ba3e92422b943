// The result code of the last solver call, shared by the linear and the DAE
// battery: every solver receives its address, and the driver prints it.
#pragma once

namespace battery {

inline int ier = 0;

}  // namespace battery
