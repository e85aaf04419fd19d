// Force-included into the Windows build (cmake/LvWindows.cmake). The C++ library
// declares its std::string and std::wstring instantiations extern, so any use of
// them links the library's prebuilt instantiation files, with every member: the
// linker for Windows programs keeps every function that has an unwinding entry.
// The value -1 (the library's own setting for its assertion mode) lifts that for
// basic_string alone: each program instantiates only the members it calls, and the
// linker keeps just those.
#pragma once
#include <bits/c++config.h>
#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE -1
