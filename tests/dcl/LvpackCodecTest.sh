#!/usr/bin/env bash
# lvpack implode/explode: round trips in every mode, the known stream, and
# exit code 1 with nothing written for a stream that is cut short.
set -u
lvpack=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi; }

head -c 200000 /dev/urandom > "$dir/random.bin"
for i in $(seq 1 3000); do echo "line $i of the screen saver's read-me text"; done > "$dir/text.bin"
cat "$dir/text.bin" "$dir/random.bin" "$dir/text.bin" > "$dir/mix.bin"

for f in text random mix; do
  for mode in "" "--ascii"; do
    for dict in 1024 2048 4096; do
      "$lvpack" implode $mode --dict $dict "$dir/$f.bin" "$dir/$f.imp"
      "$lvpack" explode "$dir/$f.imp" "$dir/$f.out"
      check "$f ${mode:-binary} $dict round trip" 'cmp -s "$dir/$f.bin" "$dir/$f.out"'
    done
  done
done

printf '\x00\x04\x82\x24\x25\x8f\x80\x7f' > "$dir/known.imp"
"$lvpack" explode "$dir/known.imp" "$dir/known.out"
check "known stream" '[ "$(cat "$dir/known.out")" = "AIAIAIAIAIAIA" ]'

head -c 5 "$dir/known.imp" > "$dir/cut.imp"
"$lvpack" explode "$dir/cut.imp" "$dir/cut.out" 2> "$dir/err.txt"
code=$?
check "cut stream exits 1" '[ $code -eq 1 ]'
check "cut stream writes nothing" '[ ! -e "$dir/cut.out" ]'
check "cut stream is explained" 'grep -q "not a complete implode stream" "$dir/err.txt"'

"$lvpack" implode --dict 512 "$dir/text.bin" "$dir/bad.imp" 2>/dev/null
code=$?
check "dictionary size 512 refused" '[ $code -ne 0 ] && [ ! -e "$dir/bad.imp" ]'
exit $fail
