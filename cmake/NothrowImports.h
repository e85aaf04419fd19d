// Force-included into the Windows build (cmake/LvWindows.cmake), before any Windows
// header, which keeps a definition made first. Functions imported from Windows'
// libraries never let a C++ exception through: the installer's own callbacks
// (window procedures, hooks) catch everything at their boundary, and no C++
// unwinding crosses a system library's frames. Declared so, every call to them
// needs no unwinding path or table entry around it.
#pragma once
#define DECLSPEC_IMPORT __declspec(dllimport) __attribute__((__nothrow__))
