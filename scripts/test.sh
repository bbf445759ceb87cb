#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: unit tests, the dialog's tests on Qt's
# offscreen platform, and the browser tests in headless chromium.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
build_dir="${VANTREL_BUILD_DIR:-build}"
cd "$build_dir"
ctest --output-on-failure -j"$(nproc)" --timeout 900 "$@"
