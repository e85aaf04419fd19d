# Test registration for both sides.
#   lv_add_host_test(NAME TARGET [ARGS...])  runs natively (host preset only)
#   lv_add_wine_test(NAME TARGET [ARGS...])  runs under Wine (win32 and win64 presets);
#     the test gets the `wine` fixture: Xvfb, a prefix and a wineserver are up.
#   lv_add_wine_script_test(NAME COMMAND...) a shell command that drives Wine itself.
enable_testing()

set(LV_WINE_DIR "${CMAKE_BINARY_DIR}/wine" CACHE INTERNAL "Wine bench state")
# The bench's architecture follows the build's: 64-bit programs need a 64-bit prefix.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(LV_WINE_ARCH win64)
else()
  set(LV_WINE_ARCH win32)
endif()
set(LV_WINE_ENV "LV_WINE_DIR=${LV_WINE_DIR}" "LV_WINE_ARCH=${LV_WINE_ARCH}")

function(lv_add_host_test name target)
  if(LV_HOST)
    add_test(NAME ${name} COMMAND ${target} ${ARGN})
    set_tests_properties(${name} PROPERTIES LABELS host)
  endif()
endfunction()

function(lv_add_wine_test name target)
  if(LV_WINDOWS)
    # Run through the cross-compiling emulator, scripts/wine-run.
    add_test(NAME ${name} COMMAND ${target} ${ARGN})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine LABELS wine
      ENVIRONMENT "${LV_WINE_ENV}")
  endif()
endfunction()

function(lv_add_wine_script_test name)
  if(LV_WINDOWS)
    add_test(NAME ${name} COMMAND ${ARGN})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine LABELS wine
      ENVIRONMENT "${LV_WINE_ENV};LV_BIN_DIR=${CMAKE_BINARY_DIR};LV_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  endif()
endfunction()

if(LV_WINDOWS AND NOT TARGET lv_wine_bench_marker)
  add_custom_target(lv_wine_bench_marker)
  # The bench holds its desktop with lvdemo, as a logged-in session does (see wine-bench).
  add_test(NAME wine_bench_start COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-bench start ${LV_WINE_DIR}
    $<TARGET_FILE:lvdemo>)
  add_test(NAME wine_bench_stop COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-bench stop ${LV_WINE_DIR})
  set_tests_properties(wine_bench_start PROPERTIES FIXTURES_SETUP wine ENVIRONMENT "${LV_WINE_ENV}")
  set_tests_properties(wine_bench_stop PROPERTIES FIXTURES_CLEANUP wine ENVIRONMENT "${LV_WINE_ENV}")
endif()
