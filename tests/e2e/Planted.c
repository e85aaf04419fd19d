/* What a stranger may leave in a downloads folder beside the installer: a
 * library named like a system library (built as version.dll) and a program
 * named like a system program (built as rundll32.exe). Loaded or run, each
 * leaves a marker file beside itself, "<its file name>.used". */
#include <windows.h>

static void LeaveMarker(HMODULE self) {
  WCHAR path[MAX_PATH + 8];
  DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  lstrcpyW(path + length, L".used");
  HANDLE marker = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
}

#ifdef PLANTED_PROGRAM
int WINAPI WinMain(HINSTANCE self, HINSTANCE previous, LPSTR commandLine, int show) {
  (void)previous;
  (void)commandLine;
  (void)show;
  LeaveMarker(self);
  return 0;
}
#else
BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) LeaveMarker(self);
  return TRUE;
}

/* The functions a program takes from version.dll, all failing. */
__declspec(dllexport) DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR file, LPDWORD handle) {
  (void)file;
  if (handle != NULL) *handle = 0;
  return 0;
}
__declspec(dllexport) BOOL WINAPI GetFileVersionInfoW(LPCWSTR file, DWORD handle, DWORD size, LPVOID data) {
  (void)file;
  (void)handle;
  (void)size;
  (void)data;
  return FALSE;
}
__declspec(dllexport) BOOL WINAPI VerQueryValueW(LPCVOID block, LPCWSTR sub, LPVOID* buffer, PUINT length) {
  (void)block;
  (void)sub;
  (void)buffer;
  (void)length;
  return FALSE;
}
#endif
