#include "driver/files_met.h"

#include <cstdint>

#include "streams/path_helpers.h"

bool FilesMet::FirstMeeting(const std::wstring& path) {
    const std::wstring systemPath = ToSystemPath(path);
    const FileIdentity identity = identityOf(systemPath);
    if (identity.Known()) {
        return identities.insert(identity).second;
    }
    // No file index, or a file that cannot be opened: only its path tells it, in whatever case
    // and form it was given.
    return paths.insert(UpperCase(systemPath)).second;
}

size_t FilesMet::IdentityHash::operator()(const FileIdentity& identity) const noexcept {
    const uint64_t index = (static_cast<uint64_t>(identity.indexHigh) << 32) | identity.indexLow;
    return std::hash<uint64_t>()(index) ^ (static_cast<size_t>(identity.volume) * 31);
}
