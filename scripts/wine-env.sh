# Environment shared by the Wine bench scripts (sourced, not run).
# The Japanese locale (ANSI code page 932), no debug output, no Mono/Gecko prompts,
# and the architecture of the suite: LV_WINE_ARCH is win32 (the product's 32-bit
# build in a 32-bit prefix; the default) or win64 (the same code built for x86_64,
# in a 64-bit prefix, for machines that run no 32-bit programs). CTest passes the
# preset's value; the Makefile passes the suite it chose (scripts/wine-select).
export LV_WINE_ARCH=${LV_WINE_ARCH:-win32}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
export LC_ALL=ja_JP.UTF-8
export LANG=ja_JP.UTF-8

# Every Wine program (the tests, reg, wineboot, regsvr32 ...) starts through lv_wine,
# so that it gets the loader of the bench's architecture. Debian's `wine` picks the
# 32-bit loader whenever it is installed, and the 64-bit one when it is not, so each
# suite names its own loader.
#
# Where the kernel runs no 32-bit programs, 32-bit Wine is the one scripts/setup-deps puts
# into an i386 root, run through qemu's user-mode emulator (scripts/setup-wine32-emulated):
# the emulator takes the root's libraries (QEMU_LD_PREFIX), and this machine's own 64-bit
# wineserver serves the emulated processes, at native speed.
lv_wine32_root=${LV_DEPS_CACHE:-/var/cache/lumivane-deps}/i386-root
lv_wine32_emulated() { [ -z "${LV_WINE32_LOADER:-}" ] && [ -f "$lv_wine32_root/.lumivane-ready" ]; }
case "$LV_WINE_ARCH" in
win32)
  export WINEARCH=win32
  if lv_wine32_emulated; then
    export QEMU_LD_PREFIX=$lv_wine32_root
    export WINESERVER=/usr/lib/wine/wineserver64
    LV_WINE_LOADER=$lv_wine32_root/usr/lib/wine/wine
  else
    LV_WINE_LOADER=${LV_WINE32_LOADER:-/usr/lib/wine/wine}
  fi ;;
win64)
  export WINEARCH=win64
  LV_WINE_LOADER=${LV_WINE64_LOADER:-/usr/lib/wine/wine64}
  # The loader Wine starts child processes with.
  export WINELOADER=$LV_WINE_LOADER ;;
*)
  echo "LV_WINE_ARCH must be win32 or win64, not \"$LV_WINE_ARCH\"" >&2
  return 2 2>/dev/null || exit 2 ;;
esac

lv_wine() { "$LV_WINE_LOADER" "$@"; }

# lv_bench_env DIR: points WINEPREFIX (unless the caller chose one) and DISPLAY at the bench in DIR.
lv_bench_env() {
  local dir=$1
  [ -n "${WINEPREFIX:-}" ] || export WINEPREFIX="$dir/prefix"
  if [ -f "$dir/display" ]; then export DISPLAY=$(cat "$dir/display"); fi
}

# lv_private_display: starts an Xvfb for this run alone and points DISPLAY at it. Xvfb
# picks the first free display number itself (-displayfd), so tests started side by side
# never share a screen: each one's windows, typed keys and screenshots stay its own.
# lv_stop_private_display ends it (after the wineserver, whose programs draw on it).
lv_private_display() {
  local numfile n=
  numfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$numfile" </dev/null >/dev/null 2>&1 &
  lv_private_xvfb=$!
  for _ in $(seq 1 200); do  # 10 s at most
    n=$(cat "$numfile") && [ -n "$n" ] && break
    kill -0 "$lv_private_xvfb" 2>/dev/null || break
    sleep 0.05
  done
  rm -f "$numfile"
  if [ -z "$n" ]; then
    echo "Xvfb did not start a display for this test" >&2
    lv_stop_private_display
    return 1
  fi
  export DISPLAY=":$n"
}
lv_stop_private_display() {
  [ -n "${lv_private_xvfb:-}" ] || return 0
  kill "$lv_private_xvfb" 2>/dev/null
  wait "$lv_private_xvfb" 2>/dev/null
  lv_private_xvfb=
}

# lv_stop_server: ends the wineserver of WINEPREFIX and waits until it is gone. Wine names
# a server's socket folder after the prefix folder's device and inode, and a prefix made
# right after another was removed often gets the same inode: a program started there would
# meet the old server on its way out (and end at once, without a word).
lv_stop_server() {
  wineserver -k >/dev/null 2>&1 || true  # none running is fine
  timeout 30 wineserver -w >/dev/null 2>&1 || true
}

# lv_clone_prefix DIR DEST: a clean copy of the bench's template prefix (a fresh machine).
lv_clone_prefix() {
  rm -rf "$2"
  cp -a "$1/template" "$2"
}

# lv_wine_probe [ARCH]: prints why this machine cannot run Wine's loader for ARCH (default:
# the bench's) and returns 1, or returns 0 when it can. Some kernels are booted without
# 32-bit program support (Linux's ia32_emulation=off): the 32-bit loader then fails with
# "Exec format error", or setup-deps has left 32-bit Wine out. A loader that is not
# installed is named; any other Wine failure is left to show itself in the tests.
lv_wine_probe() {
  local arch=${1:-$LV_WINE_ARCH} out
  if out=$(LV_WINE_ARCH=$arch; . "${BASH_SOURCE[0]}" &&
    { command -v "$LV_WINE_LOADER" >/dev/null || { echo "no loader"; exit 1; }; } && lv_wine --version 2>&1); then
    return 0
  fi
  # 32-bit Wine missing where the kernel runs no 32-bit programs: the kernel is the reason.
  [ "$arch:$out" = 'win32:no loader' ] && ! "$(dirname "${BASH_SOURCE[0]}")/runs-32bit" &&
    out="Exec format error (and 32-bit Wine is not installed)"
  if [ "$arch" = win32 ] && lv_wine32_emulated; then
    echo "qemu's emulator for i386 programs is not registered or fails (scripts/setup-deps registers it): $out"
    return 1
  fi
  case "$arch:$out" in
  win32:"no loader")
    echo "32-bit Wine (wine32:i386) is not installed; scripts/setup-deps installs it" ;;
  win64:"no loader")
    echo "64-bit Wine (wine64) is not installed; scripts/setup-deps installs it" ;;
  win32:*"Exec format error"*)
    echo "this machine's kernel runs no 32-bit programs (32-bit emulation is off; Linux boot option ia32_emulation=on turns it on): $out" ;;
  *)
    echo "Wine's $arch loader does not start: $out" ;;
  esac
  return 1
}
