#!/usr/bin/env bash
# Wine cannot create junctions or symbolic links from a Windows program, but it
# shows Unix symbolic links inside the drive as reparse points. This prepares a
# tree with such links, runs the UnixLinks tests on it and checks from outside
# that the link target survived. (Wine 8 shows Unix links to files as plain
# files, and deleting one deletes its target: a Wine limitation, not tested.)   unix-links.sh TEST_PROGRAM
set -euo pipefail
program=${1:?usage: unix-links.sh TEST_PROGRAM}
. "$LV_SOURCE_DIR/scripts/wine-env.sh"
lv_bench_env "$LV_WINE_DIR"

name="lvsys_links_$$"
root="$WINEPREFIX/drive_c/$name"
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/target/sub" "$root/tree"
echo "must survive" > "$root/target/precious.txt"
echo "must survive" > "$root/target/sub/also.txt"
echo "x" > "$root/tree/own.txt"
ln -s "$root/target" "$root/tree/dirlink"

out=$(LV_LINK_ROOT="C:\\$name\\" "$LV_SOURCE_DIR/scripts/wine-run" "$program" \
      --gtest_filter='UnixLinks.*' 2>&1) || { echo "$out"; exit 1; }
echo "$out"
grep -q '\[  PASSED  \] 1 test' <<<"$out" || { echo "the link test did not run"; exit 1; }
[ ! -e "$root/tree/own.txt" ] || { echo "the tree's own file is still present"; exit 1; }
[ -f "$root/target/precious.txt" ] && [ -f "$root/target/sub/also.txt" ] \
  || { echo "a link target was deleted"; exit 1; }
echo "tree content removed, link targets intact"
