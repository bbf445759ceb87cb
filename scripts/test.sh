#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: unit tests, the dialog's tests on Qt's
# offscreen platform, and the browser tests in headless chromium; then the unit tests again
# under AddressSanitizer and UndefinedBehaviorSanitizer, the threaded tests under
# ThreadSanitizer, and every fuzz target for a minute (VANTREL_SANITIZERS=0 leaves those out).
# Arguments go to the first ctest run.
set -euo pipefail
cd "$(dirname "$0")/.."

# Sets cpu_seconds to the processor time that the finished child processes have used so far
# (read in this shell: a subshell would count only its own children).
cpu_file="$(mktemp)"
trap 'rm -f "$cpu_file"' EXIT
read_cpu_seconds() {
    times >"$cpu_file"
    cpu_seconds=$(tail -n 1 "$cpu_file" | awk '{ t = 0; for (i = 1; i <= 2; ++i) {
        split($i, p, /[ms]/); t += p[1] * 60 + p[2] } printf "%d", t }')
}

# Runs one stage and says how long it took, on the clock and in processor time.
stage() {
    local name="$1" start=$SECONDS cpu_before
    shift
    read_cpu_seconds
    cpu_before=$cpu_seconds
    echo "== $name"
    "$@"
    read_cpu_seconds
    echo "== $name took $((SECONDS - start))s ($((cpu_seconds - cpu_before))s of processor time)"
}

run_tests() {
    (cd "${VANTREL_BUILD_DIR:-build}" && ctest --output-on-failure -j"$(nproc)" --timeout 900 "$@")
}

stage "install" scripts/install-deps.sh test
stage "build" scripts/build.sh all
stage "tests" run_tests "$@"
if [ "${VANTREL_SANITIZERS:-1}" != 0 ]; then
    stage "address and undefined-behaviour sanitizers" scripts/sanitize.sh address
    stage "thread sanitizer" scripts/sanitize.sh thread
    stage "fuzzing" scripts/fuzz.sh 60
fi
