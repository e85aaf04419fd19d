// Compressed records: exploded through the package's own decompressor library,
// judged by the written file's length.
#include "ExtractionFixture.h"

namespace lvtest {
namespace {

class CompressedRecordTest : public ExtractionTest {
 protected:
  void SetUp() override {
    ExtractionTest::SetUp();
    package_.RealDecompressor();
  }
};

TEST_F(CompressedRecordTest, ExplodesToTheDestinationAndUnloadsTheLibrary) {
  const Bytes program = PatternBytes(70000, 6);
  const Bytes engine = PatternBytes(5000, 9);
  package_.Compressed(6, "Night.scr", 2, program);
  package_.Compressed(9, "saver1.dll", 5, engine);
  ASSERT_EQ(InstallPackage(package_), rc::kOk);
  EXPECT_EQ(ExtractSlot(6, true), rc::kOk);
  EXPECT_EQ(ExtractSlot(9, true), rc::kOk);
  EXPECT_EQ(ReadAll(system_ + L"Night.scr"), program);
  EXPECT_EQ(ReadAll(data_ + L"saver1.dll"), engine);
  EXPECT_TRUE(boxes_.empty());
  // Nothing holds the library any more: it can be deleted.
  EXPECT_TRUE(DeleteFileW((work_ + L"impborl.dll").c_str()));
}

TEST_F(CompressedRecordTest, WrongUnpackedSizeIsMinus13WithABoxOnlyForLibraries) {
  package_.Compressed(6, "Night.scr", 2, PatternBytes(3000, 1)).unpackedSize += 1;
  package_.Compressed(9, "saver1.dll", 5, PatternBytes(3000, 2)).unpackedSize -= 1;
  ASSERT_EQ(InstallPackage(package_), rc::kOk);
  EXPECT_EQ(ExtractSlot(6), rc::kExplodedSizeMismatch);
  EXPECT_TRUE(boxes_.empty());
  // A file of the wrong length never takes the program's name.
  EXPECT_FALSE(FileExistsAt(system_ + L"Night.scr"));
  EXPECT_FALSE(FileExistsAt(system_ + L"Night.scr.lvtmp"));
  EXPECT_EQ(ExtractSlot(9), rc::kExplodedSizeMismatch);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_NE(boxes_[0].text.find(data_ + L"saver1.dll"), std::wstring::npos);
}

TEST_F(CompressedRecordTest, DataThatIsNoImplodeStreamFailsBySize) {
  payload::PayloadRecord& record = package_.Stored(9, "saver1.dll", 5, PatternBytes(500, 3));
  record.compressed = 1;
  record.unpackedSize = 4000;
  ASSERT_EQ(InstallPackage(package_), rc::kOk);
  EXPECT_EQ(ExtractSlot(9), rc::kExplodedSizeMismatch);
}

TEST_F(CompressedRecordTest, WithoutTheLibraryCompressedRecordsFailWithMinus35) {
  package_.Stored(1, "impborl.dat", 4, BytesOf("not a library"));
  package_.Compressed(6, "Night.scr", 2, PatternBytes(3000, 1));
  package_.Compressed(10, "saver2.dll", 5, PatternBytes(3000, 2));
  ASSERT_EQ(InstallPackage(package_), rc::kOk);
  EXPECT_EQ(ExtractSlot(6), rc::kDecompressorUnavailable);
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(ExtractSlot(10), rc::kDecompressorUnavailable);
  EXPECT_EQ(boxes_.size(), 1u);
  EXPECT_FALSE(FileExistsAt(data_ + L"saver2.dll"));
}

TEST_F(CompressedRecordTest, CompressedDataBeyondTheFileEndIsAShortRead) {
  package_.Compressed(10, "saver2.dll", 5, PatternBytes(3000, 2)).lastByte += 1;
  ASSERT_EQ(InstallPackage(package_), rc::kOk);
  EXPECT_EQ(ExtractSlot(10), rc::kShortRead);
  EXPECT_FALSE(FileExistsAt(data_ + L"saver2.dll"));
}

TEST_F(CompressedRecordTest, NegativeUnpackedSizeIsRefused) {
  package_.Compressed(10, "saver2.dll", 5, PatternBytes(3000, 2)).unpackedSize = -1;
  ASSERT_EQ(InstallPackage(package_), rc::kOk);
  EXPECT_EQ(ExtractSlot(10), rc::kBadRecordRange);
  EXPECT_FALSE(FileExistsAt(data_ + L"saver2.dll"));
}

}  // namespace
}  // namespace lvtest
