// Conversion of compressed movies into a plain copy in the panel's folder.
#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include "SwfBuilder.h"
#include "TestFolder.h"
#include "flash/SwfMovie.h"
#include "system/InstallerError.h"

namespace {

class SwfConvertTest : public TempFolderTest {
 protected:
  Bytes sampleMovie(int version = 7) {
    SwfBuilder b;
    b.version(version).frame(15, 0, 16000, 0, 12000).tag(69, {0, 0, 0, 0}).background(10, 20, 30)
        .fscommand("allowscale", "false");
    return b.plain();
  }
  rc::Result convert(const Bytes& compressedMovie, const std::string& name = "c.swf") {
    WriteFile(file(name), compressedMovie);
    reader.swfFilename = file(name);
    return reader.uncompressSWF();
  }
  TSwfMovie reader;
};

TEST_F(SwfConvertTest, PlainCopyMatchesOriginalByteForByte) {
  const Bytes plain = sampleMovie();
  const Bytes compressed = SwfBuilder::Compress(plain);
  ASSERT_EQ(0, convert(compressed));
  EXPECT_EQ(root_ / "FlashPanel1", reader.tempFolder);
  EXPECT_EQ(plain, ReadFile(std::filesystem::path(reader.tempFolder) / "unCompressedSWF.swf"));
  EXPECT_EQ(Bytes(compressed.begin() + 8, compressed.end()),
            ReadFile(std::filesystem::path(reader.tempFolder) / "compressedSWFSegment.swf"));
  ASSERT_EQ(0, reader.readSWFFile_FWS_Format(reader.plainCopyPath()));
  EXPECT_EQ(800, reader.movieWidth);
  EXPECT_EQ(30, reader.bgBlue);
  EXPECT_EQ(0, reader.allowScale);
}

TEST_F(SwfConvertTest, HeaderKeepsVersionAndLengthBytesUnchanged) {
  Bytes compressed = SwfBuilder::Compress(sampleMovie());
  compressed[4] = 0x99;  // a declared length that does not match; kept as is
  compressed[3] = 5;
  ASSERT_EQ(0, convert(compressed));
  const Bytes out = ReadFile(reader.plainCopyPath());
  ASSERT_GE(out.size(), 8u);
  EXPECT_EQ(Bytes({'F', 'W', 'S', 5, 0x99}), Bytes(out.begin(), out.begin() + 5));
  EXPECT_EQ(Bytes(compressed.begin() + 5, compressed.begin() + 8), Bytes(out.begin() + 5, out.begin() + 8));
}

TEST_F(SwfConvertTest, LargeMovieCrossesEveryBlockBoundary) {
  std::string noise;
  unsigned seed = 1;
  for (int i = 0; i < 300000; ++i) {
    seed = seed * 1103515245u + 12345u;
    noise.push_back(static_cast<char>(seed >> 16));
  }
  SwfBuilder b;
  b.background(1, 2, 3).text(noise);
  const Bytes plain = b.plain();
  const Bytes compressed = SwfBuilder::Compress(plain);
  ASSERT_GT(compressed.size(), 2 * 65536u);  // more than one input refill
  ASSERT_EQ(0, convert(compressed));
  EXPECT_EQ(plain, ReadFile(reader.plainCopyPath()));
}

TEST_F(SwfConvertTest, BytesAfterTheStreamAreNotInflated) {
  const Bytes plain = sampleMovie();
  Bytes compressed = SwfBuilder::Compress(plain);
  compressed.insert(compressed.end(), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
  ASSERT_EQ(0, convert(compressed));
  EXPECT_EQ(plain, ReadFile(reader.plainCopyPath()));
}

// The plain copy ends at the declared length, whatever the stream holds beyond.
TEST_F(SwfConvertTest, PlainCopyEndsAtDeclaredLength) {
  const Bytes plain = sampleMovie();
  Bytes longer = plain;
  longer.insert(longer.end(), 5000, 'x');  // inflates past the declared end
  Bytes compressed = SwfBuilder::Compress(longer);
  std::copy(plain.begin() + 4, plain.begin() + 8, compressed.begin() + 4);
  ASSERT_EQ(0, convert(compressed, "longer.swf"));
  EXPECT_EQ(plain, ReadFile(reader.plainCopyPath()));

  compressed[4] = 5;  // declared shorter than the header itself
  compressed[5] = compressed[6] = compressed[7] = 0;
  ASSERT_EQ(0, convert(compressed, "short.swf"));
  const Bytes headerOnly = ReadFile(reader.plainCopyPath());
  EXPECT_EQ(Bytes({'F', 'W', 'S', 7, 5, 0, 0, 0}), headerOnly);
}

// 64 MiB of zeros behind a header that declares 100 bytes: 100 bytes reach
// TEMP, and the header reader finds no background tag in them.
TEST_F(SwfConvertTest, CompressionBombEndsWithReadErrorAtDeclaredLength) {
  constexpr std::uint32_t kDeclared = 100;
  Bytes zeros(std::size_t{64} << 20);
  zeros[3] = 7;
  zeros[4] = kDeclared;
  WriteFile(file("bomb.swf"), SwfBuilder::Compress(zeros));
  reader.swfFilename = file("bomb.swf");
  try {
    reader.readMovie();
    ADD_FAILURE() << "no error raised";
  } catch (const InstallerError& e) {
    EXPECT_EQ(ErrorKind::ReadError, e.kind());
  }
  EXPECT_EQ(kDeclared, std::filesystem::file_size(reader.plainCopyPath()));
}

TEST_F(SwfConvertTest, SecondMovieReusesFolderAndOverwritesFiles) {
  ASSERT_EQ(0, convert(SwfBuilder::Compress(sampleMovie()), "one.swf"));
  const auto folder = reader.tempFolder;
  Bytes second = SwfBuilder().version(4).background(9, 9, 9).plain();
  ASSERT_EQ(0, convert(SwfBuilder::Compress(second), "two.swf"));
  EXPECT_EQ(folder, reader.tempFolder);
  EXPECT_EQ(second, ReadFile(reader.plainCopyPath()));
  EXPECT_FALSE(std::filesystem::exists(root_ / "FlashPanel2"));
}

TEST_F(SwfConvertTest, TakesNextFreeFolderNumber) {
  std::filesystem::create_directory(root_ / "FlashPanel1");
  ASSERT_EQ(0, convert(SwfBuilder::Compress(sampleMovie())));
  EXPECT_EQ(root_ / "FlashPanel2", reader.tempFolder);
}

TEST_F(SwfConvertTest, NoFolderCreatableGivesSystemCode) {
  SetTemp(root_ / "no" / "such" / "parent");
  const rc::Result r = convert(SwfBuilder::Compress(sampleMovie()));
  EXPECT_GT(r, 0);
  EXPECT_TRUE(reader.tempFolder.empty());
}

TEST_F(SwfConvertTest, MissingMovieWritesNothing) {
  reader.swfFilename = file("absent.swf");
  EXPECT_EQ(0, reader.uncompressSWF());
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(reader.tempFolder) / "unCompressedSWF.swf"));
}

TEST_F(SwfConvertTest, TruncatedStreamGivesShorterFileWithoutError) {
  const Bytes plain = sampleMovie();
  Bytes compressed = SwfBuilder::Compress(plain);
  compressed.resize(compressed.size() - 10);
  ASSERT_EQ(0, convert(compressed));
  const Bytes out = ReadFile(reader.plainCopyPath());
  EXPECT_LT(out.size(), plain.size());
  EXPECT_EQ(Bytes(plain.begin() + 8, plain.begin() + 8 + (out.size() - 8)), Bytes(out.begin() + 8, out.end()));
  // The copy ends inside the settings window the header reader needs.
  EXPECT_THROW(reader.readSWFFile_FWS_Format(reader.plainCopyPath()), InstallerError);
}

TEST_F(SwfConvertTest, CorruptStreamRaisesDecompressionErrorWithZlibMessage) {
  Bytes compressed = SwfBuilder::Compress(sampleMovie());
  compressed[8] = 0x78;
  compressed[9] = 0x00;  // header check bits wrong
  try {
    convert(compressed);
    FAIL() << "no error raised";
  } catch (const InstallerError& e) {
    EXPECT_EQ(ErrorKind::DecompressionError, e.kind());
    EXPECT_EQ(rc::kMovieDataDamaged, e.code());
    EXPECT_EQ(std::string("incorrect header check"), e.what());
  }
}

TEST_F(SwfConvertTest, PresetDictionaryStreamIsAnErrorNotALoop) {
  Bytes compressed{'C', 'W', 'S', 7, 30, 0, 0, 0, 0x78, 0xBB, 0, 0, 0, 1, 0, 0};
  EXPECT_THROW(convert(compressed), InstallerError);
}

TEST_F(SwfConvertTest, MovieShorterThanHeaderRaisesReadError) {
  try {
    convert(Bytes{'C', 'W', 'S', 7});
    FAIL() << "no error raised";
  } catch (const InstallerError& e) {
    EXPECT_EQ(ErrorKind::ReadError, e.kind());
  }
}

TEST_F(SwfConvertTest, CompressedVersionEightConvertedThenRefused) {
  WriteFile(file("c8.swf"), SwfBuilder().version(8).background(1, 2, 3).compressed());
  reader.swfFilename = file("c8.swf");
  EXPECT_EQ(rc::kMovieTooNew, reader.readMovie());
  EXPECT_TRUE(std::filesystem::exists(reader.plainCopyPath()));
  EXPECT_EQ(8, reader.swfVersion);
}

TEST_F(SwfConvertTest, ReadMovieFollowsSignature) {
  WriteFile(file("p.swf"), SwfBuilder().version(5).background(4, 5, 6).plain());
  reader.swfFilename = file("p.swf");
  EXPECT_EQ(0, reader.readMovie());
  EXPECT_TRUE(reader.tempFolder.empty());  // plain movies need no folder
  EXPECT_EQ(5, reader.swfVersion);
  WriteFile(file("x.swf"), Bytes{'Z', 'W', 'S', 13, 0, 0, 0, 0});
  reader.swfFilename = file("x.swf");
  EXPECT_EQ(rc::kNotAMovie, reader.readMovie());
}

}  // namespace
