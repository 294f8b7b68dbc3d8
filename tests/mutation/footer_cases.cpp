#include "footer_cases.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "backup/backup.h"
#include "cleaner/filecoder_cleaner.h"
#include "logging/progress_indicator.h"
#include "mutation_random.h"
#include "platform/unique_handle.h"
#include "streams/folder.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Sample {
    std::wstring name;
    Bytes bytes;
};

bool ReadAll(const std::wstring& path, Bytes& bytes) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr));
    LARGE_INTEGER size;
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > 64 * 1024 * 1024) {
        return false;
    }
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    return bytes.empty() ||
           (ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) &&
            got == bytes.size());
}

bool WriteAll(const std::wstring& path, const Bytes& bytes) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    DWORD written = 0;
    return file &&
           (bytes.empty() || (WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                        &written, nullptr) &&
                              written == bytes.size()));
}

uint64_t SizeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return UINT64_MAX;
    }
    return static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

std::vector<std::wstring> NamesIn(const std::wstring& directory) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    UniqueFind search(FindFirstFileW((directory + L"\\*").c_str(), &data));
    if (search) {
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                names.push_back(data.cFileName);
            }
        } while (FindNextFileW(search.get(), &data));
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::wstring ExtensionOfName(const std::wstring& name) {
    const size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? std::wstring() : name.substr(dot);
}

uint64_t Le64(const Bytes& bytes, uint64_t offset) {
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i) {
        value = value << 8 | bytes[static_cast<size_t>(offset + i)];
    }
    return value;
}

/// The footer length the name and the tail of a file call for; 540 when the name is foreign.
uint32_t FooterLengthOf(const Sample& sample) {
    const std::wstring extension = ExtensionOfName(sample.name);
    if (extension == L".BRSK" || extension == L".QOVE") {
        const size_t size = sample.bytes.size();
        const bool zeroTail = size >= 8 && std::all_of(sample.bytes.end() - 8, sample.bytes.end(),
                                                       [](uint8_t b) { return b == 0; });
        return zeroTail ? 528 : 520;
    }
    return extension == L".QOVY" ? 520 : 540;
}

/// The size a cleaned file must have, read from the footer without the cleaner's code.
uint64_t ExpectedOutputSize(const Sample& sample) {
    const uint32_t footer = FooterLengthOf(sample);
    const uint64_t size = sample.bytes.size();
    return footer == 540 ? size - 540 : Le64(sample.bytes, size - footer + 512);
}

std::vector<Sample> LoadSeeds(const std::wstring& directory) {
    std::vector<Sample> seeds;
    for (const std::wstring& name : NamesIn(directory)) {
        Sample sample{name, {}};
        if (ReadAll(directory + L"\\" + name, sample.bytes)) {
            seeds.push_back(sample);
        }
    }
    return seeds;
}

const std::vector<uint64_t> Interesting64 = {0,
                                             1,
                                             15,
                                             16,
                                             17,
                                             511,
                                             0x7FFFFFFFull,
                                             0x80000000ull,
                                             0xFFFFFFFFull,
                                             0x100000000ull,
                                             0x100000010ull,
                                             1ull << 40,
                                             0x7FFFFFFFFFFFFFFFull,
                                             0x8000000000000000ull,
                                             0xFFFFFFFFFFFFFFF0ull,
                                             0xFFFFFFFFFFFFFFFFull};
const std::vector<uint64_t> Interesting32 = {
    0, 1, 2, 16, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0x93892918, 0x00038281};
// Footer fields by their distance from the end of the file: the plain size of a 528-byte footer,
// the plain size of a 520-byte one (also the zero tail of a 528-byte one and both magic values),
// the two factors of a 540-byte one, and each magic value.
struct Field {
    uint32_t fromEnd;
    int width;
};
const std::vector<Field> Fields = {{16, 8}, {8, 8}, {20, 8}, {12, 4}, {8, 4}, {4, 4}};
const std::vector<uint64_t> CutsFromEnd = {1,   8,   16,  255, 256, 257, 511, 512, 519,
                                           520, 521, 527, 528, 529, 539, 540, 541};
const std::vector<std::wstring> Extensions = {L".BRSK", L".QOVE",   L".QOVY",
                                              L".brsk", L".x1y2z3", L""};

Bytes RandomBytes(MutationRandom& random, size_t count, bool zeros) {
    Bytes bytes(count);
    for (uint8_t& b : bytes) {
        b = zeros ? 0 : static_cast<uint8_t>(random.Next());
    }
    return bytes;
}

/// One change of the file or its name; returns what it did.
std::wstring MutateOnce(MutationRandom& random, const std::vector<Sample>& seeds, Sample& sample) {
    Bytes& bytes = sample.bytes;
    const uint64_t size = bytes.size();
    wchar_t text[160];
    switch (random.Below(8)) {
    case 0: {
        const uint64_t flips = 1 + random.Below(8);
        for (uint64_t i = 0; i < flips && size > 0; ++i) {
            const uint64_t window = random.Below(5) == 0 ? size : std::min<uint64_t>(size, 540);
            const uint64_t at = size - 1 - random.Below(window);
            bytes[static_cast<size_t>(at)] ^= static_cast<uint8_t>(1u << random.Below(8));
        }
        swprintf(text, 160, L"flip %llu bits", static_cast<unsigned long long>(flips));
        break;
    }
    case 1: {
        const Field field = random.Pick(Fields);
        uint64_t value = field.width == 8 ? random.Pick(Interesting64) : random.Pick(Interesting32);
        switch (random.Below(4)) {
        case 0:
            value = random.Next();
            break;
        case 1:
            value = size - random.Pick(CutsFromEnd) + random.Below(33) - 16;
            break;
        default:
            break;
        }
        if (size >= field.fromEnd) {
            PutLe(bytes, size - field.fromEnd, value, field.width);
        }
        swprintf(text, 160, L"field -%u = 0x%llx", field.fromEnd,
                 static_cast<unsigned long long>(value));
        break;
    }
    case 2: {
        const uint64_t cut = random.Below(3) == 0 ? random.Below(size + 1)
                                                  : std::min(size, random.Pick(CutsFromEnd));
        bytes.resize(static_cast<size_t>(random.Below(3) == 0 ? cut : size - cut));
        swprintf(text, 160, L"cut to %llu", static_cast<unsigned long long>(bytes.size()));
        break;
    }
    case 3: {
        const Bytes tail = RandomBytes(random, 1 + random.Below(700), random.Below(2) == 0);
        bytes.insert(bytes.end(), tail.begin(), tail.end());
        swprintf(text, 160, L"append %llu", static_cast<unsigned long long>(tail.size()));
        break;
    }
    case 4: {
        // A key or IV block of noise, or the valid block of another file.
        const uint32_t footer = FooterLengthOf(sample);
        const uint64_t block = random.Below(2) * 256;
        const Sample& other = random.Pick(seeds);
        const bool foreign = random.Below(2) == 0 && other.bytes.size() >= FooterLengthOf(other);
        if (size >= footer) {
            for (uint64_t i = 0; i < 256; ++i) {
                const uint8_t value =
                    foreign ? other.bytes[static_cast<size_t>(other.bytes.size() -
                                                              FooterLengthOf(other) + block + i)]
                            : static_cast<uint8_t>(random.Next());
                bytes[static_cast<size_t>(size - footer + block + i)] = value;
            }
        }
        swprintf(text, 160, L"block %llu from %ls", static_cast<unsigned long long>(block),
                 foreign ? other.name.c_str() : L"noise");
        break;
    }
    case 5: {
        const uint32_t footer = FooterLengthOf(sample);
        if (size >= footer) {
            std::swap_ranges(bytes.end() - footer, bytes.end() - footer + 256,
                             bytes.end() - footer + 256);
        }
        swprintf(text, 160, L"swap blocks");
        break;
    }
    case 6: {
        const std::wstring extension = random.Pick(Extensions);
        const size_t dot = sample.name.rfind(L'.');
        sample.name = sample.name.substr(0, dot) + extension;
        swprintf(text, 160, L"extension '%ls'", extension.c_str());
        break;
    }
    default: {
        // Data grows or shrinks before the footer.
        const uint32_t footer = FooterLengthOf(sample);
        const uint64_t data = size > footer ? size - footer : 0;
        const uint64_t at = random.Below(data + 1);
        const uint64_t count = 1 + random.Below(40);
        if (random.Below(2) == 0) {
            const Bytes extra = RandomBytes(random, static_cast<size_t>(count), false);
            bytes.insert(bytes.begin() + static_cast<ptrdiff_t>(at), extra.begin(), extra.end());
            swprintf(text, 160, L"insert %llu at %llu", static_cast<unsigned long long>(count),
                     static_cast<unsigned long long>(at));
        } else {
            const uint64_t removed = std::min(count, data - at);
            bytes.erase(bytes.begin() + static_cast<ptrdiff_t>(at),
                        bytes.begin() + static_cast<ptrdiff_t>(at + removed));
            swprintf(text, 160, L"remove %llu at %llu", static_cast<unsigned long long>(removed),
                     static_cast<unsigned long long>(at));
        }
        break;
    }
    }
    return text;
}

std::wstring BackupNameOf(const std::wstring& name) {
    return name + (TheBackupCounter == 0
                       ? std::wstring(L".backup_by_ovix")
                       : L".backup_" + std::to_wstring(TheBackupCounter) + L"_by_ovix");
}

/// What is wrong with the directory after the case; empty when nothing is.
std::wstring CheckOutcome(const std::wstring& work, const Sample& sample, bool cleaned) {
    const std::vector<std::wstring> names = NamesIn(work);
    Bytes kept;
    if (!cleaned) {
        if (names != std::vector<std::wstring>{sample.name}) {
            return L"refused, but the directory holds other files";
        }
        if (!ReadAll(work + L"\\" + sample.name, kept) || kept != sample.bytes) {
            return L"refused, but the input changed";
        }
        return std::wstring();
    }
    const std::wstring output = sample.name.substr(0, sample.name.rfind(L'.'));
    std::vector<std::wstring> expected = {output, BackupNameOf(sample.name)};
    std::sort(expected.begin(), expected.end());
    if (names != expected) {
        return L"cleaned, but the directory does not hold just the output and the backup";
    }
    if (!ReadAll(work + L"\\" + BackupNameOf(sample.name), kept) || kept != sample.bytes) {
        return L"cleaned, but the backup is not the input";
    }
    if (SizeOf(work + L"\\" + output) != ExpectedOutputSize(sample)) {
        return L"cleaned, but the output's size is not the footer's";
    }
    return std::wstring();
}

/// Removes what a case left; false when a file cannot be removed (still held open).
bool EmptyDirectory(const std::wstring& work) {
    bool removed = true;
    for (const std::wstring& name : NamesIn(work)) {
        const std::wstring path = work + L"\\" + name;
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        removed = DeleteFileW(path.c_str()) && removed;
    }
    return removed;
}

/// Case index of a run: a seed sample changed one to three times; what says how.
Sample MakeCase(const std::vector<Sample>& seeds, uint64_t seed, uint32_t index,
                std::wstring& what) {
    MutationRandom random(seed * 1000003 + index);
    Sample sample = random.Pick(seeds);
    what = sample.name + L":";
    const uint64_t changes = 1 + random.Below(3);
    for (uint64_t i = 0; i < changes; ++i) {
        what += L" " + MutateOnce(random, seeds, sample);
    }
    return sample;
}

} // namespace

int WriteFooterCases(const std::wstring& seedDirectory, const std::wstring& outDirectory,
                     uint64_t seed, uint32_t first, uint32_t count) {
    const std::vector<Sample> seeds = LoadSeeds(seedDirectory);
    for (uint32_t index = first; index < first + count && !seeds.empty(); ++index) {
        std::wstring what;
        const Sample sample = MakeCase(seeds, seed, index, what);
        const std::wstring directory = outDirectory + L"\\case-" + std::to_wstring(index);
        if (!CreateDirectoryW(directory.c_str(), nullptr) ||
            !WriteAll(directory + L"\\" + sample.name, sample.bytes)) {
            fwprintf(stderr, L"cannot write case %u\n", index);
            return 1;
        }
        fwprintf(stderr, L"case %u: %ls\n", index, what.c_str());
    }
    return seeds.empty() ? 1 : 0;
}

int RunFooterCases(const std::wstring& seedDirectory, const std::wstring& workDirectory,
                   uint64_t seed, uint32_t first, uint32_t count) {
    const std::vector<Sample> seeds = LoadSeeds(seedDirectory);
    if (seeds.empty()) {
        fwprintf(stderr, L"no seed samples in %ls\n", seedDirectory.c_str());
        return 1;
    }
    FilecoderCleaner cleaner;
    if (!cleaner.Init()) {
        fwprintf(stderr, L"cleaner initialisation failed\n");
        return 1;
    }
    int violations = 0;
    uint32_t outcomes[3] = {};
    const std::shared_ptr<HeldFolder> folder = HeldFolder::OpenPath(workDirectory);
    if (!folder) {
        fwprintf(stderr, L"VIOLATION: cannot open the work directory\n");
        return violations + 1;
    }
    for (uint32_t index = first; index < first + count; ++index) {
        std::wstring what;
        const Sample sample = MakeCase(seeds, seed, index, what);
        // Announced first, so that a crash or a hang names its case.
        fwprintf(stderr, L"case %u: %ls\n", index, what.c_str());
        fflush(stderr);
        const std::wstring path = workDirectory + L"\\" + sample.name;
        if (!WriteAll(path, sample.bytes)) {
            fwprintf(stderr, L"VIOLATION case %u: cannot write the input\n", index);
            return violations + 1;
        }
        const DWORD start = GetTickCount();
        const FolderEntry file{folder, sample.name};
        CleanerResult result = cleaner.Scan(file);
        const bool recognised = result == CleanerResult::Ok;
        if (recognised) {
            ProgressIndicator progress(L"Cleaning [" + path + L"]");
            result = cleaner.Clean(file, progress);
        }
        const bool cleaned = recognised && result == CleanerResult::Ok;
        ++outcomes[cleaned ? 2 : recognised ? 1 : 0];
        std::wstring problem = CheckOutcome(workDirectory, sample, cleaned);
        if (problem.empty() && GetTickCount() - start > 30000) {
            problem = L"took more than 30 seconds";
        }
        if (!EmptyDirectory(workDirectory) && problem.empty()) {
            problem = L"a file stayed open";
        }
        if (!problem.empty()) {
            ++violations;
            fwprintf(stderr, L"VIOLATION case %u: %ls\n", index, problem.c_str());
        }
    }
    fwprintf(stderr, L"footer cases %u: %u not recognised, %u refused, %u cleaned, %d violations\n",
             count, outcomes[0], outcomes[1], outcomes[2], violations);
    return violations;
}
