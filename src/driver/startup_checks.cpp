#include "driver/startup_checks.h"

// Stand-ins until the environment checks and the single-instance mutex exist.
int CheckEnvironment() {
    return 0;
}

bool IsAnotherInstanceRunning() {
    return false;
}

Wow64RedirectionGuard::Wow64RedirectionGuard() = default;
Wow64RedirectionGuard::~Wow64RedirectionGuard() = default;
