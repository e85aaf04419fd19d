#include "flash/FlashControlSite.h"

namespace {

constexpr int kPointsPerInch = 72;
constexpr LONGLONG kCurrencyScale = 10000;  // a CY holds the value times 10,000

// Answers a property get with a Boolean.
HRESULT ReturnBool(VARIANT* result, bool value) {
  if (!result) return E_POINTER;
  deferred::VariantInit(result);
  result->vt = VT_BOOL;
  result->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT ReturnLong(VARIANT* result, LONG value) {
  if (!result) return E_POINTER;
  deferred::VariantInit(result);
  result->vt = VT_I4;
  result->lVal = value;
  return S_OK;
}

}  // namespace

ControlAmbience ControlAmbience::System() {
  return {GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOWTEXT), nullptr};
}

// --- IDispatch without type information ---------------------------------------
// (Out of line, as are the one-line members below: each member defined in a class
// body costs the image an unwinding record of its own.)

STDMETHODIMP DispatchByIdOnly::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

STDMETHODIMP DispatchByIdOnly::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP DispatchByIdOnly::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
  return DISP_E_UNKNOWNNAME;
}

// --- frame -----------------------------------------------------------------

STDMETHODIMP_(ULONG) FlashControlFrame::AddRef() { return addRef(); }
STDMETHODIMP_(ULONG) FlashControlFrame::Release() { return release(this); }
STDMETHODIMP FlashControlFrame::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }
STDMETHODIMP FlashControlFrame::GetBorder(LPRECT) { return INPLACE_E_NOTOOLSPACE; }
STDMETHODIMP FlashControlFrame::RequestBorderSpace(LPCBORDERWIDTHS) { return INPLACE_E_NOTOOLSPACE; }
STDMETHODIMP FlashControlFrame::SetBorderSpace(LPCBORDERWIDTHS) { return S_OK; }
STDMETHODIMP FlashControlFrame::SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) { return S_OK; }
STDMETHODIMP FlashControlFrame::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) { return S_OK; }
STDMETHODIMP FlashControlFrame::SetMenu(HMENU, HOLEMENU, HWND) { return S_OK; }
STDMETHODIMP FlashControlFrame::RemoveMenus(HMENU) { return S_OK; }
STDMETHODIMP FlashControlFrame::SetStatusText(LPCOLESTR) { return S_OK; }
STDMETHODIMP FlashControlFrame::EnableModeless(BOOL) { return S_OK; }
STDMETHODIMP FlashControlFrame::TranslateAccelerator(LPMSG, WORD) { return S_FALSE; }

STDMETHODIMP FlashControlFrame::QueryInterface(REFIID riid, void** out) {
  if (!out) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IOleWindow || riid == IID_IOleInPlaceUIWindow ||
      riid == IID_IOleInPlaceFrame) {
    *out = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP FlashControlFrame::GetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = window_;
  return S_OK;
}

// --- site ------------------------------------------------------------------

STDMETHODIMP_(ULONG) FlashControlSite::AddRef() { return addRef(); }
STDMETHODIMP_(ULONG) FlashControlSite::Release() { return release(this); }
STDMETHODIMP FlashControlSite::SaveObject() { return S_OK; }
STDMETHODIMP FlashControlSite::ShowObject() { return S_OK; }
STDMETHODIMP FlashControlSite::OnShowWindow(BOOL) { return S_OK; }
STDMETHODIMP FlashControlSite::RequestNewObjectLayout() { return E_NOTIMPL; }
STDMETHODIMP FlashControlSite::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }
STDMETHODIMP FlashControlSite::CanInPlaceActivate() { return parent_ ? S_OK : S_FALSE; }
STDMETHODIMP FlashControlSite::OnInPlaceActivate() { return S_OK; }
STDMETHODIMP FlashControlSite::OnUIActivate() { return S_OK; }
STDMETHODIMP FlashControlSite::Scroll(SIZE) { return E_NOTIMPL; }
STDMETHODIMP FlashControlSite::OnUIDeactivate(BOOL) { return S_OK; }
STDMETHODIMP FlashControlSite::OnInPlaceDeactivate() { return S_OK; }
STDMETHODIMP FlashControlSite::DiscardUndoState() { return S_OK; }
STDMETHODIMP FlashControlSite::DeactivateAndUndo() { return S_OK; }
STDMETHODIMP FlashControlSite::OnPosRectChange(LPCRECT) { return S_OK; }

void FlashControlSite::place(HWND parent, const RECT& bounds) {
  parent_ = parent;
  bounds_ = bounds;
  frame_ = ComPtr<FlashControlFrame>(new FlashControlFrame(GetAncestor(parent, GA_ROOT)));
}

STDMETHODIMP FlashControlSite::QueryInterface(REFIID riid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (riid == IID_IUnknown || riid == IID_IOleClientSite)
    *out = static_cast<IOleClientSite*>(this);
  else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite)
    *out = static_cast<IOleInPlaceSite*>(this);
  else if (riid == IID_IDispatch)
    *out = static_cast<IDispatch*>(this);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

STDMETHODIMP FlashControlSite::GetMoniker(DWORD, DWORD, IMoniker** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP FlashControlSite::GetContainer(IOleContainer** out) {
  if (out) *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP FlashControlSite::GetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = parent_;
  return parent_ ? S_OK : E_FAIL;
}

STDMETHODIMP FlashControlSite::GetWindowContext(IOleInPlaceFrame** frame,
                                                IOleInPlaceUIWindow** document, LPRECT pos,
                                                LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
  if (!frame || !document || !pos || !clip) return E_POINTER;
  if (!frame_) return E_UNEXPECTED;  // not placed in a window yet
  *frame = ComPtr<IOleInPlaceFrame>(frame_.get()).detach();
  *document = nullptr;
  *pos = bounds_;
  *clip = bounds_;
  if (info) {
    info->fMDIApp = FALSE;
    frame_->GetWindow(&info->hwndFrame);
    info->haccel = nullptr;
    info->cAccelEntries = 0;
  }
  return S_OK;
}

STDMETHODIMP FlashControlSite::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*,
                                      VARIANT* result, EXCEPINFO*, UINT*) {
  if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
  switch (id) {
    case DISPID_AMBIENT_USERMODE:  // the installer runs the movie, it does not design it
      return ReturnBool(result, true);
    case DISPID_AMBIENT_UIDEAD:
      return ReturnBool(result, false);
    case DISPID_AMBIENT_MESSAGEREFLECT:  // the panel passes no child notifications back
      return ReturnBool(result, false);
    case DISPID_AMBIENT_SHOWGRABHANDLES:
    case DISPID_AMBIENT_SHOWHATCHING:
    case DISPID_AMBIENT_DISPLAYASDEFAULT:
      return ReturnBool(result, false);
    case DISPID_AMBIENT_BACKCOLOR:
      return ReturnLong(result, static_cast<LONG>(ambience_.backColor));
    case DISPID_AMBIENT_FORECOLOR:
      return ReturnLong(result, static_cast<LONG>(ambience_.foreColor));
    case DISPID_AMBIENT_LOCALEID:
      return ReturnLong(result, static_cast<LONG>(GetUserDefaultLCID()));
    case DISPID_AMBIENT_FONT:
      return ambientFont(result);
  }
  return DISP_E_MEMBERNOTFOUND;
}

// The panel's font as an OLE font object; the caller owns the new object.
HRESULT FlashControlSite::ambientFont(VARIANT* result) const {
  if (!result) return E_POINTER;
  HFONT font = ambience_.font ? ambience_.font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  LOGFONTW logFont{};
  if (GetObjectW(font, sizeof logFont, &logFont) == 0) return E_FAIL;
  HDC screen = GetDC(nullptr);
  const int pixelsPerInch = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  // A negative height is the character height in pixels; a positive one the cell height.
  const LONG height = logFont.lfHeight < 0 ? -logFont.lfHeight : logFont.lfHeight;
  FONTDESC desc{};
  desc.cbSizeofstruct = sizeof desc;
  desc.lpstrName = logFont.lfFaceName;
  desc.cySize.int64 = static_cast<LONGLONG>(MulDiv(height, kPointsPerInch, pixelsPerInch)) * kCurrencyScale;
  desc.sWeight = static_cast<SHORT>(logFont.lfWeight);
  desc.sCharset = logFont.lfCharSet;
  desc.fItalic = logFont.lfItalic;
  desc.fUnderline = logFont.lfUnderline;
  desc.fStrikethrough = logFont.lfStrikeOut;
  ComPtr<IFontDisp> fontObject;
  const HRESULT hr = deferred::OleCreateFontIndirect(&desc, IID_IFontDisp, fontObject.putVoid());
  if (FAILED(hr)) return hr;
  deferred::VariantInit(result);
  result->vt = VT_DISPATCH;
  result->pdispVal = fontObject.detach();
  return S_OK;
}
