// Stand-in for the display control panel applet desk.cpl: a Control Panel
// applet DLL that, started by
//   rundll32.exe shell32.dll,Control_RunDLL desk.cpl,,1
// shows a dialog titled "画面のプロパティ" with OK and Cancel (item 2) that
// names the screen saver system.ini [boot] SCRNSAVE.EXE points at. Like the
// real page's preview, it keeps that program open (no delete sharing) while
// the dialog is up, so closing the window is what releases it.
#include <windows.h>
#include <cpl.h>

#include <string>

#include "standins/deskcpl/DeskAppletIds.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

HINSTANCE Instance() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

std::wstring CurrentScreenSaver() {
  wchar_t value[MAX_PATH + 1] = L"";
  GetPrivateProfileStringW(L"boot", L"SCRNSAVE.EXE", L"", value, MAX_PATH + 1, L"system.ini");
  return value;
}

struct PreviewHold {
  HANDLE file = INVALID_HANDLE_VALUE;
  ~PreviewHold() {
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
};

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      std::wstring saver = CurrentScreenSaver();
      SetDlgItemTextW(dialog, kSaverNameItem, saver.empty() ? L"(なし)" : saver.c_str());
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      break;
    case WM_CLOSE:
      EndDialog(dialog, IDCANCEL);
      return TRUE;
  }
  return FALSE;
}

void ShowDisplayProperties() {
  PreviewHold preview;
  std::wstring saver = CurrentScreenSaver();
  if (!saver.empty()) {
    preview.file = CreateFileW(saver.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  DialogBoxParamW(Instance(), MAKEINTRESOURCEW(kDisplayDialog), nullptr, DialogProc, 0);
}

}  // namespace

extern "C" LONG CALLBACK CPlApplet(HWND, UINT message, LPARAM, LPARAM lParam2) {
  switch (message) {
    case CPL_INIT:
      return TRUE;
    case CPL_GETCOUNT:
      return 1;
    case CPL_INQUIRE: {
      CPLINFO* info = reinterpret_cast<CPLINFO*>(lParam2);
      info->idIcon = kAppletIcon;
      info->idName = kAppletName;
      info->idInfo = kAppletInfo;
      info->lData = 0;
      return 0;
    }
    case CPL_STARTWPARMSA:
    case CPL_STARTWPARMSW:  // parameter "1" (the screen-saver page) or none: same page
      ShowDisplayProperties();
      return TRUE;
    case CPL_DBLCLK:
      ShowDisplayProperties();
      return 0;
    default:
      return 0;
  }
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
