# Settings for every Windows program and library: Unicode Win32 API, statically
# linked so that a single file runs without MinGW's runtime DLLs. The product is
# the 32-bit build (win32 preset); the win64 preset builds the same code as x86_64
# programs, tested under 64-bit Wine where a machine runs no 32-bit programs.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                        _WIN32_WINNT=0x0501 WINVER=0x0501)
add_link_options(-static -static-libgcc -static-libstdc++ $<$<CONFIG:MinSizeRel>:-s>)
# A linker map beside every program and library: scripts/image-size reads it to tell
# which part of an image takes how many bytes.
add_link_options("LINKER:-Map=$<TARGET_PROPERTY:BINARY_DIR>/$<TARGET_PROPERTY:NAME>.map")
# The shipped build (MinSizeRel) is optimised for size in earnest (-Oz: smaller
# encodings even where they run a little slower; the codec keeps its own -O2).
string(REPLACE "-Os" "-Oz" CMAKE_CXX_FLAGS_MINSIZEREL "${CMAKE_CXX_FLAGS_MINSIZEREL}")
# The shipped build (MinSizeRel) puts every function in a section of its own
# and lets the linker drop those that nothing reaches.
add_compile_options($<$<CONFIG:MinSizeRel>:-ffunction-sections>)
add_link_options($<$<CONFIG:MinSizeRel>:LINKER:--gc-sections>)
# Only the string members a program calls, not the C++ library's whole instantiations.
add_compile_options("$<$<AND:$<CONFIG:MinSizeRel>,$<COMPILE_LANGUAGE:CXX>>:SHELL:-include ${CMAKE_CURRENT_LIST_DIR}/StringTemplatesInline.h>")
# Windows' imported functions are declared not to throw (see the header).
add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:SHELL:-include ${CMAKE_CURRENT_LIST_DIR}/NothrowImports.h>")
# No run-time type information: nothing asks an object's type at run time (a caught
# failure is told apart by rethrowing it), and what a throw needs is still emitted.
add_compile_options("$<$<AND:$<CONFIG:MinSizeRel>,$<COMPILE_LANGUAGE:CXX>>:-fno-rtti>")

# lv_link_windows_thread_runtime(TARGET): what a maker ships links the compiler's
# win32-thread-model runtime (C++ library, GCC runtime), whose locks are Windows' own,
# instead of the POSIX one, which brings a POSIX thread library (winpthread, some 30 KB)
# for the exception and static-initialisation locks alone. The code is compiled once,
# with the POSIX model, because GoogleTest needs std::mutex, which the win32 model of
# this GCC lacks; the C++ ABI is the same in both, and the link fails should a shipped
# program's own code call a POSIX thread function. The runtime's folder comes first
# in the search, so its libraries are taken in place of the POSIX model's, and the
# POSIX thread library is left off the link.
string(REGEX REPLACE "-posix$" "-win32" LV_WIN32_THREADS_CXX "${CMAKE_CXX_COMPILER}")
execute_process(COMMAND ${LV_WIN32_THREADS_CXX} -print-libgcc-file-name
                OUTPUT_VARIABLE lv_win32_threads_libgcc OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
cmake_path(GET lv_win32_threads_libgcc PARENT_PATH LV_WIN32_THREADS_RUNTIME)
function(lv_link_windows_thread_runtime target)
  target_link_options(${target} PRIVATE "-L${LV_WIN32_THREADS_RUNTIME}" -no-pthread)
endfunction()

# Libraries cross-built by scripts/setup-deps (zlib, libjpeg, GoogleTest). Their zlib,
# built small, is taken before the toolchain's.
set(LV_MINGW_DEPS "/var/cache/lumivane-deps/mingw-${CMAKE_SYSTEM_PROCESSOR}" CACHE PATH
    "Cross-built dependencies for this architecture")
list(APPEND CMAKE_FIND_ROOT_PATH ${LV_MINGW_DEPS})
list(APPEND CMAKE_PREFIX_PATH ${LV_MINGW_DEPS})
set(ZLIB_ROOT ${LV_MINGW_DEPS})
set(ZLIB_USE_STATIC_LIBS ON)  # no zlib1.dll beside the programs
# Resource scripts are UTF-8.
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")
enable_language(RC)

# lv_export_def(OUT_VAR DEF): the module-definition file for this architecture.
# i686 stdcall symbols carry "@<argument bytes>", so DEF maps each plain export
# name to its decorated symbol (CPlApplet=CPlApplet@16). x86_64 has one calling
# convention and no decoration: there the aliases are dropped.
function(lv_export_def out def)
  cmake_path(ABSOLUTE_PATH def BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
  if(NOT CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(${out} ${def} PARENT_SCOPE)
    return()
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def})
  file(READ ${def} text)
  string(REGEX REPLACE "=[A-Za-z_][A-Za-z0-9_]*@[0-9]+" "" text "${text}")
  cmake_path(GET def FILENAME name)
  set(plain ${CMAKE_CURRENT_BINARY_DIR}/x86_64-${name})
  file(CONFIGURE OUTPUT ${plain} CONTENT "${text}" @ONLY)
  set(${out} ${plain} PARENT_SCOPE)
endfunction()
