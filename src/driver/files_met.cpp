#include "driver/files_met.h"

#include <cstdint>

#include "streams/path_helpers.h"

bool FilesMet::FirstMeeting(const std::wstring& path, const FileIdentity& identity) {
    if (identity.Known()) {
        return identities.insert(identity).second;
    }
    // No file index where the file was listed: only its path tells it, in whatever case and
    // form it was given.
    return paths.insert(UpperCase(ToSystemPath(path))).second;
}

size_t FilesMet::IdentityHash::operator()(const FileIdentity& identity) const noexcept {
    const uint64_t index = (static_cast<uint64_t>(identity.indexHigh) << 32) | identity.indexLow;
    return std::hash<uint64_t>()(index) ^ (static_cast<size_t>(identity.volume) * 31);
}
