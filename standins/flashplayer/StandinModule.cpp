// The in-process server around the stand-in control: class factory, the
// standard exports and the registration under the player control's class.
#include <windows.h>

#include <string>

#include "flash/ShockwaveFlashIds.h"
#include "standins/flashplayer/StandinControl.h"
#include "standins/flashplayer/StandinTrace.h"

HINSTANCE g_module = nullptr;

namespace {

constexpr wchar_t kProgId[] = L"ShockwaveFlash.ShockwaveFlash";
constexpr wchar_t kDescription[] = L"Shockwave Flash Object";

class ClassFactory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // The factory is static: counting its references would let the DLL unload under it.
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    standin::Record(0, L"create");
    if (standin::Refused(L"create")) return E_FAIL;
    auto* control = new (std::nothrow) StandinControl();
    if (!control) return E_OUTOFMEMORY;
    HRESULT hr = control->QueryInterface(riid, out);
    control->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock)
      InterlockedIncrement(&g_serverUsers);
    else
      InterlockedDecrement(&g_serverUsers);
    return S_OK;
  }
};

ClassFactory g_factory;

bool SetKeyValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  HKEY handle = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle,
                      nullptr) != ERROR_SUCCESS)
    return false;
  LONG status = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                               static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);
  return status == ERROR_SUCCESS;
}

void DeleteTree(const std::wstring& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_ALL_ACCESS, &handle) != ERROR_SUCCESS) return;
  wchar_t child[256];
  for (;;) {
    DWORD length = 256;
    if (RegEnumKeyExW(handle, 0, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    DeleteTree(key + L"\\" + child);
  }
  RegCloseKey(handle);
  RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
    RegisterStandinWindowClass();
  } else if (reason == DLL_PROCESS_DETACH) {
    UnregisterStandinWindowClass();
  }
  return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (clsid != flashids::kClsidShockwaveFlash) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(riid, out);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return g_serverUsers == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT WINAPI DllRegisterServer() {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(g_module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return SELFREG_E_CLASS;
  const std::wstring clsidKey = std::wstring(L"CLSID\\") + flashids::kClsidText;
  bool ok = SetKeyValue(clsidKey, nullptr, kDescription) &&
            SetKeyValue(clsidKey + L"\\InprocServer32", nullptr, path) &&
            SetKeyValue(clsidKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment") &&
            SetKeyValue(clsidKey + L"\\ProgID", nullptr, kProgId) &&
            SetKeyValue(clsidKey + L"\\Control", nullptr, L"") &&
            SetKeyValue(kProgId, nullptr, kDescription) &&
            SetKeyValue(std::wstring(kProgId) + L"\\CLSID", nullptr, flashids::kClsidText);
  return ok ? S_OK : SELFREG_E_CLASS;
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
  DeleteTree(std::wstring(L"CLSID\\") + flashids::kClsidText);
  DeleteTree(kProgId);
  return S_OK;
}
