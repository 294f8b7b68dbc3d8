#include "driver/listing_totals.h"

#include "logging/lines.h"
#include "logging/logger.h"

void ListingTotals::Add(const std::wstring& path, uint64_t bytes) {
    total += bytes;
    const size_t separator = path.find_last_of(L"\\/");
    const std::wstring folder =
        separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
    if (lastRoot.empty() || folder != lastFolder) {
        lastFolder = folder;
        lastRoot = lookup.rootOf(path);
    }
    const std::wstring& root = lastRoot;
    auto shown = shownRootOf.find(root);
    if (shown == shownRootOf.end()) {
        // Once per root, not per file: a share's identity may cost a round trip to its server.
        const std::wstring& first =
            shownRootOfIdentity.emplace(lookup.identityOf(root), root).first->second;
        shown = shownRootOf.emplace(root, first).first;
    }
    byVolume[shown->second] += bytes;
}

void ListingTotals::Report() const {
    PrintAndLogLine(L"Infected files take " + std::to_wstring(total) + L" bytes in all.",
                    color::Emphasis, prefix::Info);
    for (const auto& [volume, bytes] : byVolume) {
        const std::wstring head = L"Volume [" + volume + L"]: ";
        const std::wstring needed = std::to_wstring(bytes);
        uint64_t freeBytes = 0;
        if (!lookup.freeBytesAt(volume, freeBytes)) {
            PrintAndLogLine(head + needed + L" bytes of infected files, free space unknown.",
                            color::Emphasis, prefix::Info);
            continue;
        }
        const std::wstring available = std::to_wstring(freeBytes);
        PrintAndLogLine(head + needed + L" bytes of infected files, " + available + L" bytes free.",
                        color::Emphasis, prefix::Info);
        if (bytes > freeBytes) {
            PrintAndLogLine(head + L"cleaning needs about " + needed + L" bytes, more than the " +
                                available + L" bytes free.",
                            color::Warning, prefix::Warning);
        }
    }
}
