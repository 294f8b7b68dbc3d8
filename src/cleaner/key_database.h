#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

/// The key database resource as the module holds it; data is null when there is none.
struct KeyResource {
    const uint8_t* data = nullptr;
    DWORD size = 0;
};

/// Finds, loads and locks RCDATA 101 of the own module; a failure is logged.
[[nodiscard]] KeyResource LoadKeyResource();

/// Undoes the producer's scrambling in place.
void DescrambleBuffer(uint8_t* buffer, size_t length);

/// The descrambled body behind a checked header; empty when the resource is missing or corrupt.
[[nodiscard]] std::vector<uint8_t> ReadKeyDatabase(const KeyResource& resource);

/// One Base64 key record imported into a provider context of its own; 0 when it is no key.
/// The context stays open while the key lives, which is until the process ends.
[[nodiscard]] HCRYPTKEY ImportKey(const char* text, DWORD length);

/// Which key set a database holds, whatever keys of it import on this system.
struct KeySetIdentity {
    /// The key records the database holds.
    uint32_t records = 0;
    /// The first 16 hex digits of the SHA-256 of the records as stored, each with its length.
    std::wstring fingerprint;
};

/// Reads the key database and imports every record that imports; false when the database
/// itself cannot be used. What FilecoderCleaner::LoadKeys does with its own members.
[[nodiscard]] bool LoadKeyTable(std::unique_ptr<HCRYPTKEY[]>& table, uint32_t& count,
                                KeySetIdentity& identity);

/// Where the key records of a descrambled body lie, in order: up to the stored count, while the
/// body holds whole records. usable is false for a body too short for its version and count or
/// of a newer version (newer tells which).
struct KeyRecords {
    bool usable = false;
    bool newer = false;
    /// Offset and length of each record's Base64 text in the body.
    std::vector<std::pair<size_t, uint32_t>> texts;
};
[[nodiscard]] KeyRecords FindKeyRecords(const std::vector<uint8_t>& body);

/// The fingerprint of the records of a descrambled body (KeySetIdentity).
[[nodiscard]] std::wstring KeySetFingerprint(const std::vector<uint8_t>& body,
                                             const KeyRecords& records);

/// The records of a descrambled body imported in order; one that does not import is logged
/// with its number and left out. False when the body's version or size makes it unusable.
[[nodiscard]] bool ImportKeyTable(const std::vector<uint8_t>& body,
                                  std::unique_ptr<HCRYPTKEY[]>& table, uint32_t& count,
                                  KeySetIdentity& identity);
