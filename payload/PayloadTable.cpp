#include "payload/PayloadTable.h"

#include <array>

#include "messages/logFile.h"
#include "payload/FileStream.h"
#include "payload/PackageReporter.h"
#include "payload/PayloadExtraction.h"

// The field lives in its own section so that it can be found without searching.
extern "C" {
__attribute__((section(".lvpoff"), used)) volatile std::uint32_t PayloadOffset = 0;
}

payload::PayloadBlock Payload;

rc::Result ReadPayloadTable() {
  LogEnter(L"ReadPayloadTable", PackageCopyPath);
  FileStream package;
  rc::Result result = package.OpenRead(PackageCopyPath);
  if (result == rc::kOk) result = package.Seek(PayloadOffset);
  std::array<std::uint8_t, payload::kBlockSize> bytes{};
  std::uint32_t got = 0;
  if (result == rc::kOk) result = ReadExactly(package, bytes.data(), payload::kBlockSize, got);
  if (result == rc::kShortRead) result = rc::kPackageTooShort;
  if (result == rc::kOk) {
    result = payload::ParseBlock(bytes.data(), got, Payload);
    if (result == rc::kOk) result = ExtractPayloadFile(package, payload::kSlotDecompressor, false);
    // ExtractPayloadFile reports its own failures.
  } else {
    payload::Reporter().ShowInstallError(result, PackageCopyPath);
  }
  package.Close();
  LogLeave(L"ReadPayloadTable");
  return result;
}
