# Test registration for both sides.
#   lv_add_host_test(NAME TARGET [ARGS...])  runs natively (host preset only)
#   lv_add_wine_test(NAME TARGET [ARGS...])  runs under Wine (win32 preset only);
#     the test gets the `wine` fixture: Xvfb, a prefix and a wineserver are up.
#   lv_add_wine_script_test(NAME COMMAND...) a shell command that drives Wine itself.
enable_testing()

set(LV_WINE_DIR "${CMAKE_BINARY_DIR}/wine" CACHE INTERNAL "Wine bench state")

function(lv_add_host_test name target)
  if(LV_HOST)
    add_test(NAME ${name} COMMAND ${target} ${ARGN})
    set_tests_properties(${name} PROPERTIES LABELS host)
  endif()
endfunction()

# Wine tests end with this code, reported as skipped, on a machine that runs no
# 32-bit programs (see scripts/wine-env.sh).
set(LV_WINE_SKIP_CODE 77)

function(lv_add_wine_test name target)
  if(LV_WINDOWS)
    # Run through the cross-compiling emulator, scripts/wine-run.
    add_test(NAME ${name} COMMAND ${target} ${ARGN})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine LABELS wine
      SKIP_RETURN_CODE ${LV_WINE_SKIP_CODE} ENVIRONMENT "LV_WINE_DIR=${LV_WINE_DIR}")
  endif()
endfunction()

function(lv_add_wine_script_test name)
  if(LV_WINDOWS)
    add_test(NAME ${name} COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-guard ${ARGN})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine LABELS wine
      SKIP_RETURN_CODE ${LV_WINE_SKIP_CODE}
      ENVIRONMENT "LV_WINE_DIR=${LV_WINE_DIR};LV_BIN_DIR=${CMAKE_BINARY_DIR};LV_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  endif()
endfunction()

if(LV_WINDOWS AND NOT TARGET lv_wine_bench_marker)
  add_custom_target(lv_wine_bench_marker)
  add_test(NAME wine_bench_start COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-bench start ${LV_WINE_DIR})
  add_test(NAME wine_bench_stop COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-bench stop ${LV_WINE_DIR})
  set_tests_properties(wine_bench_start PROPERTIES FIXTURES_SETUP wine)
  set_tests_properties(wine_bench_stop PROPERTIES FIXTURES_CLEANUP wine)
endif()
