#include "flash/LMV_FlashUtils.h"

#include "flash/FlashControl.h"
#include "flash/SetupProcessTree.h"
#include "messages/Messages.h"
#include "messages/logFile.h"
#include "system/DeferredImports.h"
#include "system/LMV_FileUtils.h"

std::int32_t cachedFlashVersion = -1;

bool restartNeeded = false;
int flashSetupKind = kFlashSetupNone;
bool flashSetupNeeded = false;
bool flashOcxLocked = false;
bool flashSetupDone = false;
bool flashPromptClosed = false;

namespace {

constexpr DWORD kProbePauseMs = 500;
constexpr DWORD kPromptPauseMs = 10;
constexpr int kDeleteAttempts = 100;
constexpr int kPromptNoButton = 7;  // IDNO of a Yes/No box
constexpr wchar_t kPromptTitle[] = L"Macromedia Flash Player 7";
constexpr wchar_t kSetupFileName[] = L"flashax.exe";
constexpr wchar_t kSetupParameters[] = L"/Q";
constexpr INT_PTR kShellSuccessAbove = 32;

FlashSetupHost g_host;

// The setup started by this run and the processes it started in turn.
SetupProcessTree g_setupProcesses;

void BringToFront() {
  if (g_host.bringToFront)
    g_host.bringToFront();
  else if (g_host.appWindow)
    SetForegroundWindow(g_host.appWindow);
}

void ProcessMessages() {
  if (g_host.processMessages) {
    g_host.processMessages();
    return;
  }
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Waits `ms` milliseconds while letting windows repaint (and nothing else, so
// no click can run installer code in the middle of the probe).
void WaitPainting(DWORD ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= ms) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_PAINT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageW(&msg);
  }
}

// Creation failures that only a (re)installation of the player can cure.
bool PlayerAbsent(HRESULT hr) {
  return hr == REGDB_E_CLASSNOTREG || hr == CO_E_DLLNOTFOUND || hr == CO_E_ERRORINDLL ||
         hr == HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND) || hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) ||
         hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND) || hr == HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT);
}

bool FileExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring ControlFilePath(const std::wstring& systemFolder, const wchar_t* name) {
  return systemFolder + L"Macromed\\Flash\\" + name;
}

}  // namespace

void SetFlashSetupHost(FlashSetupHost host) { g_host = std::move(host); }

bool flashSetupRunning() { return g_setupProcesses.running(); }

rc::Result getFlashVersion(bool& ok, std::int32_t& major, int attempts) {
  ok = true;
  rc::Result result = 0;
  if (cachedFlashVersion == -1) {
    major = 0;
    ok = false;
    bool probeCreated = false;
    bool lastChance = false;
    for (int attempt = 0; attempt < attempts && !probeCreated; ++attempt) {
      WaitPainting(kProbePauseMs);
      try {
        TFlashControl probe;
        probeCreated = true;
        ComVariant version;
        probe.callMethod(L"FlashVersion", {}, &version);
        ComVariant asLong;
        CheckHr(deferred::VariantChangeType(asLong.get(), version.get(), 0, VT_I4),
                "FlashVersion is not a number");
        major = asLong->lVal >> 16;
        ok = true;
        result = 0;
        cachedFlashVersion = major;
      } catch (const ComError& e) {
        result = rc::kNoProbeControl;
        // Waiting helps only while a process of our setup may still register
        // the control; one more probe after the last one ended covers a
        // registration just before.
        if (!probeCreated && PlayerAbsent(e.hr()) && !flashSetupRunning()) {
          if (lastChance) break;
          lastChance = true;
        }
      }
    }
  }
  major = cachedFlashVersion;
  return result;
}

void getFlashOcxVersion(std::int32_t& major, std::int32_t& third) {
  major = 0;
  third = 0;
  const std::wstring system = GetSystemFolder();
  const std::wstring flashOcx = ControlFilePath(system, L"Flash.ocx");
  const std::wstring swflashOcx = ControlFilePath(system, L"swflash.ocx");
  int first = 0, build = 0;
  if (FileExists(flashOcx))
    GetFileVersionNumbers(flashOcx, first, build);
  else if (FileExists(swflashOcx))
    GetFileVersionNumbers(swflashOcx, first, build);
  major = first;
  third = build;
}

void isFlashInstalled(bool& present, std::int32_t& major) {
  std::int32_t third = 0;
  getFlashOcxVersion(major, third);
  present = major > 0;
}

bool deleteOldFlashOcx() {
  SystemFolder = GetSystemFolder();
  bool remained = false;
  for (const wchar_t* name : {L"Flash.ocx", L"swflash.ocx"}) {
    const std::wstring path = ControlFilePath(SystemFolder, name);
    if (FileExists(path) && DeleteFileRetry(path, kDeleteAttempts) != 0) remained = true;
  }
  return remained;
}

rc::Result runFlashSetup() {
  const std::wstring path = WorkFolder + kSetupFileName;
  if (!FileExists(path)) return rc::kFlashSetupMissing;
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.hwnd = g_host.appWindow;
  info.lpVerb = nullptr;
  info.lpFile = path.c_str();
  info.lpParameters = kSetupParameters;
  info.lpDirectory = nullptr;
  info.nShow = SW_HIDE;
  deferred::ShellExecuteExW(&info);
  g_setupProcesses.track(info.hProcess);
  BringToFront();
  const INT_PTR code = reinterpret_cast<INT_PTR>(info.hInstApp);
  if (code > kShellSuccessAbove) return 0;
  if (code == 0) return rc::kOutOfMemory;
  return static_cast<rc::Result>(code);
}

void checkFlashPlayer() {
  bool present = false;
  std::int32_t major = 0;
  isFlashInstalled(present, major);
  if (!present) {
    flashSetupNeeded = true;
    flashSetupKind = kFlashSetupFirstInstall;
  } else if (major < kRequiredFlashMajor) {
    LogMessage(L"==== majorVersionUpdate ====");
    flashSetupNeeded = true;
    flashSetupKind = kFlashSetupMajorUpdate;
    flashOcxLocked = deleteOldFlashOcx();
  } else {
    std::int32_t third = 0;
    getFlashOcxVersion(major, third);
    if (third < kRequiredFlashThird) {
      flashSetupNeeded = true;
      flashSetupKind = kFlashSetupMinorUpdate;
      flashOcxLocked = deleteOldFlashOcx();
    } else {
      flashSetupNeeded = false;
      flashSetupKind = kFlashSetupNone;
    }
  }
  if (flashSetupNeeded && !flashOcxLocked) installFlashPlayer();
}

rc::Result installFlashPlayer() {
  rc::Result r = runFlashSetup();
  if (r != 0) return r;
  flashSetupDone = true;
  bool ok = false;
  std::int32_t major = 0;
  getFlashVersion(ok, major, kProbeAttempts);
  if (flashSetupKind == kFlashSetupMajorUpdate && flashOcxLocked) restartNeeded = true;
  return 0;
}

void closeFlashSetupPrompt(int attempts) {
  if (flashPromptClosed) return;
  HWND prompt = nullptr;
  for (int attempt = 0; attempt < attempts && !prompt; ++attempt) {
    ProcessMessages();
    prompt = FindWindowW(nullptr, kPromptTitle);
    if (prompt) break;
    // Once every process of our setup has ended, its prompt cannot appear any more.
    if (!flashSetupRunning()) break;
    Sleep(kPromptPauseMs);
  }
  if (!prompt) return;
  BringToFront();
  SendMessageW(GetDlgItem(prompt, kPromptNoButton), BM_CLICK, 0, 0);
  flashPromptClosed = true;
}

void askRestartAfterFlashSetup() {
  BringToFront();
  closeFlashSetupPrompt(kPromptAttempts);
  const std::wstring caption = LoadMessage(msg::sInstalled);
  const std::wstring text = LoadMessage(msg::sRestartQuery);
  bool yes;
  if (g_host.askYesNo)
    yes = g_host.askYesNo(caption, text);
  else
    yes = MessageBoxW(g_host.appWindow, text.c_str(), caption.c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
  if (yes && g_host.restartWindows) g_host.restartWindows();
  closeFlashSetupPrompt(kPromptAttempts);
}
