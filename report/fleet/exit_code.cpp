#include "fleet/exit_code.h"

namespace report {

namespace {

/// What each bit says, from bit 0 up.
constexpr const wchar_t* BitMeanings[] = {
    L"infected files were not cleaned by the latest run that met them",
    L"machines' latest runs crashed, were cut off or stopped before their walk",
    L"logs are damaged",
    L"files are not logs of the tool, or no log was found",
    L"the report could not be made in full",
    L"machines on the list of machines expected sent no log",
};

} // namespace

int ExitCodeOf(const Totals& totals) {
    int code = 0;
    if (totals.NotCleanedNow() != 0) {
        code |= exit_bit::NotCleaned;
    }
    if (totals.machinesNotEnded != 0) {
        code |= exit_bit::RunsNotEnded;
    }
    if (totals.damaged != 0) {
        code |= exit_bit::Damaged;
    }
    if (totals.notLogs != 0 || totals.runs == 0) {
        code |= exit_bit::NotLogs;
    }
    if (totals.machinesWithoutLog != 0) {
        code |= exit_bit::NoLog;
    }
    return code;
}

std::vector<std::wstring> ExitCodeMeaning(int code) {
    std::vector<std::wstring> texts;
    for (int i = 0; i < static_cast<int>(sizeof BitMeanings / sizeof BitMeanings[0]); ++i) {
        const int bit = 1 << i;
        if ((code & bit) != 0) {
            texts.push_back(std::to_wstring(bit) + L": " + BitMeanings[i]);
        }
    }
    if (texts.empty()) {
        texts.push_back(L"0: every run ended and every infected file was cleaned");
    }
    return texts;
}

} // namespace report
