#include "flash/FlashPanel.h"

#include "flash/LMV_FlashUtils.h"
#include "flash/ShockwaveFlashIds.h"
#include "system/LMV_FileUtils.h"

namespace {

constexpr wchar_t kPanelClass[] = L"TFlashPanel";
constexpr DWORD kMessageWaitMs = 100;

std::string UpperAnsi(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - 32);
    out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  }
  return out;
}

ATOM RegisterPanelClass(WNDPROC proc) {
  static ATOM atom = 0;
  if (!atom) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kPanelClass;
    atom = RegisterClassExW(&wc);
  }
  return atom;
}

}  // namespace

TFlashPanel::TFlashPanel(HWND parent) {
  RegisterPanelClass(&TFlashPanel::WindowProc);
  RECT area{0, 0, 0, 0};
  if (parent) GetClientRect(parent, &area);
  window_ = CreateWindowExW(0, kPanelClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_TABSTOP,
                            0, 0, area.right, area.bottom, parent, nullptr, GetModuleHandleW(nullptr),
                            this);
}

TFlashPanel::~TFlashPanel() {
  flashControl.reset();  // its window lives inside the panel's window
  if (window_) {
    SetWindowPos(window_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    DestroyWindow(window_);
  }
  if (!tempFolder.empty()) {
    std::wstring folder = tempFolder;
    if (folder.back() != L'\\') folder += L'\\';
    DeleteFolderTree(folder);
  }
}

rc::Result TFlashPanel::createTempFolder(MoviePath& folder) {
  std::wstring made;
  rc::Result r = CreateWorkFolder(L"FlashPanel", made);
  if (r == 0) folder = made;
  return r;
}

LRESULT CALLBACK TFlashPanel::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* panel = reinterpret_cast<TFlashPanel*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_NCCREATE:
      SetWindowLongPtrW(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
      break;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      if (panel) {
        panel->paint();
        return 0;
      }
      break;
    case WM_LBUTTONDOWN:
      SetFocus(window);
      return 0;
    case WM_SETFONT:
      if (panel) {
        panel->font_ = reinterpret_cast<HFONT>(wParam);
        panel->ambienceChanged(DISPID_AMBIENT_FONT);
      }
      return 0;
    case WM_GETFONT:
      return panel ? reinterpret_cast<LRESULT>(panel->font_) : 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      if (panel) panel->window_ = nullptr;
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void TFlashPanel::paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window_, &ps);
  HBRUSH brush = CreateSolidBrush(color_);
  FillRect(dc, &ps.rcPaint, brush);
  DeleteObject(brush);
  EndPaint(window_, &ps);
}

void TFlashPanel::setColor(COLORREF color) {
  color_ = color;
  if (window_) InvalidateRect(window_, nullptr, TRUE);
  ambienceChanged(DISPID_AMBIENT_BACKCOLOR);
}

ControlAmbience TFlashPanel::ambience() const {
  return {color_, GetSysColor(COLOR_WINDOWTEXT), font_};
}

void TFlashPanel::ambienceChanged(DISPID which) {
  if (flashControl) flashControl->setAmbience(ambience(), which);
}

void TFlashPanel::setBounds(int x, int y, int width, int height) {
  if (window_) MoveWindow(window_, x, y, width, height, TRUE);
}

void TFlashPanel::alignToParent() {
  HWND parent = window_ ? GetParent(window_) : nullptr;
  RECT area;
  if (parent && GetClientRect(parent, &area)) setBounds(0, 0, area.right, area.bottom);
}

rc::Result TFlashPanel::loadSWF(const std::wstring& path) {
  if (path.empty() || path == swfFilename) return 0;
  swfFilename = path;
  rc::Result r = readMovie();
  if (r == 0) r = checkFlashVersion();
  if (r == 0) destroyFlashControl();
  if (r == 0) r = createFlashControl();
  if (r == 0) r = playSWF();
  return r;
}

rc::Result TFlashPanel::checkFlashVersion() {
  bool ok = false;
  std::int32_t major = 0;
  rc::Result r = getFlashVersion(ok, major, kProbeAttempts);
  if (r == 0 && ok && swfVersion > major) return rc::kPlayerTooOld;
  return r;
}

rc::Result TFlashPanel::createFlashControl() {
  for (int attempt = 0; attempt < kCreateAttempts && !flashControl; ++attempt) {
    try {
      flashControl = std::make_unique<TFlashControl>(ambience());
      RECT area{0, 0, 0, 0};
      if (window_) GetClientRect(window_, &area);
      flashControl->setParent(window_, area.right, area.bottom);
      TFlashControl* sender = flashControl.get();
      flashControl->setFSCommandHandler([this, sender](const std::wstring& command, const std::wstring& args) {
        flashFSCommand(sender, command, args);
      });
      flashControl->putInteger(flashids::kDispidScaleMode, 0);
      flashControl->callMethod(L"SetVariable", {L"Align", L"AlClient"});
      flashControl->putString(flashids::kDispidWMode, L"Opaque");
      flashControl->putBoolean(flashids::kDispidMenu, false);
    } catch (const ComError&) {
      // A failed step ends this attempt; a created control is kept as it is.
    }
  }
  return flashControl ? 0 : rc::kControlNotCreated;
}

rc::Result TFlashPanel::playSWF() {
  try {
    flashControl->doVerb(flashids::kVerbHide);
    flashControl->putString(flashids::kDispidMovie, swfFilename);
    flashControl->callMethod(L"Play");
    flashControl->doVerb(flashids::kVerbShow);
  } catch (const ComError&) {
    // The control stays in place, but nothing plays: the caller must not
    // take this movie for shown.
    return rc::kMovieNotPlayed;
  }
  return 0;
}

rc::Result TFlashPanel::destroyFlashControl() {
  if (!flashControl) return 0;
  try {
    flashControl->callMethod(L"StopPlay");
  } catch (const ComError&) {
    return rc::kControlNotReleased;
  }
  flashControl.reset();
  // Let the window messages of the freed control through; never wait long.
  MsgWaitForMultipleObjects(0, nullptr, FALSE, kMessageWaitMs, QS_ALLINPUT);
  MSG msg;
  if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}

void TFlashPanel::unloadSWF() {
  destroyFlashControl();
  setColor(kBlack);
  swfFilename.clear();
}

void TFlashPanel::focusMovie() {
  if (!window_ || !IsWindowVisible(window_) || !flashControl) return;
  InvalidateRect(window_, nullptr, TRUE);
  SetFocus(window_);
  flashControl->setFocus();
}

bool TFlashPanel::translateAccelerator(MSG& message) {
  return flashControl && flashControl->translateAccelerator(message);
}

void TFlashPanel::flashFSCommand(TFlashControl*, const std::wstring& command, const std::wstring& args) {
  if (UpperAnsi(command) != "ALLOWSCALE" || !enableAllowScale) return;
  setAllowScale(UpperAnsi(args).compare(0, 4, "TRUE") == 0 ? 1 : 0);
}

void TFlashPanel::setAllowScale(std::int32_t value) {
  if (value != allowScale) allowScale = value;
}
