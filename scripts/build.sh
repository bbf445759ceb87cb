#!/usr/bin/env bash
# Configures and builds into build/ (or $VANTREL_BUILD_DIR): everything, tests included, or with
# "serve" only the programs and the libraries they load (the web host, the component, the zip
# library and the dialog). A build folder that "serve" configures first has no tests; a later
# build of everything turns them on there.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${VANTREL_BUILD_DIR:-build}"
what="${1:-all}"
settings=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if command -v ccache >/dev/null; then
    settings+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
case "$what" in
    all)
        cmake -S . -B "$build_dir" "${settings[@]}" -DVANTREL_TESTS=ON >/dev/null
        cmake --build "$build_dir" -j"$(nproc)"
        ;;
    serve)
        if [ ! -f "$build_dir/CMakeCache.txt" ]; then
            cmake -S . -B "$build_dir" "${settings[@]}" -DVANTREL_TESTS=OFF >/dev/null
        fi
        cmake --build "$build_dir" -j"$(nproc)" --target vantrel-host vantrelsec
        ;;
    *)
        echo "usage: $0 [all|serve]" >&2
        exit 2
        ;;
esac
