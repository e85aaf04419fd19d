#!/usr/bin/env bash
# Runs one end-to-end test case in a clean copy of the Wine prefix (a fresh
# machine), then turns its screenshots into PNG files.
#   run-e2e.sh TEST_EXE GTEST_FILTER
# LV_E2E_OUT (the output folder) and the program paths come from CTest.
set -uo pipefail
exe=$1
filter=$2
mkdir -p "$LV_E2E_OUT/screenshots"
"$LV_SOURCE_DIR/scripts/wine-run" --fresh "$exe" --gtest_filter="$filter"
rc=$?
# Wine's messages are off: a program that died without a word is at least named here.
[ "$rc" -eq 0 ] || echo "run-e2e: $(basename "$exe") --gtest_filter=$filter ended with code $rc" >&2
command -v convert >/dev/null || exit $rc  # without ImageMagick the BMP files stay
# This case's own, named after it: other cases may be writing theirs meanwhile.
for shot in "$LV_E2E_OUT/screenshots/$filter${LV_E2E_WINDOWS:+.$LV_E2E_WINDOWS}-"*.bmp; do
  [ -e "$shot" ] || continue
  convert "$shot" "${shot%.bmp}.png" && rm -f "$shot"
done
exit $rc
