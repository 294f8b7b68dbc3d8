#pragma once

/// 0 to go on, anything else when the user chose to stop.
int CheckEnvironment();

bool IsAnotherInstanceRunning();

/// Switches WoW64 file-system redirection off for its lifetime.
class Wow64RedirectionGuard {
public:
    Wow64RedirectionGuard();
    ~Wow64RedirectionGuard();
    Wow64RedirectionGuard(const Wow64RedirectionGuard&) = delete;
    Wow64RedirectionGuard& operator=(const Wow64RedirectionGuard&) = delete;
};
