// Reading the package table from the installer's copy, and the start-up steps
// that set the paths and copy the installer file.
#include "ExtractionFixture.h"
#include "messages/Messages.h"
#include "payload/FileStream.h"
#include "payload/ImageLayout.h"

namespace lvtest {
namespace {

using PayloadTableTest = ExtractionTest;

TEST_F(PayloadTableTest, ReadsHeaderAndTableAndWritesTheDecompressor) {
  package_.Header().offerDisplayProperties = 1;
  package_.Stored(payload::kSlotFlashSetup, "flashax.exe", 3, BytesOf("setup"));
  ASSERT_EQ(InstallPackage(package_), rc::kOk);
  EXPECT_EQ(Payload.header.contentKind, payload::kContentMovieAlt);
  EXPECT_EQ(Payload.header.offerDisplayProperties, 1);
  EXPECT_EQ(Payload.Slot(payload::kSlotFlashSetup)->Name(), "flashax.exe");
  EXPECT_EQ(ReadAll(work_ + L"impborl.dll"), BytesOf("no library here"));
  EXPECT_FALSE(FileExistsAt(work_ + L"flashax.exe")) << "only slot 1 is extracted";
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(PayloadTableTest, PackageAtAnyOffsetIsFoundThroughPayloadOffset) {
  Bytes file(100, 0);  // the package moved 100 bytes further back
  const Bytes package = package_.Build();
  file.insert(file.end(), package.begin(), package.end());
  // Record offsets are absolute: shift them with the package.
  payload::PayloadBlock block;
  ASSERT_EQ(payload::ParseBlock(package.data() + kImageSize, payload::kBlockSize, block), rc::kOk);
  for (auto& record : block.records)
    if (!record.IsEmpty()) { record.firstByte += 100; record.lastByte += 100; }
  const auto table = payload::SerializeBlock(block);
  std::copy(table.begin(), table.end(), file.begin() + 100 + kImageSize);
  WriteAll(PackageCopyPath, file);
  PayloadOffset = kImageSize + 100;
  EXPECT_EQ(ReadPayloadTable(), rc::kOk);
  EXPECT_EQ(ReadAll(work_ + L"impborl.dll"), BytesOf("no library here"));
}

// The field the packaging tool patches in the file is the variable the
// installer reads in memory.
TEST(PayloadOffsetField, IsTheSectionThePackagingToolFinds) {
  wchar_t path[MAX_PATH + 1] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  const Bytes image = ReadAll(path);
  std::size_t fieldOffset = 0;
  ASSERT_EQ(payload::FindPayloadOffsetField(image.data(), image.size(), fieldOffset), rc::kOk);

  const auto* base = reinterpret_cast<const std::uint8_t*>(GetModuleHandleW(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  const IMAGE_SECTION_HEADER* field = nullptr;
  for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section)
    if (std::string(reinterpret_cast<const char*>(section->Name), 7) == ".lvpoff") field = section;
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(field->PointerToRawData, fieldOffset);
  EXPECT_EQ(base + field->VirtualAddress,
            reinterpret_cast<const std::uint8_t*>(const_cast<std::uint32_t*>(&PayloadOffset)));
}

TEST_F(PayloadTableTest, CopyShorterThanTheTableFailsWithMinus31AndItsBox) {
  Bytes file = package_.Build();
  file.resize(kImageSize + payload::kBlockSize - 1);
  WriteAll(PackageCopyPath, file);
  EXPECT_EQ(ReadPayloadTable(), rc::kPackageTooShort);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].kind, BoxKind::Error);
  EXPECT_NE(boxes_[0].text.find(PackageCopyPath), std::wstring::npos);
  EXPECT_FALSE(FileExistsAt(work_ + L"impborl.dll")) << "nothing is extracted";
}

TEST_F(PayloadTableTest, MissingCopyGivesTheWindowsCodeWithItsBox) {
  EXPECT_EQ(ReadPayloadTable(), static_cast<rc::Result>(ERROR_FILE_NOT_FOUND));
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_NE(boxes_[0].text.find(PackageCopyPath), std::wstring::npos);
}

TEST_F(PayloadTableTest, EmptyDecompressorSlotFailsWithMinus531AndItsBox) {
  package_.Record(payload::kSlotDecompressor).nameLength = 0;
  EXPECT_EQ(InstallPackage(package_), rc::kEmptySlot);
  EXPECT_EQ(boxes_.size(), 1u);
}

TEST_F(PayloadTableTest, SaverPathsComeFromTheHeaderDecodedAsCodePage932) {
  // "ソフト": the first character's second byte is a backslash byte.
  payload::SetScreenSaverName(package_.Header(), "\x83\x5C\x83\x74\x83\x67");
  package_.Stored(payload::kSlotSaverDataFile, "\x83\x5C\x83\x74\x83\x67.ssd", 4, BytesOf("d"));
  package_.Stored(payload::kSlotSaverProgram, "\x83\x5C\x83\x74\x83\x67.SCR", 2, BytesOf("p"));
  ASSERT_EQ(InstallPackage(package_), rc::kOk);
  ASSERT_EQ(SetSaverPaths(), rc::kOk);
  EXPECT_EQ(ScreenSaverName, L"ソフト");
  EXPECT_EQ(SaverDataFolder, system_ + L"ソフト dir\\");
  EXPECT_EQ(SaverDataFilePath, work_ + L"ソフト.ssd");
}

TEST_F(PayloadTableTest, SaverNameWithoutNulHasAllSixtyFourCharacters) {
  payload::SetScreenSaverName(package_.Header(), std::string(64, 'n'));
  package_.Stored(payload::kSlotSaverProgram, std::string(64, 'n') + ".scr", 2, BytesOf("p"));
  ASSERT_EQ(InstallPackage(package_), rc::kOk);
  ASSERT_EQ(SetSaverPaths(), rc::kOk);
  EXPECT_EQ(ScreenSaverName, std::wstring(64, L'n'));
}

TEST_F(PayloadTableTest, SaverNameThatLeavesTheSystemFolderIsRefused) {
  for (const char* name : {"..\\Windows", "a\\b", "C:x", ".."}) {
    payload::SetScreenSaverName(package_.Header(), name);
    ASSERT_EQ(InstallPackage(package_), rc::kOk);
    EXPECT_EQ(SetSaverPaths(), rc::kUnsafeSaverName) << name;
    EXPECT_TRUE(SaverDataFolder.empty()) << name;
    EXPECT_TRUE(ScreenSaverName.empty()) << name;
  }
}

TEST_F(PayloadTableTest, DataFileNameThatIsNoPlainNameLeavesItsPathEmpty) {
  package_.Stored(payload::kSlotSaverDataFile, "..\\Night.ssd", 4, BytesOf("d"));
  package_.Stored(payload::kSlotSaverProgram, "Night.scr", 2, BytesOf("p"));
  ASSERT_EQ(InstallPackage(package_), rc::kOk);
  ASSERT_EQ(SetSaverPaths(), rc::kOk);
  EXPECT_TRUE(SaverDataFilePath.empty());
}

TEST_F(PayloadTableTest, CopyPackageToWorkCopiesTheRunningProgram) {
  SetPackagePaths();
  EXPECT_EQ(PackageCopyPath, work_ + L"temp.dat");
  EXPECT_EQ(InstallerFilePath.substr(0, ProgramFolder().size()), ProgramFolder());
  WriteAll(PackageCopyPath, BytesOf("an older copy"));
  SetFileAttributesW(PackageCopyPath.c_str(), FILE_ATTRIBUTE_READONLY);
  // A read-only installer (as downloads often are) keeps its attributes; only
  // the copy made of it gets normal ones.
  const DWORD own = GetFileAttributesW(InstallerFilePath.c_str());
  SetFileAttributesW(InstallerFilePath.c_str(), FILE_ATTRIBUTE_READONLY);
  const rc::Result copied = CopyPackageToWork();
  const DWORD after = GetFileAttributesW(InstallerFilePath.c_str());
  SetFileAttributesW(InstallerFilePath.c_str(), own);
  ASSERT_EQ(copied, rc::kOk);
  EXPECT_NE(after & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(GetFileAttributesW(PackageCopyPath.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(ReadAll(PackageCopyPath), ReadAll(InstallerFilePath));
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(PayloadTableTest, FailedCopyShowsTheUserRightsBoxAndReturnsTheRealCode) {
  SetPackagePaths();
  PackageCopyPath = root_ + L"missing\\temp.dat";
  EXPECT_EQ(CopyPackageToWork(), static_cast<rc::Result>(ERROR_PATH_NOT_FOUND));
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, PackageCopyPath);
  EXPECT_EQ(boxes_[0].code, rc::kCannotCopyInstaller) << "the box with the user-rights advice";
}

}  // namespace
}  // namespace lvtest
