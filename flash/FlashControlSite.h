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
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
};

class FlashControlFrame final : public IOleInPlaceFrame, private ComObjectCount {
 public:
  explicit FlashControlFrame(HWND window) : window_(window) {}

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL) override;
  STDMETHODIMP GetBorder(LPRECT) override;
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override;
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override;
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override;
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override;
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override;
  STDMETHODIMP RemoveMenus(HMENU) override;
  STDMETHODIMP SetStatusText(LPCOLESTR) override;
  STDMETHODIMP EnableModeless(BOOL) override;
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override;

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
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IOleClientSite
  STDMETHODIMP SaveObject() override;
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override;
  STDMETHODIMP GetContainer(IOleContainer** out) override;
  STDMETHODIMP ShowObject() override;
  STDMETHODIMP OnShowWindow(BOOL) override;
  STDMETHODIMP RequestNewObjectLayout() override;

  // IOleWindow / IOleInPlaceSite
  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL) override;
  STDMETHODIMP CanInPlaceActivate() override;
  STDMETHODIMP OnInPlaceActivate() override;
  STDMETHODIMP OnUIActivate() override;
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                LPRECT pos, LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
  STDMETHODIMP Scroll(SIZE) override;
  STDMETHODIMP OnUIDeactivate(BOOL) override;
  STDMETHODIMP OnInPlaceDeactivate() override;
  STDMETHODIMP DiscardUndoState() override;
  STDMETHODIMP DeactivateAndUndo() override;
  STDMETHODIMP OnPosRectChange(LPCRECT) override;

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
