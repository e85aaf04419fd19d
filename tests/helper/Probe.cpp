#include "tests/helper/Probe.h"

#include <cstdio>
#include <map>

namespace probe {

namespace {

constexpr UINT kMessageTimeoutMs = 2000;

std::wstring BuildEnvironment(const std::vector<std::wstring>& additions) {
  std::map<std::wstring, std::wstring> variables;  // sorted, as Windows wants it
  wchar_t* block = GetEnvironmentStringsW();
  for (const wchar_t* entry = block; entry != nullptr && *entry != L'\0';
       entry += wcslen(entry) + 1) {
    std::wstring text(entry);
    const size_t equals = text.find(L'=', 1);
    if (equals == std::wstring::npos) continue;
    variables[text.substr(0, equals)] = text.substr(equals + 1);
  }
  if (block != nullptr) FreeEnvironmentStringsW(block);
  for (const auto& addition : additions) {
    const size_t equals = addition.find(L'=', 1);
    if (equals == std::wstring::npos) continue;
    variables[addition.substr(0, equals)] = addition.substr(equals + 1);
  }
  std::wstring result;
  for (const auto& [name, value] : variables) result += name + L"=" + value + L'\0';
  result += L'\0';
  return result;
}

struct FindContext {
  DWORD pid;
  std::wstring className;
  std::wstring caption;
  bool visibleOnly;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectTop(HWND window, LPARAM param) {
  auto* context = reinterpret_cast<FindContext*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != context->pid) return TRUE;
  if (context->visibleOnly && !IsWindowVisible(window)) return TRUE;
  if (!context->className.empty() && ClassOf(window) != context->className) return TRUE;
  if (!context->caption.empty() && TextOf(window) != context->caption) return TRUE;
  context->found.push_back(window);
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

BOOL CALLBACK FindMenu(HWND window, LPARAM param) {
  if (IsWindowVisible(window) && ClassOf(window) == L"#32768") {
    *reinterpret_cast<bool*>(param) = true;
    return FALSE;
  }
  return TRUE;
}

void SendMouse(DWORD flags) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  SendInput(1, &input, sizeof(input));
}

}  // namespace

// --- Process -----------------------------------------------------------------------

Process::~Process() {
  if (Running()) Kill();
  if (process_ != nullptr) CloseHandle(process_);
}

bool Process::Start(const std::wstring& path, const std::vector<std::wstring>& environment,
                    const std::vector<std::wstring>& arguments) {
  // A process object can start one program after another.
  if (process_ != nullptr) {
    if (Running()) Kill();
    CloseHandle(process_);
    process_ = nullptr;
  }
  std::wstring commandLine = L"\"" + path + L"\"";
  for (const auto& argument : arguments) commandLine += L" \"" + argument + L"\"";
  std::wstring env = BuildEnvironment(environment);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                      CREATE_UNICODE_ENVIRONMENT, env.data(), nullptr, &startup, &info))
    return false;
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  id_ = info.dwProcessId;
  WaitForInputIdle(process_, 5000);
  return true;
}

bool Process::Running() const {
  return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool Process::WaitExit(DWORD& exitCode, DWORD timeoutMs) {
  if (process_ == nullptr) return false;
  if (WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return false;
  GetExitCodeProcess(process_, &exitCode);
  return true;
}

void Process::Kill() {
  if (process_ == nullptr) return;
  TerminateProcess(process_, 99);
  WaitForSingleObject(process_, 5000);
}

// --- windows -----------------------------------------------------------------------

std::vector<HWND> FindTopWindows(DWORD pid, const std::wstring& className,
                                 const std::wstring& caption, bool visibleOnly) {
  FindContext context{pid, className, caption, visibleOnly, {}};
  EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&context));
  return context.found;
}

HWND WaitForWindow(DWORD pid, const std::wstring& className, const std::wstring& caption,
                   bool visibleOnly, DWORD timeoutMs, DWORD pollMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    auto found = FindTopWindows(pid, className, caption, visibleOnly);
    if (!found.empty()) return found.front();
    if (GetTickCount() - start >= timeoutMs) return nullptr;
    Sleep(pollMs);
  }
}

bool WaitWindowGone(HWND window, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (IsWindow(window) && IsWindowVisible(window)) {
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(kPollMs);
  }
  return true;
}

std::wstring TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                           &length))
    return std::wstring();
  std::vector<wchar_t> buffer(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(),
                           reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG,
                           kMessageTimeoutMs, &copied))
    return std::wstring();
  return std::wstring(buffer.data(), copied);
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  const int length = GetClassNameW(window, name, 256);
  return std::wstring(name, length > 0 ? length : 0);
}

RECT WindowRectOf(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}

RECT ClientRectOf(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  return rect;
}

RECT RectInParent(HWND child) {
  RECT rect = WindowRectOf(child);
  MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

bool IsVisible(HWND window) { return IsWindowVisible(window) != FALSE; }
bool IsEnabled(HWND window) { return IsWindowEnabled(window) != FALSE; }
LONG StyleOf(HWND window) { return GetWindowLongW(window, GWL_STYLE); }
LONG ExStyleOf(HWND window) { return GetWindowLongW(window, GWL_EXSTYLE); }

std::vector<HWND> Descendants(HWND parent) {
  std::vector<HWND> all;
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&all));
  return all;
}

HWND FindDescendant(HWND parent, const std::wstring& className, const std::wstring& text) {
  for (HWND child : Descendants(parent)) {
    if (!className.empty() && ClassOf(child) != className) continue;
    if (!text.empty() && TextOf(child) != text) continue;
    return child;
  }
  return nullptr;
}

HWND DescendantById(HWND parent, int id) {
  for (HWND child : Descendants(parent))
    if (GetDlgCtrlID(child) == id) return child;
  return nullptr;
}

bool WaitForText(HWND window, const std::wstring& text, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (TextOf(window) != text) {
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(kPollMs / 5);
  }
  return true;
}

void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

void RightClick(HWND window) {
  const RECT rect = WindowRectOf(window);
  SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  Sleep(kPollMs);
  SendMouse(MOUSEEVENTF_RIGHTDOWN);
  Sleep(kPollMs);
  SendMouse(MOUSEEVENTF_RIGHTUP);
}

void RequestClose(HWND window) { PostMessageW(window, WM_CLOSE, 0, 0); }

void Activate(HWND window) {
  SetForegroundWindow(window);
  Sleep(kPollMs * 2);
}

void PressKey(WORD key, bool shift, bool alt) {
  std::vector<INPUT> inputs;
  auto add = [&](WORD vk, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    inputs.push_back(input);
  };
  if (shift) add(VK_SHIFT, false);
  if (alt) add(VK_MENU, false);
  add(key, false);
  add(key, true);
  if (alt) add(VK_MENU, true);
  if (shift) add(VK_SHIFT, true);
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  Sleep(kPollMs * 4);  // let the program handle the keys
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

HWND OwnerOf(HWND window) { return GetWindow(window, GW_OWNER); }

void DragCorner(HWND window, int dx, int dy) {
  const RECT rect = WindowRectOf(window);
  const int x = rect.right - 2;
  const int y = rect.bottom - 2;
  SetCursorPos(x, y);
  Sleep(kPollMs * 2);
  SendMouse(MOUSEEVENTF_LEFTDOWN);
  Sleep(kPollMs * 2);
  const int steps = 5;
  for (int i = 1; i <= steps; ++i) {
    SetCursorPos(x + dx * i / steps, y + dy * i / steps);
    SendMouse(MOUSEEVENTF_MOVE);
    Sleep(kPollMs);
  }
  SendMouse(MOUSEEVENTF_LEFTUP);
  Sleep(kPollMs * 4);
}

// --- message boxes -----------------------------------------------------------------

HWND WaitForBox(DWORD pid, const std::wstring& title, DWORD timeoutMs) {
  return WaitForWindow(pid, L"#32770", title, true, timeoutMs);
}

std::wstring BoxText(HWND box) {
  // The message text is the static control that is not the icon.
  for (HWND child : Descendants(box)) {
    if (ClassOf(child) != L"Static") continue;
    if ((StyleOf(child) & SS_TYPEMASK) == SS_ICON) continue;
    const std::wstring text = TextOf(child);
    if (!text.empty()) return text;
  }
  return std::wstring();
}

std::vector<std::wstring> BoxButtons(HWND box) {
  std::vector<std::wstring> captions;
  for (HWND child : Descendants(box)) {
    if (ClassOf(child) == L"Button" && IsWindowVisible(child)) captions.push_back(TextOf(child));
  }
  return captions;
}

bool AnswerBox(HWND box, const std::wstring& caption) {
  for (HWND child : Descendants(box)) {
    if (ClassOf(child) == L"Button" && TextOf(child) == caption) {
      // The box's own command for the button: as if it had been clicked.
      PostMessageW(box, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(child), BN_CLICKED),
                   reinterpret_cast<LPARAM>(child));
      return true;
    }
  }
  return false;
}

bool AnyPopupMenuVisible() {
  bool found = false;
  EnumWindows(FindMenu, reinterpret_cast<LPARAM>(&found));
  return found;
}

// --- screenshots ---------------------------------------------------------------------

bool SaveScreenshot(const std::wstring& path) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as BMP files are
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (bitmap != nullptr) {
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    SelectObject(memory, previous);
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    const DWORD imageSize = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(file) + sizeof(info.bmiHeader);
    file.bfSize = file.bfOffBits + imageSize;
    info.bmiHeader.biSizeImage = imageSize;
    FILE* out = _wfopen(path.c_str(), L"wb");
    if (out != nullptr) {
      ok = fwrite(&file, sizeof(file), 1, out) == 1 &&
           fwrite(&info.bmiHeader, sizeof(info.bmiHeader), 1, out) == 1 &&
           fwrite(bits, 1, imageSize, out) == imageSize;
      ok = fclose(out) == 0 && ok;
    }
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

void Pause(DWORD ms) { Sleep(ms); }

}  // namespace probe
