#!/usr/bin/env bash
# Performance figures: the in-memory benchmarks, then whole processes timed with hyperfine and
# /usr/bin/time -v: quorvel-cli on a 100-point file against the process floor and against
# gpsbabel turning the same 100 points from CSV into GPX, and a batch of 1,000 files on /dev/shm;
# then the datum shift: in memory, against Helmert, 100 points to GPX, 100,000 waypoints to glorie.
# QUORVEL_BENCH_BUILD names a release build folder (default build/release).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
quorvel_need hyperfine gpsbabel time libbenchmark-dev >/dev/null
build=${QUORVEL_BENCH_BUILD:-build/release}
cmake --preset release -B "$build" >/dev/null
cmake --build "$build" -j2 --target quorvel-bench quorvel-cli quorvel-process-floor \
    quorvel-bench-shift quorvel-datum-compare quorvel-make-big-gpx >/dev/null

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
floor="$build/tests/tools/quorvel-process-floor"
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

echo "== datum shift in memory"
"$build/bench/quorvel-bench-shift" --benchmark_min_time=1

echo "== Helmert against the grid"
"$build/bench/quorvel-datum-compare"

echo "== 100 points to GPX against the same to glorie"
# Places of one region (around Tokyo, 0.9 by 1.0 degrees), as a driver keeps them.
awk 'BEGIN { srand(7); print "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
    print "<gpx version=\"1.1\" creator=\"bench\" xmlns=\"http://www.topografix.com/GPX/1/1\">";
    for (i = 0; i < 100; i++) printf "<wpt lat=\"%.6f\" lon=\"%.6f\"><name>p%d</name></wpt>\n", 35.3 + rand() * 0.9, 139.2 + rand(), i;
    print "</gpx>" }' >"$work/region.gpx"
"$cli" "$work/region.gpx" --to mem --reading none -o "$work/region.mem" >/dev/null 2>&1
hyperfine -N --warmup 20 --runs 300 \
    -n "region to glorie" "$cli $work/region.mem -o $work/region.xml" \
    -n "region to gpx" "$cli $work/region.mem -o $work/region.gpx" \
    -n "spread to gpx" "$cli $work/points.mem -o $work/points.gpx"

echo "== 100,000 waypoints into glorie documents"
"$build/tests/tools/quorvel-make-big-gpx" 100000 "$work/big.gpx"
mkdir -p "$work/big"
/usr/bin/time -v "$cli" "$work/big.gpx" -d "$work/big" 2>&1 >/dev/null | grep -E 'Maximum resident|Elapsed|Exit status'
echo "documents written: $(ls "$work/big" | wc -l)"
