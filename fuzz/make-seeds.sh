#!/usr/bin/env bash
# Writes the seed corpus of every fuzz target into fuzz/corpus/. The archives come from the
# project's own zip library (through lszip-driver of a build) and from Info-ZIP for the forms our
# library never writes (streamed entries with data descriptors, zip64 records, traditional
# encryption). The results are committed; run this again only to change the seeds.
#
#   fuzz/make-seeds.sh [BUILD_DIR]     (default build/; needs bin/lszip-driver built there)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${1:-build}"
driver="$PWD/$build_dir/bin/lszip-driver"
if [ ! -x "$driver" ]; then
    echo "build lszip-driver first: cmake --build $build_dir --target lszip-driver"
    exit 1
fi
corpus="$PWD/fuzz/corpus"

# One seed of several texts: its arguments joined by the byte 0xFF (see fuzz/FuzzInput.h).
seed() {
    local file="$1"
    shift
    local first=1
    for text in "$@"; do
        [ $first -eq 1 ] || printf '\377'
        printf '%s' "$text"
        first=0
    done >"$file"
}

rm -rf "$corpus"
mkdir -p "$corpus"/{form_decoding,windows_paths,wildcard,zip_listing,zip_repair}

# flags (odd: a form POST), query, body, cookies, host, origin
seed "$corpus/form_decoding/frame-load" "0" "OP=unziplist&ZN=c:\\inetpub\\wwwroot\\a b.zip" "" \
    "ASPSESSIONID=k3j4; theme=x" "127.0.0.1:8080" ""
seed "$corpus/form_decoding/zip-call" "1" "" \
    "OP=call_zip&SP=c%3A%5Cdata%5C&SL=c%3A%5Cdata%5Ca.txt%7Cc%3A%5Cdata%5Cb.txt&PW=&OS=-P5SRM" \
    "ASPSESSIONID=abc" "localhost:8080" "http://localhost:8080"
seed "$corpus/form_decoding/odd-escapes" "1" "a=%&b=%4&c=%zz&d=%u00e9%u20AC&e=+x+&=f&g" \
    "ZL=%22my+file.txt%22+b.txt+&ZN=%00evil&OS=E%0A-" "a=1;;b;=c; d=%41" "[::1]:8080" \
    "https://[::1]:8080/farbale.asp"

# flags (odd: debug mode), path, excluded list, included list
seed "$corpus/windows_paths/climbs-out" "0" "c:\\inetpub\\wwwroot\\..\\..\\windows\\x.txt" \
    "\\winnt\\;\\windows\\" "\\wwwroot\\;\\ftproot\\"
seed "$corpus/windows_paths/joined-list" "1" "C:\\Data\\a.txt|b.txt| c:\\other\\c.txt " \
    ";;\\secret\\ ;" "; \\data\\;"
seed "$corpus/windows_paths/slashes-and-dots" "0" "d:/inetpub//wwwroot/./x/../y.zip\\" "end" \
    "\\WWWROOT\\"
seed "$corpus/windows_paths/no-drive" "1" "dir/sub/..\\x.txt" " ; " "x"
seed "$corpus/windows_paths/accents" "0" "c:\\inetpub\\wwwroot\\PRIVÉ\\x.txt" "\\privé\\" \
    "\\inetpub\\"

# pattern, name
seed "$corpus/wildcard/every-name" "*.*" "readme"
seed "$corpus/wildcard/extension" "*.TXT" "notes.txt"
seed "$corpus/wildcard/marks" "a?c*d*" "ABCxxdyy"
seed "$corpus/wildcard/dotless" "readme.*" "README"
seed "$corpus/wildcard/backtracking" "*a*a*a*a*b" "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/c/src/sub"
printf 'hello, archive\n' >"$work/c/src/a.txt"
printf 'the same line again\n%.0s' {1..20} >"$work/c/src/sub/b.txt"
printf 'caf\xc3\xa9\n' >"$work/c/src/caf$(printf '\xc3\xa9').txt"
export VANTREL_DRIVES="c=$work/c"
zipped() {  # name level flags list [password]
    "$driver" zip "c:\\$1" 2 "$2" "$3" "$4" ${5:+"$5"} >/dev/null 2>&1
    cp "$work/c/$1" "$corpus/zip_listing/$1"
}
# The flags as lszip.h names them: LSZIP_FLAG_BASE, _RECURSE, _FULL_PATHS and _ENCRYPT.
base=$((0x1001)) recurse=$((0x800)) full_paths=$((0x2080)) encrypt=$((0x10))
zipped stored.zip 0 $base 'c:\src\a.txt'
zipped deflated.zip 9 $((base + recurse)) 'c:\src\*.*'
zipped paths.zip 6 $((base + full_paths)) 'c:\src\a.txt|c:\src\sub\b.txt'
zipped encrypted.zip 6 $((base + encrypt)) 'c:\src\a.txt' secret
# Written into a pipe, Info-ZIP cannot seek back: its entry carries a data descriptor.
(cd "$work/c/src" && printf 'streamed\n' | zip -q -fz- - - | cat) \
    >"$corpus/zip_listing/streamed.zip"
(cd "$work/c/src" && zip -q -fz "$corpus/zip_listing/zip64.zip" a.txt)
(cd "$work/c/src" && zip -q -P secret "$corpus/zip_listing/zipcrypto.zip" a.txt sub/b.txt)
(cd "$work/c/src" && zip -q -z "$corpus/zip_listing/comment.zip" a.txt <<<"an archive comment")
printf 'PK\005\006%018d' 0 | tr 0 '\000' >"$corpus/zip_listing/empty.zip"
# LZMA and bzip2 entries from Python's zipfile, behind a stub its offsets do not count; XZ from
# 7-Zip.
(cd "$work/c/src" && python3 -c '
import sys, zipfile
z = zipfile.ZipFile("m.zip", "w")
z.write("a.txt", compress_type=zipfile.ZIP_LZMA)
z.write("sub/b.txt", compress_type=zipfile.ZIP_BZIP2)
z.close()
sys.stdout.buffer.write(b"#!/bin/sh\nexit 0\n" + open("m.zip", "rb").read())' \
    >"$corpus/zip_listing/methods-stub.zip" && rm m.zip)
(cd "$work/c/src" && 7zz a -tzip -mm=XZ "$corpus/zip_listing/xz.zip" sub/b.txt >/dev/null)

# The repair scanner starts from the same archives and from damaged ones: the central directory
# cut off, an entry's data overwritten, garbage in front.
cp "$corpus"/zip_listing/*.zip "$corpus/zip_repair/"
deflated="$corpus/zip_listing/deflated.zip"
size=$(stat -c %s "$deflated")
head -c $((size * 2 / 3)) "$deflated" >"$corpus/zip_repair/no-directory.zip"
cp "$deflated" "$corpus/zip_repair/bad-data.zip"
printf 'XXXX' | dd of="$corpus/zip_repair/bad-data.zip" bs=1 seek=40 conv=notrunc status=none
{ printf 'garbage before the archive'; cat "$corpus/zip_listing/streamed.zip"; } \
    >"$corpus/zip_repair/prefixed.zip"
ls -l "$corpus"/*/ | awk '{ total += $5 } END { print "seed bytes:", total }'
