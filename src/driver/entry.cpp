#include "driver/entry.h"

#include <objbase.h>

#include <cstdio>

#include "driver/log_name.h"
#include "logging/console_handler.h"
#include "logging/lines.h"
#include "logging/log_file.h"
#include "platform/system_functions.h"

namespace {

int ReportCrash() {
    try {
        PrintLine(L"Fatal error occured, consult support.", color::Error);
        LogLine(prefix::Error, L"Fatal error occured, consult support.");
        LogLine(prefix::None, L"End (crash)");
    } catch (...) {
        // The log's disk is full or gone: nothing more can be reported.
    }
    return ExitCode::Crashed;
}

} // namespace

int RunEntry(int argc, wchar_t** argv, RunFunction run) {
    sys::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (!TheLogFile.Open(MakeLogFileName())) {
        wprintf(L"Couldn't create logfile!");
        return ExitCode::Finished;
    }
    try {
        LogLine(prefix::None, L"Begin");
        const int result = run(argc, argv);
        LogLine(prefix::None, L"End");
        return result;
    } catch (...) {
        return ReportCrash();
    }
}
