// A screen saver's engine library, as makers ship them beside their .scr: the
// demo package carries two of these (saver1.dll and saver2.dll) so that every
// slot of a real package is filled.
#include <windows.h>

extern "C" __declspec(dllexport) int SaverEngineNumber() { return LV_ENGINE_NUMBER; }

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
