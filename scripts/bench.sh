#!/usr/bin/env bash
# Performance figures: the in-memory benchmarks, then whole processes timed with hyperfine and
# /usr/bin/time -v: quorvel-cli on a 100-point file against the process floor and against
# gpsbabel turning the same 100 points from CSV into GPX, and a batch of 1,000 files on /dev/shm;
# then the datum shift: in memory, against Helmert, 100 points to GPX (and, interleaved with the
# floor and another build, .mem to glorie and to GPX), 100,000 waypoints to glorie.
# Last, large inputs (`scripts/bench.sh large` runs that part alone) and the web page in headless
# Chromium (`scripts/bench.sh web`).
# QUORVEL_BENCH_BUILD names a release build folder (default build/release); QUORVEL_BENCH_DIR the
# folder the files are made in (default /dev/shm; `scripts/bench.sh sets` runs on a disk, /var/tmp).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
scripts/deps.sh native

# The page's start, 100 points listed and converted, 100,000 waypoints, panning: WORK holds
# points.mem and big.gpx.
web_bench() {
    quorvel_need chromium emscripten nodejs >/dev/null
    scripts/deps.sh web
    cmake --preset web >/dev/null
    cmake --build --preset web >/dev/null
    (cd ui/web && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error >/dev/null)
    echo "== web page (headless Chromium)"
    node ui/web/test/web-bench.mjs "$PWD/build/web/quorvel.html" "$1/points.mem" "$1/big.gpx"
    # Beside another build of the page (QUORVEL_BENCH_BASE_PAGE, e.g. a copy of main's), alternately:
    # the 100,000 waypoints chosen at once, then once the page has loaded MeCab's dictionary.
    if [ -n "${QUORVEL_BENCH_BASE_PAGE:-}" ]; then
        echo "== 100,000 waypoints, this page and $QUORVEL_BENCH_BASE_PAGE alternately (load $(cut -d' ' -f1-3 /proc/loadavg))"
        node ui/web/test/web-bench-side.mjs --runs 5 "$1/big.gpx" "base=$QUORVEL_BENCH_BASE_PAGE" "this=$PWD/build/web/quorvel.html"
        node ui/web/test/web-bench-side.mjs --runs 2 --dictionary "$1/big.gpx" "base=$QUORVEL_BENCH_BASE_PAGE" "this=$PWD/build/web/quorvel.html"
    fi
}
# The 100,000-waypoint GPX into glorie documents (and gpsbabel turning it into CSV, the time to
# compare with), then large inputs against 3 times their size plus 30 MB of peak memory. Made here: a CSV of 1,050,000 short lines, the GPX of 185,000
# waypoints, a CP932 CSV, a UTF-16 text, a 40,000-point glorie document, a 30 MB name (the
# reading guesser sees only the unit's 16 bytes of it), a GeoJSON coordinate nested 100,000 deep.
# CLI and WORK: the converter and a folder for the files.
large_bench() {
    local cli=$1 work=$2 maker=$3
    echo "== 100,000 waypoints into glorie documents"
    "$maker" 100000 "$work/big.gpx"
    for reading in "" "--reading none"; do
        rm -rf "$work/big"; mkdir -p "$work/big"
        /usr/bin/time -v "$cli" "$work/big.gpx" -d "$work/big" $reading 2>&1 >/dev/null |
            grep -E 'Maximum resident|Elapsed|User time|System time|Exit status' | sed "s|^|${reading:-readings guessed}: |"
        echo "documents written: $(ls "$work/big" | wc -l)"
    done
    # The same waypoints from GPX to CSV by gpsbabel, the time to beat by half.
    /usr/bin/time -v gpsbabel -i gpx -f "$work/big.gpx" -o unicsv -F "$work/big-gpsbabel.csv" 2>&1 >/dev/null |
        grep -E 'Maximum resident|Elapsed|User time|System time' | sed "s|^|gpsbabel GPX to CSV: |"
    # The same side by side, interleaved (each round runs every command once, so the shared
    # machine's load falls on all alike), gpsbabel first so that every figure is also given against
    # it: the target is half of its time or less. QUORVEL_BENCH_BASE names another release build
    # folder (today's main) to run in the same rounds; QUORVEL_BENCH_LARGE_ROUNDS the rounds (20).
    echo "== 100,000 waypoints interleaved, against gpsbabel turning them into CSV"
    rm -rf "$work/big" "$work/big-base"; mkdir -p "$work/big" "$work/big-base"
    local runs=("gpsbabel=$(command -v gpsbabel) -i gpx -f $work/big.gpx -o unicsv -F $work/big-gpsbabel.csv"
                "guessed=$cli $work/big.gpx -d $work/big"
                "none=$cli $work/big.gpx -d $work/big --reading none")
    if [ -n "${QUORVEL_BENCH_BASE:-}" ]; then
        runs+=("base-guessed=$QUORVEL_BENCH_BASE/cli/quorvel-cli $work/big.gpx -d $work/big-base"
               "base-none=$QUORVEL_BENCH_BASE/cli/quorvel-cli $work/big.gpx -d $work/big-base --reading none")
    fi
    python3 scripts/interleave.py "${QUORVEL_BENCH_LARGE_ROUNDS:-20}" "${runs[@]}"
    # Instructions, which the machine's load does not change (QUORVEL_BENCH_CALLGRIND=1; a run
    # under callgrind takes some 20 s): each build's total, readings guessed and not.
    if [ -n "${QUORVEL_BENCH_CALLGRIND:-}" ]; then
        quorvel_need valgrind >/dev/null
        local builds=("this=$cli") entry reading
        [ -n "${QUORVEL_BENCH_BASE:-}" ] && builds+=("base=$QUORVEL_BENCH_BASE/cli/quorvel-cli")
        for entry in "${builds[@]}"; do
            for reading in "" "--reading none"; do
                rm -rf "$work/big"; mkdir -p "$work/big"
                # shellcheck disable=SC2086  # the option is words of its own
                valgrind --tool=callgrind --dump-instr=no --callgrind-out-file="$work/callgrind.out" "${entry#*=}" "$work/big.gpx" -d "$work/big" $reading >/dev/null 2>&1
                echo "${entry%%=*}, ${reading:-readings guessed}: $(callgrind_annotate "$work/callgrind.out" 2>/dev/null | awk '/PROGRAM TOTALS/ {print $1; exit}') instructions"
            done
        done
    fi

    echo "== large inputs: peak memory against 3 times the input plus 30 MB"
    awk 'BEGIN { print "name,lat,lon"; for (i = 0; i < 1050000; i++) printf "p%d,%.6f,%.6f\n", i, 35.6 + (i % 1000) / 20000, 139.5 + (i % 997) / 10000 }' >"$work/big.csv"
    "$maker" 185000 "$work/big31.gpx"
    awk 'BEGIN { print "名称,緯度,経度"; for (i = 0; i < 950000; i++) printf "東京%d,%.6f,%.6f\r\n", i, 35.6 + (i % 1000) / 20000, 139.5 + (i % 997) / 10000 }' |
        iconv -f UTF-8 -t CP932 >"$work/cp932.csv"
    awk 'BEGIN { print "名前\t緯度\t経度"; for (i = 0; i < 520000; i++) printf "駅%d\t%.6f\t%.6f\r\n", i, 35.6 + (i % 1000) / 20000, 139.5 + (i % 997) / 10000 }' |
        iconv -f UTF-8 -t UTF-16 >"$work/utf16.txt"
    awk 'BEGIN { print "<?xml version=\"1.0\" encoding=\"Shift_JIS\" ?>\n<glorie version=\"1.0\">";
        for (i = 0; i < 40000; i++) printf "<gpoi><poi><point><pos><lat>%.5f</lat><lon>%.5f</lon></pos></point><name><nb>p%d</nb></name></poi></gpoi>\n", 35.6 + (i % 1000) / 20000, 139.5 + (i % 997) / 10000, i;
        print "</glorie>" }' >"$work/glorie40k.xml"
    { printf 'name,lat,lon\n"'; head -c 10000000 /dev/zero | tr '\0' 'a' | sed 's/a/東/g'; printf '",35.6,139.7\n'; } >"$work/name30.csv"
    { printf '{"type":"Feature","geometry":{"type":"Point","coordinates":[1,'; head -c 100000 /dev/zero | tr '\0' '['; printf 2;
      head -c 100000 /dev/zero | tr '\0' ']'; printf ']}}'; } >"$work/deep.geojson"
    # Hostile ones: a row of 30,000,000 separators, 30 MB of "[", a name of arrays nested 10,000,000
    # deep, 3,100,000 rows of a point each ("35.1,139"), a GPX whose <metadata> nests 200,000 deep.
    { printf 'lat;lon\n'; head -c 30000000 /dev/zero | tr '\0' ';'; printf '\n35,6;139,7\n'; } >"$work/semicolons.csv"
    head -c 30000000 /dev/zero | tr '\0' '[' >"$work/brackets.geojson"
    { printf '{"type":"Feature","geometry":{"type":"Point","coordinates":[139.7,35.6]},"properties":{"name":';
      head -c 10000000 /dev/zero | tr '\0' '['; head -c 10000000 /dev/zero | tr '\0' ']'; printf '}}'; } >"$work/deepname.geojson"
    awk 'BEGIN { print "lat,lon"; for (i = 0; i < 3100000; i++) printf "%.1f,%d\n", 35 + (i % 10) / 10, 139 }' >"$work/tiny.csv"
    { printf '<gpx>\n<metadata>'; head -c 200000 /dev/zero | tr '\0' 'a' | sed 's|a|<a>|g'
      head -c 200000 /dev/zero | tr '\0' 'a' | sed 's|a|</a>|g'
      printf '</metadata>\n<wpt lat="35.6" lon="139.7"><name>p</name></wpt></gpx>\n'; } >"$work/deep.gpx"
    # Documents of tiny elements, each near the 32 MB an input may have: 1,280,000 bare waypoints,
    # 460,000 placemarks of a point only, a glorie document of 280,000 points.
    awk 'BEGIN { print "<gpx>"; for (i = 0; i < 1280000; i++) print "<wpt lat=\"35\" lon=\"139\"/>"; print "</gpx>" }' >"$work/tinywpt.gpx"
    awk 'BEGIN { print "<kml><Document>"; for (i = 0; i < 460000; i++) print "<Placemark><Point><coordinates>139,35</coordinates></Point></Placemark>";
        print "</Document></kml>" }' >"$work/tinyplacemarks.kml"
    awk 'BEGIN { print "<?xml version=\"1.0\" encoding=\"Shift_JIS\" ?>\n<glorie version=\"1.0\">";
        for (i = 0; i < 280000; i++) printf "<gpoi><poi><point><pos><lat>%.5f</lat><lon>%.5f</lon></pos></point><name><nb>p%d</nb></name></poi></gpoi>\n", 35.6 + (i % 1000) / 20000, 139.5 + (i % 997) / 10000, i;
        print "</glorie>" }' >"$work/glorie280k.xml"
    # Rows shorter still: 4,600,000 of 7 bytes ("35,139").
    awk 'BEGIN { print "lat,lon"; for (i = 0; i < 4600000; i++) print "35,139" }' >"$work/seven.csv"
    # And of 4 bytes ("1,2"), 7,000,000 of them: outside Japan, a warning each into glorie.
    awk 'BEGIN { print "lat,lon"; for (i = 0; i < 7000000; i++) print "1,2" }' >"$work/four.csv"
    # Without a header, a point and then 30,000,000 separators, or 15,000,000 numbers; a first line
    # of separators alone. Lists of readings (counted with the input): 59 MB (refused), 30 MB of
    # lines, of shorter lines, one 20 MB name.
    { printf '35.6,139.7'; head -c 30000000 /dev/zero | tr '\0' ','; printf '\n'; } >"$work/pointseps.csv"
    { printf '35.6,139.7,'; head -c 15000000 /dev/zero | tr '\0' 'a' | sed 's/a/1,/g'; printf '\n35,139\n'; } >"$work/pointnums.csv"
    { head -c 30000000 /dev/zero | tr '\0' ','; printf '\n35.6,139.7\n'; } >"$work/firstseps.csv"
    awk 'BEGIN { for (i = 0; i < 2500000; i++) printf "地名%d,ちめい\n", i }' >"$work/readings60.csv"
    awk 'BEGIN { for (i = 0; i < 1300000; i++) printf "地名%d,ちめい\n", i }' >"$work/readings30.csv"
    awk 'BEGIN { for (i = 0; i < 2600000; i++) printf "%d,ｱ\n", i }' >"$work/readings30s.csv"
    { head -c 20000000 /dev/zero | tr '\0' 'a'; printf ',ｱ\n'; } >"$work/name20.csv"
    awk 'BEGIN { print "<gpx>"; for (i = 0; i < 5; i++) printf "<wpt lat=\"35.%d\" lon=\"139.7\"><name>地名%d</name></wpt>\n", i, i; print "</gpx>" }' >"$work/five.gpx"
    for run in "big.csv --to glorie --reading none" "big.csv --to gpx" "big31.gpx --to glorie --reading none" \
               "big31.gpx --to gpx" "cp932.csv --to gpx" "cp932.csv --to mem --reading none" "utf16.txt --to gpx" \
               "glorie40k.xml --to gpx" "name30.csv --to glorie" "deep.geojson --to gpx" \
               "semicolons.csv --to gpx" "brackets.geojson --to gpx" "deepname.geojson --to gpx" "tiny.csv --to gpx" \
               "deep.gpx --to kml" "tinywpt.gpx --to gpx" "tinyplacemarks.kml --to gpx" "glorie280k.xml --to gpx" \
               "tiny.csv --to glorie --reading none" "seven.csv --to gpx" "seven.csv --to glorie --reading none" \
               "four.csv --to gpx" "four.csv --to glorie --reading none" "pointseps.csv --to gpx" "pointnums.csv --to gpx" \
               "firstseps.csv --to gpx" \
               "five.gpx --readings readings60.csv" "five.gpx --readings readings30.csv" \
               "five.gpx --readings readings30s.csv" "five.gpx --readings name20.csv"; do
        input=${run%% *}
        options=${run#* }
        rm -rf "$work/big"; mkdir -p "$work/big"
        size=$(stat -c %s "$work/$input")
        # A list of readings is read whole like an input: counted with it.
        if [[ $options =~ --readings\ ([^ ]+) ]]; then
            size=$((size + $(stat -c %s "$work/${BASH_REMATCH[1]}")))
            options=${options//--readings /--readings $work/}
        fi
        # shellcheck disable=SC2086  # the options are words of their own
        /usr/bin/time -v "$cli" "$work/$input" $options -d "$work/big" >/dev/null 2>"$work/time.txt" || true
        rss=$(awk -F': ' '/Maximum resident/ {print $2}' "$work/time.txt")
        elapsed=$(awk -F': ' '/Elapsed/ {print $2}' "$work/time.txt")
        cpu=$(awk -F': ' '/User time|System time/ {t += $2} END {printf "%.2f", t}' "$work/time.txt")
        echo "$run: $((size / 1024)) KiB in, ${rss} KiB peak (limit $((size * 3 / 1024 + 30720)) KiB), ${elapsed}, CPU ${cpu} s, $(ls "$work/big" | wc -l) files"
    done
}
# The speed of writing sets on a disk, where every member's sync waits for it: 100 points of a
# .mem into glorie and GPX against the durable writer's floor and gpsbabel turning them from CSV
# into GPX, then 100,000 waypoints into 143 glorie documents against gpsbabel's GPX → CSV, and
# their peak memory. QUORVEL_BENCH_BASE (another release build folder) runs in the same rounds.
sets_bench() {
    local build=$1 work=$2 base=${QUORVEL_BENCH_BASE:-}
    local cli=$build/cli/quorvel-cli floor=$build/tests/tools/quorvel-process-floor
    cp fuzz/corpus/convert/hundred-points "$work/points.mem"
    "$cli" "$work/points.mem" -o "$work/points.xml" >/dev/null 2>&1
    { echo "lat,lon,name"; tr -d '\r' <"$work/points.xml" | awk -F'[<>]' '/<lat>/{lat=$3} /<lon>/{lon=$3} /<nb>/{n++; print lat "," lon ",p" n}'; } >"$work/points.csv"
    awk 'BEGIN { srand(7); print "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
        print "<gpx version=\"1.1\" creator=\"bench\" xmlns=\"http://www.topografix.com/GPX/1/1\">";
        for (i = 0; i < 100; i++) printf "<wpt lat=\"%.6f\" lon=\"%.6f\"><name>p%d</name></wpt>\n", 35.3 + rand() * 0.9, 139.2 + rand(), i;
        print "</gpx>" }' >"$work/region.gpx"
    "$cli" "$work/region.gpx" --to mem --reading none -o "$work/region.mem" >/dev/null 2>&1
    echo "== 100 points on $(df --output=fstype "$work" | tail -1) ($work), interleaved (load $(cut -d' ' -f1-3 /proc/loadavg))"
    local runs=("floor=$floor $work/points.mem $work/floor.xml"
                "glorie=$cli $work/points.mem -o $work/i.xml"
                "region-glorie=$cli $work/region.mem -o $work/ir.xml"
                "region-gpx=$cli $work/region.mem -o $work/ir.gpx"
                "region-gpx-jgd2000=$cli $work/region.mem -o $work/ij.gpx --epoch jgd2000"
                "gpsbabel-csv-gpx=$(command -v gpsbabel) -i unicsv -f $work/points.csv -o gpx -F $work/g.gpx")
    if [ -n "$base" ]; then
        cp "$base/cli/quorvel-cli" "$work/base-cli"
        runs+=("base-glorie=$work/base-cli $work/points.mem -o $work/b.xml"
               "base-region-glorie=$work/base-cli $work/region.mem -o $work/br.xml"
               "base-region-gpx=$work/base-cli $work/region.mem -o $work/br.gpx"
               "base-region-gpx-jgd2000=$work/base-cli $work/region.mem -o $work/bj.gpx --epoch jgd2000")
    fi
    python3 scripts/interleave.py "${QUORVEL_BENCH_SET_ROUNDS:-200}" "${runs[@]}"
    echo "== 100,000 waypoints into glorie documents on $(df --output=fstype "$work" | tail -1), interleaved"
    "$build/tests/tools/quorvel-make-big-gpx" 100000 "$work/big.gpx"
    mkdir -p "$work/big" "$work/big-base"
    runs=("gpsbabel-gpx-csv=$(command -v gpsbabel) -i gpx -f $work/big.gpx -o unicsv -F $work/big.csv"
          "guessed=$cli $work/big.gpx -d $work/big"
          "none=$cli $work/big.gpx -d $work/big --reading none")
    if [ -n "$base" ]; then
        runs+=("base-guessed=$work/base-cli $work/big.gpx -d $work/big-base"
               "base-none=$work/base-cli $work/big.gpx -d $work/big-base --reading none")
    fi
    python3 scripts/interleave.py "${QUORVEL_BENCH_LARGE_ROUNDS:-20}" "${runs[@]}"
    echo "documents written: $(ls "$work/big" | wc -l)"
    /usr/bin/time -v "$cli" "$work/big.gpx" -d "$work/big" 2>&1 >/dev/null | grep -E 'Maximum resident' | sed 's|^|readings guessed: |'
}
if [ "${1:-}" = sets ]; then
    quorvel_need time gpsbabel >/dev/null
    build=${QUORVEL_BENCH_BUILD:-build/release}
    cmake --preset release -B "$build" >/dev/null
    cmake --build "$build" -j2 --target quorvel-cli quorvel-process-floor quorvel-make-big-gpx >/dev/null
    work=$(mktemp -d "${QUORVEL_BENCH_DIR:-/var/tmp}/quorvel-bench-XXXXXX")
    trap 'rm -rf "$work"' EXIT
    sets_bench "$build" "$work"
    exit 0
fi
if [ "${1:-}" = large ]; then
    quorvel_need time gpsbabel >/dev/null
    build=${QUORVEL_BENCH_BUILD:-build/release}
    cmake --preset release -B "$build" >/dev/null
    cmake --build "$build" -j2 --target quorvel-cli quorvel-make-big-gpx >/dev/null
    base=${QUORVEL_BENCH_DIR:-/dev/shm}
    [ -d "$base" ] && [ -w "$base" ] || base=${TMPDIR:-/tmp}
    work=$(mktemp -d "$base/quorvel-bench-XXXXXX")
    trap 'rm -rf "$work"' EXIT
    large_bench "$build/cli/quorvel-cli" "$work" "$build/tests/tools/quorvel-make-big-gpx"
    exit 0
fi
if [ "${1:-}" = web ]; then
    build=${QUORVEL_BENCH_BUILD:-build/release}
    cmake --preset release -B "$build" >/dev/null
    cmake --build "$build" -j2 --target quorvel-make-big-gpx >/dev/null
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    cp fuzz/corpus/convert/hundred-points "$work/points.mem"
    "$build/tests/tools/quorvel-make-big-gpx" 100000 "$work/big.gpx"
    web_bench "$work"
    exit 0
fi
quorvel_need hyperfine gpsbabel time libbenchmark-dev >/dev/null
build=${QUORVEL_BENCH_BUILD:-build/release}
cmake --preset release -B "$build" >/dev/null
cmake --build "$build" -j2 --target quorvel-bench quorvel-cli quorvel-process-floor \
    quorvel-bench-shift quorvel-datum-compare quorvel-make-big-gpx >/dev/null

echo "== machine"
echo "nproc $(nproc); $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"

echo "== in memory"
"$build/bench/quorvel-bench" --benchmark_min_time=1

base=${QUORVEL_BENCH_DIR:-/dev/shm}
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

echo "== 100 waypoints named in Japanese without readings: readings guessed against --reading none"
awk 'BEGIN { split("東京駅|浅草寺|金閣寺|首里城|渡月橋|新八代駅|広野駅|川和町駅|国道1号|羽田空港 第1ターミナル|セブン-イレブン 銀座店|大阪城公園|札幌時計台|中洲通|上野動物園|つつじヶ丘駅|霞ヶ関|嵐山|伏見稲荷大社|道後温泉", names, "|");
    print "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" creator=\"bench\" xmlns=\"http://www.topografix.com/GPX/1/1\">";
    for (i = 0; i < 100; i++) printf "<wpt lat=\"%.4f\" lon=\"%.4f\"><name>%s %d</name></wpt>\n", 35.6 + i * 1e-3, 139.5 + i * 1e-3, names[i % 20 + 1], i + 1;
    print "</gpx>" }' >"$work/named.gpx"
hyperfine -N --warmup 10 --runs 100 \
    -n "readings guessed" "$cli $work/named.gpx -o $work/named.xml" \
    -n "reading none" "$cli $work/named.gpx -o $work/named-none.xml --reading none"
echo "readings in the document: $(grep -c '<rt>' "$work/named.xml") of 100"
# The same two interleaved, CPU time beside wall time (the ratio to hold under 1.5), with
# QUORVEL_BENCH_BASE's build side by side; then each run's page faults.
named=("reading-none=$cli $work/named.gpx -o $work/n1.xml --reading none"
       "readings-guessed=$cli $work/named.gpx -o $work/n2.xml")
if [ -n "${QUORVEL_BENCH_BASE:-}" ]; then
    named+=("base-reading-none=$QUORVEL_BENCH_BASE/cli/quorvel-cli $work/named.gpx -o $work/n3.xml --reading none"
            "base-readings-guessed=$QUORVEL_BENCH_BASE/cli/quorvel-cli $work/named.gpx -o $work/n4.xml")
fi
python3 scripts/interleave.py 300 "${named[@]}"
# Instructions of the same runs (QUORVEL_BENCH_CALLGRIND=1), which the machine's load does not
# change: the ratio of readings guessed to none to hold under 1.5.
if [ -n "${QUORVEL_BENCH_CALLGRIND:-}" ]; then
    quorvel_need valgrind >/dev/null
    for entry in "${named[@]}"; do
        # shellcheck disable=SC2086  # the command is words of its own
        valgrind --tool=callgrind --dump-instr=no --callgrind-out-file="$work/callgrind.out" ${entry#*=} >/dev/null 2>&1
        echo "${entry%%=*}: $(callgrind_annotate "$work/callgrind.out" 2>/dev/null | awk '/PROGRAM TOTALS/ {print $1; exit}') instructions"
    done
fi
for reading in "" "--reading none"; do
    # shellcheck disable=SC2086  # the option is words of its own
    /usr/bin/time -v "$cli" "$work/named.gpx" -o "$work/n5.xml" $reading 2>&1 >/dev/null |
        grep -E 'Minor|Maximum resident' | sed "s|^|${reading:-readings guessed}: |"
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

# The same runs and the floor interleaved (each round runs every command once, so that the
# shared machine's load falls on all alike), 300 rounds; QUORVEL_BENCH_BASE names another release
# build folder (today's main) to run side by side in the same rounds.
echo "== .mem runs against the floor, interleaved"
runs=("floor=$floor $work/points.mem $work/floor.xml"
      "glorie=$cli $work/points.mem -o $work/i.xml"
      "region-glorie=$cli $work/region.mem -o $work/ir.xml"
      "region-gpx=$cli $work/region.mem -o $work/ir.gpx"
      "region-gpx-jgd2000=$cli $work/region.mem -o $work/ij.gpx --epoch jgd2000"
      "spread-gpx=$cli $work/points.mem -o $work/i.gpx")
if [ -n "${QUORVEL_BENCH_BASE:-}" ]; then
    cp "$QUORVEL_BENCH_BASE/cli/quorvel-cli" "$work/base-cli"
    runs+=("base-glorie=$work/base-cli $work/points.mem -o $work/b.xml"
           "base-region-glorie=$work/base-cli $work/region.mem -o $work/br.xml"
           "base-region-gpx=$work/base-cli $work/region.mem -o $work/br.gpx"
           "base-spread-gpx=$work/base-cli $work/points.mem -o $work/b.gpx")
fi
python3 scripts/interleave.py 300 "${runs[@]}"

large_bench "$cli" "$work" "$build/tests/tools/quorvel-make-big-gpx"

web_bench "$work"
