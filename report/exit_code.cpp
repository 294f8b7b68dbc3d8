#include "exit_code.h"

namespace report {

namespace {

struct BitMeaning {
    int bit;
    const wchar_t* text;
};

constexpr BitMeaning Meanings[] = {
    {exit_bit::NotCleaned, L"infected files were not cleaned"},
    {exit_bit::RunsNotEnded, L"runs crashed, were cut off or stopped before their walk"},
    {exit_bit::Damaged, L"logs are damaged"},
    {exit_bit::NotLogs, L"files are not logs of the tool, or no log was found"},
    {exit_bit::NoReport, L"the report could not be made in full"},
};

} // namespace

int ExitCodeOf(const Totals& totals) {
    int code = 0;
    if (totals.NotCleaned() != 0) {
        code |= exit_bit::NotCleaned;
    }
    if (totals.runs != totals.State(RunState::Finished)) {
        code |= exit_bit::RunsNotEnded;
    }
    if (totals.damaged != 0) {
        code |= exit_bit::Damaged;
    }
    if (totals.notLogs != 0 || totals.runs == 0) {
        code |= exit_bit::NotLogs;
    }
    return code;
}

std::vector<std::wstring> ExitCodeMeaning(int code) {
    std::vector<std::wstring> texts;
    for (const BitMeaning& meaning : Meanings) {
        if ((code & meaning.bit) != 0) {
            texts.push_back(std::to_wstring(meaning.bit) + L": " + meaning.text);
        }
    }
    if (texts.empty()) {
        texts.push_back(L"0: every run ended and every infected file was cleaned");
    }
    return texts;
}

} // namespace report
