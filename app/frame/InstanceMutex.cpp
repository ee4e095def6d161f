#include "InstanceMutex.h"

#include <windows.h>

#include "Owners.h"
#include "ProgramIds.h"

namespace shell {

bool TakeInstanceMutex() {
    static HANDLE owned = nullptr;  // never closed: it dies with the process
    if (owned) return true;
    CUniqueHandle mutex(CreateMutexW(nullptr, TRUE, MORROWPAD_MUTEX_NAME));
    if (!mutex) return false;
    // Another instance (or start-up in this one) holds it: nothing to take.
    if (GetLastError() == ERROR_ALREADY_EXISTS) return false;
    owned = mutex.release();
    return true;
}

}  // namespace shell
