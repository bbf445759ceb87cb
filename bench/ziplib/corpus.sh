# The zip benchmark's two corpora, built from files that Debian 12 packages install, so that every
# machine that has (or installs) these packages builds the same bytes. Sourced by run.sh.
#
#   many:  every regular file of the packages in kManyPackages below /usr: about 46,500 files,
#          540 MB of source code, headers, scripts, icons, man pages, locale data and
#          libraries. Symbolic links are left out (the library skips them), and so are names a
#          Windows path cannot carry or that differ only in case from an earlier one.
#          run.sh installs the packages that are missing.
#   large: three files of 500 MB each, concatenated from installed files in name order and
#          repeated until long enough: text.txt (source and text files of the many corpus),
#          programs.bin (compilers, Go's toolchain and libraries) and packed.dat (files that are
#          already compressed: man pages, changelogs, icons).
# The quick corpora take every 8th file of the many corpus and 50 MB large files.
# Every file and folder gets the same modification time and mode, so archives are comparable.

kManyPackages=(
    golang-1.19-src qt6-base-dev cmake-data libc6-dev linux-libc-dev libstdc++-12-dev
    perl-modules-5.36 libperl5.36 git git-man tzdata locales adwaita-icon-theme manpages-dev
    iso-codes systemd libicu72 libqt6core6 libqt6gui6 libqt6widgets6 vim-runtime libboost1.74-dev
)
kProgramPackages=(golang-1.19-go gcc-12 cpp-12 g++-12 libicu72)
kCorpusTime=@1686355200  # 2023-06-10, the release of Debian 12
kTextNames='\.(go|h|c|cc|cpp|hpp|s|pm|pl|pod|py|txt|cmake|rst|js|html|css|json|xml|svg|vim|md)$'
kPackedNames='\.(gz|xz|bz2|png|jpg|zip|jar)$'

# The installed regular files of the packages, one absolute path a line in byte order.
PackageFiles() {
    dpkg -L "$@" | LC_ALL=C sort -u | while IFS= read -r path; do
        [[ -f $path && ! -L $path && -r $path ]] && printf '%s\n' "$path"
    done
}

# Keeps the paths a Windows path can carry (plain characters, no component ending in a dot), and
# drops any path that differs only in case from an earlier one in one of its components.
WindowsSafePaths() {
    grep -E '^/usr(/[A-Za-z0-9_+@,=-][A-Za-z0-9._+@,=-]*[A-Za-z0-9_+@,=-])+$' |
        awk '{
            n = split($0, part, "/"); prefix = ""; ok = 1
            for (i = 2; i <= n && ok; i++) {
                prefix = prefix "/" part[i]; key = tolower(prefix)
                if ((key in seen) && seen[key] != prefix) ok = 0
            }
            if (!ok) next
            prefix = ""
            for (i = 2; i <= n; i++) { prefix = prefix "/" part[i]; seen[tolower(prefix)] = prefix }
            print
        }'
}

ManyCorpusList() {  # quick(0/1)
    PackageFiles "${kManyPackages[@]}" | WindowsSafePaths |
        if (($1)); then awk 'NR % 8 == 1'; else cat; fi
}

# Copies the listed files below folder with their paths, then gives everything one time and mode.
CopyTree() {  # list, folder
    mkdir -p "$2"
    sed 's|^/||' "$1" | tar -C / -cf - --no-recursion -T - | tar -xf - -C "$2" --no-same-owner
    find "$2" -type d -exec chmod 755 {} + -o -type f -exec chmod 644 {} +
    find "$2" -exec touch -h -d "$kCorpusTime" {} +
}

# Writes size bytes of the listed files, concatenated in order and repeated until long enough.
ConcatenateTo() {  # list, size, file
    [ -s "$1" ] || { echo "no files for $3" >&2; return 1; }
    { while :; do xargs -d '\n' -a "$1" cat || break; done; } 2>/dev/null | head -c "$2" >"$3"
    touch -d "$kCorpusTime" "$3"
    [ "$(stat -c %s "$3")" -eq "$2" ] || { echo "$3 came out short" >&2; return 1; }
}

BuildLargeCorpus() {  # many list, size, folder
    local list=$1 size=$2 folder=$3
    mkdir -p "$folder"
    grep -E "$kTextNames" "$list" >"$folder.text"
    PackageFiles "${kProgramPackages[@]}" >"$folder.programs"
    { grep -E "$kPackedNames" "$list"; PackageFiles "${kProgramPackages[@]}" |
        grep -E "$kPackedNames"; } >"$folder.packed"
    ConcatenateTo "$folder.text" "$size" "$folder/text.txt"
    ConcatenateTo "$folder.programs" "$size" "$folder/programs.bin"
    ConcatenateTo "$folder.packed" "$size" "$folder/packed.dat"
    rm -f "$folder".{text,programs,packed}
    touch -d "$kCorpusTime" "$folder"
}

# Builds both corpora below root unless the same list already built them there.
BuildCorpora() {  # root, quick(0/1)
    local root=$1 quick=$2 largeSize=500000000
    ((quick)) && largeSize=50000000
    mkdir -p "$root"
    ManyCorpusList "$quick" >"$root/many.list"
    local stamp
    stamp="$(sha256sum <"$root/many.list" | cut -c1-16) $largeSize"
    if [ "$(cat "$root/stamp" 2>/dev/null)" = "$stamp" ]; then
        echo "corpora in $root are up to date"
        return
    fi
    rm -rf "$root/many" "$root/large" "$root/stamp"
    echo "building the many-files corpus in $root/many"
    CopyTree "$root/many.list" "$root/many"
    echo "building the large-files corpus in $root/large"
    BuildLargeCorpus "$root/many.list" "$largeSize" "$root/large"
    echo "$stamp" >"$root/stamp"
}

CorpusPackages() { printf '%s\n' "${kManyPackages[@]}" "${kProgramPackages[@]}"; }
