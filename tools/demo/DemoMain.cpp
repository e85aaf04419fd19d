// lvdemo: runs a demo installer the way its user would and photographs each screen.
//   lvdemo INSTALLER FOLDER
//   lvdemo time INSTALLER      prints the start-up and installation times
//   lvdemo time-window PROGRAM [ARGUMENT...]
//                              prints the time until PROGRAM shows a window, then ends it
//   lvdemo blank               shows an empty window until it is closed (the least a
//                              window program does, for time-window)
//   lvdemo session READY       keeps the desktop up, as a user's logged-in session does,
//                              with one hidden window; makes the file READY once it is up
// Waits for the preparing window and the installer window, presses Install,
// answers the display-properties question with "はい", closes the display
// properties when they open, and waits for the installer to end. Screenshots
// (BMP) land in FOLDER. Exit code: the installer's, or 10+ when a step did not happen.
#include <cstdio>
#include <string>
#include <vector>

#include "tests/helper/Probe.h"

namespace {

constexpr DWORD kStartupTimeoutMs = 60000;  // includes the quiet player setup
constexpr DWORD kInstallTimeoutMs = 60000;
constexpr int kDisplayPropertiesCancelId = 2;
// Timed waits look often, so that a figure is not rounded up to the probe's usual pace.
constexpr DWORD kTimingPollMs = 10;

enum DemoFailure {
  kNoStart = 10,
  kNoInstallerWindow,
  kNoInstallButton,
  kNoQuestion,
  kNoEnd,
};

void Say(const char* text) {
  std::printf("lvdemo: %s\n", text);
  std::fflush(stdout);
}

// Prints "lvdemo: <label> "<text>"" with the text in UTF-8 (the C runtime's %ls
// would drop every Japanese character).
void SayText(const char* label, const std::wstring& text) {
  std::string utf8;
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  if (size > 0) {
    utf8.resize(static_cast<size_t>(size));
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], size,
                        nullptr, nullptr);
  }
  std::printf("lvdemo: %s \"%s\"\n", label, utf8.c_str());
  std::fflush(stdout);
}

int Run(const std::wstring& installer, const std::wstring& folder) {
  probe::Process process;
  if (!process.Start(installer)) return kNoStart;
  if (probe::WaitForWindow(process.id(), L"TpreparingInstallWnd", L"", true, 10000) != nullptr) {
    probe::SaveScreenshot(folder + L"\\1-preparing.bmp");
    Say("preparing window shown");
  }
  HWND form = probe::WaitForWindow(process.id(), L"TInstallerForm", L"", true, kStartupTimeoutMs);
  if (form == nullptr) return kNoInstallerWindow;
  probe::Pause(800);  // let the movie paint
  probe::SaveScreenshot(folder + L"\\2-installer.bmp");
  SayText("installer window", probe::TextOf(form));

  HWND install = probe::FindDescendant(form, L"Button", L"インストール");
  if (install == nullptr) install = probe::FindDescendant(form, L"Button", L"了承/インストール");
  if (install == nullptr) return kNoInstallButton;
  probe::Click(install);
  Say("Install pressed");

  HWND question = probe::WaitForBox(process.id(), L"確認", kInstallTimeoutMs);
  if (question == nullptr) return kNoQuestion;
  probe::Pause(500);  // let the box paint its text
  probe::SaveScreenshot(folder + L"\\3-complete-question.bmp");
  SayText("question", probe::BoxText(question));
  probe::AnswerBox(question, L"はい");

  // The display properties (our stand-in applet) open in their own process.
  HWND display = nullptr;
  for (int i = 0; i < 100 && display == nullptr; ++i) {
    display = FindWindowW(nullptr, L"画面のプロパティ");
    if (display == nullptr) probe::Pause(100);
  }
  if (display != nullptr) {
    probe::Pause(500);
    probe::SaveScreenshot(folder + L"\\4-display-properties.bmp");
    Say("display properties opened");
    SendDlgItemMessageW(display, kDisplayPropertiesCancelId, BM_CLICK, 0, 0);
  }
  DWORD exitCode = 0;
  if (!process.WaitExit(exitCode, kInstallTimeoutMs)) return kNoEnd;
  std::printf("lvdemo: installer ended with exit code %lu\n", exitCode);
  return static_cast<int>(exitCode);
}

// Times the two waits a user sees: from start to the installer window, and from
// pressing Install to the completion question (answered "いいえ"). The start and the
// window's appearance are also printed as tick counts, the clock of Wine's trace
// timestamps, so that a traced run can be split at the installer's own events.
int Time(const std::wstring& installer) {
  probe::Process process;
  const DWORD started = GetTickCount();
  if (!process.Start(installer)) return kNoStart;
  HWND form = probe::WaitForWindow(process.id(), L"TInstallerForm", L"", true, kStartupTimeoutMs,
                                   kTimingPollMs);
  if (form == nullptr) return kNoInstallerWindow;
  const DWORD shown = GetTickCount();
  HWND install = probe::FindDescendant(form, L"Button", L"インストール");
  if (install == nullptr) install = probe::FindDescendant(form, L"Button", L"了承/インストール");
  if (install == nullptr) return kNoInstallButton;
  probe::Click(install);
  const DWORD pressed = GetTickCount();
  HWND question = probe::WaitForBox(process.id(), L"確認", kInstallTimeoutMs);
  if (question == nullptr) return kNoQuestion;
  const DWORD asked = GetTickCount();
  probe::AnswerBox(question, L"いいえ");
  DWORD exitCode = 0;
  if (!process.WaitExit(exitCode, kInstallTimeoutMs)) return kNoEnd;
  std::printf("startup_ms=%lu\ninstall_ms=%lu\nstarted_tick=%lu\nshown_tick=%lu\n", shown - started,
              asked - pressed, started, shown);
  return static_cast<int>(exitCode);
}

// Times another program's start-up the same way: from start to its first visible
// top-level window (a peer installer's first page), with the same tick counts. The program
// is ended afterwards.
int TimeWindow(const std::wstring& program, const std::vector<std::wstring>& arguments) {
  probe::Process process;
  const DWORD started = GetTickCount();
  if (!process.Start(program, {}, arguments)) return kNoStart;
  if (probe::WaitForWindow(process.id(), L"", L"", true, kStartupTimeoutMs, kTimingPollMs) == nullptr)
    return kNoInstallerWindow;
  const DWORD shown = GetTickCount();
  process.Kill();
  std::printf("window_ms=%lu\nstarted_tick=%lu\nshown_tick=%lu\n", shown - started, started, shown);
  return 0;
}

LRESULT CALLBACK BlankProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(window, message, wParam, lParam);
}

// A top-level window of the demo's own class; WS_VISIBLE in STYLE shows it.
HWND MakeWindow(const wchar_t* className, DWORD style) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = BlankProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = className;
  RegisterClassW(&windowClass);
  return CreateWindowW(className, L"lvdemo", style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                       CW_USEDEFAULT, nullptr, nullptr, windowClass.hInstance, nullptr);
}

int RunMessageLoop() {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  return 0;
}

int Blank() {
  if (MakeWindow(L"LvDemoBlank", WS_OVERLAPPEDWINDOW | WS_VISIBLE) == nullptr) return kNoInstallerWindow;
  return RunMessageLoop();
}

// Keeps the desktop up as a logged-in session does (why: scripts/wine-bench): the hidden
// window makes this program a user of the desktop until the bench's server ends it.
int Session(const std::wstring& ready) {
  if (MakeWindow(L"LvDemoSession", WS_OVERLAPPEDWINDOW) == nullptr) return kNoInstallerWindow;
  HANDLE marker = CreateFileW(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (marker == INVALID_HANDLE_VALUE) return kNoStart;
  CloseHandle(marker);
  return RunMessageLoop();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wstring(argv[1]) == L"time") return Time(argv[2]);
  if (argc >= 3 && std::wstring(argv[1]) == L"time-window")
    return TimeWindow(argv[2], std::vector<std::wstring>(argv + 3, argv + argc));
  if (argc == 2 && std::wstring(argv[1]) == L"blank") return Blank();
  if (argc == 3 && std::wstring(argv[1]) == L"session") return Session(argv[2]);
  if (argc == 3) return Run(argv[1], argv[2]);
  std::fprintf(stderr, "usage: lvdemo INSTALLER FOLDER | lvdemo time INSTALLER | lvdemo time-window PROGRAM [ARGUMENT...] | lvdemo blank | lvdemo session READY\n");
  return 2;
}
