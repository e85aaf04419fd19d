# Cross toolchain: 32-bit Windows programs built with Debian's MinGW-w64 (the product).
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
