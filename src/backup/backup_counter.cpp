#include "backup/backup.h"

#include <cstring>
#include <cwctype>

#include "logging/lines.h"
#include "platform/registry_key.h"

int32_t TheBackupCounter = BackupNotInitialised;

namespace {

// The backup layer keeps its own copy of the cleaner's detection name.
constexpr const wchar_t* DetectionName = L"Win32/Filecoder.Ostrel";
constexpr const wchar_t* CounterValueName = L"BackupCounter";

/// "SOFTWARE\OVIX\Korvalines\" and the detection name in lower case with "/", "." and "-"
/// turned into "_".
std::wstring CounterKeyPath() {
    std::wstring name = DetectionName;
    for (wchar_t& c : name) {
        c = (c == L'/' || c == L'.' || c == L'-') ? L'_' : static_cast<wchar_t>(std::towlower(c));
    }
    return L"SOFTWARE\\OVIX\\Korvalines\\" + name;
}

/// The stored counter's successor; 0 when nothing usable is stored. The successor of
/// 4,294,967,294 would be the "not initialised" mark and fail every backup of the run, so the
/// counter wraps to 0 there instead.
int32_t NextCounter(RegistryKey& key) {
    uint8_t buffer[RegistryKey::ValueCapacity];
    DWORD size = 0;
    if (!key.QueryValue(CounterValueName, buffer, size)) {
        return 0;
    }
    uint32_t stored = 0;
    std::memcpy(&stored, buffer, sizeof stored);
    const int32_t next = static_cast<int32_t>(stored + 1);
    return next == BackupNotInitialised ? 0 : next;
}

} // namespace

bool InitBackup() {
    if (TheBackupCounter != BackupNotInitialised) {
        return false;
    }
    RegistryKey key;
    DWORD disposition = 0;
    if (!key.OpenOrCreate(CounterKeyPath(), disposition)) {
        return false;
    }
    const int32_t counter = NextCounter(key);
    if (!key.SetDwordValue(CounterValueName, static_cast<uint32_t>(counter))) {
        return false;
    }
    LogLine(prefix::Info, L"Backup: " + std::to_wstring(counter));
    TheBackupCounter = counter;
    return true;
}
