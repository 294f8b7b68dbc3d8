#include <doctest.h>

#include <map>
#include <string>
#include <vector>

#include "driver/listing_totals.h"
#include "log_capture.h"

namespace {

struct File {
    const wchar_t* path;
    uint64_t bytes;
};

/// Volumes as a test plays them: a path's root is its drive, each root belongs to the volume
/// named in `identities`, and a volume's free space is known where `freeBytes` gives it.
struct PlayedVolumes {
    std::map<std::wstring, std::wstring> identities;
    std::map<std::wstring, uint64_t> freeBytes;
    std::vector<std::wstring> asked;

    VolumeLookup Lookup() {
        VolumeLookup lookup;
        lookup.rootOf = [](const std::wstring& path) { return path.substr(0, 3); };
        lookup.identityOf = [this](const std::wstring& root) {
            asked.push_back(root);
            return identities.at(root);
        };
        lookup.freeBytesAt = [this](const std::wstring& root, uint64_t& bytes) {
            const auto known = freeBytes.find(root);
            if (known == freeBytes.end()) {
                return false;
            }
            bytes = known->second;
            return true;
        };
        return lookup;
    }
};

} // namespace

TEST_CASE("ListingTotals_RootsOfOneVolume_OneLineByTheFirstRootWithTheSumAgainstItsFreeSpace") {
    struct Case {
        const char* what;
        std::vector<File> files;
        std::map<std::wstring, std::wstring> identities;
        std::map<std::wstring, uint64_t> freeBytes;
        /// The roots whose volume is asked for: once each, whatever the number of files.
        std::vector<std::wstring> asked;
        std::vector<std::wstring> lines;
    };
    const Case cases[] = {
        {"a second drive letter and the other case of one volume: one line, the first root's",
         {{L"Q:\\a.dat", 100}, {L"z:\\b.dat", 200}, {L"Z:\\c.dat", 300}, {L"Q:\\d.dat", 400}},
         {{L"Q:\\", L"volume 1"}, {L"z:\\", L"volume 1"}, {L"Z:\\", L"volume 1"}},
         {{L"Q:\\", 5000}},
         {L"Q:\\", L"z:\\", L"Z:\\"},
         {L"INFO: Infected files take 1000 bytes in all.",
          L"INFO: Volume [Q:\\]: 1000 bytes of infected files, 5000 bytes free."}},
        {"a shortfall spread over two drive letters of one volume is warned of",
         {{L"R:\\a.dat", 100}, {L"Q:\\b.dat", 100}},
         {{L"Q:\\", L"volume 1"}, {L"R:\\", L"volume 1"}},
         {{L"R:\\", 150}},
         {L"R:\\", L"Q:\\"},
         {L"INFO: Infected files take 200 bytes in all.",
          L"INFO: Volume [R:\\]: 200 bytes of infected files, 150 bytes free.",
          L"WARNING: Volume [R:\\]: cleaning needs about 200 bytes, more than the 150 bytes "
          L"free."}},
        {"volumes stay apart, each against its own free space, in the order of their roots",
         {{L"D:\\a.dat", 100}, {L"C:\\b.dat", 100}, {L"E:\\c.dat", 100}},
         {{L"C:\\", L"volume 1"}, {L"D:\\", L"volume 2"}, {L"E:\\", L"volume 3"}},
         {{L"C:\\", 150}, {L"D:\\", 50}},
         {L"D:\\", L"C:\\", L"E:\\"},
         {L"INFO: Infected files take 300 bytes in all.",
          L"INFO: Volume [C:\\]: 100 bytes of infected files, 150 bytes free.",
          L"INFO: Volume [D:\\]: 100 bytes of infected files, 50 bytes free.",
          L"WARNING: Volume [D:\\]: cleaning needs about 100 bytes, more than the 50 bytes free.",
          L"INFO: Volume [E:\\]: 100 bytes of infected files, free space unknown."}},
    };
    for (const Case& c : cases) {
        CAPTURE(c.what);
        PlayedVolumes played{c.identities, c.freeBytes, {}};
        ListingTotals totals(played.Lookup());
        for (const File& file : c.files) {
            totals.Add(file.path, file.bytes);
        }
        LogCapture log;
        totals.Report();
        CHECK(played.asked == c.asked);
        CHECK_MESSAGE(log.Lines() == c.lines, Printable(log.Lines()));
    }
}

TEST_CASE("ListingTotals_FilesOfOneFolderOneAfterAnother_ItsRootLookedUpOnce") {
    // Each lookup of a root costs a lookup of every folder above the file.
    PlayedVolumes played{{{L"C:\\", L"volume 1"}}, {}, {}};
    VolumeLookup lookup = played.Lookup();
    std::vector<std::wstring> rootsAskedFor;
    lookup.rootOf = [&rootsAskedFor](const std::wstring& path) {
        rootsAskedFor.push_back(path);
        return path.substr(0, 3);
    };
    ListingTotals totals(lookup);
    for (const wchar_t* path : {L"C:\\a\\1.dat", L"C:\\a\\2.dat", L"C:\\a\\b\\3.dat",
                                L"C:\\a\\b\\4.dat", L"C:\\a\\5.dat"}) {
        totals.Add(path, 10);
    }
    CHECK(rootsAskedFor ==
          std::vector<std::wstring>{L"C:\\a\\1.dat", L"C:\\a\\b\\3.dat", L"C:\\a\\5.dat"});
    LogCapture log;
    totals.Report();
    CHECK(log.Lines() ==
          std::vector<std::wstring>{L"INFO: Infected files take 50 bytes in all.",
                                    L"INFO: Volume [C:\\]: 50 bytes of infected files, free "
                                    L"space unknown."});
}
