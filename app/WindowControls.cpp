#include "app/WindowControls.h"

#include <commctrl.h>

#include "system/DeferredImports.h"

namespace ui {

namespace {
constexpr DWORD kChildStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;

HWND CreateControl(const wchar_t* className, DWORD exStyle, DWORD style, HWND parent,
                   const Bounds& bounds, const std::wstring& text, int id) {
  return CreateWindowExW(exStyle, className, text.c_str(), style, bounds.left, bounds.top,
                         bounds.width, bounds.height, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ModuleInstance(),
                         nullptr);
}
}  // namespace

// --- Panel ------------------------------------------------------------------------

bool Panel::Create(HWND parent, const Bounds& bounds, Bevel bevel, HBRUSH background) {
  bevel_ = bevel;
  const wchar_t* className = background != nullptr ? L"LvWhitePanel" : L"LvPanel";
  return CreateCustom(className, 0, kChildStyle | WS_CLIPCHILDREN, bounds, parent, L"",
                      background);
}

void Panel::SetAnchors(const Window& child, unsigned anchors) {
  const Bounds bounds = child.GetBounds();
  Anchored entry{child.handle(), anchors, ClientWidth() - bounds.right(),
                 ClientHeight() - bounds.bottom()};
  for (auto& existing : anchored_) {
    if (existing.child == entry.child) {
      existing = entry;
      return;
    }
  }
  anchored_.push_back(entry);
}

void Panel::ArrangeAnchored() {
  const int width = ClientWidth();
  const int height = ClientHeight();
  for (const auto& entry : anchored_) {
    Window child(entry.child);
    Bounds bounds = child.GetBounds();
    if (entry.anchors & kAnchorRight) {
      const int right = width - entry.rightGap;
      if (entry.anchors & kAnchorLeft)
        bounds.width = right - bounds.left;
      else
        bounds.left = right - bounds.width;
    }
    if (entry.anchors & kAnchorBottom) {
      const int bottom = height - entry.bottomGap;
      if (entry.anchors & kAnchorTop)
        bounds.height = bottom - bounds.top;
      else
        bounds.top = bottom - bounds.height;
    }
    child.SetBounds(bounds);
  }
}

LRESULT Panel::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      ArrangeAnchored();
      return 0;
    case WM_COMMAND:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
      return SendMessageW(GetParent(hwnd_), message, wParam, lParam);
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd_, &paint);
      if (bevel_ == Bevel::Lowered) {
        RECT rect;
        GetClientRect(hwnd_, &rect);
        DrawEdge(dc, &rect, BDR_SUNKENOUTER, BF_RECT);
      }
      EndPaint(hwnd_, &paint);
      return 0;
    }
    default:
      return Default(message, wParam, lParam);
  }
}

// --- Label, Button ----------------------------------------------------------------------

bool Label::Create(HWND parent, const Bounds& bounds, const std::wstring& text, bool centred) {
  const DWORD alignment = centred ? (SS_CENTER | SS_CENTERIMAGE) : SS_LEFT;
  hwnd_ = CreateControl(L"STATIC", 0, kChildStyle | alignment | SS_NOPREFIX, parent, bounds, text,
                        0);
  return hwnd_ != nullptr;
}

bool Button::Create(HWND parent, const Bounds& bounds, const std::wstring& text, int id) {
  hwnd_ = CreateControl(L"BUTTON", 0, kChildStyle | WS_TABSTOP | BS_PUSHBUTTON, parent, bounds,
                        text, id);
  return hwnd_ != nullptr;
}

// --- ProgressBar ---------------------------------------------------------------------------

bool ProgressBar::Create(HWND parent, const Bounds& bounds) {
  const INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_PROGRESS_CLASS};
  deferred::InitCommonControlsEx(&classes);
  hwnd_ = CreateControl(PROGRESS_CLASSW, 0, kChildStyle, parent, bounds, L"", 0);
  return hwnd_ != nullptr;
}

void ProgressBar::SetRange(int minimum, int maximum) {
  minimum_ = minimum;
  SendMessageW(hwnd_, PBM_SETRANGE32, static_cast<WPARAM>(minimum), static_cast<LPARAM>(maximum));
}

void ProgressBar::SetMaximum(int maximum) { SetRange(minimum_, maximum); }

int ProgressBar::Maximum() const {
  return static_cast<int>(SendMessageW(hwnd_, PBM_GETRANGE, FALSE, 0));
}

void ProgressBar::SetStep(int step) { SendMessageW(hwnd_, PBM_SETSTEP, static_cast<WPARAM>(step), 0); }

void ProgressBar::StepIt() { SendMessageW(hwnd_, PBM_STEPIT, 0, 0); }

void ProgressBar::SetPosition(int position) {
  SendMessageW(hwnd_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

int ProgressBar::Position() const { return static_cast<int>(SendMessageW(hwnd_, PBM_GETPOS, 0, 0)); }

// --- MemoBox -------------------------------------------------------------------------------

bool MemoBox::Create(HWND parent, const Bounds& bounds) {
  hwnd_ = CreateControl(L"EDIT", WS_EX_CLIENTEDGE,
                        kChildStyle | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL |
                            ES_LEFT,
                        parent, bounds, L"", 0);
  return hwnd_ != nullptr;
}

void MemoBox::SetLines(const std::wstring& text) {
  std::wstring lines;
  lines.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (c == L'\n' && (i == 0 || text[i - 1] != L'\r')) lines += L'\r';
    lines += c;
  }
  SetText(lines);
}

// --- ImageBox -------------------------------------------------------------------------------

Panel::~Panel() = default;
Label::~Label() = default;
Button::~Button() = default;
ProgressBar::~ProgressBar() = default;
MemoBox::~MemoBox() = default;

ImageBox::~ImageBox() {
  if (bitmap_ != nullptr) DeleteObject(bitmap_);
}

bool ImageBox::Create(HWND parent, const Bounds& bounds) {
  return CreateCustom(L"LvImage", 0, kChildStyle, bounds, parent, L"");
}

void ImageBox::SetPicture(HBITMAP bitmap) {
  if (bitmap_ != nullptr) DeleteObject(bitmap_);
  bitmap_ = bitmap;
  if (hwnd_ != nullptr) InvalidateRect(hwnd_, nullptr, TRUE);
}

LRESULT ImageBox::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return Default(message, wParam, lParam);
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(hwnd_, &paint);
  if (bitmap_ != nullptr) {
    BITMAP info{};
    GetObjectW(bitmap_, sizeof(info), &info);
    RECT client;
    GetClientRect(hwnd_, &client);
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(source, bitmap_);
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, 0, 0, client.right, client.bottom, source, 0, 0, info.bmWidth,
               info.bmHeight, SRCCOPY);
    SelectObject(source, previous);
    DeleteDC(source);
  }
  EndPaint(hwnd_, &paint);
  return 0;
}

// --- Timer -------------------------------------------------------------------------------------

void Timer::SetEnabled(bool enabled) {
  if (owner_ == nullptr || enabled == enabled_) return;
  if (enabled)
    enabled_ = SetTimer(owner_, id_, interval_, nullptr) != 0;
  else {
    KillTimer(owner_, id_);
    enabled_ = false;
  }
}

}  // namespace ui
