// A private machine for each extraction test: its own work, system and data
// folders under TEMP (never the real system folder), boxes answered by script
// and recorded, the package code's reports recorded, and a package builder.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "dcl/DclBuffer.h"
#include "messages/MessageBox.h"
#include "payload/PackageReporter.h"
#include "payload/PayloadExtraction.h"
#include "payload/PayloadFormat.h"
#include "payload/PayloadTable.h"
#include "system/LMV_FileUtils.h"

namespace lvtest {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kImageSize = 512;  // bytes standing in for the executable image

Bytes BytesOf(const std::string& text);
Bytes PatternBytes(std::size_t size, std::uint8_t seed);

// Assembles image + header + table + data the way the packaging tool lays them
// out. Records can be edited after they are added (names, ranges, sizes).
class PackageBuilder {
 public:
  PackageBuilder();
  payload::PayloadHeader& Header() { return block_.header; }
  payload::PayloadRecord& Record(int slot) { return block_.records[static_cast<std::size_t>(slot)]; }

  // A stored record holding `bytes`.
  payload::PayloadRecord& Stored(int slot, const std::string& name, int destination,
                                 const Bytes& bytes);
  // A compressed record: `original` imploded, unpackedSize its length.
  payload::PayloadRecord& Compressed(int slot, const std::string& name, int destination,
                                     const Bytes& original);
  // Slot 1 with the real decompressor library built beside the tests.
  void RealDecompressor();

  Bytes Build() const;
  void WriteTo(const std::wstring& path) const;

 private:
  payload::PayloadRecord& Add(int slot, const std::string& name, int destination,
                              const Bytes& stored);
  payload::PayloadBlock block_;
  Bytes data_;
};

// A box, or an error the package code reported (kind Error, text the detail).
struct SeenBox {
  BoxKind kind;
  std::wstring text;
  rc::Result code = 0;
};

bool FileExistsAt(const std::wstring& path);
Bytes ReadAll(const std::wstring& path);
void WriteAll(const std::wstring& path, const Bytes& bytes);
// Every file and folder below `folder`, as relative paths, sorted.
std::vector<std::wstring> ListTree(const std::wstring& folder);
// The folder of the running test program, ending with a backslash.
std::wstring ProgramFolder();

// A file held open without any sharing, so that it cannot be deleted.
class LockedFile {
 public:
  explicit LockedFile(const std::wstring& path);
  ~LockedFile();
  LockedFile(const LockedFile&) = delete;
  LockedFile& operator=(const LockedFile&) = delete;
  bool Locked() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

class ExtractionTest : public ::testing::Test, public payload::PackageReporter {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes the package as the installer's copy and reads its table.
  rc::Result InstallPackage(const PackageBuilder& package);
  // Extracts one slot from the package copy, as the installation does.
  rc::Result ExtractSlot(int slot, bool showStatus = false);

  std::wstring root_;
  std::wstring work_;    // WorkFolder
  std::wstring system_;  // SystemFolder
  std::wstring data_;    // SaverDataFolder
  // What the package code reports.
  void ShowStatus(const std::wstring& text) override;
  void StepProgress() override { ++steps_; }
  void ShowInstallError(rc::Result code, const std::wstring& detail) override {
    boxes_.push_back({BoxKind::Error, detail, code});
  }
  bool CancelRequested() const override { return cancelRequested_; }

  std::vector<SeenBox> boxes_;
  std::vector<std::wstring> statusTexts_;
  int steps_ = 0;
  bool cancelRequested_ = false;
  // Runs after each status text with the number of texts so far.
  std::function<void(std::size_t)> onStatus_;
  PackageBuilder package_;
};

}  // namespace lvtest
