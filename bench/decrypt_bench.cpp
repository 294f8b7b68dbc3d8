// Baselines for the decryption benchmark (bench/decrypt_bench.py), each timed inside one
// Windows process:
//   cipher aes|salsa BYTES     the tool's file cipher over BYTES held in memory, in the tool's
//                              chunks, decrypted in place;
//   copy SOURCE TARGET         a plain copy in the tool's chunks (ReadFile, WriteFile);
//   stream-copy SOURCE TARGET  the same through the tool's file streams;
//   run PROGRAM ARGUMENTS...   starts a program (standard handles on NUL), times it to its exit
//                              and samples its peak memory.
// Each prints "key value" lines on standard output.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>

#include "cleaner/file_cipher.h"
#include "memory_counters.h"
#include "platform/unique_handle.h"
#include "streams/raw_file.h"

namespace {

// The tool's chunk: the most it reads, decrypts and writes at once.
constexpr uint32_t ChunkSize = 10 * 1024 * 1024;

class Stopwatch {
public:
    Stopwatch() {
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
    }
    double Seconds() const {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        return static_cast<double>(now.QuadPart - start.QuadPart) / frequency.QuadPart;
    }

private:
    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
};

std::unique_ptr<uint8_t[]> NewChunk() {
    std::unique_ptr<uint8_t[]> chunk(new uint8_t[ChunkSize]);
    for (uint32_t i = 0; i < ChunkSize; ++i) {
        chunk[i] = static_cast<uint8_t>(i * 2654435761u >> 24);
    }
    return chunk;
}

int Cipher(const wchar_t* name, uint64_t bytes) {
    const bool aes = std::wcscmp(name, L"aes") == 0;
    if (!aes && std::wcscmp(name, L"salsa") != 0) {
        fwprintf(stderr, L"unknown cipher %ls\n", name);
        return 2;
    }
    Footer footer;
    for (uint32_t i = 0; i < format::RsaBlockLength; ++i) {
        footer.keyBlock[i] = static_cast<uint8_t>(i * 7 + 1);
        footer.ivBlock[i] = static_cast<uint8_t>(i * 13 + 5);
    }
    FileCipher cipher;
    Failure failure;
    // The first variant of the table with the cipher asked for.
    const FileCipherKind kind = aes ? FileCipherKind::Aes256Cbc : FileCipherKind::Salsa20;
    const VariantFormat* layout =
        std::find_if(std::begin(Formats), std::end(Formats),
                     [kind](const VariantFormat& row) { return row.cipher == kind; });
    if (!cipher.SetUp(*layout, footer, failure)) {
        fwprintf(stderr, L"cipher set-up failed: %ls\n", failure.Line().c_str());
        return 1;
    }
    const std::unique_ptr<uint8_t[]> chunk = NewChunk();
    const Stopwatch watch;
    for (uint64_t remaining = bytes; remaining != 0;) {
        uint32_t length = static_cast<uint32_t>(std::min<uint64_t>(remaining, ChunkSize));
        remaining -= length;
        if (!cipher.Decrypt(chunk.get(), length, false)) {
            fwprintf(stderr, L"decryption failed, error 0x%08lx\n", GetLastError());
            return 1;
        }
    }
    wprintf(L"seconds %.6f\nbytes %llu\n", watch.Seconds(), static_cast<unsigned long long>(bytes));
    return 0;
}

/// Times a copy in the tool's chunks, closing the target included; read gives the bytes it
/// read or FailedCount.
template <typename Read, typename Write, typename Close>
int TimedCopy(Read read, Write write, Close close) {
    const std::unique_ptr<uint8_t[]> chunk = NewChunk();
    uint64_t bytes = 0;
    const Stopwatch watch;
    for (;;) {
        const uint32_t got = read(chunk.get(), ChunkSize);
        if (got == FailedCount || (got != 0 && !write(chunk.get(), got))) {
            fwprintf(stderr, L"copy failed, error %lu\n", GetLastError());
            return 1;
        }
        if (got == 0) {
            break;
        }
        bytes += got;
    }
    close();
    wprintf(L"seconds %.6f\nbytes %llu\n", watch.Seconds(), static_cast<unsigned long long>(bytes));
    return 0;
}

/// ReadFile and WriteFile of whole chunks: the least a decryption has to do besides deciphering.
int PlainCopy(const wchar_t* source, const wchar_t* target) {
    UniqueFile in(CreateFileW(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    UniqueFile out(CreateFileW(target, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!in || !out) {
        fwprintf(stderr, L"cannot open the files, error %lu\n", GetLastError());
        return 1;
    }
    return TimedCopy(
        [&](uint8_t* data, uint32_t length) {
            DWORD got = 0;
            return ReadFile(in.get(), data, length, &got, nullptr) ? got : FailedCount;
        },
        [&](const uint8_t* data, uint32_t length) {
            DWORD written = 0;
            return WriteFile(out.get(), data, length, &written, nullptr) && written == length;
        },
        [&] { out.reset(); });
}

/// The same copy through the tool's file streams, whose writes go through a staging buffer.
int StreamCopy(const wchar_t* source, const wchar_t* target) {
    RawFile in(FailedOffset, source, OpenMode::ReadOnly);
    std::unique_ptr<RawFile> out(new RawFile(FailedOffset, target, OpenMode::Create));
    if (in.GetError() != StreamError::None || out->GetError() != StreamError::None) {
        fwprintf(stderr, L"cannot open the files\n");
        return 1;
    }
    return TimedCopy(
        [&](uint8_t* data, uint32_t length) { return in.Read(data, length); },
        [&](const uint8_t* data, uint32_t length) { return out->Write(data, length) == length; },
        [&] { out.reset(); });
}

/// A command line argument in the quoting CommandLineToArgvW undoes.
std::wstring Quoted(const wchar_t* argument) {
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (const wchar_t* c = argument; *c; ++c) {
        if (*c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(*c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += *c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

int Run(int argc, wchar_t** argv) {
    std::wstring commandLine;
    for (int i = 0; i < argc; ++i) {
        commandLine += (i ? L" " : L"") + Quoted(argv[i]);
    }
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    UniqueFile nul(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0,
                               nullptr));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul.get();
    PROCESS_INFORMATION info = {};
    const Stopwatch watch;
    if (!nul || !CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                nullptr, &startup, &info)) {
        fwprintf(stderr, L"cannot start %ls, error %lu\n", argv[0], GetLastError());
        return 1;
    }
    const UniqueKernelHandle process(info.hProcess);
    const UniqueKernelHandle thread(info.hThread);
    // The peak is a high-water mark kept by the system, so sampling until the process ends
    // misses only what it might allocate in its last few milliseconds.
    MemoryCounters peak = {};
    int samples = 0;
    for (bool running = true; running;) {
        running = WaitForSingleObject(process.get(), 10) == WAIT_TIMEOUT;
        MemoryCounters counters = {};
        counters.cb = sizeof counters;
        if (sys::GetProcessMemoryInfo(process.get(), &counters, sizeof counters)) {
            peak.PeakWorkingSetSize =
                std::max(peak.PeakWorkingSetSize, counters.PeakWorkingSetSize);
            peak.PeakPagefileUsage = std::max(peak.PeakPagefileUsage, counters.PeakPagefileUsage);
            ++samples;
        }
    }
    const double seconds = watch.Seconds();
    DWORD exitCode = 0;
    GetExitCodeProcess(process.get(), &exitCode);
    wprintf(L"seconds %.6f\nexit_code %lu\nmemory_samples %d\npeak_working_set %llu\n"
            L"peak_private %llu\n",
            seconds, exitCode, samples, static_cast<unsigned long long>(peak.PeakWorkingSetSize),
            static_cast<unsigned long long>(peak.PeakPagefileUsage));
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"cipher" && argc == 4) {
        return Cipher(argv[2], _wcstoui64(argv[3], nullptr, 10));
    }
    if (mode == L"copy" && argc == 4) {
        return PlainCopy(argv[2], argv[3]);
    }
    if (mode == L"stream-copy" && argc == 4) {
        return StreamCopy(argv[2], argv[3]);
    }
    if (mode == L"run" && argc > 2) {
        return Run(argc - 2, argv + 2);
    }
    fwprintf(stderr, L"usage: decrypt_bench.exe cipher aes|salsa BYTES\n"
                     L"       decrypt_bench.exe copy|stream-copy SOURCE TARGET\n"
                     L"       decrypt_bench.exe run PROGRAM ARGUMENTS...\n");
    return 2;
}
