// The container side of the control host: the client site through which the
// control learns where it lives (in-place site, frame) and reads the ambient
// properties of its container (user mode, message reflection, the panel's
// font and colours), and the frame that answers with the top-level window.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include "flash/ComSupport.h"

// Ambient values the container offers the control.
struct ControlAmbience {
  COLORREF backColor;
  COLORREF foreColor;
  HFONT font;  // not owned; nullptr: the system's GUI font

  // The system's window colours and GUI font (for a control without a panel).
  static ControlAmbience System();
};

// Shared reference counting of the container's own COM objects, which start
// with no reference and are always held through ComPtr.
class ComObjectCount {
 protected:
  ULONG addRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  template <typename Self>
  ULONG release(Self* self) {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete self;
    return static_cast<ULONG>(left);
  }

 private:
  LONG refs_ = 0;
};

// IDispatch of the container's own objects: the control calls them by DISPID
// only, so they offer neither type information nor names.
class DispatchByIdOnly : public IDispatch {
 public:
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
};

class FlashControlFrame final : public IOleInPlaceFrame, private ComObjectCount {
 public:
  explicit FlashControlFrame(HWND window) : window_(window) {}

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return addRef(); }
  STDMETHODIMP_(ULONG) Release() override { return release(this); }

  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

 private:
  HWND window_;
};

// Client site, in-place site and ambient-property dispatch of one control.
// Separate from the frame because both derive from IOleWindow and answer
// GetWindow differently (site: the panel; frame: the top-level window).
class FlashControlSite final : public IOleClientSite,
                               public IOleInPlaceSite,
                               public DispatchByIdOnly,
                               private ComObjectCount {
 public:
  explicit FlashControlSite(const ControlAmbience& ambience) : ambience_(ambience) {}

  void place(HWND parent, const RECT& bounds);
  void setAmbience(const ControlAmbience& ambience) { ambience_ = ambience; }

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return addRef(); }
  STDMETHODIMP_(ULONG) Release() override { return release(this); }

  // IOleClientSite
  STDMETHODIMP SaveObject() override { return S_OK; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override;
  STDMETHODIMP GetContainer(IOleContainer** out) override;
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow / IOleInPlaceSite
  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP CanInPlaceActivate() override { return parent_ ? S_OK : S_FALSE; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                LPRECT pos, LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP DiscardUndoState() override { return S_OK; }
  STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
  STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

  // IDispatch: the ambient properties, read by dispatch id.
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                      UINT*) override;

 private:
  HRESULT ambientFont(VARIANT* result) const;

  HWND parent_ = nullptr;
  RECT bounds_{};
  ControlAmbience ambience_;
  ComPtr<FlashControlFrame> frame_;
};
