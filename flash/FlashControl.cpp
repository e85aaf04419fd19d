#include "flash/FlashControl.h"

#include <vector>

#include "flash/ShockwaveFlashIds.h"

namespace {

constexpr int kHimetricPerInch = 2540;

// A BSTR that is freed when it goes.
class ComString {
 public:
  explicit ComString(const std::wstring& text) : text_(deferred::SysAllocString(text.c_str())) {
    if (!text_) throw ComError("Out of memory for a string", E_OUTOFMEMORY);
  }
  ~ComString() { deferred::SysFreeString(text_); }
  ComString(const ComString&) = delete;
  ComString& operator=(const ComString&) = delete;
  BSTR get() const { return text_; }

 private:
  BSTR text_;
};

// A size in pixels of the screen as OLE's HIMETRIC units.
SIZEL ToHimetric(int width, int height) {
  HDC screen = GetDC(nullptr);
  const SIZEL size{MulDiv(width, kHimetricPerInch, GetDeviceCaps(screen, LOGPIXELSX)),
                   MulDiv(height, kHimetricPerInch, GetDeviceCaps(screen, LOGPIXELSY))};
  ReleaseDC(nullptr, screen);
  return size;
}

}  // namespace

// Receives the control's events; only FSCommand (command, args) is passed on.
// (Members out of the class body: each one defined there costs the image an
// unwinding record of its own.)
class FlashEventSink final : public DispatchByIdOnly, private ComObjectCount {
 public:
  explicit FlashEventSink(TFlashControl::FSCommandHandler handler) : handler_(std::move(handler)) {}
  void detach();

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                      UINT*) override;

 private:
  static bool asString(VARIANT& in, std::wstring& out);
  TFlashControl::FSCommandHandler handler_;
};

void FlashEventSink::detach() { handler_ = nullptr; }

STDMETHODIMP FlashEventSink::QueryInterface(REFIID riid, void** out) {
  if (!out) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == flashids::kDiidShockwaveFlashEvents) {
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) FlashEventSink::AddRef() { return addRef(); }
STDMETHODIMP_(ULONG) FlashEventSink::Release() { return release(this); }

STDMETHODIMP FlashEventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                    EXCEPINFO*, UINT*) {
  if (id != flashids::kDispidFSCommand || !handler_) return S_OK;
  if (!params || params->cArgs < 2) return DISP_E_BADPARAMCOUNT;
  // Arguments arrive last first: the command is the first argument, args the second.
  std::wstring command, args;
  if (!asString(params->rgvarg[params->cArgs - 1], command) ||
      !asString(params->rgvarg[params->cArgs - 2], args))
    return DISP_E_TYPEMISMATCH;
  auto handler = handler_;  // the handler may replace or free the control
  handler(command, args);
  return S_OK;
}

bool FlashEventSink::asString(VARIANT& in, std::wstring& out) {
  ComVariant text;
  if (FAILED(deferred::VariantChangeType(text.get(), &in, 0, VT_BSTR))) return false;
  out = text->bstrVal ? text->bstrVal : L"";
  return true;
}

// ---------------------------------------------------------------------------

TFlashControl::TFlashControl(const ControlAmbience& ambience)
    : site_(new FlashControlSite(ambience)) {
  CheckHr(deferred::CoCreateInstance(flashids::kClsidShockwaveFlash, nullptr,
                                     CLSCTX_INPROC_SERVER, IID_IOleObject, object_.putVoid()),
          "The Flash control cannot be created");
  try {
    DWORD misc = 0;
    if (FAILED(object_->GetMiscStatus(DVASPECT_CONTENT, &misc))) misc = 0;
    // Such a control reads its container's ambient properties while it initialises.
    if (misc & OLEMISC_SETCLIENTSITEFIRST) attachSite();
    initNew();
    if (!siteAttached_) attachSite();
    CheckHr(object_->QueryInterface(flashids::kIidShockwaveFlash, dispatch_.putVoid()),
            "The Flash control lacks its dispatch interface");
  } catch (...) {
    release();
    throw;
  }
}

TFlashControl::~TFlashControl() { release(); }

void TFlashControl::attachSite() {
  CheckHr(object_->SetClientSite(site_.get()), "The Flash control refuses its site");
  siteAttached_ = true;
}

void TFlashControl::initNew() {
  HRESULT hr = S_OK;
  if (auto stream = object_.query<IPersistStreamInit>(IID_IPersistStreamInit))
    hr = stream->InitNew();
  else if (auto bag = object_.query<IPersistPropertyBag>(IID_IPersistPropertyBag))
    hr = bag->InitNew();
  // Neither interface: the control keeps no state to initialise.
  if (hr != E_NOTIMPL) CheckHr(hr, "The Flash control refuses to initialise");
}

void TFlashControl::release() noexcept {
  if (connection_) connection_->Unadvise(cookie_);
  connection_.reset();
  if (sink_) sink_->detach();
  sink_.reset();
  if (object_ && siteAttached_) {
    if (auto inPlace = object_.query<IOleInPlaceObject>(IID_IOleInPlaceObject))
      inPlace->InPlaceDeactivate();
    object_->Close(OLECLOSE_NOSAVE);
    object_->SetClientSite(nullptr);
    siteAttached_ = false;
  }
  dispatch_.reset();
  object_.reset();
  site_.reset();
}

void TFlashControl::setParent(HWND parent, int width, int height) {
  parent_ = parent;
  bounds_ = RECT{0, 0, width, height};
  site_->place(parent, bounds_);
  SIZEL extent = ToHimetric(width, height);
  object_->SetExtent(DVASPECT_CONTENT, &extent);  // a control of fixed size may refuse; it is told the rectangle below
  CheckHr(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_.get(), 0, parent, &bounds_),
          "The Flash control cannot be shown in the panel");
}

void TFlashControl::setFSCommandHandler(FSCommandHandler handler) {
  auto container = object_.query<IConnectionPointContainer>(IID_IConnectionPointContainer);
  if (!container) throw ComError("The Flash control has no events", E_NOINTERFACE);
  ComPtr<IConnectionPoint> point;
  CheckHr(container->FindConnectionPoint(flashids::kDiidShockwaveFlashEvents, point.put()),
          "The Flash control has no FSCommand event");
  ComPtr<FlashEventSink> sink(new FlashEventSink(std::move(handler)));
  DWORD cookie = 0;
  CheckHr(point->Advise(static_cast<IDispatch*>(sink.get()), &cookie),
          "The Flash control refuses the event sink");
  if (connection_) connection_->Unadvise(cookie_);
  if (sink_) sink_->detach();
  connection_ = point;
  sink_ = sink;
  cookie_ = cookie;
}

void TFlashControl::setAmbience(const ControlAmbience& ambience, DISPID changed) {
  site_->setAmbience(ambience);
  if (auto control = object_.query<IOleControl>(IID_IOleControl)) control->OnAmbientPropertyChange(changed);
}

void TFlashControl::putProperty(DISPID id, VARIANT& value) {
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{&value, &named, 1, 1};
  CheckHr(dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr,
                            nullptr, nullptr),
          "A property of the Flash control cannot be set");
}

void TFlashControl::putInteger(DISPID id, LONG value) {
  VARIANT v;
  deferred::VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  putProperty(id, v);
}

void TFlashControl::putString(DISPID id, const std::wstring& value) {
  ComString text(value);
  VARIANT v;
  deferred::VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = text.get();  // still owned by `text`
  putProperty(id, v);
}

void TFlashControl::putBoolean(DISPID id, bool value) {
  VARIANT v;
  deferred::VariantInit(&v);
  v.vt = VT_BOOL;
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  putProperty(id, v);
}

void TFlashControl::getProperty(DISPID id, ComVariant& result) {
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  CheckHr(dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                            result.get(), nullptr, nullptr),
          "A property of the Flash control cannot be read");
}

void TFlashControl::callMethod(const wchar_t* name, std::initializer_list<std::wstring> args,
                               ComVariant* result) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  CheckHr(dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id),
          "The Flash control lacks a method");
  // Arguments go last first; each is cleared when the call is over.
  struct Arguments {
    std::vector<VARIANT> items;
    ~Arguments() {
      for (VARIANT& item : items) deferred::VariantClear(&item);
    }
  } argv;
  argv.items.resize(args.size());
  for (VARIANT& item : argv.items) deferred::VariantInit(&item);
  std::size_t i = args.size();
  for (const auto& a : args) {
    VARIANT& slot = argv.items[--i];
    slot.bstrVal = deferred::SysAllocString(a.c_str());
    if (!slot.bstrVal) throw ComError("Out of memory for a string", E_OUTOFMEMORY);
    slot.vt = VT_BSTR;
  }
  DISPPARAMS params{argv.items.empty() ? nullptr : argv.items.data(), nullptr,
                    static_cast<UINT>(argv.items.size()), 0};
  ComVariant discarded;
  CheckHr(dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                            (result ? result : &discarded)->get(), nullptr, nullptr),
          "A method of the Flash control failed");
}

void TFlashControl::doVerb(LONG verb) {
  CheckHr(object_->DoVerb(verb, nullptr, site_.get(), 0, parent_, parent_ ? &bounds_ : nullptr),
          "The Flash control refuses a verb");
}

HWND TFlashControl::window() const {
  HWND window = nullptr;
  if (auto inPlace = object_.query<IOleInPlaceObject>(IID_IOleInPlaceObject)) inPlace->GetWindow(&window);
  return window;
}

void TFlashControl::setFocus() {
  if (HWND w = window()) SetFocus(w);
}

bool TFlashControl::translateAccelerator(MSG& message) {
  if (message.message < WM_KEYFIRST || message.message > WM_KEYLAST) return false;
  HWND own = window();
  if (!own || (message.hwnd != own && !IsChild(own, message.hwnd))) return false;
  auto active = object_.query<IOleInPlaceActiveObject>(IID_IOleInPlaceActiveObject);
  return active && active->TranslateAccelerator(&message) == S_OK;
}
