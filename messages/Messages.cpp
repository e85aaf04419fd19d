#include "messages/Messages.h"

#include <windows.h>

std::wstring LoadMessage(int id) {
  // With a zero buffer size LoadStringW hands out a pointer into the resource itself,
  // so texts of any length come back whole.
  const wchar_t* text = nullptr;
  const int length = LoadStringW(GetModuleHandleW(nullptr), static_cast<UINT>(id),
                                 reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || text == nullptr) return std::wstring();
  return std::wstring(text, static_cast<size_t>(length));
}
