#include "fleet/sorted_spool.h"

#include <algorithm>

namespace report {

namespace {

/// Batch files merged at once: each needs a read buffer, so memory stays bounded however many
/// batches there are.
constexpr size_t MaxMergeWidth = 16;
constexpr size_t FieldOverhead = sizeof(std::wstring) + 8;

void WriteRecord(TempFile& file, const SortedSpool::Record& record) {
    const uint32_t fields = static_cast<uint32_t>(record.size());
    file.Write(&fields, sizeof fields);
    for (const std::wstring& field : record) {
        const uint32_t length = static_cast<uint32_t>(field.size());
        file.Write(&length, sizeof length);
        file.Write(field.data(), length * sizeof(wchar_t));
    }
}

bool ReadRecord(TempFile& file, SortedSpool::Record& record) {
    uint32_t fields = 0;
    if (!file.Read(&fields, sizeof fields)) {
        return false;
    }
    record.resize(fields);
    for (std::wstring& field : record) {
        uint32_t length = 0;
        if (!file.Read(&length, sizeof length)) {
            return false;
        }
        field.resize(length);
        if (length != 0 && !file.Read(&field[0], length * sizeof(wchar_t))) {
            return false;
        }
    }
    return true;
}

} // namespace

SortedSpool::SortedSpool(size_t keyFields, size_t memoryLimit)
    : keyFields(keyFields), memoryLimit(memoryLimit) {}

bool SortedSpool::Less(const Record& a, const Record& b) const {
    for (size_t i = 0; i < keyFields && i < a.size() && i < b.size(); ++i) {
        const int order = a[i].compare(b[i]);
        if (order != 0) {
            return order < 0;
        }
    }
    return false;
}

bool SortedSpool::Add(Record record) {
    if (failed) {
        return false;
    }
    for (const std::wstring& field : record) {
        batchBytes += field.size() * sizeof(wchar_t) + FieldOverhead;
    }
    batch.push_back(std::move(record));
    ++size;
    if (batchBytes >= memoryLimit && !SpillBatch()) {
        failed = true;
    }
    return !failed;
}

bool SortedSpool::SpillBatch() {
    std::stable_sort(batch.begin(), batch.end(),
                     [this](const Record& a, const Record& b) { return Less(a, b); });
    auto file = std::make_unique<TempFile>();
    if (!file->Create()) {
        return false;
    }
    for (const Record& record : batch) {
        WriteRecord(*file, record);
    }
    batch.clear();
    batch.shrink_to_fit();
    batchBytes = 0;
    if (!file->Rewind()) {
        return false;
    }
    batchFiles.push_back(std::move(file));
    batchLevels.push_back(0);
    // Like carries in counting: 16 files of one level make one of the next.
    while (batchLevels.size() >= MaxMergeWidth &&
           batchLevels[batchLevels.size() - MaxMergeWidth] == batchLevels.back()) {
        if (!MergeBatches(MaxMergeWidth)) {
            return false;
        }
    }
    return true;
}

bool SortedSpool::Sort() {
    if (failed) {
        return false;
    }
    if (batchFiles.empty()) {
        std::stable_sort(batch.begin(), batch.end(),
                         [this](const Record& a, const Record& b) { return Less(a, b); });
        batchPosition = 0;
        return true;
    }
    if (!batch.empty() && !SpillBatch()) {
        failed = true;
        return false;
    }
    while (batchFiles.size() > MaxMergeWidth) {
        if (!MergeBatches(MaxMergeWidth)) {
            failed = true;
            return false;
        }
    }
    if (!OpenSources(sources, std::move(batchFiles))) {
        failed = true;
    }
    batchFiles.clear();
    batchLevels.clear();
    return !failed;
}

bool SortedSpool::OpenSources(std::vector<Source>& opened,
                              std::vector<std::unique_ptr<TempFile>> files) {
    opened.clear();
    for (std::unique_ptr<TempFile>& file : files) {
        opened.push_back(Source{std::move(file), Record()});
        if (!Advance(opened.back())) {
            return false;
        }
    }
    return true;
}

bool SortedSpool::Advance(Source& source) {
    if (ReadRecord(*source.file, source.head)) {
        return true;
    }
    const bool readFailed = source.file->Failed();
    source.file.reset();
    return !readFailed;
}

int SortedSpool::LeastSource(const std::vector<Source>& candidates) const {
    int least = -1;
    for (size_t i = 0; i < candidates.size(); ++i) {
        if (candidates[i].file &&
            (least < 0 || Less(candidates[i].head, candidates[static_cast<size_t>(least)].head))) {
            least = static_cast<int>(i);
        }
    }
    return least;
}

bool SortedSpool::MergeBatches(size_t count) {
    const size_t from = batchFiles.size() - count;
    std::vector<std::unique_ptr<TempFile>> first;
    for (size_t i = from; i < batchFiles.size(); ++i) {
        first.push_back(std::move(batchFiles[i]));
    }
    const int level = batchLevels[from] + 1;
    batchFiles.resize(from);
    batchLevels.resize(from);
    std::vector<Source> merging;
    auto merged = std::make_unique<TempFile>();
    if (!merged->Create() || !OpenSources(merging, std::move(first))) {
        return false;
    }
    for (int least = LeastSource(merging); least >= 0; least = LeastSource(merging)) {
        Source& source = merging[static_cast<size_t>(least)];
        WriteRecord(*merged, source.head);
        if (!Advance(source)) {
            return false;
        }
    }
    if (!merged->Rewind()) {
        return false;
    }
    batchFiles.push_back(std::move(merged));
    batchLevels.push_back(level);
    return true;
}

bool SortedSpool::Next(Record& record) {
    if (failed) {
        return false;
    }
    if (sources.empty()) {
        if (batchPosition == batch.size()) {
            batch.clear();
            batch.shrink_to_fit();
            batchPosition = 0;
            return false;
        }
        record = std::move(batch[batchPosition++]);
        return true;
    }
    const int least = LeastSource(sources);
    if (least < 0) {
        return false;
    }
    Source& source = sources[static_cast<size_t>(least)];
    record = std::move(source.head);
    if (!Advance(source)) {
        failed = true;
    }
    return true;
}

} // namespace report
