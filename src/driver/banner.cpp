#include "driver/banner.h"

#include <iterator>

#include "logging/console_handler.h"
#include "logging/lines.h"
#include "logging/log_file.h"

namespace {

/// The date this release was built; fixed so that every build of it prints the same header.
constexpr const wchar_t* BuildDate = L"Oct 24 2018";

/// The letters B and D, for the family and its decryptor, in the colours of the two.
struct ArtRow {
    const wchar_t* family;
    const wchar_t* decryptor;
};

// clang-format off
const ArtRow art[] = {
    {L"  #######  ", L" ######   "},
    {L"  ##    ## ", L" ##   ##  "},
    {L"  ##    ## ", L" ##    ## "},
    {L"  ##   ##  ", L" ##    ## "},
    {L"  #######  ", L" ##    ## "},
    {L"  ##    ## ", L" ##    ## "},
    {L"  ##    ## ", L" ##    ## "},
    {L"  ##    ## ", L" ##   ##  "},
    {L"  #######  ", L" ######   "},
};
// clang-format on
constexpr WORD FamilyColor = color::Error;
constexpr WORD DecryptorColor = color::Success;
constexpr const wchar_t* Gap = L"   ";

struct RowText {
    std::wstring text;
    WORD attribute; ///< unused without a text
};

/// Trailing blanks would only pad the log's lines.
std::wstring WithoutTrailingBlanks(std::wstring text) {
    text.erase(text.find_last_not_of(L' ') + 1);
    return text;
}

} // namespace

void PrintBanner(const std::wstring& title, const std::wstring& version) {
    const RowText texts[] = {
        {L"", 0},
        {L"", 0},
        {title, color::Heading},
        {L"Version: " + version, color::Emphasis},
        {std::wstring(L"Built: ") + BuildDate, color::Emphasis},
        {L"", 0},
        {L"Restores files encrypted by the Bristoke malware.", color::Warning},
        {L"A backup of each encrypted file stays beside it.", color::Warning},
        {L"", 0},
    };
    static_assert(std::size(texts) == std::size(art));

    WriteBlankLines();
    for (size_t row = 0; row < std::size(art); ++row) {
        const RowText& text = texts[row];
        const std::wstring decryptor =
            text.text.empty() ? WithoutTrailingBlanks(art[row].decryptor) : art[row].decryptor;
        TheConsole << ConsoleColor(FamilyColor) << art[row].family << ConsoleColor(DecryptorColor)
                   << decryptor << ConsoleColor(color::Normal);
        std::wstring logged = art[row].family + decryptor;
        if (!text.text.empty()) {
            TheConsole << Gap << ConsoleColor(text.attribute) << text.text
                       << ConsoleColor(color::Normal);
            logged += Gap + text.text;
        }
        TheConsole << L"\r\n";
        LogLine(prefix::None, logged);
    }
}
