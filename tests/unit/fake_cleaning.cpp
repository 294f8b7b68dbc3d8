#include "fake_cleaning.h"

#include <vector>

#include "backup/backup.h"

const std::string FakeMark = "ENC:";
const std::string FakeLockedMark = "LOCKED:";

std::string Bytes(const std::wstring& path) {
    return std::string(path.begin(), path.end());
}

bool FakeSteps::HoldsMark(const std::wstring& path) const {
    const auto it = files.files.find(path);
    return it != files.files.end() && it->second.data.compare(0, FakeMark.size(), FakeMark) == 0;
}

bool FakeSteps::IsFamilyFile(const IFolder& folder, const std::wstring& name) {
    const std::wstring extension = ExtensionOf(name);
    return extension == L"BRSK" || extension == L"QOVE" || extension == L"QOVY" ||
           HoldsMark(files.PathIn(folder, name));
}

Proof FakeSteps::ProofAt(const std::wstring& path) const {
    if (HoldsMark(path)) {
        return Proof::Family;
    }
    const auto it = files.files.find(path);
    return it != files.files.end() &&
                   it->second.data.compare(0, FakeLockedMark.size(), FakeLockedMark) == 0
               ? Proof::NoKey
               : Proof::Nothing;
}

Proof FakeSteps::ProofOf(const std::wstring&, IHeldFile& content) {
    return ProofAt(files.HeldPath(content));
}

bool FakeSteps::IsMarked(const IFolder& folder, const std::wstring& name) const {
    return ProofAt(files.PathIn(folder, name)) != Proof::Nothing;
}

bool FakeSteps::Decrypt(const std::wstring& source, IHeldFile& input, IWrittenFile& output,
                        const std::wstring&, Failure& failure) {
    const std::wstring inputPath = files.HeldPath(input);
    if (!HoldsMark(inputPath)) {
        if (recreateSource) {
            files.Put(DirectoryPartOf(inputPath) + FileNameOf(source), "a newer file");
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
    std::vector<std::wstring> paths;
    for (const auto& entry : files.files) {
        paths.push_back(entry.first);
    }
    std::shared_ptr<IFolder> folder;
    for (const std::wstring& path : paths) {
        if (files.files.count(path) == 0) {
            continue;
        }
        std::wstring directory = DirectoryPartOf(path);
        if (!directory.empty()) {
            directory.pop_back();
        }
        if (!folder || folder->Path() != directory) {
            folder = files.OpenFolder(directory);
        }
        const FolderEntry entry{folder, FileNameOf(path)};
        if (IsOwnNameOfKind(entry.name, OwnKind::Cleaning)) {
            const std::wstring source = InterruptedSourceOf(files, *folder, entry.name);
            if (!source.empty() && steps.IsMarked(*folder, entry.name)) {
                cleaning.Run(entry, true);
            }
        } else if (IsOwnNameOfKind(entry.name, OwnKind::Name)) {
            cleaning.TidyNote(entry, true);
        } else if (!IsOwnFileName(entry.name) && steps.IsFamilyFile(*folder, entry.name)) {
            cleaning.Run(entry, false);
        }
    }
}
