// Reading an assembled installer: the image's PayloadOffset, the header and
// table behind it, and each record's data, with every check of the package
// format applied before any data is used. Also the way back: a changed block
// can be stored into the file again (for tools and tests that edit packages).
#pragma once

#include <cstdint>
#include <string>

#include "payload/PayloadFormat.h"
#include "tools/lvpack/FileIo.h"

namespace lvpack {

struct InstallerFile {
  fs::path path;
  Bytes bytes;
  std::uint32_t payloadOffset = 0;
  payload::PayloadBlock block;
};

// ToolError when the file is not an installer image, has no PayloadOffset set,
// or is shorter than PayloadOffset + 3,152 bytes.
InstallerFile LoadInstaller(const fs::path& path);
InstallerFile ParseInstaller(const fs::path& path, Bytes bytes);

// Writes `file.block` back into `file.bytes` at PayloadOffset.
void StoreBlock(InstallerFile& file);

// "slot 6 (Night.scr)" for messages.
std::string SlotLabel(const InstallerFile& file, int slot);

// A result code of the package checks in words.
std::string DescribeCode(std::int32_t code);

// The stored bytes of a non-empty record, after ValidateRecord.
// ToolError "slot N (name): ..." otherwise.
Bytes StoredData(const InstallerFile& file, int slot);

// The record's file: stored bytes, or exploded and checked against
// unpackedSize for a compressed record.
Bytes RecordContent(const InstallerFile& file, int slot);

// Header and table in readable form, names in UTF-8.
std::string Listing(const InstallerFile& file);

}  // namespace lvpack
