#include "io/temporary_outputs.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace report {

namespace {

/// The names held, shared with the thread the system starts for a console's stop.
struct Held {
    CRITICAL_SECTION lock;
    std::vector<std::wstring> names;

    Held() { InitializeCriticalSection(&lock); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    // Never destroyed: a stop may come while the program's statics are being destroyed.
};

Held& TheHeld() {
    static Held* held = new Held;
    return *held;
}

/// Locks the names while it lives.
class Locked {
public:
    explicit Locked(Held& held) : held(held) { EnterCriticalSection(&held.lock); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
    ~Locked() { LeaveCriticalSection(&held.lock); }

private:
    Held& held;
};

BOOL WINAPI OnStop(DWORD) {
    Held& held = TheHeld();
    Locked locked(held);
    // Each is open for writing, shared for deletion: it goes when the process ends.
    for (const std::wstring& name : held.names) {
        DeleteFileW(name.c_str());
    }
    held.names.clear();
    // The system's own handler ends the process.
    return FALSE;
}

} // namespace

void HoldTemporary(const std::wstring& systemPath) {
    Held& held = TheHeld();
    Locked locked(held);
    held.names.push_back(systemPath);
}

void ReleaseTemporary(const std::wstring& systemPath) {
    Held& held = TheHeld();
    Locked locked(held);
    held.names.erase(std::remove(held.names.begin(), held.names.end(), systemPath),
                     held.names.end());
}

void RemoveTemporariesWhenStopped() {
    SetConsoleCtrlHandler(OnStop, TRUE);
}

} // namespace report
