// Fuzz target: the package header and record table as the installer reads
// them, with the destination rule and the record checks. The input is the
// package file with its block at offset 0; record offsets point into it.
#include <cstdint>
#include <cstring>

#include "payload/PayloadFormat.h"
#include "tests/fuzz/FuzzCheck.h"

using namespace payload;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  PayloadBlock block;
  const rc::Result parsed = ParseBlock(data, size, block);
  if (size < kBlockSize) {
    FUZZ_CHECK(parsed == rc::kPackageTooShort, "short block accepted");
    return 0;
  }
  FUZZ_CHECK(parsed == rc::kOk, "full block refused");
  const auto written = SerializeBlock(block);
  FUZZ_CHECK(std::memcmp(written.data(), data, kBlockSize) == 0, "block does not write back byte for byte");

  const std::string saverName = ScreenSaverNameBytes(block.header);
  FUZZ_CHECK(saverName.size() <= kSaverNameSize, "saver name longer than its field");
  if (ValidateScreenSaverName(saverName) == rc::kOk)
    FUZZ_CHECK(fuzzcheck::IsPlainCp932Name(saverName), "unsafe saver name accepted: " + saverName);

  FUZZ_CHECK(block.Slot(-1) == nullptr && block.Slot(kSlotCount) == nullptr, "slot outside the table");
  for (int slot = 0; slot < kSlotCount; ++slot) {
    const PayloadRecord& record = *block.Slot(slot);
    FUZZ_CHECK(record.Name().size() == record.nameLength, "name length");

    Destination where;
    if (DestinationOf(record, where) == rc::kOk) {
      FUZZ_CHECK(fuzzcheck::IsPlainCp932Name(where.fileName),
                 "destination leaves its folder: " + where.fileName);
      FUZZ_CHECK(record.destination >= 1 && record.destination <= 10 && record.destination != 8 &&
                     record.destination != 9,
                 "destination kind without a path accepted");
    }

    std::uint32_t length = 0;
    if (StoredLength(record, length) == rc::kOk) {
      FUZZ_CHECK(record.firstByte >= 0 && length >= 1, "stored range");
      FUZZ_CHECK(std::int64_t{record.firstByte} + length - 1 == record.lastByte, "stored length");
    }

    if (ValidateRecord(record, size) == rc::kOk) {
      FUZZ_CHECK(!record.IsEmpty(), "empty record accepted");
      FUZZ_CHECK(StoredLength(record, length) == rc::kOk, "valid record without a length");
      FUZZ_CHECK(static_cast<std::uint64_t>(record.firstByte) + length <= size, "record data beyond the file");
      FUZZ_CHECK(record.compressed == 0 || record.unpackedSize >= 0, "negative unpacked size accepted");
      fuzzcheck::Touch(data + record.firstByte, length);
    }
  }
  return 0;
}
