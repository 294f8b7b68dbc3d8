#include <doctest.h>

#include <string>
#include <vector>

#include "log_capture.h"
#include "logging/file_stream_mod.h"
#include "stream_test_files.h"
#include "test_support.h"

namespace {

using Lines = std::vector<std::wstring>;

/// A code no system call of these cases sets: a line showing it read the code when written.
constexpr DWORD MarkerError = 0x1234ABCD;
const std::wstring Marker = L", GLE(0x1234abcd)";

std::wstring Line(const wchar_t* text, const std::wstring& path,
                  const std::wstring& closing = L"") {
    return L"INFO: " + std::wstring(text) + path + L"]" + closing;
}

} // namespace

#define CHECK_LINES(log, ...)                                                                      \
    do {                                                                                           \
        const Lines lines = (log).Lines();                                                         \
        INFO("log lines:" << Printable(lines));                                                    \
        CHECK(lines == __VA_ARGS__);                                                               \
    } while (false)

TEST_CASE("FileStreamMod_FailedOpen_LogsTheCallersPath") {
    struct Case {
        const wchar_t* name;
        OpenMode mode;
        const wchar_t* text;
    };
    const Case cases[] = {
        {L"missing.bin", OpenMode::ReadOnly, L"Can't open file ["},
        {L"missing.bin", OpenMode::ReadWrite, L"Can't open file ["},
        {L"no-such-directory\\out.bin", OpenMode::Create, L"Can't create file ["},
    };
    for (const Case& c : cases) {
        CAPTURE(c.mode);
        TempDir dir;
        const std::wstring path = dir / c.name;
        LogCapture log;
        FileStreamMod file(path, c.mode);
        CHECK(file.GetError() == StreamError::OpenFailed);
        CHECK_LINES(log, Lines{Line(c.text, path)});
    }
}

TEST_CASE("FileStreamMod_OpensTheExtendedLengthFormOfAPathBeyondMaxPath") {
    TempDir dir;
    std::wstring directory = dir.path();
    while (directory.size() < 300) {
        directory += L"\\" + std::wstring(60, L'd');
        REQUIRE(CreateDirectoryW((L"\\\\?\\" + directory).c_str(), nullptr));
    }
    const std::wstring path = directory + L"\\out.bin";
    LogCapture log;
    {
        FileStreamMod file(path, OpenMode::Create);
        CHECK(file.GetError() == StreamError::None);
        const std::vector<unsigned char> data = Pattern(10);
        CHECK(file.Write(data.data(), 10) == 10u);
    }
    CHECK(ReadBytes(L"\\\\?\\" + path) == Pattern(10));
    CHECK_LINES(log, Lines{});
}

TEST_CASE("FileStreamMod_FailedOperation_WritesItsLineWithTheCallersPath") {
    struct Case {
        const char* what;
        OpenMode mode;
        /// Runs the failing operation; true when it reported failure.
        bool (*fail)(FileStreamMod& file);
        const wchar_t* text;
        /// The last-error text, for the operations whose lines carry one.
        bool withLastError;
    };
    static const unsigned char data[4] = {1, 2, 3, 4};
    const Case cases[] = {
        {"read at the end", OpenMode::ReadOnly,
         [](FileStreamMod& f) {
             unsigned char buffer[100];
             return f.Read(buffer, sizeof buffer) == 100u && f.Read(buffer, 1) == 0u;
         },
         L"Can't read data from file [", false},
        {"short read", OpenMode::ReadOnly,
         [](FileStreamMod& f) {
             unsigned char buffer[200];
             return f.Read(buffer, sizeof buffer) == 100u;
         },
         L"Can't read data from file [", false},
        {"write on a read-only stream", OpenMode::ReadOnly,
         [](FileStreamMod& f) { return f.Write(data, sizeof data) == FailedCount; },
         L"Can't write data to file [", false},
        {"seek with origin 3", OpenMode::ReadOnly,
         [](FileStreamMod& f) { return f.Seek(0, NoSuchOrigin) == FailedOffset; },
         L"Can't set position in file [", true},
        {"seek past the end of a read-only stream", OpenMode::ReadOnly,
         [](FileStreamMod& f) { return f.Seek(101, SeekOrigin::Begin) == FailedOffset; },
         L"Can't set position in file [", true},
        {"size change on a read-only stream", OpenMode::ReadOnly,
         [](FileStreamMod& f) { return !f.SetSize(0); }, L"Can't set size of file [", true},
        // Refused before any seek: only its own line.
        {"position with the top bit set", OpenMode::ReadWrite,
         [](FileStreamMod& f) { return !f.SetPosition(0x8000000000000000ull); },
         L"Can't set position in file [", true},
    };
    for (const Case& c : cases) {
        INFO(std::string(c.what));
        TempDir dir;
        const std::wstring path = MakeFile(dir / L"f.bin", 100);
        FileStreamMod file(path, c.mode);
        REQUIRE(file.GetError() == StreamError::None);
        LogCapture log;
        SetLastError(MarkerError);
        REQUIRE(c.fail(file));
        CHECK_LINES(log, Lines{Line(c.text, path, c.withLastError ? Marker : L"")});
    }
}

TEST_CASE("FileStreamMod_OperationEndingInAFailedSeek_WritesTheSeekLineThenItsOwn") {
    struct Case {
        const char* what;
        bool (*run)(FileStreamMod& file);
        const wchar_t* text;
        /// What the system holds when the lines are written.
        const wchar_t* closing;
    };
    const Case cases[] = {
        {"position", [](FileStreamMod& f) { return f.SetPosition(10); },
         L"Can't set position in file [", Marker.c_str()},
        // The resize itself succeeds first, leaving no error code behind.
        {"size", [](FileStreamMod& f) { return f.SetSize(40); }, L"Can't set size of file [",
         L", GLE(0x00000000)"},
    };
    for (const Case& c : cases) {
        INFO(std::string(c.what));
        TempDir dir;
        const std::wstring path = MakeFile(dir / L"f.bin", 100);
        FileStreamMod file(path, OpenMode::ReadWrite);
        REQUIRE(file.Seek(0, NoSuchOrigin) == FailedOffset);
        LogCapture log;
        SetLastError(MarkerError);
        CHECK_FALSE(c.run(file));
        CHECK_LINES(log, Lines{Line(L"Can't set position in file [", path, c.closing),
                               Line(c.text, path, c.closing)});
    }
}

TEST_CASE("FileStreamMod_CopyFromAShortenedFile_LogsEachShortRead") {
    TempDir dir;
    const std::wstring path = MakeFile(dir / L"in.bin", 20000);
    FileStreamMod source(path, OpenMode::ReadOnly);
    FileStreamMod target(dir / L"out.bin", OpenMode::Create);
    REQUIRE(TruncateFromOutside(path, 5000));
    LogCapture log;
    CHECK_FALSE(source.CopyTo(target, 20000));
    const std::wstring line = Line(L"Can't read data from file [", path);
    CHECK_LINES(log, Lines{line, line});
}

TEST_CASE("FileStreamMod_SucceedingOperations_LogNothing") {
    TempDir dir;
    const std::wstring path = dir / L"out.bin";
    LogCapture log;
    {
        FileStreamMod file(path, OpenMode::Create);
        const std::vector<unsigned char> data = Pattern(10000);
        CHECK(file.Write(data.data(), 10000) == 10000u);
        CHECK(file.Write(data.data(), 0) == 0u);
        CHECK(file.SetPosition(0));
        CHECK(file.Seek(0, SeekOrigin::End) == 10000u);
        CHECK(file.SetSize(5000));
        CHECK(file.SetPosition(0));
        unsigned char buffer[5000];
        CHECK(file.Read(buffer, sizeof buffer) == 5000u);
    }
    {
        FileStreamMod file(path, OpenMode::ReadOnly);
        CHECK(file.Seek(5000, SeekOrigin::Begin) == 5000u);
    }
    CHECK_LINES(log, Lines{});
}
