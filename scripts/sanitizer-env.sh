# Sourced by the sanitizer and fuzz scripts, from the top of the tree: the run-time options that
# make every sanitizer report fail the program that made it, and the configuration of a
# sanitized build with clang.
asan="halt_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1"
export ASAN_OPTIONS="$asan${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
tsan="halt_on_error=1:exitcode=66:second_deadlock_stack=1:suppressions=$PWD/scripts/tsan.supp"
# Readable stacks in reports: the symbolizer of the clang the builds use.
symbolizer=/usr/lib/llvm-14/bin/llvm-symbolizer
if [ -x "$symbolizer" ]; then
    export ASAN_SYMBOLIZER_PATH="$symbolizer"
    tsan="$tsan:external_symbolizer_path=$symbolizer"
fi
export TSAN_OPTIONS="$tsan${TSAN_OPTIONS:+:$TSAN_OPTIONS}"

# configure_sanitized BUILD_DIR SANITIZERS [CMAKE_ARGS...]
configure_sanitized() {
    local dir="$1" sanitize="$2"
    shift 2
    local launcher=()
    if command -v ccache >/dev/null; then
        launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    fi
    CC=clang-14 CXX=clang++-14 cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVANTREL_SANITIZE="$sanitize" "${launcher[@]}" "$@" >/dev/null
}
