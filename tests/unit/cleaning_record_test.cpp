#include <doctest.h>

#include <windows.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "backup/cleaning_record.h"
#include "backup/pending_cleaning.h"
#include "log_capture.h"
#include "test_support.h"

namespace {

using Bytes = std::vector<unsigned char>;

const wchar_t* const Heading = L"Bristoke decryptor: cleaning in progress";

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

/// UTF-16LE bytes of a text, as the record is stored.
Bytes Utf16(const std::wstring& text) {
    Bytes bytes;
    for (const wchar_t c : text) {
        bytes.push_back(static_cast<unsigned char>(c & 0xFF));
        bytes.push_back(static_cast<unsigned char>(c >> 8));
    }
    return bytes;
}

/// The record's text for a source and a backup name, with the byte-order mark.
std::wstring RecordText(const std::wstring& source, const std::wstring& backup) {
    return L"\xFEFF" + std::wstring(Heading) + L"\r\nsource: " + source + L"\r\nbackup: " + backup +
           L"\r\n";
}

CleaningRecord RecordIn(const TempDir& dir, const std::wstring& source) {
    CleaningRecord record;
    record.directory = dir.path() + L"\\";
    record.source = source;
    record.backup = source + L".backup_5_by_ovix";
    return record;
}

} // namespace

TEST_CASE("CleaningRecord_WrittenThenReadBack") {
    const TempDir dir;
    const CleaningRecord record = RecordIn(dir, L"report.docx.BRSK");
    bool taken = true;
    REQUIRE(WriteCleaningRecord(record, taken));
    CHECK_FALSE(taken);
    // Plain UTF-16 text that whoever finds it can read.
    CHECK(ReadBytes(record.RecordPath()) == Utf16(RecordText(record.source, record.backup)));
    CleaningRecord read;
    REQUIRE(ReadCleaningRecord(record.RecordPath(), read));
    CHECK(read.directory == record.directory);
    CHECK(read.source == record.source);
    CHECK(read.backup == record.backup);
    CHECK(read.SourcePath() == dir / L"report.docx.BRSK");
    CHECK(read.PartialPath() == dir / PartialNameOf(L"report.docx.BRSK"));

    // Never over a file: a second record of the same name is refused, the first one stays.
    LogCapture log;
    CHECK_FALSE(WriteCleaningRecord(RecordIn(dir, L"report.docx.BRSK"), taken));
    CHECK(taken);
    CHECK(log.Text().empty());
    CHECK(ReadCleaningRecord(record.RecordPath(), read));
}

TEST_CASE("CleaningRecord_WhatIsNoRecordIsRefused") {
    const std::wstring source = L"a.doc.BRSK";
    const std::wstring backup = L"a.doc.BRSK.backup_5_by_ovix";
    const std::wstring head = L"\xFEFF" + std::wstring(Heading) + L"\r\n";
    struct Case {
        const char* what;
        Bytes content;
    };
    const std::vector<Case> cases = {
        {"no byte-order mark", Utf16(RecordText(source, backup).substr(1))},
        {"another heading", Utf16(L"\xFEFF"
                                  L"Bristoke: cleaning\r\nsource: " +
                                  source + L"\r\nbackup: " + backup + L"\r\n")},
        {"keys swapped", Utf16(head + L"backup: " + backup + L"\r\nsource: " + source + L"\r\n")},
        {"a line more", Utf16(RecordText(source, backup) + L"output: a.doc\r\n")},
        {"last line unended", Utf16(RecordText(source, backup).substr(0, 80))},
        {"source with a directory", Utf16(RecordText(L"..\\" + source, backup))},
        {"source with a slash", Utf16(RecordText(L"x/" + source, backup))},
        {"source is ..", Utf16(RecordText(L"..", backup))},
        {"source empty", Utf16(RecordText(L"", backup))},
        {"source with a control character", Utf16(RecordText(source + L"\t", backup))},
        {"backup with a drive", Utf16(RecordText(source, L"C:" + backup))},
        {"backup that is no backup name", Utf16(RecordText(source, L"a.doc"))},
        {"half a character",
         [&] {
             Bytes bytes = Utf16(RecordText(source, backup));
             bytes.push_back(0x41);
             return bytes;
         }()},
        {"longer than any record", Utf16(RecordText(source, backup) + std::wstring(3000, L' '))},
        {"empty", {}},
    };
    for (const Case& c : cases) {
        INFO(c.what);
        const TempDir dir;
        const std::wstring path = dir / RecordNameOf(source);
        WriteBytes(path, c.content);
        CleaningRecord record;
        CHECK_FALSE(ReadCleaningRecord(path, record));
    }
    SUBCASE("a record beside another file does not speak for it") {
        const TempDir dir;
        const std::wstring path = dir / RecordNameOf(L"b.doc.BRSK");
        WriteBytes(path, Utf16(RecordText(source, backup)));
        CleaningRecord record;
        CHECK_FALSE(ReadCleaningRecord(path, record));
    }
    SUBCASE("a record under another name is no record") {
        const TempDir dir;
        const std::wstring path = dir / L"a.doc.cleaning_by_ovix";
        WriteBytes(path, Utf16(RecordText(source, backup)));
        CleaningRecord record;
        CHECK_FALSE(ReadCleaningRecord(path, record));
    }
}

TEST_CASE("CleaningRecord_CutAtEveryLength_RefusedAndOnlyNothingOrZerosCountAsUnwritten") {
    const TempDir dir;
    const std::wstring source = L"a.doc.BRSK";
    const std::wstring path = dir / RecordNameOf(source);
    const Bytes whole = Utf16(RecordText(source, source + L".backup_by_ovix"));
    for (size_t length = 0; length < whole.size(); ++length) {
        INFO(length << " of " << whole.size() << " bytes");
        WriteBytes(path, Bytes(whole.begin(), whole.begin() + static_cast<long>(length)));
        CleaningRecord record;
        CHECK_FALSE(ReadCleaningRecord(path, record));
        CHECK(IsUnwrittenRecord(path) == (length == 0));
        // What a power loss may leave: the length written, the content not.
        WriteBytes(path, Bytes(length, 0));
        CHECK(IsUnwrittenRecord(path));
    }
    WriteBytes(path, whole);
    CleaningRecord record;
    CHECK(ReadCleaningRecord(path, record));
    CHECK_FALSE(IsUnwrittenRecord(path));
    // Only a file of the record's name can be an unwritten record.
    WriteBytes(dir / L"a.doc", {});
    CHECK_FALSE(IsUnwrittenRecord(dir / L"a.doc"));
}

TEST_CASE("PendingCleaning_EveryWayOutBeforeTheOutputIsPlacedPutsTheFileBack") {
    struct Case {
        const char* what;
        bool placed;
        bool raise;
    };
    const Case cases[] = {
        {"an exception after the backup", false, true},
        {"a failure after the backup", false, false},
        {"an exception once the output is placed", true, true},
    };
    for (const Case& c : cases) {
        INFO(c.what);
        const TempDir dir;
        const CleaningRecord record = RecordIn(dir, L"a.doc.BRSK");
        WriteBytes(record.SourcePath(), {1, 2, 3});
        bool taken = false;
        REQUIRE(WriteCleaningRecord(record, taken));
        WriteBytes(record.PartialPath(), {4});
        try {
            PendingCleaning pending(record, false);
            REQUIRE(pending.BackUp());
            CHECK_FALSE(Exists(record.SourcePath()));
            if (c.placed) {
                REQUIRE(MoveFileW(record.PartialPath().c_str(), (dir / L"a.doc").c_str()));
                pending.OutputPlaced();
            }
            if (c.raise) {
                throw std::runtime_error("the log's disk is full");
            }
            pending.Abandon();
        } catch (const std::runtime_error&) {
        }
        CHECK_FALSE(Exists(record.RecordPath()));
        CHECK_FALSE(Exists(record.PartialPath()));
        if (c.placed) {
            // A cleaning whose output took its name keeps its backup beside it.
            CHECK(ReadBytes(record.BackupPath()) == Bytes{1, 2, 3});
            CHECK(ReadBytes(dir / L"a.doc") == Bytes{4});
            CHECK_FALSE(Exists(record.SourcePath()));
        } else {
            CHECK(ReadBytes(record.SourcePath()) == Bytes{1, 2, 3});
            CHECK_FALSE(Exists(record.BackupPath()));
        }
    }
}

TEST_CASE("PendingCleaning_BackupNameTakenMeanwhile_NothingMovesNothingLost") {
    const TempDir dir;
    const CleaningRecord record = RecordIn(dir, L"a.doc.BRSK");
    WriteBytes(record.SourcePath(), {1});
    WriteBytes(record.BackupPath(), {2});
    bool taken = false;
    REQUIRE(WriteCleaningRecord(record, taken));
    {
        PendingCleaning pending(record, false);
        LogCapture log;
        CHECK_FALSE(pending.BackUp());
        CHECK(log.Lines().size() == 1);
    }
    CHECK(ReadBytes(record.SourcePath()) == Bytes{1});
    CHECK(ReadBytes(record.BackupPath()) == Bytes{2});
    CHECK_FALSE(Exists(record.RecordPath()));
}
