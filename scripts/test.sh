#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: unit tests, the dialog's tests on Qt's
# offscreen platform, and the browser tests in headless chromium; then the unit tests again
# under AddressSanitizer and UndefinedBehaviorSanitizer, the threaded tests under
# ThreadSanitizer, and every fuzz target for a minute (VANTREL_SANITIZERS=0 leaves those out).
# Arguments go to the first ctest run.
set -euo pipefail
cd "$(dirname "$0")/.."

# Runs one stage and says how long it took.
stage() {
    local name="$1" start=$SECONDS
    shift
    echo "== $name"
    "$@"
    echo "== $name took $((SECONDS - start))s"
}

run_tests() {
    (cd "${VANTREL_BUILD_DIR:-build}" && ctest --output-on-failure -j"$(nproc)" --timeout 900 "$@")
}

stage "install" scripts/install-deps.sh
stage "build" scripts/build.sh
stage "tests" run_tests "$@"
if [ "${VANTREL_SANITIZERS:-1}" != 0 ]; then
    stage "address and undefined-behaviour sanitizers" scripts/sanitize.sh address
    stage "thread sanitizer" scripts/sanitize.sh thread
    stage "fuzzing" scripts/fuzz.sh 60
fi
