#include "logging/key_release.h"

namespace {

bool IsIgnoredModifier(WORD virtualKey) {
    switch (virtualKey) {
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_LSHIFT:
    case VK_LCONTROL:
    case VK_LMENU:
    case VK_RMENU:
        return true;
    default:
        return false;
    }
}

} // namespace

bool IsAnsweringKeyRelease(const INPUT_RECORD& record) {
    return record.EventType == KEY_EVENT && !record.Event.KeyEvent.bKeyDown &&
           !IsIgnoredModifier(record.Event.KeyEvent.wVirtualKeyCode);
}
