// ExtractPayloadFile and the steps built on it: where each record goes, what
// happens to files in the way, which failures show a box, and what is refused.
#include "ExtractionFixture.h"
#include <functional>

#include "messages/Messages.h"
#include "system/Cp932.h"

namespace lvtest {
namespace {

using ExtractPayloadFileTest = ExtractionTest;

// --- destination kinds ---------------------------------------------------------

struct DestinationCase {
  int destination;
  const char* name;
  const wchar_t* folder;  // "work", "system" or "data"
  const wchar_t* fileName;
};

TEST_F(ExtractPayloadFileTest, EachDestinationKindWritesToItsFolder) {
  const DestinationCase cases[] = {
      {2, "Night.scr", L"system", L"Night.scr"},
      {3, "flashax.exe", L"work", L"flashax.exe"},
      {3, "FlashAX.exe", L"system", L"FlashAX.dll"},  // exact name only, case-sensitive
      {3, "setup.bin", L"system", L"setup.dll"},
      {4, "impborl.dat", L"work", L"impborl.dll"},
      {4, "IMPBORL.DAT", L"work", L"IMPBORL.DAT"},
      {4, "Night.ssd", L"work", L"Night.ssd"},
      {7, "installer.swf", L"work", L"installer.swf"},
      {1, "one.bin", L"data", L"one.bin"},
      {5, "saver1.dll", L"data", L"saver1.dll"},
      {6, "six.bin", L"data", L"six.bin"},
      {10, "ten.bin", L"data", L"ten.bin"},
  };
  int index = 0;
  for (const DestinationCase& c : cases) {
    const Bytes content = PatternBytes(100 + index, static_cast<std::uint8_t>(index));
    package_.Stored(payload::kSlotSaverFile, c.name, c.destination, content);
    ASSERT_EQ(InstallPackage(package_), rc::kOk);
    EXPECT_EQ(ExtractSlot(payload::kSlotSaverFile), rc::kOk) << c.name;
    const std::wstring folder =
        std::wstring(c.folder) == L"work" ? work_ : std::wstring(c.folder) == L"system" ? system_ : data_;
    EXPECT_EQ(ReadAll(folder + c.fileName), content) << c.name;
    ++index;
  }
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(ExtractPayloadFileTest, RecordNameEndsAtItsLengthWhateverFollows) {
  payload::PayloadRecord& record = package_.Stored(7, "a.txt", 7, BytesOf("x"));
  record.nameField[5] = 'Z';  // leftovers of a longer name behind the length
  record.nameField[6] = 'Z';
  ASSERT_EQ(InstallPackage(package_), rc::kOk);
  EXPECT_EQ(ExtractSlot(7), rc::kOk);
  EXPECT_TRUE(FileExistsAt(work_ + L"a.txt"));
}

TEST_F(ExtractPayloadFileTest, RecordsOutOfOrderOrOfOneByteAreReadByTheirOwnOffsets) {
  package_.Stored(10, "saver2.dll", 5, BytesOf("Z"));  // firstByte == lastByte: one byte
  package_.Stored(9, "saver1.dll", 5, BytesOf("first"));  // data behind slot 10's
  ASSERT_EQ(InstallPackage(package_), rc::kOk);
  EXPECT_EQ(ExtractSlot(9), rc::kOk);
  EXPECT_EQ(ExtractSlot(10), rc::kOk);
  EXPECT_EQ(ReadAll(data_ + L"saver1.dll"), BytesOf("first"));
  EXPECT_EQ(ReadAll(data_ + L"saver2.dll"), BytesOf("Z"));
}

// --- files in the way ------------------------------------------------------------

TEST_F(ExtractPayloadFileTest, ReadOnlyFileInTheWayIsReplaced) {
  WriteAll(system_ + L"Night.scr", BytesOf("old"));
  SetFileAttributesW((system_ + L"Night.scr").c_str(), FILE_ATTRIBUTE_READONLY);
  package_.Stored(6, "Night.scr", 2, BytesOf("new program"));
  ASSERT_EQ(InstallPackage(package_), rc::kOk);
  EXPECT_EQ(ExtractSlot(6), rc::kOk);
  EXPECT_EQ(ReadAll(system_ + L"Night.scr"), BytesOf("new program"));
}

TEST_F(ExtractPayloadFileTest, LockedLibraryStaysAndCountsAsExtracted) {
  WriteAll(data_ + L"saver1.dll", BytesOf("old library"));
  package_.Stored(9, "saver1.dll", 5, BytesOf("new library"));
  ASSERT_EQ(InstallPackage(package_), rc::kOk);
  {
    LockedFile lock(data_ + L"saver1.dll");
    ASSERT_TRUE(lock.Locked());
    EXPECT_EQ(ExtractSlot(9, true), rc::kOk);
  }
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(ReadAll(data_ + L"saver1.dll"), BytesOf("old library"));
}

TEST_F(ExtractPayloadFileTest, LockedScreenSaverProgramFailsWithMinus38AndNoBox) {
  WriteAll(system_ + L"Night.SCR", BytesOf("old program"));
  LockedFile lock(system_ + L"Night.SCR");
  ASSERT_TRUE(lock.Locked());
  package_.Stored(6, "Night.SCR", 2, BytesOf("new program"));
  ASSERT_EQ(InstallPackage(package_), rc::kOk);
  EXPECT_EQ(ExtractSlot(6, true), rc::kSaverOverwriteFailed);
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(ExtractPayloadFileTest, LockedOtherFileStaysAndCountsAsExtracted) {
  WriteAll(data_ + L"movie.swf", BytesOf("old movie"));
  package_.Stored(7, "movie.swf", 5, BytesOf("new movie"));
  ASSERT_EQ(InstallPackage(package_), rc::kOk);
  {
    LockedFile lock(data_ + L"movie.swf");
    ASSERT_TRUE(lock.Locked());
    EXPECT_EQ(ExtractSlot(7, true), rc::kOk);
  }
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(ReadAll(data_ + L"movie.swf"), BytesOf("old movie"));
}

// --- failures and their boxes -------------------------------------------------------

TEST_F(ExtractPayloadFileTest, EmptySlotGivesMinus531WithItsBox) {
  ASSERT_EQ(InstallPackage(package_), rc::kOk);
  EXPECT_EQ(ExtractSlot(6), rc::kEmptySlot);
  EXPECT_EQ(boxes_.size(), 1u);
}

TEST_F(ExtractPayloadFileTest, StoredDataBeyondTheFileEndIsAShortRead) {
  payload::PayloadRecord& quiet = package_.Stored(7, "Night.dat", 5, BytesOf("abc"));
  quiet.lastByte += 10;
  payload::PayloadRecord& library = package_.Stored(9, "saver1.dll", 5, BytesOf("def"));
  library.lastByte += 10;
  ASSERT_EQ(InstallPackage(package_), rc::kOk);
  EXPECT_EQ(ExtractSlot(7), rc::kShortRead);
  EXPECT_TRUE(boxes_.empty()) << "a non-library target is extracted quietly";
  EXPECT_EQ(ExtractSlot(9), rc::kShortRead);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_NE(boxes_[0].text.find(data_ + L"saver1.dll"), std::wstring::npos);
}

TEST_F(ExtractPayloadFileTest, DestinationThatCannotBeCreatedShowsTheWindowsCode) {
  // The data folder does not exist (yet): the Windows code, always with a box.
  SaverDataFolder = root_ + L"absent dir\\";
  package_.Stored(7, "Night.dat", 5, BytesOf("abc"));
  ASSERT_EQ(InstallPackage(package_), rc::kOk);
  EXPECT_EQ(ExtractSlot(7), static_cast<rc::Result>(ERROR_PATH_NOT_FOUND));
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_NE(boxes_[0].text.find(SaverDataFolder + L"Night.dat"), std::wstring::npos);
}

TEST_F(ExtractPayloadFileTest, UnsafeRecordsAreRefusedBeforeAnythingIsTouched) {
  struct Case {
    const char* name;
    int destination;
    rc::Result expected;
  };
  const Case cases[] = {
      {"..\\escape.txt", 7, rc::kUnsafeRecordName},
      {"sub\\file.txt", 2, rc::kUnsafeRecordName},
      {"C:file.txt", 7, rc::kUnsafeRecordName},
      {"..", 5, rc::kUnsafeRecordName},
      {"CON", 7, rc::kUnsafeRecordName},
      {"file.txt", 0, rc::kBadDestination},
      {"file.txt", 8, rc::kBadDestination},
      {"file.txt", 9, rc::kBadDestination},
      {"file.txt", 11, rc::kBadDestination},
      {"file.txt", -1, rc::kBadDestination},
  };
  WriteAll(data_ + L"keep.txt", BytesOf("keep"));
  for (const Case& c : cases) {
    package_.Stored(7, c.name, c.destination, BytesOf("payload"));
    ASSERT_EQ(InstallPackage(package_), rc::kOk);
    const std::vector<std::wstring> before = ListTree(root_);
    EXPECT_EQ(ExtractSlot(7), c.expected) << c.name << " " << c.destination;
    EXPECT_EQ(ListTree(root_), before) << c.name << " " << c.destination;
  }
}

TEST_F(ExtractPayloadFileTest, BadStoredRangesAreRefused) {
  payload::PayloadRecord& record = package_.Stored(7, "range.txt", 7, BytesOf("abcdef"));
  const std::int32_t first = record.firstByte;
  struct Range { std::int32_t first, last; };
  for (Range r : {Range{-1, first}, Range{first + 3, first}, Range{first, -5}}) {
    package_.Record(7).firstByte = r.first;
    package_.Record(7).lastByte = r.last;
    ASSERT_EQ(InstallPackage(package_), rc::kOk);
    EXPECT_EQ(ExtractSlot(7), rc::kBadRecordRange) << r.first << ".." << r.last;
    EXPECT_FALSE(FileExistsAt(work_ + L"range.txt"));
  }
}

TEST_F(ExtractPayloadFileTest, DataFolderRecordBeforeTheDataFolderIsKnownIsRefused) {
  SaverDataFolder.clear();
  package_.Stored(7, "early.txt", 5, BytesOf("x"));
  ASSERT_EQ(InstallPackage(package_), rc::kOk);
  EXPECT_EQ(ExtractSlot(7), rc::kBadDestination);
  wchar_t current[MAX_PATH + 1] = {};
  GetCurrentDirectoryW(MAX_PATH + 1, current);
  EXPECT_FALSE(FileExistsAt(std::wstring(current) + L"\\early.txt"));
  EXPECT_FALSE(FileExistsAt(ProgramFolder() + L"early.txt"));
}

// --- status and progress ------------------------------------------------------------

TEST_F(ExtractPayloadFileTest, StatusAndOneProgressStepOnlyWhenAsked) {
  package_.Stored(7, "a.txt", 7, BytesOf("x"));
  ASSERT_EQ(InstallPackage(package_), rc::kOk);
  EXPECT_TRUE(statusTexts_.empty()) << "slot 1 is extracted without status";
  EXPECT_EQ(ExtractSlot(7, false), rc::kOk);
  EXPECT_TRUE(statusTexts_.empty());
  EXPECT_EQ(ExtractSlot(7, true), rc::kOk);
  ASSERT_EQ(statusTexts_.size(), 1u);
  EXPECT_EQ(statusTexts_[0], LoadMessage(msg::sWritingSaverFile));
  EXPECT_EQ(steps_, 1);
}

// --- the installation loop ------------------------------------------------------------

void AddSaverFiles(PackageBuilder& package) {
  package.Stored(6, "Night.scr", 2, BytesOf("program"));
  package.Stored(7, "extra.bin", 5, BytesOf("extra"));
  package.Stored(8, "Night.ssd", 4, BytesOf("data file"));
  package.Stored(9, "saver1.dll", 5, BytesOf("engine 1"));
  package.Stored(10, "saver2.dll", 5, BytesOf("engine 2"));
}

TEST_F(ExtractPayloadFileTest, SaverFilesAreWrittenInSlotOrder) {
  AddSaverFiles(package_);
  package_.Stored(5, "readme.txt", 7, BytesOf("document"));
  ASSERT_EQ(InstallPackage(package_), rc::kOk);
  EXPECT_EQ(ExtractSaverFiles(PackageCopyPath, false), rc::kOk);
  EXPECT_EQ(steps_, 5);
  EXPECT_FALSE(FileExistsAt(work_ + L"readme.txt")) << "slot 5 only when the document is shipped";
  EXPECT_EQ(ReadAll(system_ + L"Night.scr"), BytesOf("program"));
  EXPECT_EQ(ReadAll(data_ + L"extra.bin"), BytesOf("extra"));
  EXPECT_EQ(ReadAll(work_ + L"Night.ssd"), BytesOf("data file"));
  EXPECT_EQ(ReadAll(data_ + L"saver1.dll"), BytesOf("engine 1"));
  EXPECT_EQ(ReadAll(data_ + L"saver2.dll"), BytesOf("engine 2"));

  EXPECT_EQ(ExtractSaverFiles(PackageCopyPath, true), rc::kOk);
  EXPECT_EQ(steps_, 11);
  EXPECT_EQ(ReadAll(work_ + L"readme.txt"), BytesOf("document"));
}

TEST_F(ExtractPayloadFileTest, CancelBetweenSlotsFinishesTheCurrentSlotOnly) {
  AddSaverFiles(package_);
  ASSERT_EQ(InstallPackage(package_), rc::kOk);
  onStatus_ = [this](std::size_t count) {
    if (count == 2) cancelRequested_ = true;  // pressed while slot 7 is written
  };
  EXPECT_EQ(ExtractSaverFiles(PackageCopyPath, false), rc::kOk);
  EXPECT_TRUE(FileExistsAt(system_ + L"Night.scr"));
  EXPECT_TRUE(FileExistsAt(data_ + L"extra.bin"));
  EXPECT_FALSE(FileExistsAt(work_ + L"Night.ssd"));
  EXPECT_FALSE(FileExistsAt(data_ + L"saver1.dll"));
}

TEST_F(ExtractPayloadFileTest, FirstFailureStopsTheLoop) {
  AddSaverFiles(package_);
  package_.Record(8).nameLength = 0;
  ASSERT_EQ(InstallPackage(package_), rc::kOk);
  EXPECT_EQ(ExtractSaverFiles(PackageCopyPath, false), rc::kEmptySlot);
  EXPECT_EQ(boxes_.size(), 1u);
  EXPECT_TRUE(FileExistsAt(data_ + L"extra.bin"));
  EXPECT_FALSE(FileExistsAt(data_ + L"saver1.dll"));
}

TEST_F(ExtractPayloadFileTest, MissingPackageGivesItsCodeAndBoxAndWritesNothing) {
  EXPECT_EQ(ExtractSaverFiles(root_ + L"nothing.dat", false),
            static_cast<rc::Result>(ERROR_FILE_NOT_FOUND));
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_NE(boxes_[0].text.find(root_ + L"nothing.dat"), std::wstring::npos);
}

// --- start-up extractions ----------------------------------------------------------------

TEST_F(ExtractPayloadFileTest, StartupStepsRefuseEmptySlotsWithoutABox) {
  ASSERT_EQ(InstallPackage(package_), rc::kOk);
  EXPECT_EQ(ExtractFlashSetup(), rc::kEmptySlot);
  EXPECT_EQ(ExtractDisplayContent(), rc::kEmptySlot);
  EXPECT_EQ(ExtractLicense(), rc::kEmptySlot);
  EXPECT_EQ(ExtractDocument(), rc::kEmptySlot);
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(ExtractPayloadFileTest, StartupStepsWriteTheirSlotsIntoTheWorkFolder) {
  package_.Stored(2, "flashax.exe", 3, BytesOf("setup"));
  package_.Stored(3, "installer.swf", 7, BytesOf("FWS movie"));
  package_.Stored(4, "license.txt", 7, BytesOf("licence"));
  package_.Stored(5, "readme.txt", 7, BytesOf("document"));
  ASSERT_EQ(InstallPackage(package_), rc::kOk);
  EXPECT_EQ(ExtractFlashSetup(), rc::kOk);
  EXPECT_EQ(ExtractDisplayContent(), rc::kOk);
  EXPECT_EQ(ExtractLicense(), rc::kOk);
  EXPECT_EQ(ExtractDocument(), rc::kOk);
  EXPECT_EQ(ReadAll(work_ + L"flashax.exe"), BytesOf("setup"));
  EXPECT_EQ(ReadAll(work_ + L"installer.swf"), BytesOf("FWS movie"));
  EXPECT_EQ(ReadAll(work_ + L"license.txt"), BytesOf("licence"));
  EXPECT_EQ(ReadAll(work_ + L"readme.txt"), BytesOf("document"));
}

TEST_F(ExtractPayloadFileTest, PicturesGetTheExtensionTheirLoaderExpects) {
  struct Case {
    std::uint8_t contentKind;
    const char* name;
    const wchar_t* written;
  };
  for (const Case& c : {Case{1, "picture.png", L"picture.BMP"}, Case{8, "picture.png", L"picture.jpg"},
                        Case{1, "noext", L"noext.BMP"}, Case{2, "installer.swf", L"installer.swf"}}) {
    package_.Header().contentKind = c.contentKind;
    package_.Stored(3, c.name, 7, BytesOf("picture"));
    ASSERT_EQ(InstallPackage(package_), rc::kOk);
    EXPECT_EQ(ExtractDisplayContent(), rc::kOk);
    EXPECT_EQ(ReadAll(work_ + c.written), BytesOf("picture")) << c.name;
    EXPECT_EQ(text::FromCp932(Payload.Slot(3)->Name()), c.written);
  }
}

TEST(ChangeNameExtension, KeepsWholeCharactersAndTheLimit) {
  EXPECT_EQ(ChangeNameExtension("a.b.png", ".jpg"), "a.b.jpg");
  EXPECT_EQ(ChangeNameExtension("\x83\x5C.gif", ".BMP"), "\x83\x5C.BMP");
  const std::string longName = std::string(254, 'x') + ".png";
  const std::string changed = ChangeNameExtension(longName, ".BMP");
  EXPECT_EQ(changed.size(), 255u);
  EXPECT_EQ(changed.substr(251), ".BMP");
  // A double-byte character at the cut is dropped whole, not halved.
  const std::string wide = std::string(250, 'x') + "\x83\x5C\x83\x5C";
  EXPECT_EQ(ChangeNameExtension(wide, ".BMP"), std::string(250, 'x') + ".BMP");
}

// --- documents --------------------------------------------------------------------------

TEST_F(ExtractPayloadFileTest, DocumentsAreCopiedIntoTheDataFolder) {
  package_.Stored(4, "license.txt", 7, BytesOf("licence"));
  package_.Stored(5, "readme.txt", 7, BytesOf("document"));
  ASSERT_EQ(InstallPackage(package_), rc::kOk);
  EXPECT_EQ(CopyDocumentsToDataFolder(false, false), rc::kOk) << "nothing to copy";
  EXPECT_TRUE(ListTree(data_).empty());

  EXPECT_EQ(CopyDocumentsToDataFolder(true, true), rc::kFileMissing);
  WriteAll(work_ + L"license.txt", BytesOf("licence"));
  EXPECT_EQ(CopyDocumentsToDataFolder(true, true), rc::kFileMissing) << "the document is still missing";
  WriteAll(work_ + L"readme.txt", BytesOf("document"));
  EXPECT_EQ(CopyDocumentsToDataFolder(true, true), rc::kOk);
  EXPECT_EQ(ReadAll(data_ + L"license.txt"), BytesOf("licence"));
  EXPECT_EQ(ReadAll(data_ + L"readme.txt"), BytesOf("document"));
}

}  // namespace
}  // namespace lvtest
