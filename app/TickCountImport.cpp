// Windows XP's kernel32 has no GetTickCount64, yet the thread library that the
// C++ runtime links statically (winpthread, for its timed waits) imports it, and
// Windows refuses to start a program whose import table names a function its
// system lacks. This file defines that import's address slot itself: the linker
// then takes it instead of kernel32's, and the import table does not name the
// function. The slot leads to the system's function where there is one, else to
// the 32-bit tick count widened by counting its wraps.
#include <windows.h>

namespace {

using TickCount64Function = ULONGLONG(WINAPI*)();

constexpr ULONGLONG kTickCountWrap = 1ULL << 32;  // GetTickCount wraps after 2^32 ms (49.7 days)

// XP: the 32-bit count with a wrap counter. The installer's own thread is the
// only caller (the thread library's waits), so plain statics suffice.
ULONGLONG WidenedTickCount() {
  static DWORD last = 0;
  static ULONGLONG wraps = 0;
  const DWORD now = GetTickCount();
  if (now < last) wraps += kTickCountWrap;
  last = now;
  return wraps + now;
}

ULONGLONG WINAPI TickCount64() {
  // Looked up on each call: a function-local static would itself go through the
  // thread library's guard.
  const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  const auto system = reinterpret_cast<TickCount64Function>(reinterpret_cast<void (*)()>(
      kernel32 != nullptr ? GetProcAddress(kernel32, "GetTickCount64") : nullptr));
  return system != nullptr ? system() : WidenedTickCount();
}

}  // namespace

// The import slot under the name the linker looks for (i686 decorates stdcall names).
#ifdef _WIN64
extern "C" TickCount64Function tickCount64ImportSlot __asm__("__imp_GetTickCount64");
TickCount64Function tickCount64ImportSlot = &TickCount64;
#else
extern "C" TickCount64Function tickCount64ImportSlot __asm__("__imp__GetTickCount64@0");
TickCount64Function tickCount64ImportSlot = &TickCount64;
#endif
