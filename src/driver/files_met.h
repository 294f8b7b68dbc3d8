#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <unordered_set>
#include <utility>

#include "walker/file_identity.h"

/// The files a run has handed on, so that each is listed or cleaned once, whichever patterns,
/// names, links or junctions lead to it.
class FilesMet {
public:
    /// How the file at a system path ("\\?\" form) is told: the system's identity, or a test's,
    /// which can play file systems that Wine cannot make (no file index).
    using IdentityLookup = std::function<FileIdentity(const std::wstring& systemPath)>;

    explicit FilesMet(IdentityLookup identityOf = IdentityOf) : identityOf(std::move(identityOf)) {}

    /// True the first time the run meets the file at path, false whenever it meets it again.
    bool FirstMeeting(const std::wstring& path);

private:
    /// Cheap and not throwing, so that the set keeps no hash beside each identity.
    struct IdentityHash {
        size_t operator()(const FileIdentity& identity) const noexcept;
    };
    struct IdentityEqual {
        bool operator()(const FileIdentity& a, const FileIdentity& b) const { return a.SameAs(b); }
    };

    IdentityLookup identityOf;
    std::unordered_set<FileIdentity, IdentityHash, IdentityEqual> identities;
    /// Files without an identity, by their full path as the system compares names.
    std::unordered_set<std::wstring> paths;
};
