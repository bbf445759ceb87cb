#!/usr/bin/env bash
# Times our zip library (through lszip-driver) beside Info-ZIP zip/unzip and 7-Zip on the same
# generated data: many small files (more than 65,535, so the archives need zip64) and a few large
# ones. Usage: bench/ziplib/run.sh BUILD_DIR [WORK_DIR]
set -u
build=${1:?usage: run.sh BUILD_DIR [WORK_DIR]}
work=${2:-$(mktemp -d /tmp/ziplib-bench.XXXXXX)}
driver="$build/bin/lszip-driver"
sevenzip=$(command -v 7zz || command -v 7z || true)
export VANTREL_DRIVES="c=$work"
mkdir -p "$work"

echo "generating data in $work"
python3 - "$work" <<'PY'
import os, random, sys
root = sys.argv[1]
random.seed(7)
words = [''.join(random.choice('abcdefghijklmnopqrstuvwxyz') for _ in range(random.randint(2, 9)))
         for _ in range(5000)]
many = os.path.join(root, 'many')
for folder in range(70):
    path = os.path.join(many, 'd%02d' % folder)
    os.makedirs(path, exist_ok=True)
    for i in range(1000):
        with open(os.path.join(path, 'f%04d.txt' % i), 'w') as f:
            f.write(' '.join(random.choice(words) for _ in range(random.randint(5, 60))))
large = os.path.join(root, 'large')
os.makedirs(large, exist_ok=True)
for n in range(2):
    with open(os.path.join(large, 'big%d.dat' % n), 'wb') as f:
        for _ in range(100):  # 100 MiB, half text, half random bytes
            f.write(' '.join(random.choice(words) for _ in range(100000)).encode()[:512 * 1024])
            f.write(os.urandom(512 * 1024))
PY

measure() {  # label, command...
    local label=$1; shift
    local start end rc
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    rc=$?
    end=$(date +%s.%N)
    printf '%-34s %8.2f s  exit %d\n' "$label" "$(echo "$end - $start" | bc)" "$rc"
}

size() { printf '%-34s %12d bytes\n' "  size $1" "$(stat -c %s "$work/$1")"; }

for set in many large; do
    echo
    echo "== $set: $(find "$work/$set" -type f | wc -l) files, $(du -sb "$work/$set" | cut -f1) bytes"
    rm -rf "$work"/out-* "$work"/*.zip
    measure "ours: create (level 6)" "$driver" zip "c:\\ours-$set.zip" 2 6 $((0x1801)) "c:\\$set\\*.*"
    size "ours-$set.zip"
    measure "info-zip: create (-6)" sh -c "cd '$work/$set' && zip -qr -6 '$work/iz-$set.zip' ."
    size "iz-$set.zip"
    if [ -n "$sevenzip" ]; then
        measure "7-zip: create (deflate, mx5)" sh -c \
            "cd '$work/$set' && $sevenzip a -tzip -mm=Deflate -mx5 '$work/7z-$set.zip' ."
        size "7z-$set.zip"
    fi
    measure "ours: test" "$driver" test "c:\\ours-$set.zip"
    measure "info-zip: test" unzip -tq "$work/iz-$set.zip"
    [ -n "$sevenzip" ] && measure "7-zip: test" "$sevenzip" t "$work/7z-$set.zip"
    measure "ours: extract" "$driver" extract "c:\\ours-$set.zip" "c:\\out-ours" 3 "*.*"
    measure "info-zip: extract" unzip -qo "$work/iz-$set.zip" -d "$work/out-iz"
    [ -n "$sevenzip" ] && measure "7-zip: extract" "$sevenzip" x -y "-o$work/out-7z" "$work/7z-$set.zip"
    measure "ours: list" "$driver" list "c:\\ours-$set.zip"
    echo "-- cross checks"
    measure "info-zip tests ours" unzip -tq "$work/ours-$set.zip"
    [ -n "$sevenzip" ] && measure "7-zip tests ours" "$sevenzip" t "$work/ours-$set.zip"
    measure "ours tests info-zip's" "$driver" test "c:\\iz-$set.zip"
    [ -n "$sevenzip" ] && measure "ours tests 7-zip's" "$driver" test "c:\\7z-$set.zip"
    printf '%-34s %s\n' "  entries in ours (list)" "$("$driver" list "c:\\ours-$set.zip" 2>/dev/null | grep -vc "^status")"
    diff -rq "$work/$set" "$work/out-ours" >/dev/null && echo "  extracted files identical" \
        || echo "  EXTRACTED FILES DIFFER"
done
[ -z "${2:-}" ] && rm -rf "$work"
