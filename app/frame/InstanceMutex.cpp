#include "InstanceMutex.h"

#include <windows.h>

#include "ProgramIds.h"

namespace shell {

bool TakeInstanceMutex() {
    static HANDLE owned = nullptr;  // never closed: it dies with the process
    if (owned) return true;
    HANDLE mutex = CreateMutexW(nullptr, TRUE, MORROWPAD_MUTEX_NAME);
    if (!mutex) return false;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        // Another instance (or start-up in this one) holds it: nothing to take.
        CloseHandle(mutex);
        return false;
    }
    owned = mutex;
    return true;
}

}  // namespace shell
