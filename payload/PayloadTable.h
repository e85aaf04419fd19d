// The package table of the running installer: where the package starts in the
// installer file, and the header and record table read from it at start-up.
#pragma once

#include <cstdint>

#include "payload/PayloadFormat.h"
#include "system/ResultCodes.h"

// Length of the executable image in front of the package. It sits in a PE
// section of its own (".lvpoff") so that the tool that appends a package can
// find the field through the section table and write the image length there.
extern "C" volatile std::uint32_t PayloadOffset;

// Header and table of the package, filled once by ReadPayloadTable and read by
// slot number afterwards. The only later change is the rename of slot 3 for
// pictures (ExtractDisplayContent).
extern payload::PayloadBlock Payload;

// Reads header and table from PackageCopyPath at PayloadOffset, then extracts
// slot 1 (the decompressor library) without status text. A copy too short for
// the table gives rc::kPackageTooShort with its error box; a failed open, seek
// or read gives the Windows error code with its box.
rc::Result ReadPayloadTable();
