# Sourced by the sanitizer and fuzz scripts: the compiler and the run-time options that make
# every sanitizer report fail the program that made it.
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
# Readable stacks in reports: the symbolizer of the clang the builds use.
if [ -x /usr/lib/llvm-14/bin/llvm-symbolizer ]; then
    export ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-14/bin/llvm-symbolizer
    export TSAN_OPTIONS="external_symbolizer_path=$ASAN_SYMBOLIZER_PATH${TSAN_OPTIONS:+:$TSAN_OPTIONS}"
fi
export TSAN_OPTIONS="halt_on_error=1:exitcode=66:second_deadlock_stack=1:suppressions=$PWD/scripts/tsan.supp${TSAN_OPTIONS:+:$TSAN_OPTIONS}"

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
