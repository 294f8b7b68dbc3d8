#include "driver/run_modes.h"

#include <cwctype>

#include "driver/log_name.h"
#include "logging/console_handler.h"
#include "logging/lines.h"
#include "logging/log_file.h"

namespace {

constexpr uint32_t HelpRequest = 0x80000000u;

/// The switch an argument stands for, 0 when it is a path.
uint32_t SwitchOf(const wchar_t* argument) {
    if ((argument[0] != L'-' && argument[0] != L'/') || argument[1] == L'\0') {
        return 0;
    }
    switch (std::towlower(argument[1])) {
    case L's':
        return FlagBit(ModeFlags::Silent);
    case L'f':
        return FlagBit(ModeFlags::Forced);
    case L'd':
        return FlagBit(ModeFlags::Debug);
    case L'n':
        return FlagBit(ModeFlags::NoCleaning);
    case L'h':
    case L'?':
        return HelpRequest;
    default:
        return 0;
    }
}

void PrintModeNotices(const RunModes& modes) {
    struct Notice {
        ModeFlags flag;
        LineText line;
    };
    static const Notice notices[] = {
        {ModeFlags::Silent, log_text::SilentMode},
        {ModeFlags::Forced, log_text::ForcedMode},
        {ModeFlags::Debug, log_text::DebugMode},
        {ModeFlags::NoCleaning, log_text::ListOnlyMode},
    };
    WriteRules();
    for (const Notice& notice : notices) {
        if (modes.Has(notice.flag)) {
            PrintAndLogLine(notice.line, color::Warning);
        }
    }
    WriteRules();
    WriteBlankLines();
}

void UsageLine(const std::wstring& text) {
    PrintAndLogLine(text, 0, prefix::None);
}

} // namespace

bool RunModes::ParseCommandLine(int argc, wchar_t** argv) {
    flags = 0;
    bool helpRequested = false;
    if (argc < 2) {
        return false;
    }
    for (int i = 1; i < argc; ++i) {
        const uint32_t found = SwitchOf(argv[i]);
        if (found == HelpRequest) {
            helpRequested = true;
        } else if (found != 0) {
            flags |= found;
        } else {
            paths.emplace_back(argv[i]);
        }
    }
    if (flags != 0) {
        PrintModeNotices(*this);
    }
    return helpRequested;
}

RunModes& GetRunModes() {
    static RunModes modes;
    return modes;
}

void ShowUsage(ICustomArgumentParser& parser) {
    UsageLine(L"");
    PrintAndLogLine(log_text::Usage, 0);
    UsageLine(GetExecutableName() + L" [options] <filename(s) or directory name(s)>");
    UsageLine(L"");
    UsageLine(L"Options:");
    UsageLine(L"  /s - Silent mode.");
    UsageLine(L"  /f - Forced clean.");
    UsageLine(L"  /d - Debug mode.");
    UsageLine(L"  /n - Only list files for cleaning (don't clean).");
    UsageLine(L"  /h or /? - Show usage.");
    UsageLine(L"");
    UsageLine(L"Exit codes:");
    UsageLine(L"  0 - Finished: every infected file cleaned, or listed with /n.");
    UsageLine(L"  1 - Usage shown.");
    UsageLine(L"  2 - Finished, but a file was not cleaned or a path names nothing: see the log.");
    UsageLine(L"  6 - Another instance is running.");
    UsageLine(L"  8 - Windows version not supported.");
    UsageLine(L"  9 - The cleaner could not start: see the log.");
    UsageLine(L"  10 - Stopped at the environment check.");
    UsageLine(L"  11 - No log file could be created in the current folder; nothing was done.");
    UsageLine(L"  255 - The run crashed: see the log.");
    UsageLine(L"");
    parser.PrintUsage();
    UsageLine(L"");
}
