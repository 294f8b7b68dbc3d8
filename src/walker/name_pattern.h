#pragma once

#include <string>

/// A name or wildcard pattern of a command-line argument, matched against the names of a
/// folder's listing as the system's directory search matches them: "*" and "?" with the
/// system's rules for dots ("*.*" is every name, "*." a name without a dot, a "?" before a dot or
/// the end may match nothing), in either letter case, against a name or its short (8.3) form.
class NamePattern {
public:
    explicit NamePattern(const std::wstring& pattern);
    bool HasWildcards() const { return wildcards; }
    /// The pattern as typed, when it has no wildcards: a name the system may look up alone.
    const std::wstring& Literal() const { return literal; }
    bool Matches(const std::wstring& name, const std::wstring& shortName) const;

private:
    bool MatchesOne(const std::wstring& name) const;

    std::wstring literal;
    /// Upper case, with the wildcards that depend on dots put in the system's own form.
    std::wstring expression;
    bool wildcards = false;
};

/// Whether a path holds a wildcard.
bool HasWildcards(const std::wstring& path);
