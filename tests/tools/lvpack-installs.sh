#!/usr/bin/env bash
# Packages lvpack accepts install: each manifest of the table below is built with the
# host's lvpack, checked with verify, and installed on a fresh machine under Wine (the
# windowed ones by pressing Install, the silent one by its exit code). Then an installer
# is signed with a throwaway certificate made by openssl: it verifies, installs, and one
# changed byte breaks its signature check.
# CTest passes LV_SOURCE_DIR, LV_BIN_DIR, LV_WINE_DIR and the programs (LV_LVI_*).
set -uo pipefail
. "$LV_SOURCE_DIR/scripts/wine-env.sh"
lvpack=$LV_SOURCE_DIR/build/host/tools/lvpack/lvpack
samplecontent=$LV_SOURCE_DIR/build/host/tools/samplecontent/samplecontent
for tool in "$lvpack" "$samplecontent"; do
  [ -x "$tool" ] || { echo "FAIL: $tool is missing: build the host preset first"; exit 1; }
done
# Every installation here shows its windows on a display of this test's own.
lv_private_display || exit 1
trap lv_stop_private_display EXIT
work=$LV_BIN_DIR/lvpack-installs
rm -rf "$work"
mkdir -p "$work/in"
in=$work/in
"$samplecontent" "$in" >/dev/null
cp "$LV_LVI_IMAGE" "$LV_LVI_IMPBORL" "$LV_LVI_FLASHSETUP" "$LV_LVI_SAVER" "$LV_LVI_ENGINE1" \
   "$LV_LVI_ENGINE2" "$in/"
convert "$in/picture.bmp" "$in/picture.jpg"
mkdir -p "$in/pictures" && cp "$in/picture.bmp" "$in/pictures/"
echo "a document" > "$in/document.txt"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# manifest NAME CONTENTKIND EXTRA_TOP SLOTS_JSON: a manifest of the common slots plus these.
manifest() {
  cat > "$in/$1.json" <<JSON
{"saverName": "$1", "contentKind": "$2", "offerDisplayProperties": $([ "$2" = silent ] && echo false || echo true),
 "image": "$(basename "$LV_LVI_IMAGE")" $3,
 "slots": {"decompressor": {"file": "impborl.dll"}, "flashSetup": {"file": "flashax.exe"},
           "saver": {"file": "samplesaver.scr"}, "saverFile": {"file": "content/readme.txt"},
           "engine1": {"file": "saver1.dll"}, "engine2": {"file": "saver2.dll"}, $4}}
JSON
}

# Accepted packages: every presentation kind, licence and document, compressed and stored
# records, a data file from a folder (with the movie entry), one given as a file.
manifest MovieCws movie ', "showLicense": true' \
  '"presentation": {"file": "DemoSaver-cws.swf"}, "license": {"file": "license.txt"},
   "dataFile": {"content": {"folder": "content", "movieEntry": "movie.swf", "compressed": true}}'
manifest MoviePlain movie '' \
  '"presentation": {"file": "DemoSaver.swf", "compressed": true},
   "dataFile": {"content": {"folder": "content", "movieEntry": "movie.swf"}, "compressed": true}'
manifest Bitmap bitmap ', "hasDocument": true' \
  '"presentation": {"file": "picture.bmp"}, "document": {"file": "document.txt"},
   "dataFile": {"content": {"folder": "pictures", "compressed": "always", "dictionary": 1024}}'
manifest Silent silent '' '"dataFile": {"content": {"folder": "content"}}'

build() {  # build NAME: the installer work/NAME.exe, verified
  "$lvpack" build "$in/$1.json" -o "$work/$1.exe" >/dev/null || { fail "$1: build refused"; return 1; }
  "$lvpack" verify "$work/$1.exe" >/dev/null || { fail "$1: verify refused"; return 1; }
}

# install NAME FILE [silent]: runs FILE on a fresh machine; the program and its data
# folder must be there afterwards.
install() {
  local name=$1 file=$2 mode=${3:-window} rc
  export WINEPREFIX=$work/prefix-$name
  lv_clone_prefix "$LV_WINE_DIR" "$WINEPREFIX"
  wineserver -p </dev/null >/dev/null 2>&1
  cp "$file" "$WINEPREFIX/drive_c/setup.exe"
  if [ "$mode" = silent ]; then
    lv_wine 'C:\setup.exe' >/dev/null 2>&1
    rc=$?
  else
    lv_wine "$LV_LVI_LVDEMO" time 'C:\setup.exe' | tr -d '\r' | sed "s/^/  $name: /"
    rc=${PIPESTATUS[0]}
  fi
  lv_stop_server
  local sys=$WINEPREFIX/drive_c/windows/system32
  echo "  $name: installer exit code $rc; $(ls "$sys/$name.scr" 2>/dev/null | xargs -r basename)" \
       "$(ls "$sys/$name dir" 2>/dev/null | tr '\n' ' ')"
  [ "$rc" = 0 ] && [ -f "$sys/$name.scr" ] && [ -f "$sys/$name dir/saver.dat" ] ||
    fail "$name: not installed (exit code $rc)"
  rm -rf "$WINEPREFIX"
}

for name in MovieCws MoviePlain Bitmap Silent; do
  build "$name" && install "$name" "$work/$name.exe" "$([ $name = Silent ] && echo silent)"
done

# A data file given as a file (the one of Bitmap, taken out again), under a JPEG.
"$lvpack" extract "$work/Bitmap.exe" dataFile -d "$work/x" >/dev/null || fail "extract dataFile"
cp "$work/x/Bitmap.ssd" "$in/given.ssd"
manifest Jpeg jpeg '' '"presentation": {"file": "picture.jpg"}, "dataFile": {"file": "given.ssd"}'
build Jpeg && install Jpeg "$work/Jpeg.exe"

# Signed: verifies against its certificate, installs, and a changed byte is caught.
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/maker.key" -out "$work/maker.pem" \
  -days 2 -subj '/CN=Throwaway Maker' 2>/dev/null || fail "openssl made no certificate"
manifest Signed movie '' '"presentation": {"file": "DemoSaver.swf"}, "dataFile": {"content": {"folder": "content"}}'
if build Signed &&
   "$lvpack" sign "$work/Signed.exe" --cert "$work/maker.pem" --key "$work/maker.key" >/dev/null; then
  "$lvpack" verify "$work/Signed.exe" --ca "$work/maker.pem" | sed 's/^/  Signed: /' ||
    fail "Signed: verify refused the signed installer"
  install Signed "$work/Signed.exe"
  cp "$work/Signed.exe" "$work/Tampered.exe"
  printf 'X' | dd of="$work/Tampered.exe" bs=1 seek=$(( $(stat -c %s "$work/Signed.exe") / 2 )) \
    conv=notrunc 2>/dev/null
  "$lvpack" verify "$work/Tampered.exe" --ca "$work/maker.pem" | sed 's/^/  Tampered: /'
  [ "${PIPESTATUS[0]}" = 1 ] || fail "Tampered: verify did not fail"
else
  fail "Signed: not signed"
fi

[ "$failures" = 0 ] && echo "all packages installed" && rm -rf "$work"
exit $(( failures > 0 ))
