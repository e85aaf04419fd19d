# Environment shared by the Wine bench scripts (sourced, not run).
# A 32-bit prefix, the Japanese locale (ANSI code page 932), no debug output,
# and no Mono/Gecko prompts.
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
export LC_ALL=ja_JP.UTF-8
export LANG=ja_JP.UTF-8

# lv_bench_env DIR: points WINEPREFIX (unless the caller chose one) and DISPLAY at the bench in DIR.
lv_bench_env() {
  local dir=$1
  [ -n "${WINEPREFIX:-}" ] || export WINEPREFIX="$dir/prefix"
  if [ -f "$dir/display" ]; then export DISPLAY=$(cat "$dir/display"); fi
}

# lv_clone_prefix DIR DEST: a clean copy of the bench's template prefix (a fresh machine).
lv_clone_prefix() {
  rm -rf "$2"
  cp -a "$1/template" "$2"
}

# Some kernels are booted without 32-bit program support (Linux's ia32_emulation=off):
# Wine's 32-bit loader then fails with "Exec format error" and nothing Windows can run.
# `wine-bench start` records that in DIR/unavailable; the Wine tests then end as skipped
# (exit code 77) with the reason, instead of failing for a cause outside the project.
LV_WINE_SKIP_CODE=77

# lv_wine_probe: prints why this machine cannot run Wine's 32-bit loader and returns 1,
# or returns 0 when it can (any other Wine failure is left to show itself).
lv_wine_probe() {
  local out
  if out=$(wine --version 2>&1); then return 0; fi
  case "$out" in
  *"Exec format error"*)
    echo "this machine's kernel runs no 32-bit programs (32-bit emulation is off; Linux boot option ia32_emulation=on turns it on): $out"
    return 1 ;;
  esac
  return 0
}

# lv_skip_if_no_wine DIR: ends the calling test as skipped when the bench in DIR found no Wine.
lv_skip_if_no_wine() {
  if [ -f "$1/unavailable" ]; then
    echo "Wine test skipped: $(cat "$1/unavailable")"
    exit "$LV_WINE_SKIP_CODE"
  fi
}
