// TCompressor over the real "impborl.dll": loading rules and their codes, the
// exploded file, and the error box for a file that cannot be created.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "DclTestSupport.h"
#include "messages/MessageBox.h"
#include "payload/Compressor.h"

namespace {

using dcltest::Bytes;

std::wstring ExeFolder() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring s(path, n);
  return s.substr(0, s.find_last_of(L'\\') + 1);
}

Bytes ReadFileBytes(const std::wstring& path) {
  std::ifstream f(path.c_str(), std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), {});
}

void WriteFileBytes(const std::wstring& path, const Bytes& data) {
  std::ofstream f(path.c_str(), std::ios::binary);
  f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

class CompressorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::random_device rd;
    folder_ = std::wstring(temp) + L"lvdcl" + std::to_wstring(rd()) + L"\\";
    ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
  }
  void TearDown() override {
    SetBoxResponder(nullptr);
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder_ + L"*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((folder_ + fd.cFileName).c_str());
      } while (FindNextFileW(h, &fd));
      FindClose(h);
    }
    RemoveDirectoryW(folder_.c_str());
  }
  void InstallLibrary(const wchar_t* builtName) {
    ASSERT_TRUE(CopyFileW((ExeFolder() + builtName).c_str(), (folder_ + L"impborl.dll").c_str(), FALSE));
  }
  std::wstring folder_;
};

TEST_F(CompressorTest, LoadsLibraryFromFolder) {
  InstallLibrary(L"impborl.dll");
  TCompressor c(folder_);
  EXPECT_TRUE(c.Loaded());
  EXPECT_EQ(c.loadCode(), rc::kOk);
  EXPECT_NE(GetModuleHandleW((folder_ + L"impborl.dll").c_str()), nullptr);
}

TEST_F(CompressorTest, UnloadsLibraryWhenDestroyed) {
  InstallLibrary(L"impborl.dll");
  { TCompressor c(folder_); ASSERT_TRUE(c.Loaded()); }
  EXPECT_EQ(GetModuleHandleW((folder_ + L"impborl.dll").c_str()), nullptr);
  // Unloaded, the file can be deleted again.
  EXPECT_TRUE(DeleteFileW((folder_ + L"impborl.dll").c_str()));
}

TEST_F(CompressorTest, MissingLibraryGivesCode5) {
  TCompressor c(folder_);
  EXPECT_FALSE(c.Loaded());
  EXPECT_EQ(c.loadCode(), rc::kDecompressorFileMissing);
}

TEST_F(CompressorTest, LibraryWithoutAllEntryPointsGivesCode6AndIsFreed) {
  InstallLibrary(L"partial.dll");
  TCompressor c(folder_);
  EXPECT_FALSE(c.Loaded());
  EXPECT_EQ(c.loadCode(), rc::kDecompressorEntryMissing);
  EXPECT_EQ(GetModuleHandleW((folder_ + L"impborl.dll").c_str()), nullptr);
}

TEST_F(CompressorTest, FileThatIsNoLibraryGivesLoadError) {
  WriteFileBytes(folder_ + L"impborl.dll", dcltest::FromString("not a library at all"));
  TCompressor c(folder_);
  EXPECT_FALSE(c.Loaded());
  EXPECT_NE(c.loadCode(), rc::kOk);
  EXPECT_NE(c.loadCode(), rc::kDecompressorFileMissing);
  EXPECT_NE(c.loadCode(), rc::kDecompressorEntryMissing);
}

TEST_F(CompressorTest, EmptyFolderLoadsThroughSystemSearch) {
  // The test program's own folder holds a copy of the library.
  TCompressor c(L"");
  EXPECT_TRUE(c.Loaded());
}

TEST_F(CompressorTest, ExplodesIntoNewFile) {
  InstallLibrary(L"impborl.dll");
  Bytes input = dcltest::TextBytes(3 << 20, 5);
  const Bytes noise = dcltest::RandomBytes(100000, 6);
  input.insert(input.end(), noise.begin(), noise.end());
  for (unsigned mode : {dcl::kBinary, dcl::kAscii}) {
    const Bytes packed = dcl::ImplodeBuffer(input, mode, dcl::kDict4096).data;
    const std::wstring out = folder_ + L"out.bin";
    WriteFileBytes(out, Bytes(10 << 20, 'x'));  // a longer file is replaced
    TCompressor c(folder_);
    ASSERT_TRUE(c.Loaded());
    EXPECT_EQ(c.ExplodeToFile(out, packed.data(), static_cast<std::uint32_t>(packed.size())), rc::kOk);
    EXPECT_EQ(c.lastExplodeResult(), static_cast<unsigned>(rc::kDclOk));
    EXPECT_TRUE(ReadFileBytes(out) == input);
  }
}

TEST_F(CompressorTest, BadDataLeavesShortFileForLengthCheck) {
  InstallLibrary(L"impborl.dll");
  const Bytes input = dcltest::TextBytes(100000, 7);
  const Bytes packed = dcl::ImplodeBuffer(input, dcl::kBinary, dcl::kDict2048).data;
  TCompressor c(folder_);
  ASSERT_TRUE(c.Loaded());
  const std::wstring out = folder_ + L"cut.bin";
  EXPECT_EQ(c.ExplodeToFile(out, packed.data(), static_cast<std::uint32_t>(packed.size() / 2)), rc::kOk);
  EXPECT_EQ(c.lastExplodeResult(), static_cast<unsigned>(rc::kDclBadData));
  EXPECT_LT(ReadFileBytes(out).size(), input.size());
}

TEST_F(CompressorTest, UncreatableFileShowsZipErrorBox) {
  InstallLibrary(L"impborl.dll");
  std::wstring text;
  int boxes = 0;
  SetBoxResponder([&](BoxKind kind, const std::wstring& t, BoxButtons buttons) {
    ++boxes;
    EXPECT_EQ(kind, BoxKind::Error);
    EXPECT_EQ(buttons, BoxButtons::Abort);
    text = t;
    return BoxAnswer::Abort;
  });
  const Bytes packed = dcl::ImplodeBuffer(dcltest::FromString("data"), dcl::kBinary, dcl::kDict1024).data;
  TCompressor c(folder_);
  ASSERT_TRUE(c.Loaded());
  const rc::Result code = c.ExplodeToFile(folder_ + L"no such folder\\out.bin", packed.data(),
                                          static_cast<std::uint32_t>(packed.size()));
  EXPECT_EQ(code, static_cast<rc::Result>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(boxes, 1);
  const std::wstring prefix = L"Zip Error: Problem expanding data in memory. \r\n\r\n";
  ASSERT_GT(text.size(), prefix.size());
  EXPECT_EQ(text.substr(0, prefix.size()), prefix);
}

TEST(CompressorExports, ResolvedByName) {
  HMODULE lib = LoadLibraryW((ExeFolder() + L"impborl.dll").c_str());
  ASSERT_NE(lib, nullptr);
  EXPECT_NE(GetProcAddress(lib, "_implode"), nullptr);
  EXPECT_NE(GetProcAddress(lib, "_explode"), nullptr);
  EXPECT_NE(GetProcAddress(lib, "_crc32"), nullptr);
  EXPECT_EQ(GetProcAddress(lib, "implode"), nullptr);
  // crc32 through the export, as a caller of the library uses it.
  using Crc32Fn = unsigned long(__cdecl*)(char*, unsigned*, unsigned long*);
  auto crc32 = reinterpret_cast<Crc32Fn>(reinterpret_cast<void (*)()>(GetProcAddress(lib, "_crc32")));
  char text[] = "123456789";
  unsigned size = 9;
  unsigned long crc = 0xFFFFFFFFul;
  EXPECT_EQ(crc32(text, &size, &crc) ^ 0xFFFFFFFFul, 0xCBF43926ul);
  FreeLibrary(lib);
}

}  // namespace
