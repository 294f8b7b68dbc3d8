#pragma once

#include <cstddef>
#include <string>
#include <unordered_set>

#include "walker/file_identity.h"

/// The files a run has handed on, so that each is listed or cleaned once, whichever patterns,
/// names, links or junctions lead to it.
class FilesMet {
public:
    /// True the first time the run meets the file at path with this identity (as its folder's
    /// listing gave it), false whenever it meets it again.
    bool FirstMeeting(const std::wstring& path, const FileIdentity& identity);

private:
    /// Cheap and not throwing, so that the set keeps no hash beside each identity.
    struct IdentityHash {
        size_t operator()(const FileIdentity& identity) const noexcept;
    };
    struct IdentityEqual {
        bool operator()(const FileIdentity& a, const FileIdentity& b) const { return a.SameAs(b); }
    };

    std::unordered_set<FileIdentity, IdentityHash, IdentityEqual> identities;
    /// Files without an identity, by their full path as the system compares names.
    std::unordered_set<std::wstring> paths;
};
