// The sample screen saver under Wine, installed into a scratch folder the way
// the installer leaves it: program, data folder with saver.dat and content,
// uninstall entry under both roots, system.ini naming it.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "system/LMV_FileUtils.h"
#include "system/LMV_RegistryUtils.h"
#include "system/SaverRegistration.h"
#include "tests/system/ProfileState.h"
#include "tests/system/TestFolders.h"

using testfs::Exists;
using testfs::ScratchFolder;
using testfs::WriteText;

namespace {

const wchar_t kSaverWindowClass[] = L"LvSampleSaverWindow";
constexpr DWORD kWaitMs = 10000;

std::wstring ModuleFolder() {
  wchar_t buffer[MAX_PATH + 1];
  DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH + 1);
  std::wstring path(buffer, length);
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

void WriteBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

// A plain movie: header with a 400 x 300 pixel frame, a background colour tag, the end tag.
std::vector<std::uint8_t> PlainMovie(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  std::vector<std::uint8_t> bytes = {'F', 'W', 'S', 6, 0, 0, 0, 0};
  // Frame rectangle: 5-bit field size (14), then xMin, xMax, yMin, yMax in
  // twips; 61 bits, padded to whole bytes.
  const std::uint32_t fields[] = {0, 8000, 0, 6000};
  std::uint64_t bits = 14;
  int count = 5;
  for (std::uint32_t field : fields) {
    bits = (bits << 14) | field;
    count += 14;
  }
  bits <<= (8 - count % 8) % 8;
  count += (8 - count % 8) % 8;
  for (int shift = count - 8; shift >= 0; shift -= 8) {
    bytes.push_back(static_cast<std::uint8_t>(bits >> shift));
  }
  const std::uint8_t rest[] = {0x00, 0x0C, 1, 0,           // 12 frames/s, 1 frame
                               0x43, 0x02, red, green, blue,  // SetBackgroundColor (9), 3 bytes
                               0x40, 0x00, 0x00, 0x00};       // ShowFrame, End
  bytes.insert(bytes.end(), std::begin(rest), std::end(rest));
  const std::uint32_t length = static_cast<std::uint32_t>(bytes.size());
  for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<std::uint8_t>(length >> (8 * i));
  return bytes;
}

// saver.dat as the installer writes it: 1,240 bytes with entryCount and saverContentKind.
std::vector<std::uint8_t> SettingsBlock(std::int32_t entryCount, std::int32_t contentKind) {
  std::vector<std::uint8_t> bytes(1240, 0);
  for (int i = 0; i < 4; ++i) {
    bytes[212 + i] = static_cast<std::uint8_t>(entryCount >> (8 * i));
    bytes[1204 + i] = static_cast<std::uint8_t>(contentKind >> (8 * i));
  }
  return bytes;
}

class RunningProgram {
 public:
  explicit RunningProgram(std::wstring commandLine) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    started_ = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &startup, &info_) != 0;
    if (started_) CloseHandle(info_.hThread);
  }
  ~RunningProgram() {
    if (!started_) return;
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info_.hProcess, 99);
    CloseHandle(info_.hProcess);
  }
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;
  bool started() const { return started_; }
  // The exit code, or -1 when the program is still running after `ms`.
  long ExitCode(DWORD ms) {
    if (WaitForSingleObject(info_.hProcess, ms) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return static_cast<long>(code);
  }

 private:
  PROCESS_INFORMATION info_ = {};
  bool started_ = false;
};

HWND WaitForWindow(HWND parent, const wchar_t* windowClass, const wchar_t* title) {
  for (DWORD waited = 0; waited < kWaitMs; waited += 20) {
    HWND window = parent != nullptr ? FindWindowExW(parent, nullptr, windowClass, title)
                                    : FindWindowW(windowClass, title);
    if (window != nullptr) return window;
    Sleep(20);
  }
  return nullptr;
}

bool KeyExists(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// Whether the system holds a delete of `path` for the next restart
// (PendingFileRenameOperations: pairs of "\??\" + path, then an empty target).
const wchar_t kSessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingValue[] = L"PendingFileRenameOperations";

std::wstring PendingOperations() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return {};
  }
  DWORD bytes = 0;
  std::wstring text;
  if (RegQueryValueExW(key, kPendingValue, nullptr, nullptr, nullptr, &bytes) == ERROR_SUCCESS) {
    text.resize(bytes / sizeof(wchar_t));
    RegQueryValueExW(key, kPendingValue, nullptr, nullptr, reinterpret_cast<BYTE*>(text.data()),
                     &bytes);
  }
  RegCloseKey(key);
  return text;
}

bool PendingDeleteNames(const std::wstring& path) {
  const std::wstring operations = PendingOperations();
  return operations.find(path + std::wstring(1, L'\0') + std::wstring(1, L'\0')) !=
         std::wstring::npos;
}

// Puts the pending operations back as they were (the bench is never restarted).
void RestorePendingOperations(const std::wstring& saved) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
    return;
  }
  if (saved.empty()) {
    RegDeleteValueW(key, kPendingValue);
  } else {
    RegSetValueExW(key, kPendingValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(saved.data()),
                   static_cast<DWORD>(saved.size() * sizeof(wchar_t)));
  }
  RegCloseKey(key);
}

class SampleSaver : public ::testing::Test {
 protected:
  void SetUp() override {
    savedPending_ = PendingOperations();
    savedSystemFolder_ = SystemFolder;
    SystemFolder = system_.path();
    name_ = L"LvSample" + std::to_wstring(GetCurrentProcessId());
    program_ = system_.path() + name_ + L".scr";
    data_ = system_.path() + name_ + L" dir\\";
    ASSERT_TRUE(CopyFileW((ModuleFolder() + L"samplesaver.scr").c_str(), program_.c_str(), FALSE));
    ASSERT_TRUE(CreateDirectoryW(data_.c_str(), nullptr));
    WriteBytes(data_ + L"saver.dat", SettingsBlock(1, 3));
  }
  void TearDown() override {
    DeleteRegistryKeyTree(HKEY_LOCAL_MACHINE, UninstallKeyPath(name_));
    DeleteRegistryKeyTree(HKEY_CURRENT_USER, UninstallKeyPath(name_));
    SystemFolder = savedSystemFolder_;
    RestorePendingOperations(savedPending_);
  }
  std::wstring Command(const std::wstring& arguments) const {
    return L"\"" + program_ + L"\" " + arguments;
  }

  testfs::SavedScreenSaverSetting savedProfile_;
  ScratchFolder system_{L"sample"};
  std::wstring savedSystemFolder_;
  std::wstring savedPending_;
  std::wstring name_, program_, data_;
};

TEST_F(SampleSaver, FullScreenShowsTheMovieBackgroundUntilAKey) {
  WriteBytes(data_ + L"movie.swf", PlainMovie(0x20, 0x80, 0xE0));
  RunningProgram saver(Command(L"/s"));
  ASSERT_TRUE(saver.started());
  HWND window = WaitForWindow(nullptr, kSaverWindowClass, nullptr);
  ASSERT_NE(window, nullptr);
  RECT area;
  GetWindowRect(window, &area);
  EXPECT_EQ(area.right - area.left, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(area.bottom - area.top, GetSystemMetrics(SM_CYSCREEN));
  UpdateWindow(window);
  Sleep(300);  // let it paint
  HDC screen = GetDC(nullptr);
  COLORREF corner = GetPixel(screen, 3, 3);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(corner, RGB(0x20, 0x80, 0xE0));

  PostMessageW(window, WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_EQ(saver.ExitCode(kWaitMs), 0);
}

TEST_F(SampleSaver, PreviewLivesInsideTheGivenWindowAndEndsWithIt) {
  HWND parent = CreateWindowW(L"STATIC", L"preview host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                              200, 150, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(parent, nullptr);
  RunningProgram saver(Command(L"/p " + std::to_wstring(reinterpret_cast<UINT_PTR>(parent))));
  ASSERT_TRUE(saver.started());
  HWND child = nullptr;
  for (DWORD waited = 0; waited < kWaitMs && child == nullptr; waited += 20) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    child = FindWindowExW(parent, nullptr, kSaverWindowClass, nullptr);
    if (child == nullptr) Sleep(20);
  }
  ASSERT_NE(child, nullptr) << "no preview window inside the host";
  DestroyWindow(parent);
  EXPECT_EQ(saver.ExitCode(kWaitMs), 0);
}

TEST_F(SampleSaver, PreviewWithoutAWindowEndsWithAFailure) {
  RunningProgram saver(Command(L"/p 0"));
  ASSERT_TRUE(saver.started());
  EXPECT_EQ(saver.ExitCode(kWaitMs), 1);
}

TEST_F(SampleSaver, SettingsBoxDescribesWhatTheInstallerLeft) {
  WriteBytes(data_ + L"movie.swf", PlainMovie(0xFF, 0x00, 0x10));
  RunningProgram saver(Command(L"/c"));
  ASSERT_TRUE(saver.started());
  HWND box = WaitForWindow(nullptr, nullptr, (name_ + L" の設定").c_str());
  ASSERT_NE(box, nullptr);
  wchar_t text[1024] = L"";
  GetDlgItemTextW(box, 0xFFFF, text, 1024);  // the message text of a system box
  const std::wstring shown = text;
  EXPECT_NE(shown.find(L"movie.swf (背景色 #FF0010)"), std::wstring::npos) << shown.c_str();
  EXPECT_NE(shown.find(L"entryCount 1, saverContentKind 3"), std::wstring::npos);
  SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
  EXPECT_EQ(saver.ExitCode(kWaitMs), 0);
}

TEST_F(SampleSaver, UninstallRemovesExactlyWhatTheInstallerPutThere) {
  WriteBytes(data_ + L"movie.swf", PlainMovie(0, 0, 0));
  CreateDirectoryW((data_ + L"sub").c_str(), nullptr);
  WriteText(data_ + L"sub\\page.txt", "x", FILE_ATTRIBUTE_READONLY);
  ASSERT_EQ(WriteUninstallEntry(name_, HKEY_LOCAL_MACHINE), rc::kOk);
  ASSERT_EQ(WriteUninstallEntry(name_, HKEY_CURRENT_USER), rc::kOk);
  ASSERT_EQ(SetCurrentScreenSaver(program_), rc::kOk);
  // Neighbours of the same folder that are not ours.
  WriteText(system_.path() + L"Other.scr", "other");
  CreateDirectoryW((system_.path() + L"Other dir").c_str(), nullptr);
  WriteText(system_.path() + name_ + L"2.scr", "similar name");

  RunningProgram saver(Command(L"/u"));
  ASSERT_TRUE(saver.started());
  EXPECT_EQ(saver.ExitCode(kWaitMs), 0);

  EXPECT_FALSE(Exists(data_));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKeyPath(name_)));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, UninstallKeyPath(name_)));
  EXPECT_EQ(testfs::ProfileScreenSaver(), L"");
  EXPECT_TRUE(Exists(system_.path() + L"Other.scr"));
  EXPECT_TRUE(Exists(system_.path() + L"Other dir"));
  EXPECT_TRUE(Exists(system_.path() + name_ + L"2.scr"));
  // A running program cannot delete its own file: it is gone, or the system
  // deletes it at the next restart.
  EXPECT_TRUE(!Exists(program_) || PendingDeleteNames(program_))
      << "the program file is neither gone nor waiting for the restart";
}

TEST_F(SampleSaver, UninstallLeavesAnotherCurrentScreenSaverAlone) {
  WriteText(system_.path() + L"Other.scr", "other");
  ASSERT_EQ(SetCurrentScreenSaver(system_.path() + L"Other.scr"), rc::kOk);
  const std::wstring other = testfs::ProfileScreenSaver();
  RunningProgram saver(Command(L"/u"));
  ASSERT_TRUE(saver.started());
  EXPECT_EQ(saver.ExitCode(kWaitMs), 0);
  EXPECT_EQ(testfs::ProfileScreenSaver(), other);
}

}  // namespace
