#!/usr/bin/env bash
# Times Vantrel's zip library (through lszip-driver) side by side with Info-ZIP zip/unzip, 7-Zip,
# bsdtar and Go's archive/zip on the same two corpora in one run: create at levels 0, 1, 5 and 9,
# extract, test and list, medians of several runs, everything on tmpfs. Checks that every archive
# passes `unzip -t` and `7zz t` and that every extracted tree equals its source, and writes the
# tables into bench/RESULTS.md. See bench/README.md; the corpora are described in corpus.sh.
set -uo pipefail

benchDir=$(cd "$(dirname "$0")" && pwd)
repoDir=$(cd "$benchDir/../.." && pwd)
source "$repoDir/bench/lib/common.sh"
source "$benchDir/corpus.sh"
source "$benchDir/tools.sh"

Usage() {
    cat <<'EOF'
usage: bench/ziplib/run.sh [options] [BUILD_DIR]
  --quick            small corpora (every 8th file, 50 MB large files)
  --runs N           runs per measurement, the median is reported (default 3)
  --tools LIST       comma-separated, from vantrel,infozip,7zip,bsdtar,go (default all)
  --ops LIST         from create,extract,test,list,loaded (default all); loaded times
                     Vantrel and Info-ZIP at level 5 on the many files while busy loops hold
                     every core
  --levels LIST      create levels for the many-files corpus (default 0,1,5,9)
  --large-levels L   create levels for the large files (default 0,5)
  --once LIST        measurements made in the first run only: operations or tool:operation
                     (default create-9,7zip:create-1,7zip:create-5: no goal or far from the
                     best, and slow enough to push the run past 30 minutes)
  --corpora LIST     from many,large (default both)
  --build DIR        the build folder holding bin/lszip-driver (default build)
  --work DIR         where corpora and archives go (default /dev/shm/vantrel-bench)
  --results FILE     Markdown file to write into (default bench/RESULTS.md,
                     bench/RESULTS-quick.md with --quick)
  --note TEXT        a line for the results header (e.g. what else ran on the machine)
  --keep             keep the work folder (the corpora are reused when still current)
EOF
}

ParseOptions() {
    quick=0 runs=3 keep=0 note="" once=(create-9 7zip:create-1 7zip:create-5)
    tools=("${kAllTools[@]}") ops=(create extract test list loaded) levels=(0 1 5 9) largeLevels=(0 5)
    corpora=(many large) buildDir=$repoDir/build workRoot=/dev/shm/vantrel-bench results=""
    while (($#)); do
        case $1 in
            --quick) quick=1 ;;
            --runs) runs=$2; shift ;;
            --tools) IFS=, read -ra tools <<<"$2"; shift ;;
            --ops) IFS=, read -ra ops <<<"$2"; shift ;;
            --levels) IFS=, read -ra levels <<<"$2"; shift ;;
            --large-levels) IFS=, read -ra largeLevels <<<"$2"; shift ;;
            --corpora) IFS=, read -ra corpora <<<"$2"; shift ;;
            --once) IFS=, read -ra once <<<"$2"; shift ;;
            --build) buildDir=$2; shift ;;
            --work) workRoot=$2; shift ;;
            --results) results=$2; shift ;;
            --note) note=$2; shift ;;
            --keep) keep=1 ;;
            -h | --help) Usage; exit 0 ;;
            -*) Usage >&2; exit 2 ;;
            *) buildDir=$1 ;;
        esac
        shift
    done
    [ -n "$results" ] || results=$repoDir/bench/RESULTS$( ((quick)) && echo -quick).md
    buildDir=$(cd "$buildDir" 2>/dev/null && pwd || echo "$buildDir")
    workRoot=${workRoot%/}
}

# The other tools and the corpus packages come from Debian; lszip-driver from this tree.
Prepare() {
    local packages=(time) tool
    for tool in "${tools[@]}"; do
        [ "$tool" = vantrel ] || packages+=(${kToolPackage[$tool]})
    done
    InstallMissing "${packages[@]}" zip unzip 7zip $(CorpusPackages) || exit 1
    if [ ! -f "$buildDir/CMakeCache.txt" ]; then
        cmake -S "$repoDir" -B "$buildDir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null || exit 1
    fi
    cmake --build "$buildDir" -j2 --target lszip-driver bench_deflatework >/dev/null || exit 1
    driver=$buildDir/bin/lszip-driver
    mkdir -p "$workRoot/out"
    export VANTREL_DRIVES="c=$workRoot"
    gozip=$workRoot/gozip
    if [[ " ${tools[*]} " == *" go "* ]]; then
        BuildGoZip "$benchDir/gozip" "$gozip" || exit 1
    fi
    measurements=$workRoot/measurements.tsv loads=$workRoot/loads
    : >"$measurements"
    : >"$loads"
}

# Runs the prepared command under /usr/bin/time and records elapsed seconds, peak memory and
# the exit code.
Measure() {  # corpus, operation, tool, run
    NoteLoad "$loads"
    local start=$EPOCHREALTIME
    (cd "$commandFolder" && exec /usr/bin/time -f %M -o "$workRoot/peak" "${command[@]}") \
        >/dev/null 2>"$workRoot/stderr"
    local code=$? end=$EPOCHREALTIME
    local seconds
    seconds=$(awk -v a="$start" -v b="$end" 'BEGIN {printf "%.4f", b - a}')
    printf 'time\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$1" "$2" "$3" "$4" "$seconds" \
        "$(tail -n1 "$workRoot/peak")" "$code" >>"$measurements"
    printf '  %-8s %-9s %-8s run %s: %8.3f s%s\n' "$1" "$2" "$3" "$4" "$seconds" \
        "$( ((code)) && echo "  FAILED ($code): $(tail -c 300 "$workRoot/stderr" | tr '\n' ' ')")"
}

# One cell of the fidelity table: what was checked, by which check; a failure shows at once.
Check() {  # subject, check, command...
    local subject=$1 check=$2 result=passed
    shift 2
    "$@" >/dev/null 2>&1 || result=FAILED
    printf 'check\t%s\t%s\t%s\n' "$subject" "$check" "$result" >>"$measurements"
    [ $result = passed ] || echo "  CHECK FAILED: $subject: $check"
}

# Every archive must pass Info-ZIP's and 7-Zip's tests, and Vantrel must read the others'.
CheckArchive() {  # tool, archive, label
    Check "$3" "unzip -t" unzip -tq "$2"
    Check "$3" "7zz t" 7zz t "$2"
    [ "$1" = vantrel ] || Check "$3" "Vantrel's test" "$driver" test "$(WindowsPath "$2")"
}

SameTree() {  # source, extracted
    diff -r "$1" "$2" >"$workRoot/diff" 2>&1 || { head -5 "$workRoot/diff"; return 1; }
}

# Vantrel extracts its own archive again, untimed, and the tree must equal the source.
CheckRoundTrip() {  # corpus folder, archive, label
    local target=$workRoot/out/round-trip
    rm -rf "$target"
    Check "$3" "Vantrel extracts it" \
        "$driver" extract "$(WindowsPath "$2")" "$(WindowsPath "$target")" 3 "*.*"
    Check "$3" "diff -r with the source" SameTree "$1" "$target"
    rm -rf "$target"
}

# Whether a measurement is made in the first run only.
OnlyOnce() {  # tool, operation
    [[ " ${once[*]} " == *" $2 "* || " ${once[*]} " == *" $1:$2 "* ]]
}

RunCreate() {  # corpus, level
    local corpus=$1 level=$2 run tool archive
    for run in $(seq "$runs"); do
        for tool in "${tools[@]}"; do
            ((run > 1)) && OnlyOnce "$tool" "create-$level" && continue
            archive=$workRoot/out/$tool-$level.zip
            rm -f "$archive"
            CreateCommand "$tool" "$level" "$corpusRoot/$corpus" "$archive"
            Measure "$corpus" "create-$level" "$tool" "$run"
            # Only the last run's archive is checked; removing the others at once keeps tmpfs
            # to one archive beside the corpora.
            if ((run == runs)) || OnlyOnce "$tool" "create-$level"; then
                CheckCreated "$corpus" "$level" "$tool" "$archive"
            fi
            rm -f "$archive"
        done
    done
}

# Notes the archive's size and checks it; Info-ZIP's level-5 archive stays for the reading.
CheckCreated() {  # corpus, level, tool, archive
    local corpus=$1 level=$2 tool=$3 archive=$4
    [ -f "$archive" ] || return
    printf 'size\t%s\tcreate-%s\t%s\t%s\n' "$corpus" "$level" "$tool" \
        "$(stat -c %s "$archive")" >>"$measurements"
    CheckArchive "$tool" "$archive" "$corpus: ${kToolTitle[$tool]}'s level-$level archive"
    [ "$tool" = vantrel ] && CheckRoundTrip "$corpusRoot/$corpus" "$archive" \
        "$corpus: Vantrel's level-$level archive"
    [ "$tool" = infozip ] && [ "$level" = 5 ] && mv "$archive" "$workRoot/out/reference-$corpus.zip"
}

# Extract, test and list all read Info-ZIP's level-5 archive, made untimed when create did not.
ReferenceArchive() {  # corpus
    local archive=$workRoot/out/reference-$1.zip
    if [ ! -f "$archive" ]; then
        CreateCommand infozip 5 "$corpusRoot/$1" "$archive"
        (cd "$commandFolder" && "${command[@]}") || exit 1
    fi
    echo "$archive"
}

RunExtract() {  # corpus
    local corpus=$1 archive run tool target
    archive=$(ReferenceArchive "$corpus")
    for run in $(seq "$runs"); do
        for tool in "${tools[@]}"; do
            ((run > 1)) && OnlyOnce "$tool" extract && continue
            target=$workRoot/out/extracted-$tool
            rm -rf "$target"
            ExtractCommand "$tool" "$archive" "$target"
            Measure "$corpus" extract "$tool" "$run"
            ((run == 1)) && Check "$corpus: ${kToolTitle[$tool]} extracts Info-ZIP's level-5 archive" \
                "diff -r with the source" SameTree "$corpusRoot/$corpus" "$target"
            rm -rf "$target"
        done
    done
}

RunReading() {  # corpus, operation (test or list)
    local corpus=$1 op=$2 archive run tool
    archive=$(ReferenceArchive "$corpus")
    for run in $(seq "$runs"); do
        for tool in "${tools[@]}"; do
            ((run > 1)) && OnlyOnce "$tool" "$op" && continue
            "${op^}Command" "$tool" "$archive"
            Measure "$corpus" "$op" "$tool" "$run"
        done
    done
}

# The deflate work of the corpus at a level: the processor seconds of deflating every file whole
# on one core, the engine alone (bench_deflatework). A zip on every core can at best take that
# divided by the cores, or the time of storing the tree, whichever is longer.
MeasureDeflateWork() {  # corpus, level
    local run seconds
    for run in $(seq "$runs"); do
        seconds=$("$buildDir/bin/bench_deflatework" "$corpusRoot/$1" "$2" | sed -n 's/.* seconds //p')
        printf 'work\t%s\tcreate-%s\t%s\n' "$1" "$2" "$seconds" >>"$measurements"
        printf '  %-8s %-9s %-8s run %s: %8.3f s of one core\n' "$1" "create-$2" work "$run" "$seconds"
    done
}

# Level 5 while busy loops hold every core: a parallel zip must then be no slower than Info-ZIP.
RunLoaded() {  # corpus
    local corpus=$1 run tool archive hogs=() i
    for i in $(seq "$(nproc)"); do
        (while :; do :; done) &
        hogs+=($!)
    done
    for run in $(seq "$runs"); do
        for tool in vantrel infozip; do
            [[ " ${tools[*]} " == *" $tool "* ]] || continue
            archive=$workRoot/out/$tool-loaded.zip
            rm -f "$archive"
            CreateCommand "$tool" 5 "$corpusRoot/$corpus" "$archive"
            Measure "$corpus" create-5-loaded "$tool" "$run"
            rm -f "$archive"
        done
    done
    kill "${hogs[@]}" 2>/dev/null
    wait "${hogs[@]}" 2>/dev/null
}

RunCorpus() {  # corpus
    local corpus=$1 op level
    local -a corpusLevels=("${levels[@]}")
    [ "$corpus" = large ] && corpusLevels=("${largeLevels[@]}")
    echo "== $corpus"
    for op in "${ops[@]}"; do
        case $op in
            create)
                for level in "${corpusLevels[@]}"; do RunCreate "$corpus" "$level"; done
                [[ " ${corpusLevels[*]} " == *" 5 "* ]] && MeasureDeflateWork "$corpus" 5 ;;
            extract) RunExtract "$corpus" ;;
            test | list) RunReading "$corpus" "$op" ;;
            loaded) [ "$corpus" = many ] && RunLoaded "$corpus" ;;
        esac
    done
    local entries
    entries=$(unzip -Z1 "$(ReferenceArchive "$corpus")" | wc -l)
    printf 'meta\t%s\t%s\t%s\t%s\t%s\n' "$corpus" "$(CorpusTitle "$corpus")" \
        "$(find "$corpusRoot/$corpus" -type f | wc -l)" \
        "$(find "$corpusRoot/$corpus" -type f -printf '%s\n' | awk '{s += $1} END {print s}')" \
        "$entries" >>"$measurements"
}

CorpusTitle() {
    case $1 in
        many) echo "Many files (installed files of ${#kManyPackages[@]} Debian packages)" ;;
        large) echo "Three large files (text, programs, already-compressed data)" ;;
    esac
}

# The row order of the tables: create levels of both corpora, then the reading operations.
TableOperations() {
    local op level
    for op in "${ops[@]}"; do
        if [ "$op" = create ]; then
            printf 'create-%s\n' "${levels[@]}" "${largeLevels[@]}" | sort -t- -k2n -u
        elif [ "$op" = loaded ]; then
            echo create-5-loaded
        else
            echo "$op"
        fi
    done | tr '\n' ' '
}

WriteSection() {
    local section=$workRoot/section.md titles="" tool
    for tool in "${tools[@]}"; do titles+="${kToolTitle[$tool]}|"; done
    {
        echo "## Zip library$( ((quick)) && echo " (quick corpora)")"
        echo
        echo "Written by \`bench/ziplib/run.sh$( ((quick)) && echo " --quick")\` on $(date -u '+%Y-%m-%d %H:%M UTC') in $(( (SECONDS + 30) / 60 )) min: $( ((runs > 1)) && echo "median of $runs runs (marked ¹: the first run only)" || echo "one run each"), corpora and output on tmpfs ($workRoot)."
        echo
        echo "- Machine: $(MachineLine)."
        echo "- Load average (1 minute) before each measurement: $(LoadSummary "$loads"); the benchmark itself adds about 1."
        [ -n "$note" ] && echo "- $note"
        echo "- Build: $(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$buildDir/CMakeCache.txt") ($buildDir)."
        ToolVersions | sed 's/^/- /'
        echo "- Many-files corpus: every regular file below /usr of the Debian 12 packages ${kManyPackages[*]}$( ((quick)) && echo " (every 8th file)"); file list hash $(cut -d' ' -f1 "$corpusRoot/stamp")."
        echo "- Large-files corpus: text.txt, programs.bin and packed.dat, each concatenated from installed files (see bench/ziplib/corpus.sh)."
        echo "- Extract, test and list read Info-ZIP's level-5 archive (\`zip -r -5\`); bsdtar tests by extracting to standard output."
        awk -v corpora="${corpora[*]}" -v operations="$(TableOperations)" -v tools="${tools[*]}" \
            -v titles="$titles" -v cores="$(nproc)" -v runs="$runs" -f "$benchDir/render.awk" \
            "$measurements"
    } >"$section"
    ReplaceSection "$results" zip "$section"
    echo "wrote $results"
}

Main() {
    ParseOptions "$@"
    Prepare
    corpusRoot=$workRoot/corpus-$( ((quick)) && echo quick || echo full)
    BuildCorpora "$corpusRoot" "$quick" || exit 1
    local corpus
    for corpus in "${corpora[@]}"; do
        RunCorpus "$corpus"
        rm -f "$workRoot/out/reference-$corpus.zip"
    done
    WriteSection
    grep -q "FAILED$" "$measurements" && echo "some fidelity checks FAILED (see $results)"
    ((keep)) || rm -rf "$workRoot"
}

Main "$@"
