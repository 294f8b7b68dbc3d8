#include "driver/entry.h"

#include <objbase.h>

#include <cstdio>

#include "driver/crash_details.h"
#include "driver/log_name.h"
#include "logging/console_handler.h"
#include "logging/lines.h"
#include "logging/log_file.h"
#include "platform/system_functions.h"

namespace {

/// details: what crashed, and where, for the log (DescribeFault).
int ReportCrash(const std::wstring& details) {
    // The log first, and each on its own: a console that can no longer draw, or that faults
    // while drawing, must not keep the crash out of the log.
    try {
        LogLine(log_text::FatalError);
        LogLine(log_text::CrashDetails, details);
        LogLine(log_text::EndAfterCrash);
    } catch (...) {
        // The log's disk is full or gone: the console may still say it.
    }
    try {
        PrintLine(log_text::FatalError.text, color::Error);
    } catch (...) {
    }
    return static_cast<int>(ExitCode::Crashed);
}

bool faultReported = false;

/// A fault that no handler took (an access violation, say) ends the run as an escaped exception
/// does, instead of calling for the system's error dialog, which an unattended run would wait
/// on for ever. The run's objects are not unwound: the stack is not to be trusted.
LONG WINAPI EndRunOnFault(EXCEPTION_POINTERS* fault) {
    // A second fault while the first is being reported ends the process at once.
    if (!faultReported) {
        faultReported = true;
        ReportCrash(DescribeFault(*fault->ExceptionRecord));
    }
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(ExitCode::Crashed));
    return EXCEPTION_EXECUTE_HANDLER;
}

/// Puts the fault filter in place for the run and the previous one back after it.
class FaultFilterScope {
public:
    FaultFilterScope() : previous(SetUnhandledExceptionFilter(EndRunOnFault)) {}
    ~FaultFilterScope() { SetUnhandledExceptionFilter(previous); }
    FaultFilterScope(const FaultFilterScope&) = delete;
    FaultFilterScope& operator=(const FaultFilterScope&) = delete;

private:
    LPTOP_LEVEL_EXCEPTION_FILTER previous;
};

} // namespace

int RunEntry(int argc, wchar_t** argv, RunFunction run) {
    sys::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (!TheLogFile.Open(MakeLogFileName())) {
        wprintf(L"Couldn't create logfile!");
        return static_cast<int>(ExitCode::LogNotCreated);
    }
    const FaultFilterScope faultFilter;
    try {
        LogLine(log_text::Begin);
        const int result = static_cast<int>(run(argc, argv));
        LogLine(log_text::End);
        return result;
    } catch (...) {
        return ReportCrash(DescribeLanguageException());
    }
}
