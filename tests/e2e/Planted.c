/* What a stranger may leave in a downloads folder beside the installer: a
 * library named like a system library that is no KnownDLL (built as
 * comctl32.dll) and a program named like a system program (built as
 * rundll32.exe). Loaded or run, each leaves a marker file beside itself,
 * "<its file name>.used". */
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

/* The functions a program takes from comctl32.dll to register its control
 * classes, failing. */
__declspec(dllexport) BOOL WINAPI InitCommonControlsEx(const void* classes) {
  (void)classes;
  return FALSE;
}
__declspec(dllexport) void WINAPI InitCommonControls(void) {}
#endif
