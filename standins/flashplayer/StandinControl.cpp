#include "standins/flashplayer/StandinControl.h"

#include <algorithm>
#include <filesystem>
#include <string>

#include "flash/BinaryFile.h"
#include "flash/ShockwaveFlashIds.h"
#include "flash/SwfMovie.h"
#include "standins/flashplayer/StandinTrace.h"
#include "system/InstallerError.h"

LONG g_serverUsers = 0;
LONG g_controlsMade = 0;

namespace {

// Dispatch ids of what the stand-in offers besides the installer's table.
constexpr DISPID kDispidPlaying = 125;
constexpr DISPID kDispidPlay = 112;
constexpr DISPID kDispidStopPlay = 113;
constexpr DISPID kDispidFlashVersion = 132;
constexpr DISPID kDispidSetVariable = 140;
constexpr DISPID kDispidGetVariable = 141;

constexpr UINT kFireEventsMessage = WM_APP + 1;
constexpr wchar_t kWindowClass[] = L"LvFlashStandinWindow";
constexpr std::size_t kCommandScanLimit = 1 << 20;  // fscommands are looked for in the first MiB
constexpr LONGLONG kCurrencyScale = 10000;           // a CY holds the value times 10,000
constexpr int kPointsPerInch = 72;

struct NamedId {
  const wchar_t* name;
  DISPID id;
};
constexpr NamedId kNames[] = {
    {L"Movie", flashids::kDispidMovie},   {L"ScaleMode", flashids::kDispidScaleMode},
    {L"WMode", flashids::kDispidWMode},   {L"Menu", flashids::kDispidMenu},
    {L"Playing", kDispidPlaying},         {L"Play", kDispidPlay},
    {L"StopPlay", kDispidStopPlay},       {L"FlashVersion", kDispidFlashVersion},
    {L"SetVariable", kDispidSetVariable}, {L"GetVariable", kDispidGetVariable},
};

const wchar_t* MemberName(DISPID id) {
  for (const auto& n : kNames)
    if (n.id == id) return n.name;
  return L"?";
}

// The stand-in's own scratch folder for converting compressed movies.
class StandinMovie : public TSwfMovie {
 protected:
  rc::Result createTempFolder(MoviePath& folder) override {
    return CreateNumberedFolder(TempFolderPath(), "FlashStandin", folder);
  }
};

std::wstring Widen(const std::string& text) {
  return std::wstring(text.begin(), text.end());
}

// Finds "FSCommand:<command>\0<args>\0" strings and keeps those for allowscale
// and fullscreen, the commands a movie declares at its start.
std::vector<std::pair<std::wstring, std::wstring>> FindCommands(const std::filesystem::path& path) {
  std::vector<std::pair<std::wstring, std::wstring>> found;
  BinaryFile file(path, BinaryFile::Mode::ReadShared);
  std::string data(static_cast<std::size_t>(std::min<std::int64_t>(file.size(), kCommandScanLimit)), '\0');
  data.resize(file.read(data.data(), data.size()));
  std::string lower = data;
  for (auto& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  const std::string marker = "fscommand:";
  for (std::size_t at = lower.find(marker); at != std::string::npos; at = lower.find(marker, at + 1)) {
    std::size_t commandStart = at + marker.size();
    std::size_t commandEnd = data.find('\0', commandStart);
    if (commandEnd == std::string::npos) break;
    std::size_t argsEnd = data.find('\0', commandEnd + 1);
    if (argsEnd == std::string::npos) break;
    std::string command = lower.substr(commandStart, commandEnd - commandStart);
    if (command != "allowscale" && command != "fullscreen") continue;
    found.emplace_back(Widen(data.substr(commandStart, commandEnd - commandStart)),
                       Widen(data.substr(commandEnd + 1, argsEnd - commandEnd - 1)));
  }
  return found;
}

HRESULT ArgumentAsString(DISPPARAMS* params, UINT index, std::wstring& out) {
  if (!params || index >= params->cArgs) return DISP_E_BADPARAMCOUNT;
  // Arguments arrive in reverse order.
  VARIANT converted;
  VariantInit(&converted);
  HRESULT hr = VariantChangeType(&converted, &params->rgvarg[params->cArgs - 1 - index], 0, VT_BSTR);
  if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
  out = converted.bstrVal ? converted.bstrVal : L"";
  VariantClear(&converted);
  return S_OK;
}

HRESULT ArgumentAs(DISPPARAMS* params, UINT index, VARTYPE type, VARIANT& out) {
  if (!params || index >= params->cArgs) return DISP_E_BADPARAMCOUNT;
  VariantInit(&out);
  return SUCCEEDED(VariantChangeType(&out, &params->rgvarg[params->cArgs - 1 - index], 0, type))
             ? S_OK
             : DISP_E_TYPEMISMATCH;
}

void ReturnString(VARIANT* result, const std::wstring& text) {
  if (!result) return;
  VariantInit(result);
  result->vt = VT_BSTR;
  result->bstrVal = SysAllocString(text.c_str());
}

void ReturnLong(VARIANT* result, LONG value) {
  if (!result) return;
  VariantInit(result);
  result->vt = VT_I4;
  result->lVal = value;
}

void ReturnBool(VARIANT* result, bool value) {
  if (!result) return;
  VariantInit(result);
  result->vt = VT_BOOL;
  result->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

}  // namespace

LRESULT CALLBACK StandinWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* control = reinterpret_cast<StandinControl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_NCCREATE: {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
      break;
    }
    case WM_PAINT:
      if (control) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        control->paint(window, dc);
        EndPaint(window, &ps);
        return 0;
      }
      break;
    case WM_ERASEBKGND:
      return 1;
    case WM_LBUTTONDOWN:
      SetFocus(window);
      return 0;
    case kFireEventsMessage:
      if (control) control->firePending();
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// ---------------------------------------------------------------------------
// Connection point

EventConnectionPoint::~EventConnectionPoint() {
  for (auto& c : connections_) c.sink->Release();
}

STDMETHODIMP EventConnectionPoint::QueryInterface(REFIID riid, void** out) {
  if (!out) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IConnectionPoint) {
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) EventConnectionPoint::AddRef() { return owner_.AddRef(); }
STDMETHODIMP_(ULONG) EventConnectionPoint::Release() { return owner_.Release(); }

STDMETHODIMP EventConnectionPoint::GetConnectionInterface(IID* iid) {
  if (!iid) return E_POINTER;
  *iid = flashids::kDiidShockwaveFlashEvents;
  return S_OK;
}

STDMETHODIMP EventConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
  if (!out) return E_POINTER;
  *out = static_cast<IConnectionPointContainer*>(&owner_);
  owner_.AddRef();
  return S_OK;
}

STDMETHODIMP EventConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (!sink || !cookie) return E_POINTER;
  IDispatch* dispatch = nullptr;
  if (FAILED(sink->QueryInterface(flashids::kDiidShockwaveFlashEvents, reinterpret_cast<void**>(&dispatch))) &&
      FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))))
    return CONNECT_E_CANNOTCONNECT;
  *cookie = nextCookie_++;
  connections_.push_back({*cookie, dispatch});
  return S_OK;
}

STDMETHODIMP EventConnectionPoint::Unadvise(DWORD cookie) {
  for (auto it = connections_.begin(); it != connections_.end(); ++it) {
    if (it->cookie == cookie) {
      IDispatch* sink = it->sink;
      connections_.erase(it);
      sink->Release();
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}

STDMETHODIMP EventConnectionPoint::EnumConnections(IEnumConnections** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

void EventConnectionPoint::fireFSCommand(const std::wstring& command, const std::wstring& args) {
  // A sink may unadvise while it handles the event: work on a copy.
  std::vector<IDispatch*> sinks;
  for (auto& c : connections_) {
    c.sink->AddRef();
    sinks.push_back(c.sink);
  }
  for (IDispatch* sink : sinks) {
    VARIANT argv[2];
    argv[0].vt = VT_BSTR;  // last argument first: args, then command
    argv[0].bstrVal = SysAllocString(args.c_str());
    argv[1].vt = VT_BSTR;
    argv[1].bstrVal = SysAllocString(command.c_str());
    DISPPARAMS params{argv, nullptr, 2, 0};
    sink->Invoke(flashids::kDispidFSCommand, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                 nullptr, nullptr, nullptr);
    SysFreeString(argv[0].bstrVal);
    SysFreeString(argv[1].bstrVal);
    sink->Release();
  }
}

// ---------------------------------------------------------------------------
// Control

StandinControl::StandinControl() : number_(InterlockedIncrement(&g_controlsMade)), events_(*this) {
  InterlockedIncrement(&g_serverUsers);
  record(L"created");
}

StandinControl::~StandinControl() {
  if (window_) DestroyWindow(window_);
  if (inPlaceSite_) inPlaceSite_->Release();
  if (site_) site_->Release();
  if (font_) DeleteObject(font_);
  record(L"destroyed");
  InterlockedDecrement(&g_serverUsers);
}

void StandinControl::record(const std::wstring& call) const { standin::Record(number_, call); }

STDMETHODIMP StandinControl::QueryInterface(REFIID riid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == flashids::kIidShockwaveFlash)
    *out = static_cast<IDispatch*>(this);
  else if (riid == IID_IOleObject)
    *out = static_cast<IOleObject*>(this);
  else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceObject)
    *out = static_cast<IOleInPlaceObject*>(this);
  else if (riid == IID_IOleInPlaceActiveObject)
    *out = static_cast<IOleInPlaceActiveObject*>(this);
  else if (riid == IID_IOleControl)
    *out = static_cast<IOleControl*>(this);
  else if (riid == IID_IPersist || riid == IID_IPersistStreamInit)
    *out = static_cast<IPersistStreamInit*>(this);
  else if (riid == IID_IConnectionPointContainer)
    *out = static_cast<IConnectionPointContainer*>(this);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) StandinControl::AddRef() { return InterlockedIncrement(&refs_); }

STDMETHODIMP_(ULONG) StandinControl::Release() {
  LONG left = InterlockedDecrement(&refs_);
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP StandinControl::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

STDMETHODIMP StandinControl::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP StandinControl::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!names || !ids) return E_POINTER;
  HRESULT hr = S_OK;
  for (UINT i = 0; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
    for (const auto& n : kNames)
      if (i == 0 && _wcsicmp(n.name, names[0]) == 0) ids[i] = n.id;
    if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

STDMETHODIMP StandinControl::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                    VARIANT* result, EXCEPINFO*, UINT*) {
  const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  const bool get = !put && (flags & DISPATCH_PROPERTYGET) && !(flags & DISPATCH_METHOD);
  const std::wstring call = std::wstring(MemberName(id)) + (get ? L" get" : L"");
  record(call);
  if (standin::Refused(call)) return E_FAIL;
  switch (id) {
    case flashids::kDispidMovie:
      if (put) return ArgumentAsString(params, 0, movie_);
      ReturnString(result, movie_);
      return S_OK;
    case flashids::kDispidScaleMode:
      if (put) {
        VARIANT v;
        HRESULT hr = ArgumentAs(params, 0, VT_I4, v);
        if (SUCCEEDED(hr)) scaleMode_ = v.lVal;
        return hr;
      }
      ReturnLong(result, scaleMode_);
      return S_OK;
    case flashids::kDispidWMode:
      if (put) return ArgumentAsString(params, 0, wmode_);
      ReturnString(result, wmode_);
      return S_OK;
    case flashids::kDispidMenu:
      if (put) {
        VARIANT v;
        HRESULT hr = ArgumentAs(params, 0, VT_BOOL, v);
        if (SUCCEEDED(hr)) menu_ = v.boolVal != VARIANT_FALSE;
        return hr;
      }
      ReturnBool(result, menu_);
      return S_OK;
    case kDispidPlaying:
      if (put) return DISP_E_MEMBERNOTFOUND;
      ReturnBool(result, playing_);
      return S_OK;
    case kDispidPlay:
      play();
      return S_OK;
    case kDispidStopPlay:
      playing_ = false;
      return S_OK;
    case kDispidFlashVersion:
      ReturnLong(result, MAKELONG(LV_FLASH_BUILD, LV_FLASH_MAJOR));
      return S_OK;
    case kDispidSetVariable: {
      std::wstring name, value;
      HRESULT hr = ArgumentAsString(params, 0, name);
      if (SUCCEEDED(hr)) hr = ArgumentAsString(params, 1, value);
      if (FAILED(hr)) return hr;
      for (auto& v : variables_)
        if (v.first == name) {
          v.second = value;
          return S_OK;
        }
      variables_.emplace_back(name, value);
      return S_OK;
    }
    case kDispidGetVariable: {
      std::wstring name;
      HRESULT hr = ArgumentAsString(params, 0, name);
      if (FAILED(hr)) return hr;
      std::wstring value;
      for (auto& v : variables_)
        if (v.first == name) value = v.second;
      ReturnString(result, value);
      return S_OK;
    }
  }
  return DISP_E_MEMBERNOTFOUND;
}

void StandinControl::play() {
  playing_ = true;
  background_ = ambientBack_;
  movieRead_ = false;
  pendingCommands_.clear();
  StandinMovie movie;
  movie.swfFilename = std::filesystem::path(movie_);
  const std::filesystem::path name = std::filesystem::path(movie.swfFilename).filename();
  try {
    if (!BinaryFile::Exists(movie.swfFilename)) {
      movieInfo_ = name.wstring() + L"\nno such file";
    } else {
      rc::Result r = movie.readMovie();
      if (r == 0) {
        background_ = RGB(movie.bgRed, movie.bgGreen, movie.bgBlue);
        movieRead_ = true;
        movieInfo_ = name.wstring() + L"\n" + std::to_wstring(movie.movieWidth) + L" x " +
                     std::to_wstring(movie.movieHeight) + L"  " + Widen(movie.swfSignature) +
                     L" " + std::to_wstring(movie.swfVersion);
        pendingCommands_ = FindCommands(movie.swfSignature == "CWS" ? movie.plainCopyPath()
                                                                     : movie.swfFilename);
      } else {
        movieInfo_ = name.wstring() + L"\ncannot play: " + std::to_wstring(r);
      }
    }
  } catch (const InstallerError& e) {
    movieInfo_ = name.wstring() + L"\n" + Widen(e.kindName()) + L": " + Widen(e.what());
  }
  if (!movie.tempFolder.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(movie.tempFolder, ec);
  }
  if (window_) {
    InvalidateRect(window_, nullptr, TRUE);
    if (!pendingCommands_.empty()) PostMessageW(window_, kFireEventsMessage, 0, 0);
  }
}

void StandinControl::firePending() {
  if (!playing_) return;
  auto commands = std::move(pendingCommands_);
  pendingCommands_.clear();
  AddRef();  // a handler may release the control
  for (const auto& [command, args] : commands) events_.fireFSCommand(command, args);
  Release();
}

void StandinControl::paint(HWND window, HDC dc) {
  RECT area;
  GetClientRect(window, &area);
  const COLORREF back = movieRead_ ? background_ : ambientBack_;
  HBRUSH brush = CreateSolidBrush(back);
  FillRect(dc, &area, brush);
  DeleteObject(brush);
  // The container's text colour, unless the movie's background would hide it.
  const int brightness = GetRValue(back) * 3 + GetGValue(back) * 6 + GetBValue(back);
  const int textBrightness = GetRValue(ambientFore_) * 3 + GetGValue(ambientFore_) * 6 + GetBValue(ambientFore_);
  const bool readable = (brightness > 1275) != (textBrightness > 1275);
  SetTextColor(dc, readable ? ambientFore_ : brightness > 1275 ? RGB(0, 0, 0) : RGB(255, 255, 255));
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ oldFont = SelectObject(dc, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
  std::wstring text = L"Flash stand-in " LV_FLASH_VERSION_TEXT L"\n" +
                      (movieInfo_.empty() ? std::wstring(L"no movie") : movieInfo_);
  InflateRect(&area, -4, -4);
  DrawTextW(dc, text.c_str(), -1, &area, DT_LEFT | DT_TOP | DT_NOPREFIX | DT_WORDBREAK);
  SelectObject(dc, oldFont);
}

STDMETHODIMP StandinControl::SetClientSite(IOleClientSite* site) {
  record(site ? L"SetClientSite" : L"SetClientSite null");
  if (site && standin::Refused(L"SetClientSite")) return E_FAIL;
  if (site) site->AddRef();
  if (site_) site_->Release();
  site_ = site;
  if (site_) readAmbients();
  return S_OK;
}

STDMETHODIMP StandinControl::InitNew() {
  record(L"InitNew");
  if (standin::Refused(L"InitNew")) return E_FAIL;
  if (initialized_) return E_UNEXPECTED;
  // Asked for its site first (OLEMISC_SETCLIENTSITEFIRST): it reads the ambients now.
  if (!site_) return E_UNEXPECTED;
  initialized_ = true;
  return S_OK;
}

STDMETHODIMP StandinControl::OnAmbientPropertyChange(DISPID id) {
  record(L"OnAmbientPropertyChange " + std::to_wstring(id));
  readAmbients();
  if (window_) InvalidateRect(window_, nullptr, TRUE);
  return S_OK;
}

STDMETHODIMP StandinControl::TranslateAccelerator(LPMSG message) {
  if (!message) return E_POINTER;
  record(L"TranslateAccelerator " + std::to_wstring(message->message) + L" " +
         std::to_wstring(message->wParam));
  return S_FALSE;  // no accelerators of its own: the key goes on as usual
}

void StandinControl::readAmbients() {
  IDispatch* ambient = nullptr;
  userMode_ = false;
  if (!site_ || FAILED(site_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&ambient)))) {
    record(L"ambient none");
    return;
  }
  auto read = [ambient](DISPID id, VARIANT& value) {
    VariantInit(&value);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    return SUCCEEDED(ambient->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                     &value, nullptr, nullptr));
  };
  VARIANT value;
  if (read(DISPID_AMBIENT_USERMODE, value) && value.vt == VT_BOOL) userMode_ = value.boolVal != VARIANT_FALSE;
  VariantClear(&value);
  if (read(DISPID_AMBIENT_BACKCOLOR, value) && value.vt == VT_I4) ambientBack_ = static_cast<COLORREF>(value.lVal);
  VariantClear(&value);
  if (read(DISPID_AMBIENT_FORECOLOR, value) && value.vt == VT_I4) ambientFore_ = static_cast<COLORREF>(value.lVal);
  VariantClear(&value);
  std::wstring fontText = L"none";
  if (read(DISPID_AMBIENT_FONT, value) && value.vt == VT_DISPATCH && value.pdispVal) {
    IFont* font = nullptr;
    if (SUCCEEDED(value.pdispVal->QueryInterface(IID_IFont, reinterpret_cast<void**>(&font)))) {
      BSTR name = nullptr;
      CY size{};
      font->get_Name(&name);
      font->get_Size(&size);
      const int points = static_cast<int>(size.int64 / kCurrencyScale);
      HDC screen = GetDC(nullptr);
      const int height = -MulDiv(points, GetDeviceCaps(screen, LOGPIXELSY), kPointsPerInch);
      ReleaseDC(nullptr, screen);
      if (font_) DeleteObject(font_);
      font_ = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, name ? name : L"");
      fontText = std::wstring(name ? name : L"") + L" " + std::to_wstring(points);
      SysFreeString(name);
      font->Release();
    }
  }
  VariantClear(&value);
  bool reflect = false;
  if (read(DISPID_AMBIENT_MESSAGEREFLECT, value) && value.vt == VT_BOOL) reflect = value.boolVal != VARIANT_FALSE;
  VariantClear(&value);
  ambient->Release();
  wchar_t colours[64];
  wsprintfW(colours, L" BackColor=%06x ForeColor=%06x", static_cast<unsigned>(ambientBack_),
            static_cast<unsigned>(ambientFore_));
  record(std::wstring(L"ambient UserMode=") + (userMode_ ? L"1" : L"0") + L" MessageReflect=" +
         (reflect ? L"1" : L"0") + colours + L" Font=" + fontText);
}

STDMETHODIMP StandinControl::GetClientSite(IOleClientSite** site) {
  if (!site) return E_POINTER;
  *site = site_;
  if (site_) site_->AddRef();
  return S_OK;
}

STDMETHODIMP StandinControl::Close(DWORD) {
  record(L"Close");
  InPlaceDeactivate();
  return S_OK;
}

HRESULT StandinControl::activateInPlace(HWND parentHint, LPCRECT posHint) {
  if (window_) return S_OK;
  if (!site_) return E_UNEXPECTED;
  // Like a real control, it runs only initialised and in a container in user
  // mode (a design-mode container would get a placeholder).
  if (!initialized_) {
    record(L"activation refused: no InitNew");
    return E_UNEXPECTED;
  }
  if (!userMode_) {
    record(L"activation refused: not in user mode");
    return E_FAIL;
  }
  IOleInPlaceSite* inPlace = nullptr;
  if (FAILED(site_->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlace))))
    return E_NOINTERFACE;
  if (inPlace->CanInPlaceActivate() != S_OK) {
    inPlace->Release();
    return E_FAIL;
  }
  inPlace->OnInPlaceActivate();
  HWND parent = nullptr;
  if (FAILED(inPlace->GetWindow(&parent)) || !parent) parent = parentHint;
  RECT pos{0, 0, 0, 0}, clip{0, 0, 0, 0};
  IOleInPlaceFrame* frame = nullptr;
  IOleInPlaceUIWindow* document = nullptr;
  OLEINPLACEFRAMEINFO frameInfo{};
  frameInfo.cb = sizeof frameInfo;
  if (SUCCEEDED(inPlace->GetWindowContext(&frame, &document, &pos, &clip, &frameInfo))) {
    if (frame) frame->Release();
    if (document) document->Release();
  }
  if (posHint) pos = *posHint;
  window_ = CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_CLIPSIBLINGS | WS_VISIBLE | WS_TABSTOP,
                            pos.left, pos.top, pos.right - pos.left, pos.bottom - pos.top, parent,
                            nullptr, g_module, this);
  if (!window_) {
    inPlace->OnInPlaceDeactivate();
    inPlace->Release();
    return HRESULT_FROM_WIN32(GetLastError());
  }
  inPlaceSite_ = inPlace;
  if (!pendingCommands_.empty()) PostMessageW(window_, kFireEventsMessage, 0, 0);
  return S_OK;
}

STDMETHODIMP StandinControl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent,
                                    LPCRECT posRect) {
  const std::wstring call = L"DoVerb " + std::to_wstring(verb);
  record(call);
  if (standin::Refused(call)) return E_FAIL;
  if (site && !site_) SetClientSite(site);
  switch (verb) {
    case OLEIVERB_HIDE:
      if (window_) ShowWindow(window_, SW_HIDE);
      return S_OK;
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:
    case OLEIVERB_PRIMARY: {
      HRESULT hr = activateInPlace(parent, posRect);
      if (FAILED(hr)) return hr;
      ShowWindow(window_, SW_SHOW);
      return S_OK;
    }
  }
  return OLEOBJ_S_INVALIDVERB;
}

STDMETHODIMP StandinControl::GetUserClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = flashids::kClsidShockwaveFlash;
  return S_OK;
}

STDMETHODIMP StandinControl::SetExtent(DWORD, SIZEL* size) {
  if (!size) return E_POINTER;
  extent_ = *size;
  return S_OK;
}

STDMETHODIMP StandinControl::GetExtent(DWORD, SIZEL* size) {
  if (!size) return E_POINTER;
  *size = extent_;
  return S_OK;
}

STDMETHODIMP StandinControl::GetMiscStatus(DWORD, DWORD* status) {
  if (!status) return E_POINTER;
  record(L"GetMiscStatus");
  *status = OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INSIDEOUT |
            OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE;
  return S_OK;
}

STDMETHODIMP StandinControl::GetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = window_;
  return window_ ? S_OK : E_FAIL;
}

STDMETHODIMP StandinControl::InPlaceDeactivate() {
  record(L"InPlaceDeactivate");
  if (window_) {
    DestroyWindow(window_);
    window_ = nullptr;
  }
  if (inPlaceSite_) {
    inPlaceSite_->OnInPlaceDeactivate();
    inPlaceSite_->Release();
    inPlaceSite_ = nullptr;
  }
  return S_OK;
}

STDMETHODIMP StandinControl::SetObjectRects(LPCRECT pos, LPCRECT) {
  if (!pos) return E_POINTER;
  if (window_) MoveWindow(window_, pos->left, pos->top, pos->right - pos->left, pos->bottom - pos->top, TRUE);
  return S_OK;
}

STDMETHODIMP StandinControl::FindConnectionPoint(REFIID riid, IConnectionPoint** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (riid != flashids::kDiidShockwaveFlashEvents) return CONNECT_E_NOCONNECTION;
  *out = &events_;
  events_.AddRef();
  return S_OK;
}

void RegisterStandinWindowClass() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = StandinWindowProc;
  wc.hInstance = g_module;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kWindowClass;
  RegisterClassW(&wc);
}

void UnregisterStandinWindowClass() { UnregisterClassW(kWindowClass, g_module); }
