#!/usr/bin/env bash
# Runs the fault cases in a fresh copy of the bench prefix, on a display of their own,
# with what Windows cannot arrange by itself:
#  - drive T:, a 16 MB memory file system (the disk that fills up);
#  - the system folder made immutable for the read-only case.
# Either is skipped (the case reports it) when this machine does not allow it.
#   run-faults.sh TEST_EXE [GTEST_FILTER]   (with a filter: only those cases)
set -uo pipefail
exe=$1
only=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/wine-env.sh"
: "${LV_WINE_DIR:?run through ctest (fixture wine)}"
lv_bench_env "$LV_WINE_DIR"
prefix=$(mktemp -d "$LV_WINE_DIR/faults.XXXXXX")
lv_clone_prefix "$LV_WINE_DIR" "$prefix"
export WINEPREFIX=$prefix
system32=$prefix/drive_c/windows/system32
small=$(mktemp -d "${TMPDIR:-/tmp}/lvsmall.XXXXXX")
mounted=
cleanup() {
  chattr -i "$system32" 2>/dev/null
  lv_stop_server
  lv_stop_private_display
  [ -n "$mounted" ] && umount "$small" 2>/dev/null
  rmdir "$small" 2>/dev/null
  rm -rf "$prefix"
}
trap cleanup EXIT
lv_private_display || exit 1
wineserver -p </dev/null >/dev/null 2>&1

if mount -t tmpfs -o size=16m tmpfs "$small" 2>/dev/null; then
  mounted=1
  ln -s "$small" "$prefix/dosdevices/t:"
fi

if [ -n "$only" ]; then
  lv_wine "$exe" --gtest_filter="$only"
  exit $?
fi
lv_wine "$exe" --gtest_filter='-Fault.ReadOnlySystemFolder:Fault.KillPoints*'
rc=$?

# The read-only case: the warm-up installation is done by now, so the system
# folder can be frozen before the program starts.
if chattr +i "$system32" 2>/dev/null; then
  LV_FAULTS_READONLY=1 lv_wine "$exe" --gtest_filter='Fault.ReadOnlySystemFolder'
  rc2=$?
  chattr -i "$system32"
else
  lv_wine "$exe" --gtest_filter='Fault.ReadOnlySystemFolder'
  rc2=$?
fi
[ $rc -ne 0 ] && exit $rc
exit $rc2
