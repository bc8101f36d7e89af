#!/usr/bin/env bash
# Performance figures: the in-memory benchmarks, then whole processes timed with hyperfine and
# /usr/bin/time -v: quorvel-cli on a 100-point file against the process floor and against
# gpsbabel turning the same 100 points from CSV into GPX, and a batch of 1,000 files on /dev/shm.
# QUORVEL_BENCH_BUILD names a release build folder (default build/release).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
quorvel_need hyperfine gpsbabel time libbenchmark-dev >/dev/null
build=${QUORVEL_BENCH_BUILD:-build/release}
cmake --preset release -B "$build" >/dev/null
cmake --build "$build" -j2 --target quorvel-bench quorvel-cli quorvel-process-floor >/dev/null

echo "== machine"
echo "nproc $(nproc); $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"

echo "== in memory"
"$build/bench/quorvel-bench" --benchmark_min_time=1

base=/dev/shm
[ -d "$base" ] && [ -w "$base" ] || base=${TMPDIR:-/tmp}
work=$(mktemp -d "$base/quorvel-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
cp fuzz/corpus/convert/hundred-points "$work/points.mem"  # 100 points, made by our seed generator
cli="$build/cli/quorvel-cli"
floor="$build/tools/quorvel-process-floor"
"$cli" "$work/points.mem" -o "$work/points.xml" >/dev/null
# The same points as CSV for gpsbabel, taken from the document just written.
{
    echo "lat,lon,name"
    tr -d '\r' <"$work/points.xml" | awk -F'[<>]' '/<lat>/{lat=$3} /<lon>/{lon=$3} /<nb>/{n++; print lat "," lon ",p" n}'
} >"$work/points.csv"
echo "points in the CSV: $(($(wc -l <"$work/points.csv") - 1))"

echo "== whole processes (${base})"
hyperfine -N --warmup 20 --runs 300 \
    -n quorvel-cli "$cli $work/points.mem -o $work/out.xml" \
    -n process-floor "$floor $work/points.mem $work/floor.xml" \
    -n gpsbabel "gpsbabel -i unicsv -f $work/points.csv -o gpx -F $work/out.gpx"
for program in "$cli $work/points.mem -o $work/out.xml" "$floor $work/points.mem $work/floor.xml"; do
    /usr/bin/time -v $program 2>&1 >/dev/null | grep -E 'Maximum resident|Elapsed' | sed "s|^|${program%% *}: |"
done

echo "== batch of 1,000 files in one call"
mkdir -p "$work/batch"
for i in $(seq -w 1 1000); do cp "$work/points.mem" "$work/batch/p$i.mem"; done
start=$(date +%s.%N)
"$cli" "$work"/batch/*.mem >/dev/null
end=$(date +%s.%N)
echo "1000 files in $(echo "$end - $start" | bc) s: $(echo "1000 / ($end - $start)" | bc) files/s"
/usr/bin/time -v "$cli" "$work"/batch/*.mem 2>&1 >/dev/null | grep -E 'Maximum resident|Elapsed'
