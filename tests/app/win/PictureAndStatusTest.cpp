// Picture loading (damaged files give no picture, never a crash) and the status
// display's silence while windowMode is 4.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "app/InstallerState.h"
#include "app/PictureFile.h"
#include "app/StatusDisplay.h"
#include "messages/MessageBox.h"
#include "tests/helper/TestJpeg.h"

namespace {

std::wstring TempFile(const std::wstring& name, const std::vector<std::uint8_t>& bytes) {
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  const std::wstring path = std::wstring(folder) + name;
  std::ofstream out(path.c_str(), std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::vector<std::uint8_t> SmallBmp() {
  std::vector<std::uint8_t> b(54 + 4 * 2 * 3 + 2 * 0, 0);  // 4 x 2, 24 bits: stride 12
  b.resize(54 + 12 * 2);
  b[0] = 'B';
  b[1] = 'M';
  b[10] = 54;
  b[14] = 40;
  b[18] = 4;
  b[22] = 2;
  b[26] = 1;
  b[28] = 24;
  return b;
}

SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP info{};
  GetObjectW(bitmap, sizeof(info), &info);
  return SIZE{info.bmWidth, info.bmHeight};
}

TEST(PictureFile, WholeBitmapLoadsInAnyLetterCase) {
  const std::wstring path = TempFile(L"lv_pic.BMP", SmallBmp());
  HBITMAP bitmap = LoadPictureFile(path);
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(BitmapSize(bitmap).cx, 4);
  EXPECT_EQ(BitmapSize(bitmap).cy, 2);
  DeleteObject(bitmap);
  DeleteFileW(path.c_str());
}

TEST(PictureFile, CutBitmapGivesNoPicture) {
  auto bytes = SmallBmp();
  bytes.resize(40);
  const std::wstring path = TempFile(L"lv_cut.BMP", bytes);
  EXPECT_EQ(LoadPictureFile(path), nullptr);
  DeleteFileW(path.c_str());
}

TEST(PictureFile, DamagedJpegGivesNoPicture) {
  const std::vector<std::uint8_t> notJpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F'};
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rows;
  EXPECT_FALSE(DecodeJpeg(notJpeg, width, height, rows));
  EXPECT_FALSE(DecodeJpeg({}, width, height, rows));
  const std::wstring path = TempFile(L"lv_bad.jpg", notJpeg);
  EXPECT_EQ(LoadPictureFile(path), nullptr);
  DeleteFileW(path.c_str());
}

// A 48 x 32 colour gradient as JPEG (quality 95), sequential or progressive, with
// the chroma subsampled 2 x 2 (the encoder's default) or not at all.
std::vector<std::uint8_t> GradientJpeg(bool progressive, bool subsampled) {
  testjpeg::Options options;
  options.quality = 95;
  options.progressive = progressive;
  options.subsampled = subsampled;
  return testjpeg::Encode(48, 32, [](int x, int y, unsigned char rgb[3]) {
    rgb[0] = static_cast<unsigned char>(40 + x * 4);
    rgb[1] = static_cast<unsigned char>(60 + y * 4);
    rgb[2] = 120;
  }, options);
}

TEST(PictureFile, ProgressiveAndSubsampledJpegsDecodeTrue) {
  for (bool subsampled : {true, false}) {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> sequential;
    std::vector<std::uint8_t> progressive;
    ASSERT_TRUE(DecodeJpeg(GradientJpeg(false, subsampled), width, height, sequential));
    ASSERT_TRUE(DecodeJpeg(GradientJpeg(true, subsampled), width, height, progressive));
    EXPECT_EQ(progressive, sequential) << "the same coefficients, sent in several scans";
    ASSERT_EQ(width, 48);
    ASSERT_EQ(height, 32);
    const std::size_t stride = 48 * 3;  // already a multiple of 4
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 48; ++x) {  // rows are blue, green, red
        const std::uint8_t* p = &sequential[y * stride + x * 3];
        EXPECT_NEAR(p[2], 40 + x * 4, 12) << x << "," << y;
        EXPECT_NEAR(p[1], 60 + y * 4, 12) << x << "," << y;
        EXPECT_NEAR(p[0], 120, 12) << x << "," << y;
      }
  }
}

TEST(PictureFile, MissingFileAndOtherKindsGiveNoPicture) {
  EXPECT_EQ(LoadPictureFile(L"C:\\no\\such\\picture.bmp"), nullptr);
  const std::wstring path = TempFile(L"lv_pic.swf", SmallBmp());
  EXPECT_EQ(LoadPictureFile(path), nullptr) << "the extension picks the decoder";
  DeleteFileW(path.c_str());
}

// A view that records what reaches the window.
class RecordingView : public StatusView {
 public:
  void SetStatusText(const std::wstring& text) override { texts.push_back(text); }
  void StepProgressBar() override { ++steps; }
  void RunPauseTimer() override { ++pauses; }
  std::vector<std::wstring> texts;
  int steps = 0;
  int pauses = 0;
};

class StatusDisplay : public ::testing::Test {
 protected:
  void SetUp() override { SetStatusView(&view_); }
  void TearDown() override {
    SetStatusView(nullptr);
    SetBoxResponder(nullptr);
    windowMode = 0;
  }
  RecordingView view_;
};

TEST_F(StatusDisplay, StatusAndProgressReachTheWindow) {
  windowMode = 1;
  ShowStatus(L"状態");
  StepProgress();
  EXPECT_EQ(view_.texts, std::vector<std::wstring>{L"状態"});
  EXPECT_EQ(view_.steps, 1);
  EXPECT_EQ(view_.pauses, 1) << "each step is followed by a pause";
}

TEST_F(StatusDisplay, WindowMode4SuppressesStatusAndProgressButNotErrorBoxes) {
  windowMode = kWindowModeSilent;
  std::vector<std::wstring> boxes;
  SetBoxResponder([&](BoxKind kind, const std::wstring& text, BoxButtons buttons) {
    EXPECT_EQ(kind, BoxKind::Error);
    EXPECT_EQ(buttons, BoxButtons::Abort);
    boxes.push_back(text);
    return BoxAnswer::Abort;
  });
  ShowStatus(L"状態");
  StepProgress();
  ShowInstallError(-32, L"P");
  EXPECT_TRUE(view_.texts.empty());
  EXPECT_EQ(view_.steps, 0);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0],
            L"インストールエラー: ファイルがビジー状態か他のアプリケーションによって開かれてますP");
}

}  // namespace
