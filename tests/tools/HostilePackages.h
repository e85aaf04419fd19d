// Test-only generator of damaged and hostile installers: packages that lvpack's
// build refuses to write, made by editing a sound installer's block or data.
// Built on both sides, so that Windows tests can feed them to the installer.
#pragma once

#include <cstdint>
#include <string>

#include "tools/lvpack/Installer.h"

namespace hostile {

// Record edits (the installer's block is rewritten in place).
void SetDestination(lvpack::InstallerFile& file, int slot, std::int32_t destination);
void SetRecordName(lvpack::InstallerFile& file, int slot, const std::string& name);
void SetRange(lvpack::InstallerFile& file, int slot, std::int32_t firstByte, std::int32_t lastByte);
void SetUnpackedSize(lvpack::InstallerFile& file, int slot, std::int32_t unpackedSize);
void EmptySlot(lvpack::InstallerFile& file, int slot);
void SetSaverName(lvpack::InstallerFile& file, const std::string& name);
// Flips the bits of the stored byte `index` of a record (for a compressed
// record, a damaged implode stream).
void DamageStoredByte(lvpack::InstallerFile& file, int slot, std::uint32_t index);
// Cuts the file to `size` bytes (for example shorter than PayloadOffset + 3,152).
void Truncate(lvpack::InstallerFile& file, std::size_t size);

// Data-file edits; slot 8 must be stored (not compressed).
void SetDataEntryCount(lvpack::InstallerFile& file, std::int32_t count);
void SetDataEntryName(lvpack::InstallerFile& file, int entry, const std::string& name);
void SetDataChunkOffset(lvpack::InstallerFile& file, int entry, std::int32_t offset);
void SetDataChunkUnpackedSize(lvpack::InstallerFile& file, int entry, std::int32_t size);

}  // namespace hostile
