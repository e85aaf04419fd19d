// The installer, ended the way a crash or a power cut ends it: the installer's
// own code with another entry that counts every change it makes to files,
// folders, the registry and profile files (calls through its import table) and
// ends the process just before change N + 1 when LV_KILL_AFTER_CHANGES=N is
// set. Otherwise it runs to its end and writes how many changes it made to the
// file LV_CHANGES_FILE names.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/ProgramEntry.h"
#include "system/SafeLoading.h"

namespace {

constexpr UINT kKilledExitCode = 0x4B1;  // tells a kill from the installer's own ends
long changes = 0;
long limit = -1;

void Count() {
  if (++changes > limit && limit >= 0) TerminateProcess(GetCurrentProcess(), kKilledExitCode);
}

// A counted function: the original `real<name>` and its stand-in `Hook<name>`.
#define LV_COUNTED(name, params, args)      \
  decltype(&name) real##name;               \
  auto WINAPI Hook##name params {           \
    Count();                                \
    return real##name args;                 \
  }
LV_COUNTED(WriteFile, (HANDLE f, LPCVOID b, DWORD n, LPDWORD w, LPOVERLAPPED o), (f, b, n, w, o))
LV_COUNTED(CreateDirectoryW, (LPCWSTR p, LPSECURITY_ATTRIBUTES s), (p, s))
LV_COUNTED(MoveFileExW, (LPCWSTR from, LPCWSTR to, DWORD flags), (from, to, flags))
LV_COUNTED(DeleteFileW, (LPCWSTR p), (p))
LV_COUNTED(RemoveDirectoryW, (LPCWSTR p), (p))
LV_COUNTED(CopyFileW, (LPCWSTR from, LPCWSTR to, BOOL keep), (from, to, keep))
LV_COUNTED(WritePrivateProfileStringW, (LPCWSTR s, LPCWSTR k, LPCWSTR v, LPCWSTR f), (s, k, v, f))
LV_COUNTED(RegSetValueExW, (HKEY k, LPCWSTR n, DWORD r, DWORD t, const BYTE* d, DWORD c), (k, n, r, t, d, c))
LV_COUNTED(RegCreateKeyExW,
           (HKEY k, LPCWSTR s, DWORD r, LPWSTR c, DWORD o, REGSAM m, const LPSECURITY_ATTRIBUTES a, PHKEY out,
            LPDWORD d),
           (k, s, r, c, o, m, a, out, d))
LV_COUNTED(RegDeleteKeyW, (HKEY k, LPCWSTR s), (k, s))
LV_COUNTED(RegDeleteValueW, (HKEY k, LPCWSTR n), (k, n))
#undef LV_COUNTED

decltype(&CreateFileW) realCreateFileW;
HANDLE WINAPI HookCreateFileW(LPCWSTR p, DWORD a, DWORD s, LPSECURITY_ATTRIBUTES sa, DWORD d, DWORD f, HANDLE t) {
  if (d != OPEN_EXISTING) Count();  // a file may appear
  return realCreateFileW(p, a, s, sa, d, f, t);
}

// Points this program's import of `name` at `hook`; `real` keeps the original.
template <typename Fn>
void Patch(const char* name, Fn hook, Fn& real) {
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
  const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const DWORD imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
  for (auto* library = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports); library->Name; ++library) {
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal) ||
          std::strcmp(reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name, name) != 0)
        continue;
      DWORD protection = 0;
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection);
      real = reinterpret_cast<Fn>(slots->u1.Function);
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(hook);
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
    }
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  RestrictLibrarySearch();
  if (const char* n = std::getenv("LV_KILL_AFTER_CHANGES")) limit = std::atol(n);
#define LV_PATCH(name) Patch(#name, &Hook##name, real##name)
  LV_PATCH(WriteFile); LV_PATCH(CreateFileW); LV_PATCH(CreateDirectoryW); LV_PATCH(MoveFileExW);
  LV_PATCH(DeleteFileW); LV_PATCH(RemoveDirectoryW); LV_PATCH(CopyFileW); LV_PATCH(WritePrivateProfileStringW);
  LV_PATCH(RegSetValueExW); LV_PATCH(RegCreateKeyExW); LV_PATCH(RegDeleteKeyW); LV_PATCH(RegDeleteValueW);
#undef LV_PATCH
  int code = 1;
  try {
    code = RunInstallerProgram();
  } catch (...) {
  }
  if (const char* file = std::getenv("LV_CHANGES_FILE"))
    if (std::FILE* out = std::fopen(file, "w")) {
      std::fprintf(out, "%ld\n", changes);
      std::fclose(out);
    }
  return code;
}
