#!/usr/bin/env bash
# Builds the unit tests with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/, which
# also holds the fuzz targets) and runs them, then the tests that set threads against each other
# with ThreadSanitizer (build-tsan/). Any sanitizer report fails the run. Both builds use clang.
#
#   scripts/sanitize.sh [address|thread]     (default: both)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/sanitizer-env.sh

which="${1:-all}"
if [ "$which" = all ] || [ "$which" = address ]; then
    configure_sanitized build-asan address,undefined -DVANTREL_FUZZ=ON
    cmake --build build-asan -j"$(nproc)" --target unit_tests
    (cd build-asan && ctest -L unit --output-on-failure -j"$(nproc)" --timeout 900)
fi
if [ "$which" = all ] || [ "$which" = thread ]; then
    configure_sanitized build-tsan thread
    cmake --build build-tsan -j"$(nproc)" --target concurrency_tests
    (cd build-tsan && ctest -L concurrency --no-tests=error --output-on-failure -j"$(nproc)" \
        --timeout 900)
fi
