// The stand-in player control: an ActiveX control that answers the operations
// the installer uses of the Flash Player's control. It plays nothing; it paints
// the movie's background colour with its frame size and file name (in the
// container's ambient font and colour), so a screenshot shows which movie the
// installer handed over, and it reports the movie's allowscale/fullscreen
// fscommands through its FSCommand event.
//
// It asks of its container what real controls ask: the client site before
// initialisation (OLEMISC_SETCLIENTSITEFIRST), InitNew before in-place
// activation, and a container in user mode (the ambient property UserMode
// answered true); without them it refuses to be activated. Every call of the
// host is recorded, and tests can make calls fail (StandinTrace.h).
#pragma once

#include <windows.h>
#include <ole2.h>
#include <olectl.h>
#include <ocidl.h>
#include <oleidl.h>
#include <windows.h>

#include <string>
#include <vector>

class StandinControl;

// The connection point of the event interface; lives inside its control.
class EventConnectionPoint final : public IConnectionPoint {
 public:
  explicit EventConnectionPoint(StandinControl& owner) : owner_(owner) {}
  ~EventConnectionPoint();

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP GetConnectionInterface(IID* iid) override;
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override;
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
  STDMETHODIMP Unadvise(DWORD cookie) override;
  STDMETHODIMP EnumConnections(IEnumConnections** out) override;

  // Calls FSCommand(command, args) on every connected sink.
  void fireFSCommand(const std::wstring& command, const std::wstring& args);

 private:
  struct Connection {
    DWORD cookie;
    IDispatch* sink;
  };
  StandinControl& owner_;
  std::vector<Connection> connections_;
  DWORD nextCookie_ = 1;
};

class StandinControl final : public IDispatch,
                             public IOleObject,
                             public IOleInPlaceObject,
                             public IOleInPlaceActiveObject,
                             public IOleControl,
                             public IPersistStreamInit,
                             public IConnectionPointContainer {
 public:
  StandinControl();
  ~StandinControl();

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IDispatch: properties by dispatch id, methods by name.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override;
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO*, UINT* argError) override;

  // IOleObject
  STDMETHODIMP SetClientSite(IOleClientSite* site) override;
  STDMETHODIMP GetClientSite(IOleClientSite** site) override;
  STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP Close(DWORD) override;
  STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
  STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent,
                      LPCRECT posRect) override;
  STDMETHODIMP EnumVerbs(IEnumOLEVERB**) override { return E_NOTIMPL; }
  STDMETHODIMP Update() override { return S_OK; }
  STDMETHODIMP IsUpToDate() override { return S_OK; }
  STDMETHODIMP GetUserClassID(CLSID* clsid) override;
  STDMETHODIMP GetUserType(DWORD, LPOLESTR*) override { return E_NOTIMPL; }
  STDMETHODIMP SetExtent(DWORD, SIZEL* size) override;
  STDMETHODIMP GetExtent(DWORD, SIZEL* size) override;
  STDMETHODIMP Advise(IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  STDMETHODIMP Unadvise(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
  STDMETHODIMP GetMiscStatus(DWORD, DWORD* status) override;
  STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

  // IOleWindow / IOleInPlaceObject
  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP InPlaceDeactivate() override;
  STDMETHODIMP UIDeactivate() override { return S_OK; }
  STDMETHODIMP SetObjectRects(LPCRECT pos, LPCRECT clip) override;
  STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }

  // IOleInPlaceActiveObject
  STDMETHODIMP TranslateAccelerator(LPMSG message) override;
  STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
  STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }

  // IOleControl
  STDMETHODIMP GetControlInfo(CONTROLINFO*) override { return E_NOTIMPL; }
  STDMETHODIMP OnMnemonic(MSG*) override { return E_NOTIMPL; }
  STDMETHODIMP OnAmbientPropertyChange(DISPID id) override;
  STDMETHODIMP FreezeEvents(BOOL) override { return S_OK; }

  // IPersist / IPersistStreamInit: only a new, empty state is supported.
  STDMETHODIMP GetClassID(CLSID* clsid) override { return GetUserClassID(clsid); }
  STDMETHODIMP IsDirty() override { return S_FALSE; }
  STDMETHODIMP Load(LPSTREAM) override { return E_NOTIMPL; }
  STDMETHODIMP Save(LPSTREAM, BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
  STDMETHODIMP InitNew() override;

  // IConnectionPointContainer
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
  STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** out) override;

 private:
  friend LRESULT CALLBACK StandinWindowProc(HWND, UINT, WPARAM, LPARAM);

  HRESULT activateInPlace(HWND parentHint, LPCRECT posHint);
  void play();
  void paint(HWND window, HDC dc);
  void firePending();
  // Reads the container's ambient properties through the site's IDispatch.
  void readAmbients();
  void record(const std::wstring& call) const;

  LONG refs_ = 1;
  long number_;             // this control's number in the log
  bool initialized_ = false;  // InitNew was called

  // The container's ambient properties as last read.
  bool userMode_ = false;   // answered true
  COLORREF ambientBack_ = RGB(255, 255, 255);
  COLORREF ambientFore_ = RGB(0, 0, 0);
  HFONT font_ = nullptr;    // made from the ambient font; owned
  EventConnectionPoint events_;
  IOleClientSite* site_ = nullptr;
  IOleInPlaceSite* inPlaceSite_ = nullptr;
  HWND window_ = nullptr;
  SIZEL extent_{};

  // Properties the installer sets; kept so that tests can read them back.
  std::wstring movie_;
  LONG scaleMode_ = 0;
  std::wstring wmode_ = L"Window";
  bool menu_ = true;
  bool playing_ = false;
  std::vector<std::pair<std::wstring, std::wstring>> variables_;

  // What the movie file said when Play read it.
  std::wstring movieInfo_;
  COLORREF background_ = RGB(255, 255, 255);
  bool movieRead_ = false;  // background_ comes from a movie
  std::vector<std::pair<std::wstring, std::wstring>> pendingCommands_;
};

// Live controls and server locks, for DllCanUnloadNow.
extern LONG g_serverUsers;
extern HINSTANCE g_module;

void RegisterStandinWindowClass();
void UnregisterStandinWindowClass();
