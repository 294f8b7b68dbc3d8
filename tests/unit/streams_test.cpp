#include <doctest.h>

#include <cstring>
#include <string>
#include <vector>

#include "allocation_watch.h"
#include "stream_test_files.h"
#include "streams/raw_file.h"
#include "test_support.h"

namespace {

constexpr uint64_t NoLimit = 0xFFFFFFFFFFFFFFFFull;
constexpr uint64_t LogLimit = 0xFFFFFFFFull;

uint64_t Minus(uint64_t value) {
    return ~value + 1;
}

std::vector<unsigned char> ReadAll(RawFile& file, uint32_t length) {
    std::vector<unsigned char> bytes(length);
    const uint32_t got = file.Read(bytes.data(), length);
    bytes.resize(got == FailedCount ? 0 : got);
    return bytes;
}

std::vector<unsigned char> Slice(const std::vector<unsigned char>& bytes, size_t from, size_t to) {
    return std::vector<unsigned char>(bytes.begin() + from, bytes.begin() + to);
}

/// Records the length of every WriteFile the stream issues.
class ChunkRecordingWrap : public NodFileWrap<DefaultAllocator> {
public:
    std::vector<DWORD> chunks;

protected:
    bool WriteChunk(const void* buffer, DWORD length, DWORD& written) {
        chunks.push_back(length);
        return NodFileWrap<DefaultAllocator>::WriteChunk(buffer, length, written);
    }
};

using ChunkRecordingFile =
    CGenericRawFile<ChunkRecordingWrap, NodFileWrap<DefaultAllocator>::Handle>;

} // namespace

TEST_CASE("RawFile_Open_SizeOfExistingFileAndPositionZero") {
    TempDir dir;
    const std::wstring path = MakeFile(dir / L"in.bin", 70000);
    for (const OpenMode mode : {OpenMode::ReadOnly, OpenMode::ReadWrite}) {
        CAPTURE(mode);
        RawFile file(NoLimit, path, mode);
        CHECK(file.GetError() == StreamError::None);
        CHECK(file.GetSize() == 70000u);
        CHECK(file.GetPosition() == 0u);
        CHECK(ReadAll(file, 70000) == Pattern(70000));
    }
}

TEST_CASE("RawFile_Create_TruncatesAnExistingFile") {
    TempDir dir;
    const std::wstring path = MakeFile(dir / L"out.bin", 5000);
    RawFile file(NoLimit, path, OpenMode::Create);
    CHECK(file.GetError() == StreamError::None);
    CHECK(file.GetSize() == 0u);
    CHECK(ReadBytes(path).empty());
}

TEST_CASE("RawFile_FirstFailure_RecordsItsCodeAndRefusesEverythingAfter") {
    struct Case {
        const char* what;
        OpenMode mode;
        bool fileExists;
        /// Provokes the failure; true when the operation reported it.
        bool (*fail)(RawFile& file);
        StreamError code;
    };
    static const unsigned char data[4] = {1, 2, 3, 4};
    const Case cases[] = {
        {"missing file opened read-only", OpenMode::ReadOnly, false, [](RawFile&) { return true; },
         StreamError::OpenFailed},
        {"missing file opened read-write", OpenMode::ReadWrite, false,
         [](RawFile&) { return true; }, StreamError::OpenFailed},
        {"read-only seek one byte past the end", OpenMode::ReadOnly, true,
         [](RawFile& f) {
             // Exactly the size is still allowed.
             CHECK(f.Seek(f.GetSize(), SeekOrigin::Begin) == f.GetSize());
             CHECK(f.GetError() == StreamError::None);
             return f.Seek(f.GetSize() + 1, SeekOrigin::Begin) == FailedOffset;
         },
         StreamError::ReadFailed},
        {"read-only relative seek before the start", OpenMode::ReadOnly, true,
         [](RawFile& f) { return f.Seek(Minus(1), SeekOrigin::Current) == FailedOffset; },
         StreamError::ReadFailed},
        {"read-only seek with origin 3", OpenMode::ReadOnly, true,
         [](RawFile& f) { return f.Seek(0, NoSuchOrigin) == FailedOffset; },
         StreamError::BadOrigin},
        {"writable seek with origin 3", OpenMode::ReadWrite, true,
         [](RawFile& f) { return f.Seek(0, NoSuchOrigin) == FailedOffset; },
         StreamError::BadOrigin},
        {"write on a read-only stream", OpenMode::ReadOnly, true,
         [](RawFile& f) { return f.Write(data, sizeof data) == FailedCount; },
         StreamError::WriteFailed},
        {"size change on a read-only stream", OpenMode::ReadOnly, true,
         [](RawFile& f) { return !f.SetSize(10); }, StreamError::WriteFailed},
    };
    for (const Case& c : cases) {
        INFO(std::string(c.what));
        TempDir dir;
        const std::wstring path = dir / L"f.bin";
        if (c.fileExists) {
            MakeFile(path, 100);
        }
        RawFile file(NoLimit, path, c.mode);
        REQUIRE(c.fail(file));
        CHECK(file.GetError() == c.code);

        const uint64_t position = file.GetPosition();
        unsigned char buffer[16];
        std::memset(buffer, 0xAA, sizeof buffer);
        CHECK(file.Read(buffer, sizeof buffer) == FailedCount);
        CHECK(buffer[0] == 0xAA);
        CHECK(file.Write(data, sizeof data) == FailedCount);
        CHECK(file.Seek(0, SeekOrigin::Begin) == FailedOffset);
        CHECK(file.ReadAt(buffer, sizeof buffer, 0) == FailedCount);
        CHECK(file.WriteAt(data, sizeof data, 0) == FailedCount);
        CHECK(file.ReadAtKeepPosition(buffer, sizeof buffer, 0) == FailedCount);
        // Another failure does not replace the first code.
        CHECK(file.Seek(0, NoSuchOrigin) == FailedOffset);
        CHECK(file.GetError() == c.code);
        CHECK(file.GetPosition() == position);
        CHECK(file.SetError(StreamError::ReadFailed) == c.code);
        if (c.fileExists) {
            CHECK(ReadBytes(path) == Pattern(100));
        } else {
            CHECK(GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES);
        }
    }
}

TEST_CASE("RawFile_Seek_OriginsAndTwosComplementOffsets") {
    struct Case {
        SeekOrigin origin;
        uint64_t offset;
        uint64_t target;
    };
    const Case cases[] = {
        {SeekOrigin::Begin, 10, 10},          {SeekOrigin::Current, 10, 110},
        {SeekOrigin::Current, Minus(10), 90}, {SeekOrigin::End, 0, 1000},
        {SeekOrigin::End, Minus(4), 996},     {SeekOrigin::Current, Minus(100), 0},
    };
    TempDir dir;
    const std::wstring path = MakeFile(dir / L"in.bin", 1000);
    const std::vector<unsigned char> content = Pattern(1000);
    for (const Case& c : cases) {
        CAPTURE(c.origin);
        CAPTURE(c.target);
        RawFile file(NoLimit, path, OpenMode::ReadOnly);
        REQUIRE(file.Seek(100, SeekOrigin::Begin) == 100u);
        CHECK(file.Seek(c.offset, c.origin) == c.target);
        CHECK(file.GetPosition() == c.target);
        // The file pointer moved with the recorded position.
        CHECK(ReadAll(file, 4) == Slice(content, c.target, std::min<size_t>(c.target + 4, 1000)));
        CHECK(file.GetError() == StreamError::None);
    }
}

TEST_CASE("RawFile_ReadAtEnd_ReturnsZeroAndRecordsNothing") {
    TempDir dir;
    RawFile file(NoLimit, MakeFile(dir / L"in.bin", 10), OpenMode::ReadOnly);
    unsigned char buffer[16];
    CHECK(file.Read(buffer, sizeof buffer) == 10u);
    CHECK(file.Read(buffer, sizeof buffer) == 0u);
    CHECK(file.GetError() == StreamError::None);
    CHECK(file.GetPosition() == 10u);
}

TEST_CASE("RawFile_SizeLimit_RefusesAWriteEndingBeyondItWithoutRecordingACode") {
    struct Case {
        const char* what;
        uint64_t limit;
        uint64_t position;
        uint32_t length;
        bool written;
    };
    const Case cases[] = {
        {"log limit, one byte too far", LogLimit, LogLimit - 1, 2, false},
        {"log limit, from the limit itself", LogLimit, LogLimit, 1, false},
        {"log limit, large write near it", LogLimit, LogLimit - 10, 70000, false},
        {"small limit, ending exactly at it", 100, 96, 4, true},
        {"small limit, one byte too far", 100, 96, 5, false},
    };
    static const std::vector<unsigned char> data = Pattern(70000);
    for (const Case& c : cases) {
        INFO(std::string(c.what));
        TempDir dir;
        const std::wstring path = dir / L"out.bin";
        RawFile file(c.limit, path, OpenMode::Create);
        // A writable stream may be placed beyond its size, up to the limit.
        REQUIRE(file.Seek(c.position, SeekOrigin::Begin) == c.position);
        const uint32_t result = file.Write(data.data(), c.length);
        CHECK(file.GetError() == StreamError::None);
        if (c.written) {
            CHECK(result == c.length);
            CHECK(file.GetSize() == c.position + c.length);
            CHECK(ReadBytes(path).size() == c.position + c.length);
        } else {
            CHECK(result == FailedCount);
            CHECK(file.GetPosition() == c.position);
            CHECK(file.GetSize() == 0u);
            CHECK(ReadBytes(path).empty());
        }
        // Nor may a seek go beyond the limit, again without a code.
        CHECK(file.Seek(c.limit + 1, SeekOrigin::Begin) == FailedOffset);
        CHECK(file.GetError() == StreamError::None);
    }
}

TEST_CASE("RawFile_Write_StagedIn64KiBChunksThroughOneBufferFromTheFirstLargeWriteOn") {
    TempDir dir;
    const std::wstring path = dir / L"out.bin";
    const uint32_t large = 4097 + 3 * 65536;
    const std::vector<unsigned char> data = Pattern(4096 + large + 5000 + 100, 7);
    const ArrayAllocationWatch stage(65536, false);
    ChunkRecordingFile file(NoLimit, path, OpenMode::Create);
    REQUIRE(file.GetError() == StreamError::None);

    // Up to 4,096 bytes need no staging buffer.
    REQUIRE(file.Write(data.data(), 4096) == 4096u);
    CHECK(stage.Count() == 0);
    REQUIRE(file.Write(data.data() + 4096, large) == large);
    CHECK(stage.Count() == 1);
    // Kept for every later write: one WriteFile each, and no second buffer.
    REQUIRE(file.Write(data.data() + 4096 + large, 5000) == 5000u);
    REQUIRE(file.Write(data.data() + 4096 + large + 5000, 100) == 100u);
    CHECK(stage.Count() == 1);

    CHECK(file.chunks == std::vector<DWORD>{4096, 65536, 65536, 65536, 4097, 5000, 100});
    CHECK(file.GetSize() == data.size());
    CHECK(file.GetPosition() == data.size());
    CHECK(ReadBytes(path) == data);
}

TEST_CASE("RawFile_Write_NoRoomForTheStagingBuffer_WritesIn4KiBChunksAndTriesAgainLater") {
    TempDir dir;
    const std::wstring path = dir / L"out.bin";
    const std::vector<unsigned char> data = Pattern(10000 + 70000, 5);
    ChunkRecordingFile file(NoLimit, path, OpenMode::Create);
    {
        const ArrayAllocationWatch noRoom(65536, true);
        REQUIRE(file.Write(data.data(), 10000) == 10000u);
        CHECK(noRoom.Count() == 1);
    }
    CHECK(file.chunks == std::vector<DWORD>{4096, 4096, 1808});
    const ArrayAllocationWatch room(65536, false);
    REQUIRE(file.Write(data.data() + 10000, 70000) == 70000u);
    CHECK(room.Count() == 1);
    CHECK(file.chunks == std::vector<DWORD>{4096, 4096, 1808, 65536, 4464});
    CHECK(file.GetError() == StreamError::None);
    CHECK(ReadBytes(path) == data);
}

TEST_CASE("RawFile_ZeroLengthWrite_ReturnsZeroAndChangesNothing") {
    TempDir dir;
    const std::wstring path = MakeFile(dir / L"out.bin", 10);
    ChunkRecordingFile file(NoLimit, path, OpenMode::ReadWrite);
    REQUIRE(file.Seek(4, SeekOrigin::Begin) == 4u);
    const unsigned char byte = 0;
    CHECK(file.Write(&byte, 0) == 0u);
    // Still one (empty) WriteFile, as for any write.
    CHECK(file.chunks == std::vector<DWORD>{0});
    CHECK(file.GetError() == StreamError::None);
    CHECK(file.GetPosition() == 4u);
    CHECK(file.GetSize() == 10u);
    CHECK(ReadBytes(path) == Pattern(10));
}

TEST_CASE("RawFile_WriteBeyondTheSize_SizeBecomesPositionPlusLengthAndTheGapIsZero") {
    TempDir dir;
    const std::wstring path = MakeFile(dir / L"out.bin", 10);
    RawFile file(NoLimit, path, OpenMode::ReadWrite);
    REQUIRE(file.Seek(20, SeekOrigin::Begin) == 20u);
    const std::vector<unsigned char> data = Pattern(5, 9);
    CHECK(file.Write(data.data(), 5) == 5u);
    CHECK(file.GetSize() == 25u);
    CHECK(file.GetPosition() == 25u);
    std::vector<unsigned char> expected = Pattern(10);
    expected.resize(20, 0);
    expected.insert(expected.end(), data.begin(), data.end());
    CHECK(ReadBytes(path) == expected);
}

TEST_CASE("RawFile_SetSize_ResizesAndLeavesThePositionAtTheNewEnd") {
    struct Case {
        uint64_t newSize;
    };
    const Case cases[] = {{0}, {400}, {1000}, {3000}};
    for (const Case& c : cases) {
        CAPTURE(c.newSize);
        TempDir dir;
        const std::wstring path = MakeFile(dir / L"out.bin", 1000);
        RawFile file(NoLimit, path, OpenMode::ReadWrite);
        REQUIRE(file.Seek(123, SeekOrigin::Begin) == 123u);
        CHECK(file.SetSize(c.newSize));
        CHECK(file.GetError() == StreamError::None);
        CHECK(file.GetSize() == c.newSize);
        CHECK(file.GetPosition() == c.newSize);
        std::vector<unsigned char> expected = Pattern(1000);
        expected.resize(c.newSize, 0);
        CHECK(ReadBytes(path) == expected);
    }
}

TEST_CASE("RawFile_SetSizeOnAFailedStream_StillResizesThenReportsFailure") {
    TempDir dir;
    const std::wstring path = MakeFile(dir / L"out.bin", 1000);
    RawFile file(NoLimit, path, OpenMode::ReadWrite);
    REQUIRE(file.Seek(50, SeekOrigin::Begin) == 50u);
    REQUIRE(file.Seek(0, NoSuchOrigin) == FailedOffset);
    CHECK_FALSE(file.SetSize(300));
    CHECK(ReadBytes(path) == Slice(Pattern(1000), 0, 300));
    CHECK(file.GetSize() == 300u);
    // The closing seek was refused: the position stays where it was.
    CHECK(file.GetPosition() == 50u);
    CHECK(file.GetError() == StreamError::BadOrigin);
}

TEST_CASE("RawFile_ReadAtAndWriteAt_SeekThenLeaveThePositionAfterTheData") {
    TempDir dir;
    const std::wstring path = MakeFile(dir / L"f.bin", 100);
    RawFile file(NoLimit, path, OpenMode::ReadWrite);
    unsigned char buffer[10];
    CHECK(file.ReadAt(buffer, 10, 40) == 10u);
    CHECK(std::vector<unsigned char>(buffer, buffer + 10) == Slice(Pattern(100), 40, 50));
    CHECK(file.GetPosition() == 50u);
    const std::vector<unsigned char> data = Pattern(10, 5);
    CHECK(file.WriteAt(data.data(), 10, 95) == 10u);
    CHECK(file.GetPosition() == 105u);
    CHECK(file.GetSize() == 105u);
    std::vector<unsigned char> expected = Slice(Pattern(100), 0, 95);
    expected.insert(expected.end(), data.begin(), data.end());
    CHECK(ReadBytes(path) == expected);
}

TEST_CASE("RawFile_ReadAtKeepPosition_ReadsThereAndReturnsToThePosition") {
    TempDir dir;
    RawFile file(NoLimit, MakeFile(dir / L"in.bin", 1000), OpenMode::ReadOnly);
    REQUIRE(file.Seek(100, SeekOrigin::Begin) == 100u);
    unsigned char buffer[540];
    // Near the end the read is short: the count is returned, the position still restored.
    CHECK(file.ReadAtKeepPosition(buffer, sizeof buffer, 600) == 400u);
    CHECK(std::vector<unsigned char>(buffer, buffer + 400) == Slice(Pattern(1000), 600, 1000));
    CHECK(file.GetPosition() == 100u);
    CHECK(ReadAll(file, 4) == Slice(Pattern(1000), 100, 104));
    CHECK(file.GetError() == StreamError::None);
}

TEST_CASE("RawFile_WriteAtKeepPosition_AlwaysFailsAndRecordsNothing") {
    TempDir dir;
    const std::wstring path = MakeFile(dir / L"f.bin", 100);
    RawFile file(NoLimit, path, OpenMode::ReadWrite);
    REQUIRE(file.Seek(30, SeekOrigin::Begin) == 30u);
    const std::vector<unsigned char> data = Pattern(10, 5);
    CHECK(file.WriteAtKeepPosition(data.data(), 10, 0) == FailedCount);
    CHECK(file.GetError() == StreamError::None);
    CHECK(file.GetPosition() == 30u);
    CHECK(ReadBytes(path) == Pattern(100));
}

TEST_CASE("RawFile_CopyTo_CopiesTheCountFromThePosition") {
    TempDir dir;
    const std::vector<unsigned char> content = Pattern(30000);
    RawFile source(NoLimit, MakeFile(dir / L"in.bin", 30000), OpenMode::ReadOnly);
    RawFile target(NoLimit, dir / L"out.bin", OpenMode::Create);
    REQUIRE(source.Seek(100, SeekOrigin::Begin) == 100u);
    CHECK(source.CopyTo(target, 20000));
    CHECK(source.GetPosition() == 20100u);
    CHECK(target.GetSize() == 20000u);
    CHECK(ReadBytes(dir / L"out.bin") == Slice(content, 100, 20100));
    // The rest of the file, exactly.
    CHECK(source.CopyTo(target, 9900));
    CHECK_FALSE(source.CopyTo(target, 1));
    CHECK(source.CopyTo(target, 0));
    CHECK(ReadBytes(dir / L"out.bin") == Slice(content, 100, 30000));
}

TEST_CASE("RawFile_CopyTo_RefusedBeforeReadingAnything") {
    struct Case {
        const char* what;
        uint64_t position;
        uint64_t count;
    };
    const Case cases[] = {
        {"count beyond the end", 100, 901},
        {"count with the top bit set", 0, 0x8000000000000000ull},
        {"position beyond the size", 1200, 0},
    };
    for (const Case& c : cases) {
        INFO(std::string(c.what));
        TempDir dir;
        RawFile source(NoLimit, MakeFile(dir / L"in.bin", 1000), OpenMode::ReadWrite);
        RawFile target(NoLimit, dir / L"out.bin", OpenMode::Create);
        REQUIRE(source.Seek(c.position, SeekOrigin::Begin) == c.position);
        CHECK_FALSE(source.CopyTo(target, c.count));
        CHECK(source.GetPosition() == c.position);
        CHECK(ReadBytes(dir / L"out.bin").empty());
    }
}

TEST_CASE("RawFile_CopyTo_SourceShortenedAfterOpening_FailsInsteadOfLooping") {
    TempDir dir;
    const std::wstring path = MakeFile(dir / L"in.bin", 20000);
    RawFile source(NoLimit, path, OpenMode::ReadOnly);
    RawFile target(NoLimit, dir / L"out.bin", OpenMode::Create);
    REQUIRE(source.GetSize() == 20000u);
    REQUIRE(TruncateFromOutside(path, 5000));
    CHECK_FALSE(source.CopyTo(target, 20000));
    // What could be read was passed on before the end of data was met.
    CHECK(ReadBytes(dir / L"out.bin") == Pattern(5000));
    CHECK(source.GetPosition() == 5000u);
}

TEST_CASE("RawFile_CopyTo_TargetRefusingTheWrite_Fails") {
    TempDir dir;
    RawFile source(NoLimit, MakeFile(dir / L"in.bin", 1000), OpenMode::ReadOnly);
    RawFile target(NoLimit, MakeFile(dir / L"out.bin", 10), OpenMode::ReadOnly);
    CHECK_FALSE(source.CopyTo(target, 1000));
    CHECK(target.GetError() == StreamError::WriteFailed);
    CHECK(ReadBytes(dir / L"out.bin") == Pattern(10));
}
