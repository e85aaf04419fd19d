// The screen saver's data file: placing its entries into the data folder,
// writing "saver.dat", and refusing files that would write elsewhere.
#include "ExtractionFixture.h"
#include "messages/Messages.h"
#include "payload/SaverDataFile.h"
#include "payload/SaverDataFormat.h"

namespace lvtest {
namespace {

class SaverDataFileTest : public ExtractionTest {
 protected:
  void SetUp() override {
    ExtractionTest::SetUp();
    const Bytes library = ReadAll(ProgramFolder() + L"impborl.dat");
    ASSERT_FALSE(library.empty());
    WriteAll(work_ + L"impborl.dll", library);
    file_.settings.bytes[0] = 0x5A;  // the screen saver's own settings, passed on unchanged
    file_.settings.bytes[1239] = 0xA5;
  }
  void TearDown() override {
    CloseSaverDataFile();
    ExtractionTest::TearDown();
  }

  payload::SaverContent& Stored(const std::string& name, const Bytes& data) {
    payload::SaverContent content;
    content.name = name;
    content.data = data;
    content.unpackedSize = static_cast<std::int32_t>(data.size());
    file_.entries.push_back(content);
    return file_.entries.back();
  }
  payload::SaverContent& Compressed(const std::string& name, const Bytes& original) {
    payload::SaverContent content;
    content.name = name;
    content.compressed = true;
    content.data = dcl::ImplodeBuffer(original, dcl::kBinary, dcl::kDict2048).data;
    content.unpackedSize = static_cast<std::int32_t>(original.size());
    file_.entries.push_back(content);
    return file_.entries.back();
  }
  payload::SaverContent& Movie(const std::string& name) {
    payload::SaverContent content;
    content.name = name;
    content.kind = payload::kEntryKindInstallerMovie;
    file_.entries.push_back(content);
    return file_.entries.back();
  }
  Bytes Serialized() const {
    Bytes bytes;
    EXPECT_EQ(payload::SerializeSaverDataFile(file_, bytes), rc::kOk);
    return bytes;
  }
  void Write() { WriteAll(SaverDataFilePath, Serialized()); }
  // Overwrites entry `number`'s name in serialized bytes (no checks: for bad files).
  static void PatchName(Bytes& bytes, int number, const std::string& name) {
    const std::size_t at = payload::TableSize(number - 1) + 2;
    std::fill(bytes.begin() + at, bytes.begin() + at + payload::kEntryNameSize, 0);
    std::copy(name.begin(), name.end(), bytes.begin() + at);
  }
  // Once closed, the data file can be deleted.
  bool DataFileClosed() const { return DeleteFileW(SaverDataFilePath.c_str()) != 0; }

  payload::SaverDataFile file_;
};

TEST_F(SaverDataFileTest, StoredCompressedEmptyAndSubfolderEntriesArePlaced) {
  const Bytes main = PatternBytes(2000, 1);
  const Bytes deep = PatternBytes(9000, 2);
  Stored("main.swf", main);
  Compressed("pictures\\deep/a.bin", deep);
  Stored("empty.txt", {});
  Stored("skipped.txt", BytesOf("never written"));
  Bytes bytes = Serialized();
  PatchName(bytes, 4, "");  // an empty name skips the entry
  WriteAll(SaverDataFilePath, bytes);

  EXPECT_EQ(InstallSaverContent(), rc::kOk);
  EXPECT_EQ(ReadAll(data_ + L"main.swf"), main);
  EXPECT_EQ(ReadAll(data_ + L"pictures\\deep\\a.bin"), deep);
  EXPECT_EQ(ListTree(data_), (std::vector<std::wstring>{L"main.swf", L"pictures", L"pictures\\deep",
                                                        L"pictures\\deep\\a.bin"}));
  EXPECT_TRUE(GetFileAttributesW((data_ + L"main.swf").c_str()) & FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_TRUE(boxes_.empty());
  EXPECT_TRUE(DataFileClosed());
}

TEST_F(SaverDataFileTest, SettingsAreReadAndWrittenAsSaverDat) {
  Stored("main.swf", BytesOf("movie"));
  Write();
  ASSERT_EQ(ReadSaverSettings(), rc::kOk);
  EXPECT_EQ(SaverSettingsBlock.EntryCount(), 1);
  ASSERT_EQ(WriteSaverSettings(), rc::kOk);
  const Bytes written = ReadAll(data_ + L"saver.dat");
  const Bytes file = Serialized();
  const Bytes expected(file.begin(), file.begin() + payload::kSettingsSize);
  EXPECT_EQ(written, expected);
}

TEST_F(SaverDataFileTest, InstallerMovieEntriesCopyTheInstallersMovie) {
  WriteAll(work_ + L"installer.swf", BytesOf("FWS installer movie"));
  file_.settings.SetSaverContentKind(payload::kSaverContentInstallerMovie);
  Stored("Night.swf", BytesOf("own data, not used"));  // kind 0, yet the installer's movie
  Movie("copies\\second.swf");
  Write();
  EXPECT_EQ(InstallSaverContent(), rc::kOk);
  EXPECT_EQ(ReadAll(data_ + L"Night.swf"), BytesOf("FWS installer movie"));
  EXPECT_EQ(ReadAll(data_ + L"copies\\second.swf"), BytesOf("FWS installer movie"));
}

TEST_F(SaverDataFileTest, MissingInstallerMovieIsMinus532WithItsBox) {
  Movie("Night.swf");
  Stored("later.bin", BytesOf("later"));
  Write();
  EXPECT_EQ(InstallSaverContent(), rc::kMovieCopyFailed);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_NE(boxes_[0].text.find(work_ + L"installer.swf"), std::wstring::npos);
  EXPECT_FALSE(FileExistsAt(data_ + L"later.bin")) << "the first failure stops the loop";
  EXPECT_TRUE(DataFileClosed());
}

TEST_F(SaverDataFileTest, MovieCopiedOntoItselfIsNoFailure) {
  WriteAll(work_ + L"installer.swf", BytesOf("movie"));
  Movie("Night.swf");
  Movie("Night.swf");  // source and target are the same file
  Write();
  EXPECT_EQ(InstallSaverContent(), rc::kOk);
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(SaverDataFileTest, NoEntriesPlacesNothingAndClosesTheFile) {
  Write();
  EXPECT_EQ(InstallSaverContent(), rc::kOk);
  EXPECT_TRUE(ListTree(data_).empty());
  EXPECT_TRUE(DataFileClosed());
}

TEST_F(SaverDataFileTest, WrongExplodedSizeIsMinus13AndThePartialFileIsDeleted) {
  Compressed("a.bin", PatternBytes(5000, 3)).unpackedSize = 5001;
  Write();
  EXPECT_EQ(InstallSaverContent(), rc::kExplodedSizeMismatch);
  EXPECT_FALSE(FileExistsAt(data_ + L"a.bin"));
  EXPECT_TRUE(boxes_.empty()) << "only read failures and -532 bring a box";
}

TEST_F(SaverDataFileTest, WithoutTheLibraryCompressedEntriesAreMinus35) {
  ASSERT_TRUE(DeleteFileW((work_ + L"impborl.dll").c_str()));
  Stored("first.bin", BytesOf("stored"));
  Compressed("second.bin", PatternBytes(500, 4));
  Write();
  EXPECT_EQ(InstallSaverContent(), rc::kDecompressorUnavailable);
  EXPECT_TRUE(FileExistsAt(data_ + L"first.bin"));
  EXPECT_FALSE(FileExistsAt(data_ + L"second.bin"));
}

// Exploded beside it, the entry cannot take the folder's name: the system's
// code, as for a stored entry, and nothing is left of it.
TEST_F(SaverDataFileTest, CompressedEntryOntoAFolderGivesTheSystemsCode) {
  Compressed("taken", PatternBytes(500, 5));
  Write();
  ASSERT_TRUE(CreateDirectoryW((data_ + L"taken").c_str(), nullptr));
  EXPECT_EQ(InstallSaverContent(), static_cast<rc::Result>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(ListTree(data_ + L"taken\\").empty());
  EXPECT_FALSE(FileExistsAt(data_ + L"taken.lvtmp"));
}

TEST_F(SaverDataFileTest, StoredEntryThatCannotBeCreatedShowsTheReadErrorBox) {
  Stored("taken", BytesOf("data"));
  Write();
  ASSERT_TRUE(CreateDirectoryW((data_ + L"taken").c_str(), nullptr));
  EXPECT_EQ(InstallSaverContent(), static_cast<rc::Result>(ERROR_ACCESS_DENIED));
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text.find(LoadMessage(msg::sProductError) +
                                LoadMessage(msg::sSaverDataFileReadError)),
            0u);
}

TEST_F(SaverDataFileTest, EntryCountOutsideTheTableIsRefused) {
  Stored("a.bin", BytesOf("a"));
  for (std::int32_t count : {-1, 160, 0x7FFFFFFF}) {
    Bytes bytes = Serialized();
    payload::SaverSettings settings;
    std::copy(bytes.begin(), bytes.begin() + payload::kSettingsSize, settings.bytes.begin());
    settings.SetEntryCount(count);
    std::copy(settings.bytes.begin(), settings.bytes.end(), bytes.begin());
    WriteAll(SaverDataFilePath, bytes);
    EXPECT_EQ(InstallSaverContent(), rc::kBadEntryCount) << count;
    EXPECT_TRUE(ListTree(data_).empty()) << count;
    EXPECT_TRUE(DataFileClosed()) << count;
  }
}

TEST_F(SaverDataFileTest, EntryNamesThatLeaveTheDataFolderRefuseTheFile) {
  Stored("first.bin", BytesOf("first"));
  Stored("second.bin", BytesOf("second"));
  for (const char* name : {"..\\escape.bin", "sub\\..\\..\\escape.bin", "C:\\escape.bin",
                           "C:escape.bin", "\\escape.bin", "/escape.bin", "..", "sub\\"}) {
    Bytes bytes = Serialized();
    PatchName(bytes, 2, name);
    WriteAll(SaverDataFilePath, bytes);
    const std::vector<std::wstring> before = ListTree(root_);
    EXPECT_EQ(InstallSaverContent(), rc::kUnsafeEntryName) << name;
    EXPECT_EQ(ListTree(root_), before) << name;
    EXPECT_TRUE(DataFileClosed()) << name;
  }
}

TEST_F(SaverDataFileTest, ChunkOutsideTheFileIsRefused) {
  Stored("a.bin", BytesOf("abc"));
  Bytes bytes = Serialized();
  bytes.resize(bytes.size() - 1);  // the data end one byte early
  WriteAll(SaverDataFilePath, bytes);
  EXPECT_EQ(InstallSaverContent(), rc::kBadChunk);
  EXPECT_TRUE(ListTree(data_).empty());
}

TEST_F(SaverDataFileTest, TruncatedEntryTableIsAReadErrorWithItsBox) {
  Stored("a.bin", BytesOf("abc"));
  Bytes bytes = Serialized();
  bytes.resize(payload::kSettingsSize + 100);
  WriteAll(SaverDataFilePath, bytes);
  EXPECT_EQ(InstallSaverContent(), rc::kShortRead);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text.find(LoadMessage(msg::sSaverDataReadError) + SaverDataFilePath), 0u);
}

TEST_F(SaverDataFileTest, EntryNumbersAndTheOpenFileAreChecked) {
  Stored("a.bin", BytesOf("abc"));
  Write();
  ASSERT_EQ(ReadSaverSettings(), rc::kOk);
  EXPECT_EQ(ExtractSaverEntry(data_, 1), rc::kDataFileNotOpen);
  bool opened = false;
  ASSERT_EQ(OpenSaverDataFile(SaverDataFilePath, true, opened), rc::kOk);
  EXPECT_TRUE(opened);
  EXPECT_EQ(ExtractSaverEntry(data_, 2), rc::kEntryBeyondCount);
  EXPECT_EQ(ExtractSaverEntry(data_, 1), rc::kOk);
  EXPECT_EQ(ReadAll(data_ + L"a.bin"), BytesOf("abc"));
  // A settings block read again while the file is open may announce more
  // entries than its table holds: nothing beyond the table is looked at.
  SaverSettingsBlock.SetEntryCount(100000);
  EXPECT_EQ(ExtractSaverEntry(data_, 500), rc::kEntryBeyondCount);
  EXPECT_EQ(ExtractSaverEntry(data_, 2), rc::kEntryBeyondCount);
  EXPECT_EQ(InstallSaverContent(), rc::kOk) << "the in-use path walks the table it has";
}

TEST_F(SaverDataFileTest, SecondOpeningIsRefusedWithTheInUseBox) {
  Write();
  bool opened = false;
  ASSERT_EQ(OpenSaverDataFile(SaverDataFilePath, true, opened), rc::kOk);
  bool again = false;
  EXPECT_EQ(OpenSaverDataFile(SaverDataFilePath, true, again), rc::kOk);
  EXPECT_TRUE(again);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].kind, BoxKind::Information);
  EXPECT_EQ(boxes_[0].text, LoadMessage(msg::sProductError) + LoadMessage(msg::sSaverDataFileInUse));
  EXPECT_EQ(CloseSaverDataFile(), rc::kOk);
  EXPECT_TRUE(DataFileClosed());
}

TEST_F(SaverDataFileTest, MissingOrShortDataFileFailsReadSaverSettingsWithABox) {
  EXPECT_EQ(ReadSaverSettings(), static_cast<rc::Result>(ERROR_FILE_NOT_FOUND));
  WriteAll(SaverDataFilePath, Bytes(payload::kSettingsSize - 1, 0));
  EXPECT_EQ(ReadSaverSettings(), rc::kShortRead);
  EXPECT_EQ(boxes_.size(), 2u);
}

TEST_F(SaverDataFileTest, ForceFoldersCreatesEveryMissingLevel) {
  EXPECT_EQ(ForceFolders(data_ + L"a\\b\\c\\"), rc::kOk);
  EXPECT_EQ(ForceFolders(data_ + L"a\\b\\c"), rc::kOk) << "existing folders are fine";
  EXPECT_EQ(ListTree(data_), (std::vector<std::wstring>{L"a", L"a\\b", L"a\\b\\c"}));
  WriteAll(data_ + L"file", BytesOf("x"));
  EXPECT_NE(ForceFolders(data_ + L"file\\sub\\"), rc::kOk);
}

}  // namespace
}  // namespace lvtest
