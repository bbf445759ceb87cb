#!/usr/bin/env bash
# Runs every fuzz target (or the ones named) for SECONDS each, as many at once as there are
# cores, in the AddressSanitizer build build-asan/. Each starts from its committed seeds and kept
# crash inputs and adds what it learns to build-asan/fuzzing/<target>/corpus/, which later runs go
# on from. A finding fails the run; its input lands in build-asan/fuzzing/<target>/findings/.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]    (default 60 seconds, every target)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/sanitizer-env.sh

seconds="${1:-60}"
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(form_decoding windows_paths wildcard zip_listing zip_repair)
fi

configure_sanitized build-asan address,undefined -DVANTREL_FUZZ=ON
cmake --build build-asan -j"$(nproc)" --target "${targets[@]/#/fuzz_}"

# Runs one target; its exit status lands in build-asan/fuzzing/<target>/status.
run_target() {
    local target="$1" work="build-asan/fuzzing/$1" status=0
    mkdir -p "$work/corpus" "$work/findings"
    local seeds=("fuzz/corpus/$target")
    [ -d "fuzz/crashes/$target" ] && seeds+=("fuzz/crashes/$target")
    build-asan/bin/fuzz_"$target" -max_total_time="$seconds" -timeout=20 -print_final_stats=1 \
        -artifact_prefix="$work/findings/" "$work/corpus" "${seeds[@]}" >"$work/log" 2>&1 ||
        status=$?
    echo "$status" >"$work/status"
}

running=0
for target in "${targets[@]}"; do
    if [ "$running" -ge "$(nproc)" ]; then
        wait -n || true
        running=$((running - 1))
    fi
    echo "fuzzing $target for ${seconds}s"
    rm -f "build-asan/fuzzing/$target/status"
    run_target "$target" &
    running=$((running + 1))
done
wait

failed=()
for target in "${targets[@]}"; do
    work="build-asan/fuzzing/$target"
    if [ "$(cat "$work/status" 2>/dev/null)" = 0 ]; then
        echo "$target: $(grep -E '^stat::number_of_executed_units' "$work/log" | tr -s ' ')"
    else
        failed+=("$target")
        echo "=== $target found a fault; its input is in $work/findings/"
        tail -n 60 "$work/log"
    fi
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "Fuzzing found faults in: ${failed[*]}"
    echo "Fix each, then keep its input in fuzz/crashes/<target>/ as a regression test."
    exit 1
fi
