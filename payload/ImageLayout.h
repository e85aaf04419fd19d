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

// The value stored in the field.
rc::Result ReadPayloadOffset(const std::uint8_t* image, std::size_t size, std::uint32_t& value);

// Stores `value` in the field.
rc::Result PatchPayloadOffset(std::vector<std::uint8_t>& image, std::uint32_t value);

}  // namespace payload
