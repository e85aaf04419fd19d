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
