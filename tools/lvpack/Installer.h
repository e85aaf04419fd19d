// Reading an assembled installer: the image's PayloadOffset, the header and
// table behind it, and each record's data, with every check of the package
// format applied before any data is used. An installer on disk is read in
// pieces (the table first, then each record as it is needed); one held in
// memory (tools and tests that edit packages) can have its block stored back.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "payload/ImageLayout.h"
#include "payload/PayloadFormat.h"
#include "tools/lvpack/FileIo.h"

namespace lvpack {

struct InstallerFile : ByteSource {
  fs::path path;
  Bytes bytes;                         // the whole file, for an installer held in memory
  std::shared_ptr<InputFile> file;     // the file on disk (LoadInstaller)
  std::uint32_t payloadOffset = 0;
  payload::PayloadBlock block;
  payload::CertificateTable certificates;  // an Authenticode signature, when offset != 0

  std::uint64_t Size() const override;
  void ReadAt(std::uint64_t offset, void* buffer, std::size_t n) const override;
};

// ToolError when the file is not an installer image (input), or is shorter
// than PayloadOffset + 3,152 bytes (I/O: a damaged installer). Only the
// headers and the table are read.
InstallerFile LoadInstaller(const fs::path& path);
InstallerFile ParseInstaller(const fs::path& path, Bytes bytes);

// Writes `file.block` back into `file.bytes` at PayloadOffset (in memory only).
void StoreBlock(InstallerFile& file);

// "slot 6 (Night.scr)" for messages.
std::string SlotLabel(const InstallerFile& file, int slot);

// A name from a package for the terminal: control characters shown as '?'.
std::string Printable(const std::string& cp932);

// A result code of the package checks in words.
std::string DescribeCode(std::int32_t code);

// The first offset behind the package: behind the table and every record.
std::uint64_t PackageEnd(const InstallerFile& file);

// Checks a non-empty record and writes its file to `to` (nullptr: only
// checks): the stored bytes, or the exploded bytes of a compressed record,
// checked against unpackedSize. Returns what is wrong, or "" when sound.
std::string CopyRecordContent(const InstallerFile& file, int slot, ByteSink* to,
                              const ProgressFn& progress = {});

// Writes the file of a non-empty record to `to`: the stored bytes, or for a
// compressed record the exploded bytes, checked against unpackedSize.
// ToolError (I/O) "slot N (name): ..." when the record is unsound.
void WriteRecordContent(const InstallerFile& file, int slot, ByteSink& to,
                        const ProgressFn& progress = {});

// The file of a sound, non-empty record as a source to read from: its bytes
// inside the installer, or for a compressed record an exploded copy in
// `scratch`, which must outlive the source.
std::unique_ptr<ByteSource> OpenRecordContent(const InstallerFile& file, int slot,
                                              std::unique_ptr<ScratchFile>& scratch);

// The record's file in memory (small records and tests).
Bytes RecordContent(const InstallerFile& file, int slot);

// Header and table in readable form, names in UTF-8; and the same as JSON
// (the schema is in the README).
std::string Listing(const InstallerFile& file);
std::string ListingJson(const InstallerFile& file);

}  // namespace lvpack
