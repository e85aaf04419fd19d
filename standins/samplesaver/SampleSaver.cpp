// A small real screen saver for the demo and the tests, reading what the
// installer leaves in its data folder.
//   /s          full screen until a key, a mouse button or a mouse move
//   /p HWND     preview inside the given window (also "/p:HWND")
//   /c[:HWND]   settings box (also without arguments)
//   /u          removes itself: data folder, uninstall entry, its own file
// It shows the movie's background colour with the movie's name, or the picture.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <string>

#include "standins/samplesaver/SaverContent.h"
#include "standins/samplesaver/SaverUninstall.h"

namespace {

const wchar_t kWindowClass[] = L"LvSampleSaverWindow";
constexpr int kMouseMoveTolerance = 4;  // pixels a resting mouse may jitter
constexpr int kPreviewTextHeight = 12;
constexpr int kFullScreenTextDivisor = 12;  // text height = screen height / 12

enum class Mode { FullScreen, Preview, Settings, Uninstall };

struct SaverWindow {
  SaverContent content;
  Mode mode = Mode::FullScreen;
  HBITMAP picture = nullptr;
  bool mouseKnown = false;
  POINT mouseStart = {};
};
SaverWindow g_saver;

std::wstring ProgramPath() {
  wchar_t buffer[MAX_PATH + 1];
  DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH + 1);
  return std::wstring(buffer, length);
}

// A window handle given in decimal; nullptr when there is none or it is not a window.
HWND ParseWindow(const std::wstring& text) {
  if (text.empty()) return nullptr;
  wchar_t* end = nullptr;
  unsigned long value = wcstoul(text.c_str(), &end, 10);
  if (end == text.c_str() || *end != L'\0') return nullptr;
  HWND window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(value));
  return IsWindow(window) ? window : nullptr;
}

bool IsDark(COLORREF colour) {
  return GetRValue(colour) * 299 + GetGValue(colour) * 587 + GetBValue(colour) * 114 < 128000;
}

void Paint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT area;
  GetClientRect(window, &area);
  const SaverContent& content = g_saver.content;
  HBRUSH background = CreateSolidBrush(content.background);
  FillRect(dc, &area, background);
  DeleteObject(background);

  if (g_saver.picture != nullptr) {
    BITMAP info;
    GetObjectW(g_saver.picture, sizeof(info), &info);
    const int width = area.right, height = area.bottom;
    // Fit inside the window, keeping the picture's proportions.
    int drawWidth = width, drawHeight = info.bmWidth > 0 ? width * info.bmHeight / info.bmWidth : 0;
    if (drawHeight > height && info.bmHeight > 0) {
      drawHeight = height;
      drawWidth = height * info.bmWidth / info.bmHeight;
    }
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, g_saver.picture);
    SetStretchBltMode(dc, HALFTONE);
    StretchBlt(dc, (width - drawWidth) / 2, (height - drawHeight) / 2, drawWidth, drawHeight,
               source, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
  } else {
    std::wstring label = content.moviePath.empty() ? content.name : FileNameOf(content.moviePath);
    int textHeight = g_saver.mode == Mode::Preview ? kPreviewTextHeight
                                                   : area.bottom / kFullScreenTextDivisor;
    HFONT font = CreateFontW(-textHeight, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH, L"MS UI Gothic");
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, IsDark(content.background) ? RGB(255, 255, 255) : RGB(0, 0, 0));
    DrawTextW(dc, label.c_str(), -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, oldFont);
    DeleteObject(font);
  }
  EndPaint(window, &paint);
}

// Full screen ends on any key, button or a real mouse move.
bool EndsFullScreen(UINT message, LPARAM lParam) {
  switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      return true;
    case WM_MOUSEMOVE: {
      POINT at = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      if (!g_saver.mouseKnown) {
        g_saver.mouseKnown = true;
        g_saver.mouseStart = at;
        return false;
      }
      return std::abs(at.x - g_saver.mouseStart.x) > kMouseMoveTolerance ||
             std::abs(at.y - g_saver.mouseStart.y) > kMouseMoveTolerance;
    }
    default:
      return false;
  }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_saver.mode == Mode::FullScreen && EndsFullScreen(message, lParam)) {
    DestroyWindow(window);
    return 0;
  }
  switch (message) {
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_SETCURSOR:
      if (g_saver.mode == Mode::FullScreen) {
        SetCursor(nullptr);
        return TRUE;
      }
      break;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

int RunWindow(HINSTANCE instance, HWND parent) {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kWindowClass;
  if (!RegisterClassW(&windowClass)) return 1;

  const SaverContent& content = g_saver.content;
  if (!content.picturePath.empty()) {
    g_saver.picture = static_cast<HBITMAP>(
        LoadImageW(nullptr, content.picturePath.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
  }
  HWND window = nullptr;
  if (g_saver.mode == Mode::Preview) {
    RECT area;
    GetClientRect(parent, &area);
    window = CreateWindowExW(0, kWindowClass, content.name.c_str(), WS_CHILD | WS_VISIBLE, 0, 0,
                             area.right, area.bottom, parent, nullptr, instance, nullptr);
  } else {
    window = CreateWindowExW(WS_EX_TOPMOST, kWindowClass, content.name.c_str(),
                             WS_POPUP | WS_VISIBLE, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                             GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, instance, nullptr);
  }
  if (window == nullptr) return 1;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (g_saver.picture != nullptr) DeleteObject(g_saver.picture);
  return 0;
}

int ShowSettings(HWND parent) {
  const SaverContent& content = g_saver.content;
  MessageBoxW(parent, DescribeContent(content).c_str(), (content.name + L" の設定").c_str(),
              MB_OK | MB_ICONINFORMATION);
  return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  std::wstring option = count > 1 ? arguments[1] : L"/c";
  std::wstring value = count > 2 ? arguments[2] : L"";
  if (arguments != nullptr) LocalFree(arguments);
  // "/p:1234" carries its window in the same argument.
  if (option.size() > 3 && option[2] == L':') {
    value = option.substr(3);
    option = option.substr(0, 2);
  }
  const wchar_t letter = option.size() >= 2 && (option[0] == L'/' || option[0] == L'-')
                             ? static_cast<wchar_t>(towlower(option[1]))
                             : L'c';

  g_saver.content = LoadSaverContent(ProgramPath());
  switch (letter) {
    case L's':
      g_saver.mode = Mode::FullScreen;
      return RunWindow(instance, nullptr);
    case L'p': {
      HWND parent = ParseWindow(value);
      if (parent == nullptr) return 1;
      g_saver.mode = Mode::Preview;
      return RunWindow(instance, parent);
    }
    case L'u':
      return UninstallSaver(g_saver.content);
    default:
      return ShowSettings(ParseWindow(value));
  }
}
