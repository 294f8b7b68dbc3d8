#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "io/files.h"

namespace report {

/// Records of text fields, given back sorted by their first key fields, in memory of a fixed
/// size whatever their number: full batches are sorted and moved to temporary files. Every 16
/// files of one size are merged into one as they come, so that few are open at any time (each
/// costs the process memory), and the rest are merged at the end.
class SortedSpool {
public:
    using Record = std::vector<std::wstring>;

    /// memoryLimit: bytes of records kept in memory before a batch goes to a file.
    explicit SortedSpool(size_t keyFields, size_t memoryLimit = 1 << 20);
    SortedSpool(const SortedSpool&) = delete;
    SortedSpool& operator=(const SortedSpool&) = delete;

    [[nodiscard]] bool Add(Record record);
    /// Ends the adding; Next then gives the records in key order.
    [[nodiscard]] bool Sort();
    /// The next record in key order; false after the last one or on a failure (see Failed).
    [[nodiscard]] bool Next(Record& record);
    bool Failed() const { return failed; }
    uint64_t Size() const { return size; }

private:
    struct Source {
        std::unique_ptr<TempFile> file;
        Record head;
    };

    bool Less(const Record& a, const Record& b) const;
    [[nodiscard]] bool SpillBatch();
    /// Merges the last count batch files into one, which takes their place.
    [[nodiscard]] bool MergeBatches(size_t count);
    [[nodiscard]] bool OpenSources(std::vector<Source>& sources,
                                   std::vector<std::unique_ptr<TempFile>> files);
    /// The index of the source with the least head, or -1 when all are empty.
    int LeastSource(const std::vector<Source>& sources) const;
    [[nodiscard]] bool Advance(Source& source);

    size_t keyFields;
    size_t memoryLimit;
    std::vector<Record> batch;
    size_t batchBytes = 0;
    size_t batchPosition = 0;
    std::vector<std::unique_ptr<TempFile>> batchFiles;
    /// How many merges each batch file has been through, in the order of batchFiles.
    std::vector<int> batchLevels;
    std::vector<Source> sources;
    uint64_t size = 0;
    bool failed = false;
};

} // namespace report
