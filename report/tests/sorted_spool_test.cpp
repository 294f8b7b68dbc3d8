#include "doctest.h"

#include <algorithm>
#include <random>

#include "fleet/sorted_spool.h"

using report::SortedSpool;

namespace {

std::vector<SortedSpool::Record> MakeRecords(size_t count) {
    std::mt19937 random(1234);
    std::vector<SortedSpool::Record> records;
    for (size_t i = 0; i < count; ++i) {
        const std::wstring key = L"k" + std::to_wstring(random() % 97);
        // Fields of every shape: empty, long, with NUL and surrogates; the second key
        // field makes every key unique.
        records.push_back({key, std::to_wstring(i), std::wstring(i % 5, L'\0'),
                           std::wstring(random() % 300, L'\xD800'), L""});
    }
    return records;
}

std::vector<SortedSpool::Record> Drain(SortedSpool& spool) {
    std::vector<SortedSpool::Record> out;
    SortedSpool::Record record;
    while (spool.Next(record)) {
        out.push_back(record);
    }
    return out;
}

} // namespace

TEST_CASE("SortedSpool_AnyMemoryLimit_RecordsInKeyOrder") {
    const std::vector<SortedSpool::Record> records = MakeRecords(3000);
    std::vector<SortedSpool::Record> expected = records;
    std::sort(expected.begin(), expected.end(),
              [](const SortedSpool::Record& a, const SortedSpool::Record& b) {
                  return a[0] != b[0] ? a[0] < b[0] : a[1] < b[1];
              });
    // All in memory; a few batch files; more batch files than one merge takes.
    for (size_t limit : {size_t(1) << 30, size_t(200000), size_t(4000)}) {
        CAPTURE(limit);
        SortedSpool spool(2, limit);
        for (const auto& record : records) {
            REQUIRE(spool.Add(record));
        }
        REQUIRE(spool.Sort());
        CHECK(spool.Size() == records.size());
        CHECK(Drain(spool) == expected);
        CHECK_FALSE(spool.Failed());
    }
}

TEST_CASE("SortedSpool_Empty_NothingBack") {
    SortedSpool spool(1, 10);
    REQUIRE(spool.Sort());
    SortedSpool::Record record;
    CHECK_FALSE(spool.Next(record));
    CHECK(spool.Size() == 0);
}
