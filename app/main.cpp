// Program entry of the installer.
#include <windows.h>

#include "app/ProgramEntry.h"
#include "system/SafeLoading.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Before anything can load a library: nothing comes from the installer's folder.
  RestrictLibrarySearch();
  try {
    return RunInstallerProgram();
  } catch (...) {
    // Every step already turns failures into codes; nothing may escape the program.
    return 1;
  }
}
