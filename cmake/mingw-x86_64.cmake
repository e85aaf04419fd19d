# Cross toolchain: 64-bit Windows programs built with Debian's MinGW-w64 (the `win64`
# preset, whose tests run under 64-bit Wine where 32-bit programs cannot).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
