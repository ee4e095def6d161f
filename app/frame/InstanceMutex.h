// The instance mutex taken while the program runs, when more than one
// instance is not allowed.
#pragma once

namespace shell {

// Creates the owned mutex "Morrowpad" for this process unless it holds it
// already; the handle is kept until the process ends, so that later starts
// hand their command line over to this instance. True when this process
// owns the mutex now.
bool TakeInstanceMutex();

}  // namespace shell
