# Shared by the benchmark scripts: installing what they need, noting the machine's load, and
# writing one section of bench/RESULTS.md. Sourced, never run.

# Installs the Debian packages that are missing (the benchmarks bring their own tools, so the
# project's own dependencies stay as they are).
InstallMissing() {  # package...
    local package missing=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    ((${#missing[@]})) || return 0
    echo "installing ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}

# The 1-minute load average, appended to a file before each measurement.
NoteLoad() { cut -d' ' -f1 /proc/loadavg >>"$1"; }

# "min A, median B, max C" of the numbers in a file, one a line.
LoadSummary() {
    sort -n "$1" | awk '{v[NR] = $1} END {
        if (NR == 0) { print "not sampled"; exit }
        printf "min %.2f, median %.2f, max %.2f (%d samples)", v[1], v[int((NR + 1) / 2)], v[NR], NR }'
}

MachineLine() {
    printf '%s, %s cores, %s GB memory, Debian %s' \
        "$(lscpu | sed -n 's/^Model name: *//p' | head -1)" "$(nproc)" \
        "$(free -g | awk '/^Mem:/ {print $2}')" "$(cat /etc/debian_version)"
}

# Replaces the section between "<!-- begin NAME -->" and "<!-- end NAME -->" of the results file
# with the content file, appending the section when the file has none yet.
ReplaceSection() {  # results file, name, content file
    local results=$1 name=$2 content=$3
    [ -f "$results" ] || printf '# Benchmark results\n\nWritten by the scripts in bench/ (see bench/README.md); each section by its own script.\n' >"$results"
    local begin="<!-- begin $name -->" end="<!-- end $name -->"
    if ! grep -qF "$begin" "$results"; then
        printf '\n%s\n%s\n' "$begin" "$end" >>"$results"
    fi
    awk -v begin="$begin" -v end="$end" -v content="$content" '
        $0 == begin { print; while ((getline line < content) > 0) print line; skip = 1; next }
        $0 == end { skip = 0 }
        !skip' "$results" >"$results.new" && mv "$results.new" "$results"
}
