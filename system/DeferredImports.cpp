#include "system/DeferredImports.h"

#include "system/SafeLoading.h"

namespace deferred {
namespace {

enum Library { kOle, kOleAutomation, kShell, kCommonControls, kLibraryCount };
constexpr const wchar_t* kLibraryFiles[kLibraryCount] = {L"ole32.dll", L"oleaut32.dll",
                                                         L"shell32.dll", L"comctl32.dll"};

// What a call reports when its library or function is missing.
constexpr HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);

// Never freed: the libraries stay until the process ends, as imported ones do, since
// what they made (the movie's control, OLE's state, the progress bar's class) may live
// until then. Written by a BackgroundBinding's thread only while the object exists.
HMODULE g_modules[kLibraryCount];

HMODULE Module(Library library) {
  if (g_modules[library] == nullptr) {
    const std::wstring path = SystemFilePath(kLibraryFiles[library]);
    if (!path.empty()) g_modules[library] = LoadLibraryW(path.c_str());
  }
  return g_modules[library];
}

// The library's exported function `name` as type Fn; nullptr when missing.
template <typename Fn>
Fn Bound(Library library, const char* name) {
  return ExportedFunction<Fn>(Module(library), name);
}

DWORD WINAPI BindAll(void*) {
  try {
    for (int library = 0; library < kLibraryCount; ++library) Module(static_cast<Library>(library));
  } catch (...) {
    // Out of memory for a path: the first call of a function loads its library instead.
  }
  return 0;
}

}  // namespace

BackgroundBinding::BackgroundBinding()
    : thread_(CreateThread(nullptr, 0, &BindAll, nullptr, 0, nullptr)) {}

BackgroundBinding::~BackgroundBinding() {
  if (thread_ == nullptr) return;
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
}

HRESULT OleInitialize(LPVOID reserved) {
  auto real = Bound<decltype(&::OleInitialize)>(kOle, "OleInitialize");
  return real != nullptr ? real(reserved) : kNotFound;
}

void OleUninitialize() {
  if (auto real = Bound<decltype(&::OleUninitialize)>(kOle, "OleUninitialize")) real();
}

HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid,
                         LPVOID* object) {
  auto real = Bound<decltype(&::CoCreateInstance)>(kOle, "CoCreateInstance");
  if (real != nullptr) return real(clsid, outer, context, iid, object);
  if (object != nullptr) *object = nullptr;
  return kNotFound;
}

HRESULT OleCreateFontIndirect(LPFONTDESC description, REFIID iid, LPVOID* font) {
  auto real = Bound<decltype(&::OleCreateFontIndirect)>(kOleAutomation, "OleCreateFontIndirect");
  if (real != nullptr) return real(description, iid, font);
  if (font != nullptr) *font = nullptr;
  return kNotFound;
}

BSTR SysAllocString(const OLECHAR* text) {
  auto real = Bound<decltype(&::SysAllocString)>(kOleAutomation, "SysAllocString");
  return real != nullptr ? real(text) : nullptr;  // as when memory runs out
}

void SysFreeString(BSTR text) {
  if (auto real = Bound<decltype(&::SysFreeString)>(kOleAutomation, "SysFreeString")) real(text);
}

HRESULT VariantClear(VARIANTARG* value) {
  auto real = Bound<decltype(&::VariantClear)>(kOleAutomation, "VariantClear");
  return real != nullptr ? real(value) : kNotFound;
}

HRESULT VariantChangeType(VARIANTARG* result, VARIANTARG* source, USHORT flags, VARTYPE type) {
  auto real = Bound<decltype(&::VariantChangeType)>(kOleAutomation, "VariantChangeType");
  return real != nullptr ? real(result, source, flags, type) : kNotFound;
}

BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info) {
  if (auto real = Bound<decltype(&::ShellExecuteExW)>(kShell, "ShellExecuteExW")) return real(info);
  info->hInstApp = reinterpret_cast<HINSTANCE>(SE_ERR_DLLNOTFOUND);
  SetLastError(ERROR_PROC_NOT_FOUND);
  return FALSE;
}

HINSTANCE ShellExecuteW(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                        LPCWSTR folder, INT show) {
  if (auto real = Bound<decltype(&::ShellExecuteW)>(kShell, "ShellExecuteW"))
    return real(owner, verb, file, parameters, folder, show);
  return reinterpret_cast<HINSTANCE>(SE_ERR_DLLNOTFOUND);
}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* classes) {
  auto real = Bound<decltype(&::InitCommonControlsEx)>(kCommonControls, "InitCommonControlsEx");
  return real != nullptr && real(classes);
}

}  // namespace deferred
