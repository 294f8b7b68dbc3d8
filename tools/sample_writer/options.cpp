#include "options.h"

#include <cerrno>
#include <cwchar>
#include <cwctype>

#include "cleaner/format.h"

const wchar_t* const SampleWriterUsage =
    L"usage: BristokeSampleWriter --keys FILE --out DIR [--variant N] [--key N]\n"
    L"           [--ext .EXT] [--name NAME] [--plain-size N] [--factors A,B] INPUT...\n"
    L"  --variant: a variant of the format's table (1 by default)\n";

namespace {

bool ParseUnsigned(const std::wstring& text, uint64_t limit, uint64_t& value) {
    if (text.empty() || !std::iswdigit(text[0])) {
        return false;
    }
    wchar_t* end = nullptr;
    errno = 0;
    const unsigned long long parsed = std::wcstoull(text.c_str(), &end, 10);
    if (errno != 0 || *end != L'\0' || parsed > limit) {
        return false;
    }
    value = parsed;
    return true;
}

bool ParseFactors(const std::wstring& text, SampleOptions& options) {
    const size_t comma = text.find(L',');
    uint64_t second = 0;
    if (comma == std::wstring::npos ||
        !ParseUnsigned(text.substr(0, comma), UINT64_MAX, options.factor1) ||
        !ParseUnsigned(text.substr(comma + 1), UINT32_MAX, second)) {
        return false;
    }
    options.factor2 = static_cast<uint32_t>(second);
    options.hasFactors = true;
    return true;
}

std::wstring VariantNumbers() {
    std::wstring numbers;
    for (const VariantFormat& row : Formats) {
        numbers += (numbers.empty() ? L"" : L", ") + std::to_wstring(static_cast<int>(row.variant));
    }
    return numbers;
}

bool IsPlainName(const std::wstring& text) {
    return text.find_first_of(L"\\/:") == std::wstring::npos;
}

bool Check(const SampleOptions& options, std::wstring& error) {
    if (options.keyList.empty() || options.outputDirectory.empty() || options.inputs.empty()) {
        error = L"--keys, --out and at least one input are needed";
    } else if (FormatOf(Variant{options.variant}) == nullptr) {
        error = L"--variant must be one of the format's: " + VariantNumbers();
    } else if (!options.extension.empty() &&
               (options.extension.size() < 2 || options.extension[0] != L'.' ||
                !IsPlainName(options.extension))) {
        error = L"--ext must be a dot and at least one character, without \\, / or :";
    } else if (!options.name.empty() && options.inputs.size() != 1) {
        error = L"--name goes with one input only";
    } else if (options.hasPlainSize &&
               FormatOf(Variant{options.variant})->plainSizeOffset == format::NoField) {
        error = L"--plain-size: the variant has no plain size in its footer";
    } else if (options.hasFactors && EnciphersWholeData(*FormatOf(Variant{options.variant}))) {
        error = L"--factors goes with a variant that enciphers a leading part only";
    } else {
        return true;
    }
    return false;
}

} // namespace

bool ParseOptions(int argc, wchar_t** argv, SampleOptions& options, std::wstring& error) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring argument = argv[i];
        if (argument.rfind(L"--", 0) != 0) {
            options.inputs.push_back(argument);
            continue;
        }
        if (i + 1 >= argc) {
            error = argument + L" needs a value";
            return false;
        }
        const std::wstring value = argv[++i];
        uint64_t number = 0;
        bool valid = true;
        if (argument == L"--keys") {
            options.keyList = value;
        } else if (argument == L"--out") {
            options.outputDirectory = value;
        } else if (argument == L"--variant") {
            valid = ParseUnsigned(value, 9, number);
            options.variant = static_cast<int>(number);
        } else if (argument == L"--key") {
            valid = ParseUnsigned(value, UINT32_MAX, number);
            options.keyIndex = static_cast<uint32_t>(number);
        } else if (argument == L"--ext") {
            options.extension = value;
        } else if (argument == L"--name") {
            options.name = value;
        } else if (argument == L"--plain-size") {
            valid = ParseUnsigned(value, UINT64_MAX, options.plainSize);
            options.hasPlainSize = true;
        } else if (argument == L"--factors") {
            valid = ParseFactors(value, options);
        } else {
            error = L"unknown option " + argument;
            return false;
        }
        if (!valid) {
            error = L"bad value for " + argument + L": " + value;
            return false;
        }
    }
    return Check(options, error);
}
