// The installer image's PayloadOffset field. The installer keeps the value in
// a PE section of its own, ".lvpoff", so that the tool assembling an installer
// finds it through the section table and the installer never searches its file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "system/ResultCodes.h"

namespace payload {

constexpr char kPayloadOffsetSection[] = ".lvpoff";

// File offset of the 32-bit field: the first bytes of the ".lvpoff" section's
// raw data. rc::kNotPeImage when the bytes are not an x86 (PE32) or x64 (PE32+) file;
// rc::kNoPayloadOffsetField when the section is missing, shorter than 4 bytes
// or its data lie outside the image.
rc::Result FindPayloadOffsetField(const std::uint8_t* image, std::size_t size,
                                  std::size_t& fieldOffset);
// The same for a file of `fileSize` bytes of which `headers` holds the first
// `size` bytes (the PE headers at least): tools find the field without
// reading a whole installer.
rc::Result FindPayloadOffsetField(const std::uint8_t* headers, std::size_t size,
                                  std::uint64_t fileSize, std::size_t& fieldOffset);

// The Authenticode certificate table that signing appends to a file: the
// "security" entry of the optional header's data directories, which holds a
// file offset and a length (both 0 in an unsigned file).
struct CertificateTable {
  std::size_t checksumOffset = 0;  // file offset of the optional header's CheckSum (signing sets it)
  std::size_t entryOffset = 0;  // file offset of the 8-byte directory entry
  std::uint32_t offset = 0;     // file offset of the table; 0 when unsigned
  std::uint32_t size = 0;
};
// rc::kNotPeImage when the headers have no such entry.
rc::Result FindCertificateTable(const std::uint8_t* headers, std::size_t size, CertificateTable& out);

// The value stored in the field.
rc::Result ReadPayloadOffset(const std::uint8_t* image, std::size_t size, std::uint32_t& value);

// Stores `value` in the field.
rc::Result PatchPayloadOffset(std::vector<std::uint8_t>& image, std::uint32_t value);

}  // namespace payload
