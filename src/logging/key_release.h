#pragma once

#include <windows.h>

/// True for the release of a key that answers a prompt: presses, other events and the releases
/// of Shift, Control and Alt held down with a key do not count.
bool IsAnsweringKeyRelease(const INPUT_RECORD& record);
