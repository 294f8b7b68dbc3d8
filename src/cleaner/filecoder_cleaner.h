#pragma once

#include <string>
#include <vector>

#include "cleaner/usermode_file_cleaner.h"
#include "driver/custom_argument_parser.h"

class FilecoderCleaner : public IUsermodeFileCleaner, public ICustomArgumentParser {
public:
    FilecoderCleaner();

    [[nodiscard]] bool Init() override;
    CleanerResult Scan(const std::wstring& path) override;
    CleanerResult Clean(const std::wstring& path, ProgressIndicator& progress) override;
    std::wstring GetName() const override;

    bool CheckArguments(std::vector<std::wstring>& paths) override;
    void PrintUsage() override;
};
