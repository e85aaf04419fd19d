// The functions of the system libraries the installer needs only once its window is up,
// bound on first use instead of through its import table: OLE and its automation types
// for the movie's control, the shell to start the player's setup and to open the saver's
// document, the common controls for the progress bar. Under Wine, loading them at start
// delays the first window (the common controls alone take some 17 ms); a silent
// installation seldom needs them at all.
//
// Each library is loaded by its full system-folder path (the common controls are no
// KnownDLL, and the installer's own folder is often a downloads folder) and kept for the
// process's life, as an import would be. Each function has the signature of its
// namesake; where its library or the function cannot be found, it fails the way the
// real function reports a failure. Called on the installer's own thread only.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <olectl.h>
#include <oleauto.h>
#include <shellapi.h>

namespace deferred {

// Binds every library on a thread of its own, so that their loading takes place while
// the caller pauses; waits for the thread when it ends. No function below may be called
// while it exists. Without a thread, each library loads on its first call instead.
class BackgroundBinding {
 public:
  BackgroundBinding();
  ~BackgroundBinding();
  BackgroundBinding(const BackgroundBinding&) = delete;
  BackgroundBinding& operator=(const BackgroundBinding&) = delete;

 private:
  HANDLE thread_;
};

// ole32
HRESULT OleInitialize(LPVOID reserved);
void OleUninitialize();
HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid,
                         LPVOID* object);

// oleaut32
HRESULT OleCreateFontIndirect(LPFONTDESC description, REFIID iid, LPVOID* font);
BSTR SysAllocString(const OLECHAR* text);
void SysFreeString(BSTR text);
// VariantInit only marks the value empty: done here, it needs no library.
inline void VariantInit(VARIANTARG* value) { value->vt = VT_EMPTY; }
HRESULT VariantClear(VARIANTARG* value);
HRESULT VariantChangeType(VARIANTARG* result, VARIANTARG* source, USHORT flags, VARTYPE type);

// shell32
BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info);
HINSTANCE ShellExecuteW(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                        LPCWSTR folder, INT show);

// comctl32
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* classes);

}  // namespace deferred
