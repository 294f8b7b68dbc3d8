#include "fake_cleaning.h"

#include <vector>

#include "backup/backup.h"

const std::string FakeMark = "ENC:";

std::string Bytes(const std::wstring& path) {
    return std::string(path.begin(), path.end());
}

bool FakeSteps::HoldsMark(const std::wstring& path) const {
    const auto it = files.files.find(path);
    return it != files.files.end() && it->second.data.compare(0, FakeMark.size(), FakeMark) == 0;
}

bool FakeSteps::IsFamilyFile(const std::wstring& name, const std::wstring& contentPath) {
    const std::wstring extension = ExtensionOf(name);
    return extension == L"BRSK" || extension == L"QOVE" || extension == L"QOVY" ||
           HoldsMark(contentPath);
}

bool FakeSteps::ProvesFamily(const std::wstring&, const std::wstring& contentPath) {
    return HoldsMark(contentPath);
}

bool FakeSteps::Decrypt(const std::wstring& source, const std::wstring& inputPath,
                        IWrittenFile& output, const std::wstring&, Failure& failure) {
    if (!HoldsMark(inputPath)) {
        if (recreateSource) {
            files.Put(source, "a newer file");
        }
        failure = Failure(L"Not valid Bristoke file.");
        return false;
    }
    const std::string plain = files.files.at(inputPath).data.substr(FakeMark.size());
    const size_t half = plain.size() / 2;
    if (!output.Write(plain.data(), static_cast<uint32_t>(half)) ||
        !output.Write(plain.data() + half, static_cast<uint32_t>(plain.size() - half))) {
        failure = Failure::WithLastError(L"Can't write data to file [" + output.Path() + L"]");
        return false;
    }
    if (!output.SetSize(plain.size())) {
        failure = Failure::WithLastError(L"Can't set size of file [" + output.Path() + L"]");
        return false;
    }
    return true;
}

bool FakeSteps::MayReplace(const std::wstring&) {
    return forced;
}

void Walk(FakeFileSystem& files, bool forced, int32_t counter, bool recreateSource) {
    FakeSteps steps(files, forced);
    steps.recreateSource = recreateSource;
    Cleaning cleaning(files, steps, counter);
    std::vector<std::wstring> names;
    for (const auto& entry : files.files) {
        names.push_back(entry.first);
    }
    for (const std::wstring& path : names) {
        if (files.files.count(path) == 0) {
            continue;
        }
        if (IsOwnNameOfKind(path, OwnKind::Cleaning)) {
            const std::wstring source = InterruptedSourceOf(files, path);
            if (!source.empty() && steps.ProvesFamily(FileNameOf(source), path)) {
                cleaning.Run(path, true);
            }
        } else if (IsOwnNameOfKind(path, OwnKind::Name)) {
            cleaning.TidyNote(path, true);
        } else if (!IsOwnFileName(FileNameOf(path)) && steps.IsFamilyFile(FileNameOf(path), path)) {
            cleaning.Run(path, false);
        }
    }
}
