// DeleteFolderTree on real trees under Wine: nested read-only and hidden
// content, files that stay, and links that must not be followed.
#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>

#include <cstddef>
#include <string>
#include <vector>

#include "system/LMV_FileUtils.h"
#include "tests/system/TestFolders.h"

using testfs::Exists;
using testfs::ScratchFolder;
using testfs::WriteText;

namespace {

class FolderTree : public ::testing::Test {
 protected:
  ScratchFolder root_{L"tree"};
  std::wstring Path(const std::wstring& relative) const { return root_.path() + relative; }
  void MakeFolder(const std::wstring& relative, DWORD attributes = 0) {
    CreateDirectoryW(Path(relative).c_str(), nullptr);
    if (attributes != 0) SetFileAttributesW(Path(relative).c_str(), attributes);
  }
};

TEST_F(FolderTree, NestedReadOnlyAndHiddenContentIsRemovedWithTheFolder) {
  MakeFolder(L"saver dir");
  MakeFolder(L"saver dir\\a");
  MakeFolder(L"saver dir\\a\\b");
  MakeFolder(L"saver dir\\hidden", FILE_ATTRIBUTE_HIDDEN);
  WriteText(Path(L"saver dir\\top.txt"), "x", FILE_ATTRIBUTE_READONLY);
  WriteText(Path(L"saver dir\\a\\h.dat"), "x", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  WriteText(Path(L"saver dir\\a\\b\\deep.swf"), "x", FILE_ATTRIBUTE_READONLY);
  WriteText(Path(L"saver dir\\hidden\\noext"), "x");
  MakeFolder(L"saver dir\\a\\b", FILE_ATTRIBUTE_READONLY);  // read-only folder last

  EXPECT_EQ(DeleteFolderTree(Path(L"saver dir\\")), rc::kOk);
  EXPECT_FALSE(Exists(Path(L"saver dir")));
  EXPECT_TRUE(Exists(root_.path()));
}

TEST_F(FolderTree, MissingFolderCountsAsRemovedAndEmptyPathIsRefused) {
  EXPECT_EQ(DeleteFolderTree(Path(L"absent\\")), rc::kOk);
  EXPECT_EQ(DeleteFolderTree(L""), rc::kFolderRemoveFailed);
}

TEST_F(FolderTree, HeldFileStopsTheRemovalAndTheFolderStays) {
  MakeFolder(L"busy");
  WriteText(Path(L"busy\\in-use.dll"), "x");
  testfs::HeldFile held(Path(L"busy\\in-use.dll"));
  ASSERT_TRUE(held.held());
  EXPECT_EQ(DeleteFolderTree(Path(L"busy\\")), rc::kFileBusy);
  EXPECT_TRUE(Exists(Path(L"busy\\in-use.dll")));
}

TEST_F(FolderTree, SubfolderThatStaysMakesTheParentStayWithMinusOne) {
  MakeFolder(L"outer");
  MakeFolder(L"outer\\inner");
  WriteText(Path(L"outer\\inner\\held.txt"), "x");
  testfs::HeldFile held(Path(L"outer\\inner\\held.txt"));
  ASSERT_TRUE(held.held());
  EXPECT_EQ(DeleteFolderTree(Path(L"outer\\")), rc::kFolderRemoveFailed);
  EXPECT_TRUE(Exists(Path(L"outer\\inner\\held.txt")));
}

// --- links inside the tree ------------------------------------------------------

// The mount-point form of the system's reparse data, as FSCTL_SET_REPARSE_POINT
// takes it: a header, then the substitute ("\??\C:\...") and print names.
bool MakeJunction(const std::wstring& link, const std::wstring& target) {
  if (!CreateDirectoryW(link.c_str(), nullptr)) return false;
  HANDLE handle = CreateFileW(link.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  std::wstring substitute = L"\\??\\" + target;
  const std::size_t headerBytes = 8;       // tag, data length, reserved
  const std::size_t mountHeaderBytes = 8;  // four name offsets/lengths
  std::size_t nameBytes = (substitute.size() + 1 + target.size() + 1) * sizeof(wchar_t);
  std::vector<unsigned char> buffer(headerBytes + mountHeaderBytes + nameBytes);
  auto put16 = [&](std::size_t at, std::size_t value) {
    buffer[at] = static_cast<unsigned char>(value & 0xFF);
    buffer[at + 1] = static_cast<unsigned char>((value >> 8) & 0xFF);
  };
  DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
  memcpy(buffer.data(), &tag, 4);
  put16(4, mountHeaderBytes + nameBytes);
  put16(8, 0);
  put16(10, substitute.size() * sizeof(wchar_t));
  put16(12, (substitute.size() + 1) * sizeof(wchar_t));
  put16(14, target.size() * sizeof(wchar_t));
  memcpy(buffer.data() + 16, substitute.c_str(), (substitute.size() + 1) * sizeof(wchar_t));
  memcpy(buffer.data() + 16 + (substitute.size() + 1) * sizeof(wchar_t), target.c_str(),
         (target.size() + 1) * sizeof(wchar_t));
  DWORD returned = 0;
  BOOL ok = DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, buffer.data(),
                            static_cast<DWORD>(buffer.size()), nullptr, 0, &returned, nullptr);
  CloseHandle(handle);
  if (!ok) RemoveDirectoryW(link.c_str());
  return ok != 0;
}

bool IsLink(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

class LinksInTree : public FolderTree {
 protected:
  void SetUp() override {
    MakeFolder(L"target");
    WriteText(Path(L"target\\precious.txt"), "must survive", FILE_ATTRIBUTE_READONLY);
    MakeFolder(L"target\\sub");
    WriteText(Path(L"target\\sub\\also.txt"), "must survive");
    MakeFolder(L"tree");
    WriteText(Path(L"tree\\own.txt"), "x");
  }
  void ExpectTargetUntouched() {
    EXPECT_TRUE(Exists(Path(L"target\\precious.txt")));
    EXPECT_TRUE(Exists(Path(L"target\\sub\\also.txt")));
  }
};

TEST_F(LinksInTree, JunctionIsRemovedNotFollowed) {
  if (!MakeJunction(Path(L"tree\\junction"), Path(L"target"))) {
    GTEST_SKIP() << "this Wine cannot create a junction (error " << GetLastError() << ")";
  }
  ASSERT_TRUE(IsLink(Path(L"tree\\junction")));
  ASSERT_TRUE(Exists(Path(L"tree\\junction\\precious.txt")));
  EXPECT_EQ(DeleteFolderTree(Path(L"tree\\")), rc::kOk);
  EXPECT_FALSE(Exists(Path(L"tree")));
  ExpectTargetUntouched();
}

TEST_F(LinksInTree, TreeThatIsItselfAJunctionLosesOnlyTheLink) {
  if (!MakeJunction(Path(L"tree\\junction"), Path(L"target"))) {
    GTEST_SKIP() << "this Wine cannot create a junction (error " << GetLastError() << ")";
  }
  EXPECT_EQ(DeleteFolderTree(Path(L"tree\\junction\\")), rc::kOk);
  EXPECT_FALSE(Exists(Path(L"tree\\junction")));
  ExpectTargetUntouched();
}

// Links that Wine shows as reparse points: Unix symbolic links to folders
// inside the drive. The script tests/system/unix-links.sh makes them (Windows
// programs cannot create links under Wine 8) and names the prepared folder in
// LV_LINK_ROOT:  tree\own.txt, tree\dirlink -> target (target\precious.txt,
// target\sub\also.txt).
class UnixLinks : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t buffer[MAX_PATH + 1];
    DWORD length = GetEnvironmentVariableW(L"LV_LINK_ROOT", buffer, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) GTEST_SKIP() << "run through tests/system/unix-links.sh";
    root_.assign(buffer, length);
  }
  std::wstring root_;
};

TEST_F(UnixLinks, LinkedFolderIsNeverEntered) {
  ASSERT_TRUE(IsLink(root_ + L"tree\\dirlink"));
  ASSERT_TRUE(Exists(root_ + L"tree\\dirlink\\precious.txt"));
  rc::Result result = DeleteFolderTree(root_ + L"tree\\");
  EXPECT_TRUE(Exists(root_ + L"target\\precious.txt"));
  EXPECT_TRUE(Exists(root_ + L"target\\sub\\also.txt"));
  EXPECT_FALSE(Exists(root_ + L"tree\\own.txt"));
  // Wine cannot remove a Unix link to a folder through the Windows calls; then
  // the link, and so the tree, stays and the result says so.
  if (result == rc::kOk) {
    EXPECT_FALSE(Exists(root_ + L"tree"));
  } else {
    EXPECT_EQ(result, rc::kFolderRemoveFailed);
    EXPECT_TRUE(IsLink(root_ + L"tree\\dirlink"));
  }
}

}  // namespace
