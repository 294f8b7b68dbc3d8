#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "fleet/machine_state.h"
#include "fleet/sorted_spool.h"
#include "io/files.h"
#include "io/outputs.h"

namespace report {

/// What the page knows of the machines after reading them once, worst first: how many stand
/// in each state, and which of those in need have a line of the action list.
struct MachineList {
    /// Machines in need with a line and their details: the worst that sent a log.
    static constexpr uint64_t Listed = 500;
    /// Names of machines expected that sent no log, and rows of clean machines, shown.
    static constexpr uint64_t NamedWithoutLog = 1000;
    static constexpr uint64_t ListedClean = 500;

    uint64_t crashed = 0;
    uint64_t cutOff = 0;
    uint64_t withoutLog = 0;
    uint64_t failed = 0;
    uint64_t notYetCleaned = 0;
    uint64_t stoppedEarly = 0; ///< among notYetCleaned: latest run stopped before its walk
    uint64_t clean = 0;

    /// A listed machine's place in the action list, from 0; false when it has none.
    bool Position(const std::wstring& name, const std::wstring& guid, uint64_t& position) const;
    void List(const MachineState& machine);
    uint64_t ListedCount() const { return positions.size(); }

private:
    std::map<std::wstring, uint64_t> positions;
};

/// Reads the machines (MachineRecords, worst first) once: counts them, lists the worst in
/// need, and writes the names of those expected that sent no log and the rows of the clean
/// ones (as many as the page shows) into scratch files.
[[nodiscard]] bool ReadMachines(SortedSpool& machines, uint64_t largest, MachineList& list,
                                TempFile& withoutLog, TempFile& cleanRows);

/// The opening of the table of clean machines, with its heading row.
std::string CleanTableStart();

/// The machines that need action grouped by site (records of the site, then a MachineRecord):
/// a line per site naming them, worst first; a listed one links to its line. The first sites
/// and the first names of each are shown, the rest counted.
[[nodiscard]] bool InNeedBySite(ITextOut& out, SortedSpool& bySite, const MachineList& list);

} // namespace report
