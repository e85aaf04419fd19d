# Settings for every Windows program and library: 32-bit, Unicode Win32 API,
# statically linked so that a single file runs without MinGW's runtime DLLs.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                        _WIN32_WINNT=0x0501 WINVER=0x0501)
add_link_options(-static -static-libgcc -static-libstdc++ $<$<CONFIG:MinSizeRel>:-s>)

# Libraries cross-built by scripts/setup-deps (libjpeg, GoogleTest).
set(LV_MINGW_DEPS "/var/cache/lumivane-deps/mingw-i686" CACHE PATH "Cross-built dependencies")
list(APPEND CMAKE_FIND_ROOT_PATH ${LV_MINGW_DEPS})
list(APPEND CMAKE_PREFIX_PATH ${LV_MINGW_DEPS})
# Resource scripts are UTF-8.
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")
enable_language(RC)
