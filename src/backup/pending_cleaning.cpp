#include "backup/pending_cleaning.h"

PendingCleaning::~PendingCleaning() {
    if (settled) {
        return;
    }
    // A destructor must not throw: when the log refuses a line here, the failure that is
    // unwinding is reported by the entry function, and a record left behind is taken up by the
    // next run.
    try {
        if (placed) {
            Complete();
        } else {
            Abandon();
        }
    } catch (...) {
    }
}

bool PendingCleaning::BackUp() {
    backedUp = MoveToBackup(record.SourcePath(), record.BackupPath());
    return backedUp;
}

void PendingCleaning::Complete() {
    settled = true;
    RemoveOwnFile(record.RecordPath());
}

void PendingCleaning::Abandon() {
    settled = true;
    // The file first: until it is back under its name, the record is what says where it is.
    if (backedUp && RestoreBackup(record.BackupPath(), record.SourcePath())) {
        backedUp = false;
    }
    RemoveOwnFile(record.PartialPath());
    RemoveOwnFile(record.RecordPath());
}
