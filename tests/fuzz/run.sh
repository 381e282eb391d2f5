#!/usr/bin/env bash
# Configures and builds the libFuzzer targets (clang-14, AddressSanitizer and UndefinedBehaviorSanitizer,
# assertions compiled out) and runs each one for a bounded time, starting from its seed corpus in
# tests/fuzz/corpus/<target>/. New inputs and findings go to a temporary folder; the checked-in corpus is
# only read. Prints the executions per target; exits non-zero on any finding (crash, sanitizer report,
# broken property, timeout, out-of-memory).
#
# Usage: tests/fuzz/run.sh [--regress] [seconds per target, default 30]
#   --regress  only replays every corpus input once (a quick regression run, no fuzzing)
# Environment: ZR_FUZZ_BUILD_DIR (default build/fuzz), ZR_FUZZ_JOBS (build jobs, default 2).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${ZR_FUZZ_BUILD_DIR:-$root/build/fuzz}
jobs=${ZR_FUZZ_JOBS:-2}
regress=0
if [ "${1:-}" = "--regress" ]; then
    regress=1
    shift
fi
seconds=${1:-30}

for tool in clang-14 clang++-14; do
    if ! command -v "$tool" >/dev/null; then
        echo "$tool is missing (apt-get install clang-14 libclang-rt-14-dev): skipped"
        exit 77
    fi
done

cmake -S "$root" --preset fuzz -B "$build" >/dev/null || exit 1
cmake --build "$build" --target fuzzers -j "$jobs" >/dev/null || {
    echo "building the fuzz targets failed; rerun: cmake --build $build --target fuzzers" >&2
    exit 1
}

targets=(chunk_text set_chunk host_calls fx_preset lv2 clap_state)
work=$(mktemp -d "${TMPDIR:-/tmp}/zr-fuzz.XXXXXX")
failed=()
total=0
summary=()

for target in "${targets[@]}"; do
    binary="$build/tests/fuzz/fuzz_$target"
    corpus="$root/tests/fuzz/corpus/$target"
    if [ ! -x "$binary" ]; then
        echo "=== $target: not built (the render tool's library is missing?)"
        failed+=("$target")
        continue
    fi
    case "$target" in
    chunk_text | set_chunk | lv2 | clap_state) dict=(-dict="$root/tests/fuzz/chunk.dict") ;;
    fx_preset) dict=(-dict="$root/tests/fuzz/fx_preset.dict") ;;
    *) dict=() ;;
    esac
    mkdir -p "$work/$target/new" "$work/$target/findings"
    log="$work/$target/log"
    echo "=== $target"
    if [ $regress -eq 1 ]; then
        "$binary" -timeout=10 -print_final_stats=1 -artifact_prefix="$work/$target/findings/" "$corpus"/* \
            >"$log" 2>&1
    else
        # Timeout per input 10 s (the slowest seen is far below 1 s); memory limit per process 2 GB.
        "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
            -artifact_prefix="$work/$target/findings/" "${dict[@]}" "$work/$target/new" "$corpus" >"$log" 2>&1
    fi
    status=$?
    if [ $regress -eq 1 ]; then
        executions=$(grep -c '^Executed ' "$log")
    else
        executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    fi
    executions=${executions:-0}
    total=$((total + executions))
    findings=$(find "$work/$target/findings" -type f | wc -l)
    if [ $status -ne 0 ] || [ "$findings" -gt 0 ]; then
        failed+=("$target")
        summary+=("$(printf '%-12s %12s executions  FINDING (exit %d)' "$target" "$executions" "$status")")
        grep -E 'ERROR: |runtime error|Property "|SUMMARY|Test unit written' "$log" | head -20
        echo "log: $log; inputs: $work/$target/findings/ (once the fault is fixed, add the input to $corpus/)"
    else
        summary+=("$(printf '%-12s %12s executions  ok' "$target" "$executions")")
    fi
done

echo
printf '%s\n' "${summary[@]}"
printf '%-12s %12s executions\n' total "$total"
if [ ${#failed[@]} -gt 0 ]; then
    echo "findings in: ${failed[*]} (kept in $work)"
    exit 1
fi
rm -rf "$work"
