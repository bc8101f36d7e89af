#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang (address and undefined-behaviour sanitizers) and runs
# each for QUORVEL_FUZZ_SECONDS (default 30 for the memory-point, DMS and path harnesses, and 96 s
# shared among the map readers, one a row of the format table) from a copy of its checked-in
# corpus, so the corpus in the tree does not grow. Any crash, sanitizer report or failed check
# fails the run.
# QUORVEL_FUZZ_BUILD names the build folder (default build/fuzz).
set -uo pipefail
cd "$(dirname "$0")/../.."
bash scripts/deps.sh fuzz >/dev/null || exit 1

# The fuzz preset: clang, the fuzzer's instrumentation and both sanitizers over the whole tree.
build=${QUORVEL_FUZZ_BUILD:-build/fuzz}
# A folder configured with another compiler would be reset by CMake, options and all.
if [ -f "$build/CMakeCache.txt" ] && ! grep -qE '^CMAKE_CXX_COMPILER:[A-Z]*=(.*/)?clang\+\+-14$' "$build/CMakeCache.txt"; then
    rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles"
fi
cmake --preset fuzz -B "$build" >/dev/null || exit 1
# The map readers: the format table's rows, as the configure found them.
readers=$(cat "$build/fuzz/map-readers.txt") || exit 1
cmake --build "$build" -j2 --target quorvel-fuzz-convert quorvel-fuzz-dms quorvel-fuzz-path \
    $(printf 'quorvel-fuzz-%s ' $readers) || exit 1

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-fuzz-XXXXXX")
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

failed=0
ran=0
# harness, the longest input worth trying (a file one byte over the size, a DMS text, a path; a map
# document as long as the deepest and longest seeds) and the default seconds.
entries="convert:10900:30 dms:64:30 path:1024:30"
set -- $readers
share=$((96 / $#))
extra=$((96 % $#))
for reader in $readers; do
    entries="$entries $reader:300000:$((share + (extra > 0)))"
    extra=$((extra - 1))
done
for entry in $entries; do
    IFS=: read -r harness max_len default_seconds <<<"$entry"
    seconds=${QUORVEL_FUZZ_SECONDS:-$default_seconds}
    ran=$((ran + 1))
    mkdir -p "$work/$harness/corpus" "$work/$harness/artifacts"
    cp fuzz/corpus/"$harness"/* "$work/$harness/corpus/"
    # The map readers get a stack of 1 MB, nearer a browser's for the page's WebAssembly than 8 MB:
    # recursion on an input's nesting then ends the stack at the depth a seed of 300,000 bytes has.
    stack=$(ulimit -s)
    case " $readers " in *" $harness "*) stack=1024 ;; esac
    (ulimit -s "$stack" && exec "$build/fuzz/quorvel-fuzz-$harness" -max_total_time="$seconds" -max_len="$max_len" \
        -timeout=10 -print_final_stats=1 -artifact_prefix="$work/$harness/artifacts/" "$work/$harness/corpus") \
        >"$work/$harness.log" 2>&1
    status=$?
    summary=$(grep -E '^#[0-9]+' "$work/$harness.log" | tail -n1)
    speed=$(grep -E '^stat::average_exec_per_sec' "$work/$harness.log" | awk '{print $2}')
    if [ "$status" -ne 0 ] || ls "$work/$harness/artifacts/"* >/dev/null 2>&1; then
        echo "FAIL $harness (status $status):"
        grep -E 'ERROR|check failed|runtime error|SUMMARY' "$work/$harness.log" | head -n 20
        for artifact in "$work/$harness/artifacts/"*; do
            [ -e "$artifact" ] || continue
            mkdir -p "$build/fuzz-artifacts"
            cp "$artifact" "$build/fuzz-artifacts/"
            echo "  input kept as $build/fuzz-artifacts/$(basename "$artifact")"
        done
        failed=$((failed + 1))
    else
        echo "ok   $harness: ${seconds}s, ${speed:-?} exec/s; last: $summary"
    fi
done
echo "$((ran - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
