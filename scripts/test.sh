#!/usr/bin/env bash
# Installs what is missing, builds Tavrin Client and runs the whole test suite twice: once in
# a normal build and once in a clang build with AddressSanitizer and UndefinedBehaviorSanitizer,
# which also runs every fuzz target for a while. Exits non-zero on any failure.
#
#   scripts/test.sh            everything
#   TAVRIN_QUICK=1 scripts/test.sh   the normal build only (no sanitizers, no fuzzing)
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

scripts/install-deps.sh

jobs="$(nproc 2>/dev/null || echo 2)"
fuzz_seconds="${TAVRIN_FUZZ_SECONDS:-30}"
launcher=()
if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

run_suite() {
    local dir="$1"
    shift
    echo "=== configure $dir"
    cmake -S "$root" -B "$dir" "${launcher[@]}" "$@"
    echo "=== build $dir"
    cmake --build "$dir" -j "$jobs"
    echo "=== test $dir"
    (cd "$dir" && ctest --output-on-failure -j "$jobs")
}

run_suite "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo

if [ -n "${TAVRIN_QUICK:-}" ]; then
    exit 0
fi

# intercept_strndup=0: the keyboard library of the X platform plugin calls strndup() on names
# that are not terminated within their buffer, which strict string checks report as overflows.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:intercept_strndup=0:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
run_suite "$root/build-sanitize" -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DTAVRIN_SANITIZE=ON -DTAVRIN_FUZZ=ON -DTAVRIN_BENCH=OFF

echo "=== fuzz (${fuzz_seconds}s per target)"
shopt -s nullglob
for target in "$root"/build-sanitize/fuzz/fuzz_*; do
    [ -f "$target" ] && [ -x "$target" ] || continue
    name="$(basename "$target")"
    corpus="$root/build-sanitize/fuzz/corpus-$name"
    mkdir -p "$corpus"
    seeds=()
    if [ -d "$root/fuzz/seeds/$name" ]; then
        seeds=("$root/fuzz/seeds/$name")
    fi
    echo "--- $name"
    "$target" -max_total_time="$fuzz_seconds" -print_final_stats=1 \
        -artifact_prefix="$root/build-sanitize/fuzz/$name-" "$corpus" "${seeds[@]}"
done
echo "=== all tests passed"
