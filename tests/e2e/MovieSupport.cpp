#include "tests/e2e/MovieSupport.h"

#include <objbase.h>

#include <vector>

#include "tests/flash/SwfBuilder.h"

namespace e2e {

namespace {

constexpr wchar_t kPlayerClassKey[] =
    L"CLSID\\{D27CDB6E-AE6D-11CF-96B8-444553540000}\\InprocServer32";
constexpr wchar_t kPanelClass[] = L"TFlashPanel";
constexpr int kMovieWidthTwips = 8000;   // 400 pixels
constexpr int kMovieHeightTwips = 6000;  // 300 pixels
constexpr int kRectangleBits = 15;
constexpr int kCornerInset = 12;         // pixels from the lower right corner

}  // namespace

Bytes MakeMovie(int version, COLORREF background, bool compressed) {
  SwfBuilder builder;
  builder.version(version)
      .frame(kRectangleBits, 0, kMovieWidthTwips, 0, kMovieHeightTwips)
      .background(GetRValue(background), GetGValue(background), GetBValue(background))
      .tag(1, {});  // one shown frame
  const ::Bytes movie = compressed ? builder.compressed() : builder.plain();
  return Bytes(movie.begin(), movie.end());
}

fs::path FlashSetupVariant(const std::string& variant) {
  // The setups lie in flashsetup/<variant>/ beside the default one.
  return FlashSetup().parent_path().parent_path() / variant / "flashax.exe";
}

fs::path StandinControl(const std::string& version) {
  return PathFromEnvironment("LV_E2E_PLAYER_DIR") / ("FlashStandin-" + version + ".ocx");
}

fs::path PlayerFolder() { return SystemFolder() / "Macromed" / "Flash"; }
fs::path PlayerControl() { return PlayerFolder() / "Flash.ocx"; }

bool PreinstallPlayer(const fs::path& control) {
  std::error_code error;
  fs::create_directories(PlayerFolder(), error);
  if (!fs::copy_file(control, PlayerControl(), fs::copy_options::overwrite_existing, error))
    return false;
  HMODULE library = LoadLibraryW(PlayerControl().wstring().c_str());
  if (library == nullptr) return false;
  using Register = HRESULT(WINAPI*)();
  auto doRegister = reinterpret_cast<Register>(
      reinterpret_cast<void (*)()>(GetProcAddress(library, "DllRegisterServer")));
  HRESULT result = E_FAIL;
  if (doRegister != nullptr && SUCCEEDED(CoInitialize(nullptr))) {
    result = doRegister();
    CoUninitialize();
  }
  FreeLibrary(library);
  return SUCCEEDED(result);
}

std::wstring RegisteredPlayerFile() {
  wchar_t buffer[MAX_PATH] = {};
  DWORD size = sizeof(buffer);
  if (RegGetValueW(HKEY_CLASSES_ROOT, kPlayerClassKey, nullptr, RRF_RT_REG_SZ, nullptr, buffer,
                   &size) != ERROR_SUCCESS)
    return std::wstring();
  return buffer;
}

std::wstring FileVersionText(const fs::path& file) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(file.wstring().c_str(), &ignored);
  if (size == 0) return std::wstring();
  std::vector<BYTE> info(size);
  if (!GetFileVersionInfoW(file.wstring().c_str(), 0, size, info.data())) return std::wstring();
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
      fixed == nullptr)
    return std::wstring();
  return std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." +
         std::to_wstring(LOWORD(fixed->dwFileVersionMS)) + L"." +
         std::to_wstring(HIWORD(fixed->dwFileVersionLS)) + L"." +
         std::to_wstring(LOWORD(fixed->dwFileVersionLS));
}

HWND PlayerWindowIn(HWND form) {
  for (HWND child : probe::Descendants(form)) {
    HWND parent = GetParent(child);
    if (parent != nullptr && probe::ClassOf(parent) == kPanelClass) return child;
  }
  return nullptr;
}

COLORREF BackgroundPixel(HWND window) {
  const RECT area = probe::WindowRectOf(window);
  HDC screen = GetDC(nullptr);
  const COLORREF colour = GetPixel(screen, area.right - kCornerInset, area.bottom - kCornerInset);
  ReleaseDC(nullptr, screen);
  return colour;
}

bool SameColour(COLORREF a, COLORREF b, int tolerance) {
  auto close = [tolerance](int x, int y) { return x - y <= tolerance && y - x <= tolerance; };
  return close(GetRValue(a), GetRValue(b)) && close(GetGValue(a), GetGValue(b)) &&
         close(GetBValue(a), GetBValue(b));
}

std::wstring CaptionOf(HWND window) {
  wchar_t buffer[512] = {};
  GetWindowTextW(window, buffer, 512);
  return buffer;
}

}  // namespace e2e
