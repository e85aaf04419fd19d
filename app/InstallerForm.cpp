// The installer window: stored layout, geometry, status display and its messages.
// The start-up, the installation and the finish live in their own files.
#include "app/InstallerForm.h"

#include "app/Application.h"
#include "app/InstallerState.h"
#include "app/Restart.h"
#include "app/StepMarks.h"
#include "flash/FlashPanel.h"
#include "flash/LMV_FlashUtils.h"
#include "app/PictureFile.h"
#include "app/PreparingWindow.h"
#include "app/WindowLayout.h"
#include "messages/Messages.h"
#include "system/LMV_StringUtils.h"

TInstallerForm* InstallerForm = nullptr;

namespace {

// Stored layout of the window (outer size) and its styles.
constexpr int kLayoutWidth = 352;
constexpr int kLayoutHeight = 370;
constexpr DWORD kSingleBorderStyle =
    WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
constexpr DWORD kExStyle = WS_EX_TOPMOST;  // stays on top of all other windows

constexpr UINT_PTR kPauseTimerId = 1;
constexpr UINT kPauseInterval = 100;  // ms

// The window's font replaces the layout's in FormCreate.
constexpr wchar_t kFontFace[] = L"ＭＳ ゴシック";
constexpr int kFontPoints = 9;

constexpr int kProgressLayoutMax = 100;

}  // namespace

TInstallerForm::TInstallerForm() { InstallerForm = this; }

TInstallerForm::~TInstallerForm() {
  SetStatusView(nullptr);
  payload::SetPackageReporter(nullptr);
  app::SetCloseHandler(nullptr);
  pauseTimer.SetEnabled(false);
  if (InstallerForm == this) InstallerForm = nullptr;
}

bool TInstallerForm::Create(HWND owner) {
  const int left = (GetSystemMetrics(SM_CXSCREEN) - kLayoutWidth) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - kLayoutHeight) / 2;
  HICON icon = LoadIconW(ui::ModuleInstance(), MAKEINTRESOURCEW(1));
  if (!CreateCustom(L"TInstallerForm", kExStyle, kSingleBorderStyle,
                    ui::Bounds{left, top, kLayoutWidth, kLayoutHeight}, owner, L"InstallerForm",
                    nullptr, icon))
    return false;
  CreateControls();
  SetStatusView(this);
  payload::SetPackageReporter(this);
  app::SetCloseHandler([this] { RequestClose(); });
  app::SetMessageFilter(&TInstallerForm::ApplicationEvents1Message);
  FlashSetupHost host;
  host.appWindow = app::ApplicationWindow();
  host.bringToFront = [] { app::BringApplicationToFront(); };
  host.processMessages = [] { app::ProcessMessages(); };
  host.restartWindows = [] {
    btnExitWindowsClick();  // a refused restart is not reported
    if (InstallerForm != nullptr) InstallerForm->Close();
  };
  SetFlashSetupHost(host);
  LV_STEP_MARK("installer-window");
  FormCreate();
  return true;
}

void TInstallerForm::CreateControls() {
  // Layout font until FormCreate replaces it.
  HFONT layoutFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));

  contentPanel.Create(hwnd_, ui::Bounds{0, -1, 352, 152}, ui::Panel::Bevel::Lowered);
  bmpPanel.Create(contentPanel.handle(), ui::Bounds{1, 1, 350, 150});
  moviePanel1 = std::make_unique<TFlashPanel>(contentPanel.handle());
  moviePanel1->setBounds(1, 1, 350, 150);
  moviePanel1->enableAllowScale = true;
  moviePanel1->scaleFactor = 0;
  contentPanel.SetAnchors(ui::Window(moviePanel1->handle()),
                          ui::kAnchorLeft | ui::kAnchorTop | ui::kAnchorRight |
                              ui::kAnchorBottom);  // fills its parent

  buttonPanel.Create(hwnd_, ui::Bounds{-8, 279, 350, 63}, ui::Panel::Bevel::None);
  labCopying.Create(buttonPanel.handle(), ui::Bounds{1, 3, 419, 13}, L"");
  labCopying.Show(false);
  // The progress bar comes with the start-up, once it is known to be needed.
  installBtn.Create(buttonPanel.handle(), ui::Bounds{182, 36, 80, 25}, L"&Install",
                    kInstallButtonId);
  doneBtn.Create(buttonPanel.handle(), ui::Bounds{268, 36, 80, 25}, L"", kDoneButtonId);
  doneBtn.Show(false);
  cancelBtn.Create(buttonPanel.handle(), ui::Bounds{268, 36, 80, 25}, L"Cancel", kCancelButtonId);
  buttonPanel.SetAnchors(installBtn, ui::kAnchorTop | ui::kAnchorRight);
  buttonPanel.SetAnchors(doneBtn, ui::kAnchorTop | ui::kAnchorRight);
  buttonPanel.SetAnchors(cancelBtn, ui::kAnchorTop | ui::kAnchorRight);

  licenseScrollBox.Create(hwnd_, ui::Bounds{-8, 150, 350, 105});

  for (ui::Window* control : std::initializer_list<ui::Window*>{
           &labCopying, &installBtn, &doneBtn, &cancelBtn, &licenseScrollBox})
    control->SetFont(layoutFont);

  pauseTimer.Attach(hwnd_, kPauseTimerId, kPauseInterval);
}

// Only a window that can be shown gets a progress bar: a silent installation never
// shows one, and spares the load of the common-controls library that holds its class.
// Made before the start-up changes the layout, so its anchors are the layout's; its
// place among the panel's controls is the layout's too, after the status label.
void TInstallerForm::CreateProgressBar() {
  if (progressBar.handle() != nullptr) return;
  progressBar.Create(buttonPanel.handle(), ui::Bounds{1, 20, 347, 11});
  SetWindowPos(progressBar.handle(), labCopying.handle(), 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  progressBar.SetRange(0, kProgressLayoutMax);
  progressBar.SetStep(1);
  buttonPanel.SetAnchors(progressBar, ui::kAnchorLeft | ui::kAnchorTop | ui::kAnchorRight);
}

// Font, border and position as the window is meant to appear; then the start-up.
void TInstallerForm::FormCreate() {
  font_ = std::make_unique<ui::Font>(kFontFace, kFontPoints, SHIFTJIS_CHARSET);
  for (ui::Window* control : std::initializer_list<ui::Window*>{
           &labCopying, &installBtn, &doneBtn, &cancelBtn, &licenseScrollBox})
    control->SetFont(font_->handle());
  ui::Window(moviePanel1->handle()).SetFont(font_->handle());  // the movie's ambient font
  SetSizeable(false);
  const ui::Bounds bounds = GetBounds();
  SetBounds((GetSystemMetrics(SM_CXSCREEN) - bounds.width) / 2,
            (GetSystemMetrics(SM_CYSCREEN) - bounds.height) / 2, bounds.width, bounds.height);
  PrepareInstaller();
}

void TInstallerForm::ShowAfterCreate() {
  if (closed_ || hwnd_ == nullptr) return;
  // The window opens with the Install button focused, the focus drawn, ready for Enter.
  lastFocus_ = installBtn.handle();
  SendMessageW(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  FocusControl(installBtn);
  UpdateWindow(hwnd_);
}

void TInstallerForm::FormShow() {
  if (preparingInstallWnd != nullptr) preparingInstallWnd->Show(false);
}

void TInstallerForm::SetInstallCaption(const std::wstring& name) {
  SetText(MakeInstallCaption(name, LoadMessage));
}

// --- geometry ------------------------------------------------------------------------

void TInstallerForm::SetSizeable(bool sizeable) {
  LONG style = GetWindowLongW(hwnd_, GWL_STYLE);
  style = sizeable ? (style | WS_THICKFRAME) : (style & ~WS_THICKFRAME);
  SetWindowLongW(hwnd_, GWL_STYLE, style);
  SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void TInstallerForm::SetMinimumSize(int width, int height) {
  minWidth_ = width;
  minHeight_ = height;
}

void TInstallerForm::ArrangeWindow() {
  SetWidth(layout::kArrangedWidth);  // runs FormResize
  FitWindowHeight();
  CentreOnScreen();
}

void TInstallerForm::CentreOnScreen() {
  const ui::Bounds bounds = GetBounds();
  SetBounds((GetSystemMetrics(SM_CXSCREEN) - bounds.width) / 2,
            (GetSystemMetrics(SM_CYSCREEN) - bounds.height) / 2, bounds.width, bounds.height);
}

void TInstallerForm::FitWindowHeight() {
  const ui::Bounds window = GetBounds();
  const int frameHeight = window.height - ClientHeight();
  const ui::Bounds content = contentPanel.GetBounds();
  const int height = layout::FittedWindowHeight(
      frameHeight, layout::Rect{content.left, content.top, content.width, content.height},
      buttonPanel.GetBounds().height, licenseShown, licenseHeight_);
  SetHeight(height);
}

void TInstallerForm::FormResize() {
  if (!buttonPanel) return;  // sizes set while the controls are being made
  const ui::Bounds content = contentPanel.GetBounds();
  const layout::ResizedParts parts =
      layout::ResizeParts(ClientWidth(), ClientHeight(),
                          layout::Rect{content.left, content.top, content.width, content.height});
  auto apply = [](ui::Window& window, const layout::Rect& r) {
    window.SetBounds(r.left, r.top, r.width, r.height);
  };
  apply(contentPanel, parts.content);
  apply(buttonPanel, parts.buttons);
  apply(licenseScrollBox, parts.license);
}

// --- status display -------------------------------------------------------------------

void TInstallerForm::SetStatusText(const std::wstring& text) {
  if (windowMode == kWindowModeSilent) return;
  labCopying.Show(true);
  labCopying.SetText(text);
  labCopying.Repaint();
}

void TInstallerForm::StepProgressBar() {
  if (windowMode == kWindowModeSilent) return;
  progressBar.StepIt();
}

void TInstallerForm::RunPauseTimer() {
  pauseTimer.SetEnabled(true);
  while (pauseTimer.Enabled() && !app::Terminated()) app::HandleMessage();
  pauseTimer.SetEnabled(false);
}

void TInstallerForm::pauseTimerTimer() { pauseTimer.SetEnabled(false); }

// The package code's reports take the window's own ways.
void TInstallerForm::ShowStatus(const std::wstring& text) { ::ShowStatus(text); }
void TInstallerForm::StepProgress() { ::StepProgress(); }
void TInstallerForm::ShowInstallError(rc::Result code, const std::wstring& detail) {
  ::ShowInstallError(code, detail);
}
bool TInstallerForm::CancelRequested() const { return cancelRequested; }

void TInstallerForm::ApplicationEvents1Message(MSG& message, bool& handled) {
  // SwallowRightClick. The button's release is swallowed too: text boxes open
  // their context menu on it, and no window of the installer reacts to a right click.
  if (message.message == WM_RBUTTONDOWN || message.message == WM_RBUTTONUP) handled = true;
  // Keys aimed at the movie go to the player first.
  if (!handled && InstallerForm != nullptr && InstallerForm->moviePanel1 != nullptr)
    handled = InstallerForm->moviePanel1->translateAccelerator(message);
  if (!handled && InstallerForm != nullptr && InstallerForm->HandleKey(message)) handled = true;
}

// --- keyboard -------------------------------------------------------------------------

std::vector<const ui::Window*> TInstallerForm::FocusOrder() const {
  std::vector<const ui::Window*> order;
  for (const ui::Window* control : std::initializer_list<const ui::Window*>{
           &licenseScrollBox, &installBtn, &cancelBtn, &doneBtn})
    if (control->IsVisible() && control->IsEnabled()) order.push_back(control);
  return order;
}

void TInstallerForm::FocusControl(const ui::Window& control) {
  if (!control) return;
  SetFocus(control.handle());
  lastFocus_ = control.handle();
  // The focused button looks like the one Enter presses; the others look plain.
  for (const ui::Button* button : {&installBtn, &cancelBtn, &doneBtn}) {
    const bool focused = button->handle() == control.handle();
    SendMessageW(button->handle(), BM_SETSTYLE, focused ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
  }
}

void TInstallerForm::MoveFocus(bool backwards) {
  const std::vector<const ui::Window*> order = FocusOrder();
  if (order.empty()) return;
  const HWND focus = GetFocus();
  std::size_t at = order.size();
  for (std::size_t i = 0; i < order.size(); ++i)
    if (order[i]->handle() == focus) at = i;
  std::size_t next = 0;
  if (at == order.size())
    next = backwards ? order.size() - 1 : 0;
  else
    next = (at + (backwards ? order.size() - 1 : 1)) % order.size();
  SendMessageW(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
  FocusControl(*order[next]);
}

const ui::Button* TInstallerForm::ButtonOf(int id) const {
  switch (id) {
    case kInstallButtonId: return &installBtn;
    case kDoneButtonId: return &doneBtn;
    case kCancelButtonId: return &cancelBtn;
    default: return nullptr;
  }
}

bool TInstallerForm::HandleKey(const MSG& message) {
  // Without a focused control the keys reach the active window as system keys.
  if (message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN) return false;
  if (closed_ || hwnd_ == nullptr || message.hwnd == nullptr) return false;
  if (message.hwnd != hwnd_ && !IsChild(hwnd_, message.hwnd)) return false;
  if (GetKeyState(VK_MENU) < 0) return false;  // Alt+F4 and the like keep their meaning
  switch (message.wParam) {
    case VK_TAB:
      MoveFocus(GetKeyState(VK_SHIFT) < 0);
      return true;
    case VK_ESCAPE:
      RequestClose();
      return true;
    case VK_RETURN:
      for (int id : {kInstallButtonId, kCancelButtonId, kDoneButtonId}) {
        const ui::Button* button = ButtonOf(id);
        if (button->handle() == GetFocus() && button->IsVisible() && button->IsEnabled()) {
          SendMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                       reinterpret_cast<LPARAM>(button->handle()));
          return true;
        }
      }
      return false;
    default:
      return false;
  }
}

// --- picture --------------------------------------------------------------------------

bool TInstallerForm::LoadPicture(const std::wstring& path) {
  HBITMAP bitmap = LoadPictureFile(path);
  bmpPanel.SetPicture(bitmap);
  return bitmap != nullptr;
}

// --- closing --------------------------------------------------------------------------

void TInstallerForm::Close() {
  if (closed_) return;
  bool canClose = true;
  FormCloseQuery(canClose);
  if (!canClose) return;
  closed_ = true;
  FormClose();
  if (hwnd_ != nullptr) ShowWindow(hwnd_, SW_HIDE);
  app::TerminateApplication();
}

void TInstallerForm::RequestClose() {
  if (startupRunning_) return;
  Close();
}

// --- messages -------------------------------------------------------------------------

LRESULT TInstallerForm::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) {
        // A click that reaches a button disabled or hidden meanwhile (queued, or
        // sent from outside) is not the user's: Cancel in particular is disabled
        // once it can no longer cancel anything.
        const ui::Button* button = ButtonOf(LOWORD(wParam));
        if (button != nullptr && (!button->IsEnabled() || !button->IsVisible())) return 0;
        switch (LOWORD(wParam)) {
          case kInstallButtonId: installBtnClick(); return 0;
          case kDoneButtonId: doneBtnClick(); return 0;
          case kCancelButtonId: cancelBtnClick(); return 0;
          default: break;
        }
      }
      break;
    case WM_TIMER:
      if (wParam == pauseTimer.id()) {
        pauseTimerTimer();
        return 0;
      }
      break;
    case WM_SIZE:
      FormResize();
      return 0;
    case WM_GETMINMAXINFO:
      if (minWidth_ > 0 || minHeight_ > 0) {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize.x = minWidth_;
        info->ptMinTrackSize.y = minHeight_;
        return 0;
      }
      break;
    case WM_SHOWWINDOW:
      if (wParam != FALSE) FormShow();
      break;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        const HWND focus = GetFocus();
        if (focus != nullptr && IsChild(hwnd_, focus)) lastFocus_ = focus;
      }
      break;
    case WM_SETFOCUS:
      // Activating the window gives the focus back to the control that had it.
      if (lastFocus_ != nullptr && IsWindowVisible(lastFocus_) && IsWindowEnabled(lastFocus_)) {
        SetFocus(lastFocus_);
      } else {
        const std::vector<const ui::Window*> order = FocusOrder();
        if (!order.empty()) FocusControl(*order.front());
      }
      return 0;
    case WM_CLOSE:
      RequestClose();
      return 0;
    case WM_CTLCOLORSTATIC:
      // The read-only licence box keeps the white of a text box.
      if (reinterpret_cast<HWND>(lParam) == licenseScrollBox.handle()) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
      }
      break;
    default:
      break;
  }
  return Default(message, wParam, lParam);
}
