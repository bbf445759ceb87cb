#!/usr/bin/env bash
# Measures the web host with wrk: a real vantrel-host on a free loopback port with temporary data
# and registry folders serves the frameset, the controls page, the source page of a folder of
# 100,000 files and the contents page of an archive of 100,000 entries, to 16 connections with
# and without keep-alive, and to one connection (its latency shows any wait between responses);
# and zip calls, each adding one small file to one archive, which wait for the one zip slot in turn
# (their latency shows how soon a freed slot wakes the next waiting operation).
# Writes its table into bench/RESULTS.md. See bench/README.md.
set -uo pipefail

benchDir=$(cd "$(dirname "$0")" && pwd)
repoDir=$(cd "$benchDir/../.." && pwd)
source "$repoDir/bench/lib/common.sh"

kPages=(frameset controls source contents zipcall)
declare -A pageSeconds
declare -A kPageTitle=([frameset]="frameset" [controls]="controls page (?OP=zip)"
    [source]="source page, folder of N files" [contents]="contents page, archive of N entries"
    [zipcall]="zip call, a 2.7 KB file into one archive")
kZipCallForm="OP=call_zip&SP=c%3A%5Csmall%5C&SL=c%3A%5Csmall%5Ca.txt&TP=c%3A%5Cqueue.zip&PW=&OS=--5---"

Usage() {
    cat <<'EOF'
usage: bench/host/run.sh [options] [BUILD_DIR]
  --quick          10,000 files and entries, one run of 2 seconds per measurement
  --runs N         runs per measurement, the median is reported (default 3)
  --seconds N      length of each wrk run (default 5)
  --items N        files in the folder and entries in the archive (default 100000)
  --build DIR      the build folder holding bin/vantrel-host (default build)
  --results FILE   Markdown file to write into (default bench/RESULTS.md,
                   bench/RESULTS-quick.md with --quick)
  --note TEXT      a line for the results header
EOF
}

ParseOptions() {
    quick=0 runs=3 seconds=5 items=100000 buildDir=$repoDir/build results="" note=""
    while (($#)); do
        case $1 in
            --quick) quick=1 runs=1 seconds=2 items=10000 ;;
            --runs) runs=$2; shift ;;
            --seconds) seconds=$2; shift ;;
            --items) items=$2; shift ;;
            --build) buildDir=$2; shift ;;
            --results) results=$2; shift ;;
            --note) note=$2; shift ;;
            -h | --help) Usage; exit 0 ;;
            -*) Usage >&2; exit 2 ;;
            *) buildDir=$1 ;;
        esac
        shift
    done
    [ -n "$results" ] || results=$repoDir/bench/RESULTS$( ((quick)) && echo -quick).md
    buildDir=$(cd "$buildDir" 2>/dev/null && pwd || echo "$buildDir")
}

Prepare() {
    InstallMissing wrk zip curl || exit 1
    if [ ! -f "$buildDir/CMakeCache.txt" ]; then
        cmake -S "$repoDir" -B "$buildDir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null || exit 1
    fi
    cmake --build "$buildDir" -j2 --target vantrel-host >/dev/null || exit 1
    work=$(mktemp -d /dev/shm/vantrel-host-bench.XXXXXX)
    trap Cleanup EXIT
    mkdir -p "$work/data/c" "$work/registry"
    measurements=$work/measurements.tsv loads=$work/loads
    : >"$measurements"
    : >"$loads"
}

Cleanup() {
    [ -n "${hostPid:-}" ] && kill "$hostPid" 2>/dev/null && wait "$hostPid" 2>/dev/null
    rm -rf "$work"
}

# A folder of empty files, named in a scrambled order as uploads arrive.
MakeFolder() {  # folder, count
    mkdir -p "$1"
    (cd "$1" && awk -v n="$2" 'BEGIN {for (i = 0; i < n; i++) print "document" (i * 7919 % n) ".txt"}' |
        xargs touch)
}

# An archive of small text entries in 300 folders, as a real source tree has them.
MakeArchive() {  # archive, count
    local tree=$work/tree
    mkdir -p "$tree"
    awk -v root="$tree/project" -v n="$2" 'BEGIN {
        for (i = 0; i < 300; i++) system("mkdir -p \"" root "/module" i "\"")
        for (i = 0; i < n; i++) {
            file = root "/module" (i % 300) "/source file " i ".txt"
            print "The quick brown fox jumps over the lazy dog. " i > file
            close(file)
        }}'
    (cd "$tree" && zip -qr -1 "$1" project) || exit 1
    rm -rf "$tree"
}

FreePort() {
    local port
    for port in $(shuf -i 20000-60000 -n 50); do
        ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && { echo "$port"; return; }
    done
    return 1
}

StartHost() {
    local port
    port=$(FreePort) || { echo "no free port" >&2; exit 1; }
    "$buildDir/bin/vantrel-host" --listen "127.0.0.1:$port" --data "$work/data" \
        --registry "$work/registry" >"$work/host.log" 2>&1 &
    hostPid=$!
    local tries
    for tries in $(seq 100); do
        grep -q "Vantrel is serving" "$work/host.log" && break
        sleep 0.1
    done
    base=$(sed -n 's/^Vantrel is serving //p' "$work/host.log")
    [ -n "$base" ] || { cat "$work/host.log" >&2; exit 1; }
    echo "host serving $base"
}

# The wrk script of a page: its request, and for the source page the form the browser posts.
PageScript() {  # page
    local file=$work/$1.lua
    case $1 in
        frameset) echo 'wrk.path = "/farbale.asp"' ;;
        controls) echo 'wrk.path = "/farbale.asp?OP=zip"' ;;
        source)
            echo 'wrk.method = "POST"'
            echo 'wrk.path = "/farbale.asp?OP=source"'
            echo 'wrk.headers["Content-Type"] = "application/x-www-form-urlencoded"'
            echo 'wrk.body = "SP=c%3A%5Cmany%5C*.*"' ;;
        contents) echo 'wrk.path = "/farbale.asp?OP=unziplist&ZN=c%3A%5Cbig.zip"' ;;
        zipcall)
            echo 'wrk.method = "POST"'
            echo 'wrk.path = "/farbale.asp"'
            echo 'wrk.headers["Content-Type"] = "application/x-www-form-urlencoded"'
            echo "wrk.body = \"$kZipCallForm\"" ;;
    esac >"$file"
    echo "$file"
}

# Checks once with curl that the page answers 200 with what it should show.
CheckPage() {  # page
    local page=$1 url="$base?OP=zip" expect="Include full paths" body
    case $page in
        frameset) url=$base expect="FRAMESET" ;;
        source) expect="document0.txt" ;;
        contents) url="$base?OP=unziplist&ZN=c%3A%5Cbig.zip" expect="source file 0.txt" ;;
        zipcall) expect="Operation complete, no errors." ;;
    esac
    local form=()
    [ "$page" = source ] && url="$base?OP=source" form=(--data-urlencode 'SP=c:\many\*.*')
    [ "$page" = zipcall ] && url=$base form=(--data "$kZipCallForm")
    curl -sf -o "$work/page" -w '%{time_total}\n' "${form[@]}" "$url" >"$work/seconds" || exit 1
    grep -qF "$expect" "$work/page" || { echo "the $page page does not show \"$expect\"" >&2; exit 1; }
    pageSeconds[$page]=$(cat "$work/seconds")
    printf 'page\t%s\t%s\t%s\n' "$page" "$(stat -c %s "$work/page")" "${pageSeconds[$page]}" \
        >>"$measurements"
}

# How long wrk runs: at least --seconds, and long enough for each connection to see about four
# responses of a slow page (the cores share the connections), but never past a minute.
RunSeconds() {  # page, connections
    awk -v base="$seconds" -v t="${pageSeconds[$1]}" -v c="$2" -v cores="$(nproc)" 'BEGIN {
        rounds = c > cores ? int((c + cores - 1) / cores) : 1
        s = int(4 * t * rounds + 0.999)
        print (s < base ? base : s > 60 ? 60 : s) }'
}

# Waits until the host has finished the requests wrk left behind (its processor time stands
# still), so that one run does not slow down the next.
WaitIdle() {
    local before after tries
    for tries in $(seq 600); do
        before=$(awk '{print $14 + $15}' "/proc/$hostPid/stat")
        sleep 0.2
        after=$(awk '{print $14 + $15}' "/proc/$hostPid/stat")
        ((after - before <= 1)) && return
    done
}

# One wrk run; records requests per second, 50th and 99th percentile latency in ms, and errors.
Wrk() {  # page, mode (keep, close, one-keep, one-close), run
    local page=$1 mode=$2 run=$3 connections=16 threads=2 header=()
    [[ $mode == one-* ]] && connections=1 threads=1
    [[ $mode == *close ]] && header=(-H "Connection: close")
    WaitIdle
    NoteLoad "$loads"
    wrk -t"$threads" -c"$connections" -d"$(RunSeconds "$page" "$connections")s" --timeout 120s \
        --latency "${header[@]}" \
        -s "$(PageScript "$page")" "$base" >"$work/wrk.out" 2>&1
    awk -v page="$page" -v mode="$mode" -v run="$run" '
        function ms(t) {
            if (t ~ /us$/) return t / 1000
            if (t ~ /ms$/) return t + 0
            if (t ~ /m$/) return t * 60000
            return t * 1000
        }
        $1 == "50%" { p50 = ms($2) }
        $1 == "99%" { p99 = ms($2) }
        /^Requests\/sec:/ { rate = $2 }
        /Socket errors|Non-2xx/ { errors = errors $0 " " }
        END { printf "wrk\t%s\t%s\t%s\t%s\t%.3f\t%.3f\t%s\n", page, mode, run, rate, p50, p99, errors }
    ' "$work/wrk.out" >>"$measurements"
    tail -n1 "$measurements" | cut -f2-
}

HostPeakMemory() { awk '/^VmHWM/ {printf "%.0f MB", $2 * 1024 / 1e6}' "/proc/$hostPid/status"; }

WriteSection() {
    local section=$work/section.md
    {
        echo "## Web host$( ((quick)) && echo " (quick)")"
        echo
        echo "Written by \`bench/host/run.sh$( ((quick)) && echo " --quick")\` on $(date -u '+%Y-%m-%d %H:%M UTC'): wrk $(wrk -v 2>&1 | head -1 | cut -d' ' -f2) against build/bin/vantrel-host on loopback, median of $runs runs of at least $seconds s (longer for slow pages: about four responses a connection, at most 60 s)."
        echo
        echo "- Machine: $(MachineLine); wrk runs on the same cores as the host."
        echo "- Load average (1 minute) before each run: $(LoadSummary "$loads")."
        [ -n "$note" ] && echo "- $note"
        echo "- Build: $(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$buildDir/CMakeCache.txt"), commit $(git -C "$repoDir" rev-parse --short HEAD); the host's peak resident memory at the end: $hostPeak."
        echo "- \"16 kept alive\" is \`wrk -t2 -c16\`; \"close\" adds the header \"Connection: close\", so every request opens a new connection; \"1 kept alive\" is \`wrk -t1 -c1\`."
        echo "- Goals: the controls page at least 5,000 responses a second with 16 kept-alive connections; on one kept-alive connection a page waits well under a millisecond beyond its own work (compare the two columns before the goal); on one kept-alive connection the source page of a folder of 100,000 files in at most 30 ms and the contents page of an archive of 100,000 entries in at most 250 ms (with --items other than 100,000 the same limits are shown); zip calls from 16 kept-alive connections, each waiting for the one slot, with a 99th percentile below 300 ms."
        echo
        awk -v items="$items" -v pages="${kPages[*]}" -v titles="$(PageTitles)" \
            -f "$benchDir/render.awk" "$measurements"
    } >"$section"
    ReplaceSection "$results" host "$section"
    echo "wrote $results"
}

PageTitles() {
    local page
    for page in "${kPages[@]}"; do printf '%s|' "${kPageTitle[$page]}"; done
}

Main() {
    ParseOptions "$@"
    Prepare
    echo "making a folder of $items files and an archive of $items entries"
    MakeFolder "$work/data/c/many" "$items"
    MakeArchive "$work/data/c/big.zip" "$items"
    mkdir -p "$work/data/c/small" && head -c 2000 /dev/urandom | base64 >"$work/data/c/small/a.txt"
    StartHost
    local page mode run
    for page in "${kPages[@]}"; do CheckPage "$page"; done
    for run in $(seq "$runs"); do
        for page in "${kPages[@]}"; do
            for mode in keep close one-keep one-close; do Wrk "$page" "$mode" "$run"; done
        done
    done
    hostPeak=$(HostPeakMemory)
    WriteSection
}

Main "$@"
