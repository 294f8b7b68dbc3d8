#pragma once

#include "backup/cleaning_record.h"

/// One file's cleaning from its written record to its end. Until the output is in place, leaving
/// it, by a failure or by an exception on the way out, puts the encrypted file back and removes
/// the partial output and the record: a failed cleaning leaves nothing else behind.
class PendingCleaning {
public:
    /// backedUp: the file is under its backup name already (a cleaning taken up again).
    PendingCleaning(const CleaningRecord& record, bool backedUp)
        : record(record), backedUp(backedUp) {}
    ~PendingCleaning();
    PendingCleaning(const PendingCleaning&) = delete;
    PendingCleaning& operator=(const PendingCleaning&) = delete;

    /// Moves the file to its backup name, never over a file that has that name.
    [[nodiscard]] bool BackUp();
    /// The decrypted file has its name: from now on the backup stays where it is.
    void OutputPlaced() { placed = true; }
    /// The cleaning is over: the record goes, and only the record. Once an output is placed,
    /// leaving does the same.
    void Complete();
    /// Puts the file back and removes the partial output and the record.
    void Abandon();

private:
    CleaningRecord record;
    bool backedUp;
    bool placed = false;
    bool settled = false;
};
