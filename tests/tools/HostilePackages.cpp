#include "tests/tools/HostilePackages.h"

#include <stdexcept>

#include "payload/LittleEndian.h"
#include "payload/SaverDataFormat.h"

namespace hostile {
namespace {

payload::PayloadRecord& Record(lvpack::InstallerFile& file, int slot) {
  payload::PayloadRecord* r = file.block.Slot(slot);
  if (!r) throw std::out_of_range("no such slot");
  return *r;
}

// The stored data file's bytes inside the installer.
std::uint8_t* DataFile(lvpack::InstallerFile& file, std::size_t need) {
  const payload::PayloadRecord& r = Record(file, payload::kSlotSaverDataFile);
  if (r.compressed || r.IsEmpty()) throw std::logic_error("slot 8 must be stored");
  if (static_cast<std::size_t>(r.lastByte - r.firstByte + 1) < need)
    throw std::logic_error("data file too short for this edit");
  return file.bytes.data() + r.firstByte;
}

std::size_t EntryAt(int entry) {
  return payload::kSettingsSize + static_cast<std::size_t>(entry - 1) * payload::kEntrySize;
}

}  // namespace

void SetDestination(lvpack::InstallerFile& file, int slot, std::int32_t destination) {
  Record(file, slot).destination = destination;
  lvpack::StoreBlock(file);
}

void SetRecordName(lvpack::InstallerFile& file, int slot, const std::string& name) {
  if (!Record(file, slot).SetName(name)) throw std::length_error("name over 255 bytes");
  lvpack::StoreBlock(file);
}

void SetRange(lvpack::InstallerFile& file, int slot, std::int32_t firstByte, std::int32_t lastByte) {
  Record(file, slot).firstByte = firstByte;
  Record(file, slot).lastByte = lastByte;
  lvpack::StoreBlock(file);
}

void SetUnpackedSize(lvpack::InstallerFile& file, int slot, std::int32_t unpackedSize) {
  Record(file, slot).unpackedSize = unpackedSize;
  lvpack::StoreBlock(file);
}

void EmptySlot(lvpack::InstallerFile& file, int slot) {
  Record(file, slot).nameLength = 0;
  lvpack::StoreBlock(file);
}

void SetSaverName(lvpack::InstallerFile& file, const std::string& name) {
  if (!payload::SetScreenSaverName(file.block.header, name)) throw std::length_error("name over 64 bytes");
  lvpack::StoreBlock(file);
}

void DamageStoredByte(lvpack::InstallerFile& file, int slot, std::uint32_t index) {
  const payload::PayloadRecord& r = Record(file, slot);
  file.bytes.at(static_cast<std::size_t>(r.firstByte) + index) ^= 0xFF;
}

void Truncate(lvpack::InstallerFile& file, std::size_t size) { file.bytes.resize(size); }

void SetDataEntryCount(lvpack::InstallerFile& file, std::int32_t count) {
  payload::StoreI32(DataFile(file, payload::kSettingsSize) + payload::kEntryCountOffset, count);
}

void SetDataEntryName(lvpack::InstallerFile& file, int entry, const std::string& name) {
  std::uint8_t* e = DataFile(file, EntryAt(entry) + payload::kEntrySize) + EntryAt(entry);
  payload::SaverEntry parsed = payload::ParseEntry(e);
  if (!parsed.SetName(name)) throw std::length_error("entry name too long");
  payload::SerializeEntry(parsed, e);
}

void SetDataChunkOffset(lvpack::InstallerFile& file, int entry, std::int32_t offset) {
  std::uint8_t* e = DataFile(file, EntryAt(entry) + payload::kEntrySize) + EntryAt(entry);
  payload::StoreI32(e + 260, offset);
}

void SetDataChunkUnpackedSize(lvpack::InstallerFile& file, int entry, std::int32_t size) {
  std::uint8_t* data = DataFile(file, EntryAt(entry) + payload::kEntrySize);
  const payload::SaverEntry e = payload::ParseEntry(data + EntryAt(entry));
  std::uint8_t* chunk = DataFile(file, static_cast<std::size_t>(e.chunkOffset) + payload::kChunkHeaderSize) +
                        e.chunkOffset;
  payload::StoreI32(chunk + 8, size);
}

}  // namespace hostile
