#!/bin/bash
# Short fuzz pass for CI: build the targets, replay the seed corpus, then fuzz each target for a
# fixed time. Any crash, leak or sanitizer report fails the run.
#   fuzz/ci-short.sh [build-dir]      (default: build-fuzz beside fuzz/)
# FUZZ_SECONDS overrides the 30 s per target.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${1:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-30}
if ! command -v clang++-14 >/dev/null ||
    [ ! -e /usr/lib/clang/14/lib/linux/libclang_rt.fuzzer-x86_64.a ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq && apt-get install -y -qq clang libclang-rt-14-dev >/dev/null || true
fi
cxx=$(command -v clang++-14 || command -v clang++ || true)
if [ -z "$cxx" ]; then
    echo "fuzz: clang++ not found (apt-get install clang libclang-rt-14-dev)" >&2
    exit 1
fi

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" >/dev/null
cmake --build "$build" -j2

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
for target in health_report server_profiles settings_file; do
    binary=$build/fuzz_$target
    seeds=$here/corpus/$target
    # New inputs go to a scratch dir: CI never changes the checked-in corpus.
    mkdir -p "$work/$target"
    echo "== fuzz_$target: replay $(ls "$seeds" | wc -l) seeds, then ${seconds}s"
    if "$binary" -runs=0 "$seeds" >"$work/$target.replay.log" 2>&1 &&
        "$binary" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
            -artifact_prefix="$work/$target-" "$work/$target" "$seeds" \
            >"$work/$target.log" 2>&1; then
        grep -E '^#[0-9]+.*DONE' "$work/$target.log" || true
        passed=$((passed + 1))
    else
        echo "fuzz_$target FAILED:" >&2
        tail -60 "$work/$target.replay.log" "$work/$target.log" >&2 || true
        for artifact in "$work/$target-"*; do
            [ -e "$artifact" ] || continue
            echo "crashing input ($artifact), base64:" >&2
            base64 "$artifact" | head -c 4000 >&2
            echo >&2
        done
        failed=$((failed + 1))
    fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
