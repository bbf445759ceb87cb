#!/usr/bin/env bash
# Configures and builds everything into build/ (or $VANTREL_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${VANTREL_BUILD_DIR:-build}"
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
