#include "flash/FlashControl.h"

#include <vector>

#include "flash/ShockwaveFlashIds.h"

// ---------------------------------------------------------------------------
// Container objects. Each is its own COM object with its own reference count,
// because client site, in-place site and frame all derive from IOleWindow and
// answer GetWindow differently (site: the panel; frame: the top-level window).

class FlashControlFrame final : public IOleInPlaceFrame {
 public:
  explicit FlashControlFrame(HWND window) : window_(window) {}
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
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
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return left;
  }
  STDMETHODIMP GetWindow(HWND* window) override {
    if (!window) return E_POINTER;
    *window = window_;
    return S_OK;
  }
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
  LONG refs_ = 1;
  HWND window_;
};

class FlashControlSite final : public IOleClientSite, public IOleInPlaceSite {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (riid == IID_IUnknown || riid == IID_IOleClientSite)
      *out = static_cast<IOleClientSite*>(this);
    else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite)
      *out = static_cast<IOleInPlaceSite*>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return left;
  }

  void place(HWND parent, const RECT& bounds) {
    parent_ = parent;
    bounds_ = bounds;
  }

  // IOleClientSite
  STDMETHODIMP SaveObject() override { return S_OK; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetContainer(IOleContainer** out) override {
    if (out) *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow / IOleInPlaceSite
  STDMETHODIMP GetWindow(HWND* window) override {
    if (!window) return E_POINTER;
    *window = parent_;
    return parent_ ? S_OK : E_FAIL;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP CanInPlaceActivate() override { return parent_ ? S_OK : S_FALSE; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                LPRECT pos, LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
    if (!frame || !document || !pos || !clip) return E_POINTER;
    HWND top = GetAncestor(parent_, GA_ROOT);
    *frame = new FlashControlFrame(top);
    *document = nullptr;
    *pos = bounds_;
    *clip = bounds_;
    if (info) {
      info->fMDIApp = FALSE;
      info->hwndFrame = top;
      info->haccel = nullptr;
      info->cAccelEntries = 0;
    }
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP DiscardUndoState() override { return S_OK; }
  STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
  STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

 private:
  LONG refs_ = 1;
  HWND parent_ = nullptr;
  RECT bounds_{};
};

// Receives the control's events; only FSCommand (command, args) is passed on.
class FlashEventSink final : public IDispatch {
 public:
  explicit FlashEventSink(TFlashControl::FSCommandHandler handler) : handler_(std::move(handler)) {}
  void detach() { handler_ = nullptr; }

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == flashids::kDiidShockwaveFlashEvents) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return left;
  }
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
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                      UINT*) override {
    if (id != flashids::kDispidFSCommand || !handler_) return S_OK;
    if (!params || params->cArgs < 2) return DISP_E_BADPARAMCOUNT;
    // Arguments arrive last first: rgvarg[1] is the command, rgvarg[0] the args.
    std::wstring command, args;
    if (!asString(params->rgvarg[params->cArgs - 1], command) ||
        !asString(params->rgvarg[params->cArgs - 2], args))
      return DISP_E_TYPEMISMATCH;
    auto handler = handler_;  // the handler may replace or free the control
    handler(command, args);
    return S_OK;
  }

 private:
  static bool asString(VARIANT& in, std::wstring& out) {
    VARIANT v;
    VariantInit(&v);
    if (FAILED(VariantChangeType(&v, &in, 0, VT_BSTR))) return false;
    out = v.bstrVal ? v.bstrVal : L"";
    VariantClear(&v);
    return true;
  }
  LONG refs_ = 1;
  TFlashControl::FSCommandHandler handler_;
};

namespace {
void Check(HRESULT hr, const char* what) {
  if (FAILED(hr)) throw ComError(what, hr);
}
}  // namespace

// ---------------------------------------------------------------------------

TFlashControl::TFlashControl() {
  Check(CoCreateInstance(flashids::kClsidShockwaveFlash, nullptr, CLSCTX_INPROC_SERVER,
                         flashids::kIidShockwaveFlash, dispatch_.putVoid()),
        "The Flash control cannot be created");
  Check(dispatch_->QueryInterface(IID_IOleObject, object_.putVoid()),
        "The Flash control is not an OLE object");
  site_ = new FlashControlSite();
  Check(object_->SetClientSite(site_), "The Flash control refuses its site");
}

TFlashControl::~TFlashControl() {
  if (connection_) connection_->Unadvise(cookie_);
  connection_.reset();
  if (sink_) {
    sink_->detach();
    sink_->Release();
  }
  if (object_) {
    ComPtr<IOleInPlaceObject> inPlace;
    if (SUCCEEDED(object_->QueryInterface(IID_IOleInPlaceObject, inPlace.putVoid())))
      inPlace->InPlaceDeactivate();
    object_->Close(OLECLOSE_NOSAVE);
    object_->SetClientSite(nullptr);
  }
  object_.reset();
  dispatch_.reset();
  if (site_) site_->Release();
}

void TFlashControl::setParent(HWND parent, int width, int height) {
  parent_ = parent;
  bounds_ = RECT{0, 0, width, height};
  site_->place(parent, bounds_);
  Check(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_, 0, parent, &bounds_),
        "The Flash control cannot be shown in the panel");
}

void TFlashControl::setFSCommandHandler(FSCommandHandler handler) {
  ComPtr<IConnectionPointContainer> container;
  Check(dispatch_->QueryInterface(IID_IConnectionPointContainer, container.putVoid()),
        "The Flash control has no events");
  ComPtr<IConnectionPoint> point;
  Check(container->FindConnectionPoint(flashids::kDiidShockwaveFlashEvents, point.put()),
        "The Flash control has no FSCommand event");
  auto* sink = new FlashEventSink(std::move(handler));
  DWORD cookie = 0;
  HRESULT hr = point->Advise(sink, &cookie);
  if (FAILED(hr)) {
    sink->Release();
    throw ComError("The Flash control refuses the event sink", hr);
  }
  if (connection_) connection_->Unadvise(cookie_);
  if (sink_) {
    sink_->detach();
    sink_->Release();
  }
  connection_.reset();
  *connection_.put() = point.get();
  point.get()->AddRef();
  cookie_ = cookie;
  sink_ = sink;
}

void TFlashControl::putProperty(DISPID id, const VARIANT& value) {
  VARIANT arg = value;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{&arg, &named, 1, 1};
  Check(dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr,
                          nullptr, nullptr),
        "A property of the Flash control cannot be set");
}

void TFlashControl::putInteger(DISPID id, LONG value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  putProperty(id, v);
}

void TFlashControl::putString(DISPID id, const std::wstring& value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(value.c_str());
  try {
    putProperty(id, v);
  } catch (...) {
    VariantClear(&v);
    throw;
  }
  VariantClear(&v);
}

void TFlashControl::putBoolean(DISPID id, bool value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BOOL;
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  putProperty(id, v);
}

VARIANT TFlashControl::getProperty(DISPID id) {
  VARIANT result;
  VariantInit(&result);
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  Check(dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result,
                          nullptr, nullptr),
        "A property of the Flash control cannot be read");
  return result;
}

VARIANT TFlashControl::callMethod(const wchar_t* name, std::initializer_list<std::wstring> args) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  Check(dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id),
        "The Flash control lacks a method");
  // Arguments go last first.
  std::vector<VARIANT> argv(args.size());
  std::size_t i = args.size();
  for (const auto& a : args) {
    --i;
    VariantInit(&argv[i]);
    argv[i].vt = VT_BSTR;
    argv[i].bstrVal = SysAllocString(a.c_str());
  }
  DISPPARAMS params{argv.empty() ? nullptr : argv.data(), nullptr, static_cast<UINT>(argv.size()), 0};
  VARIANT result;
  VariantInit(&result);
  HRESULT hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result,
                                 nullptr, nullptr);
  for (auto& v : argv) VariantClear(&v);
  Check(hr, "A method of the Flash control failed");
  return result;
}

void TFlashControl::doVerb(LONG verb) {
  Check(object_->DoVerb(verb, nullptr, site_, 0, parent_, parent_ ? &bounds_ : nullptr),
        "The Flash control refuses a verb");
}

HWND TFlashControl::window() const {
  ComPtr<IOleInPlaceObject> inPlace;
  HWND window = nullptr;
  if (object_ && SUCCEEDED(object_->QueryInterface(IID_IOleInPlaceObject, inPlace.putVoid())))
    inPlace->GetWindow(&window);
  return window;
}

void TFlashControl::setFocus() {
  if (HWND w = window()) SetFocus(w);
}
