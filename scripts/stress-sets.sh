#!/usr/bin/env bash
# Long runs of the set writer through quorvel-cli, too long for the test suites:
#  1. 10,000 memory-point files (1,000,000 waypoints) written under `ulimit -n 256`;
#  2. ROUNDS signals (INT, TERM, HUP in turn) at random moments of a 30-file set replaced by 25:
#     each must leave the old set or the new one, whole, and nothing else;
#  3. RACES times 4 runs writing one set at once: the set left must be one successful run's,
#     byte for byte, and every other run must have failed naming the set;
#  4. KILLS runs ended by SIGKILL at random moments, each followed by a run writing the set:
#     that run must leave its set whole and no file of the killed run;
#  5. PLANTS runs after a journal was planted in the state folder as an archive or a mistake
#     would leave it (paths out of the folder, FIFOs, links, an oversized journal), or another
#     user's link under a member's name: no run may hang or touch a file outside the set's own.
# Every round also checks that nothing but the inputs and the members is left beside the set; the
# state folder is the script's own ($XDG_STATE_HOME under its work folder).
# Rounds 2 to 4 also keep a user's file with a member's name (out-999.mem), which must stay.
# QUORVEL_STRESS_BUILD names a build folder (default build/dev); ROUNDS, RACES, KILLS, PLANTS the counts.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${QUORVEL_STRESS_BUILD:-build/dev}
rounds=${ROUNDS:-300}
races=${RACES:-100}
kills=${KILLS:-200}
plants=${PLANTS:-40}
if [ ! -x "$build/cli/quorvel-cli" ] || [ ! -x "$build/tests/tools/quorvel-make-big-gpx" ]; then
    cmake --preset dev >/dev/null
    cmake --build "$build" -j2 --target quorvel-cli quorvel-make-big-gpx >/dev/null
fi
cli=$(realpath "$build/cli/quorvel-cli")
gpx=$(realpath "$build/tests/tools/quorvel-make-big-gpx")
work=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-stress-XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME="$work/state"
state_of() { find "$XDG_STATE_HOME/quorvel" -maxdepth 1 -name "set-*$1" 2>/dev/null; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
now() { date +%s.%N; }
# The set's files in a folder with their checksums, one line each (names ending .mem only).
state() { (cd "$1" && find . -maxdepth 1 -name '*.mem' ! -name 'out-999.mem' -printf '%f\n' | sort | xargs -r md5sum); }
# Anything but the inputs and the set's members: temporary files, or anything else.
leftovers() { (cd "$1" && find . -maxdepth 1 ! -name . ! -name '*.mem' ! -name '*.gpx' -printf '%f\n'); }
# A user's file with a member's name: every run must leave it as it is.
mine() { echo "the user's own" >"$1/out-999.mem"; }
check_mine() { [ "$(cat "$1/out-999.mem" 2>/dev/null)" = "the user's own" ] || fail "$2: the user's out-999.mem was touched"; }
mem() { "$cli" "$1" --to mem -o "$2" --reading none >/dev/null 2>"${3:-/dev/null}"; }
# The same in the background, as the process that $! names, with SIGINT (which the shell ignores
# for background commands) back to its default.
mem_bg() { (exec env --default-signal=INT "$cli" "$1" --to mem -o "$2" --reading none >/dev/null 2>"${3:-/dev/null}") & }

echo "== 10,000 members under ulimit -n 256"
# Ten inputs of 100,000 waypoints merged (an input may hold 32 MB).
big=${BIG:-1000000}
parts=$(( (big + 99999) / 100000 ))
mkdir "$work/big"
inputs=()
for ((p = 0; p < parts; p++)); do
    "$gpx" $((big / parts)) "$work/big/in$p.gpx"
    inputs+=("$work/big/in$p.gpx")
done
start=$(now)
if (ulimit -n 256 && "$cli" "${inputs[@]}" --merge --to mem -o "$work/big/out.mem" --reading none >/dev/null 2>&1); then
    count=$(ls "$work/big" | grep -c '^out-[0-9]*\.mem$')
    echo "written in $(echo "$(now) - $start" | bc) s: $count files"
    [ "$count" -eq $(( (big / parts * parts + 99) / 100 )) ] || fail "$count members"
    [ -z "$(leftovers "$work/big")" ] || fail "leftovers after the big set: $(leftovers "$work/big")"
else
    fail "the big set was not written"
fi
rm -rf "$work/big"

echo "== $rounds signals during a set commit"
mkdir "$work/sig" "$work/ref"
"$gpx" 3000 "$work/sig/old.gpx"
"$gpx" 2500 "$work/sig/new.gpx"
mem "$work/sig/new.gpx" "$work/ref/out.mem"
fresh=$(state "$work/ref")
start=$(now)
mem "$work/sig/old.gpx" "$work/sig/out.mem"
span=$(echo "$(now) - $start" | bc)
old=$(state "$work/sig")
mine "$work/sig"
signals=(INT TERM HUP)
interrupted=0 finished=0
for ((i = 0; i < rounds; i++)); do
    sig=${signals[i % 3]}
    mem_bg "$work/sig/new.gpx" "$work/sig/out.mem"
    pid=$!
    sleep "$(echo "scale=4; 1.3 * $span * $RANDOM / 32767" | bc)"
    kill -s "$sig" "$pid" 2>/dev/null || true
    if wait "$pid" 2>/dev/null; then finished=$((finished + 1)); else interrupted=$((interrupted + 1)); fi
    now_state=$(state "$work/sig")
    if [ "$now_state" = "$fresh" ]; then
        mem "$work/sig/old.gpx" "$work/sig/out.mem"
    elif [ "$now_state" != "$old" ]; then
        fail "round $i ($sig): a mixed set"
        mem "$work/sig/old.gpx" "$work/sig/out.mem"
    fi
    [ -z "$(leftovers "$work/sig")" ] || fail "round $i ($sig): left $(leftovers "$work/sig")"
    check_mine "$work/sig" "round $i"
done
echo "one run $span s; $interrupted interrupted, $finished finished first"

echo "== $races races of 4 runs on one set"
mkdir "$work/race"
mine "$work/race"
declare -a refs
for r in 0 1 2 3; do
    "$gpx" $((3000 + 37 * r)) "$work/race/in$r.gpx"
    mkdir "$work/ref$r"
    mem "$work/race/in$r.gpx" "$work/ref$r/out.mem"
    refs[r]=$(state "$work/ref$r")
done
lost_text="は別の変換が書き込み中です。"
winners_total=0
for ((i = 0; i < races; i++)); do
    pids=()
    for r in 0 1 2 3; do
        mem_bg "$work/race/in$r.gpx" "$work/race/out.mem" "$work/err$r"
        pids+=($!)
    done
    won=()
    for r in 0 1 2 3; do
        if wait "${pids[r]}" 2>/dev/null; then
            won+=("$r")
        elif ! grep -q "$work/race/out.mem $lost_text" "$work/err$r"; then
            fail "race $i: run $r failed without naming the set: $(tail -n 2 "$work/err$r")"
        fi
    done
    winners_total=$((winners_total + ${#won[@]}))
    got=$(state "$work/race")
    match=no
    for r in "${won[@]}"; do [ "$got" = "${refs[r]}" ] && match=yes; done
    [ "$match" = yes ] || fail "race $i: the set is no successful run's whole set"
    [ -z "$(leftovers "$work/race")" ] || fail "race $i: left $(leftovers "$work/race")"
    check_mine "$work/race" "race $i"
done
echo "$winners_total successful runs in $races races ($(echo "scale=2; $winners_total / $races" | bc) a race)"

echo "== $kills runs killed by SIGKILL, each followed by another"
mkdir "$work/kill"
cp "$work/sig/old.gpx" "$work/sig/new.gpx" "$work/kill/"
mem "$work/kill/old.gpx" "$work/kill/out.mem"
mine "$work/kill"
journals=0 temps=0
for ((i = 0; i < kills; i++)); do
    mem_bg "$work/kill/new.gpx" "$work/kill/out.mem"
    pid=$!
    sleep "$(echo "scale=4; 1.3 * $span * $RANDOM / 32767" | bc)"
    kill -s KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    [ -n "$(state_of .journal)" ] && journals=$((journals + 1))
    [ -n "$(cd "$work/kill" && find . -maxdepth 1 -name '*.tmp')" ] && temps=$((temps + 1))
    mem "$work/kill/old.gpx" "$work/kill/out.mem"
    [ "$(state "$work/kill")" = "$old" ] || fail "kill $i: the next run's set is not whole"
    [ -z "$(leftovers "$work/kill")" ] || fail "kill $i: left $(leftovers "$work/kill")"
    check_mine "$work/kill" "kill $i"
done
echo "killed runs left a journal $journals times and temporary files $temps times; all cleaned by the next run"

echo "== $plants runs after planted journals and links"
mkdir -p "$work/plant/set"
cp "$work/sig/new.gpx" "$work/plant/set/"
echo "the victim's" >"$work/plant/victim"
set_dir="$work/plant/set"
mem "$set_dir/new.gpx" "$set_dir/out.mem"
record=
for r in "$XDG_STATE_HOME"/quorvel/set-*.record; do grep -qa "^out.mem" "$r" && record=$r; done
journal="${record%.record}.journal"
kinds=(escape absolute fifo-journal zero-journal dangling-journal huge-journal foreign-link)
voided=0 refused=0
for ((i = 0; i < plants; i++)); do
    kind=${kinds[i % ${#kinds[@]}]}
    rm -rf "$journal" "$journal.void" "$set_dir/out-02.mem" "$work/plant/made"
    mem "$set_dir/new.gpx" "$set_dir/out.mem"
    id=$(stat -c '%d %i' "$set_dir")
    case $kind in
    escape) printf '%s\0' "quorvel set journal 3" "$set_dir/" ${id% *} ${id#* } out.mem D ../victim "" 0 0 0 0 0 E >"$journal" ;;
    absolute) printf '%s\0' "quorvel set journal 3" "$set_dir/" ${id% *} ${id#* } out.mem D "$work/plant/victim" "" 0 0 0 0 0 E >"$journal" ;;
    fifo-journal) mkfifo "$journal" ;;
    zero-journal) ln -s /dev/zero "$journal" ;;
    dangling-journal) ln -s "$work/plant/made" "$journal" ;;
    huge-journal) truncate -s 60M "$journal" ;;
    foreign-link) rm -f "$set_dir/out-02.mem" && ln -s "$work/plant/victim" "$set_dir/out-02.mem" && chown -h 65534:65534 "$set_dir/out-02.mem" 2>/dev/null && chmod 1777 "$set_dir" ;;
    esac
    status=0
    timeout 60 "$cli" "$set_dir/new.gpx" --to mem -o "$set_dir/out.mem" --reading none >/dev/null 2>"$work/plant/err" || status=$?
    chmod 755 "$set_dir"
    [ "$status" -ne 124 ] || fail "plant $i ($kind): the run hung"
    [ "$(cat "$work/plant/victim")" = "the victim's" ] || { fail "plant $i ($kind): the victim was touched"; echo "the victim's" >"$work/plant/victim"; }
    [ ! -e "$work/plant/made" ] || fail "plant $i ($kind): a file was made where a link pointed"
    [ -z "$(leftovers "$set_dir")" ] || fail "plant $i ($kind): left $(leftovers "$set_dir")"
    case $kind in
    foreign-link) if [ "$(id -u)" -eq 0 ]; then [ "$status" -eq 1 ] && refused=$((refused + 1)) || fail "plant $i ($kind): another user's link was followed"; fi ;;
    *) if [ "$status" -eq 0 ] && { [ -e "$journal.void" ] || [ -L "$journal.void" ]; }; then voided=$((voided + 1)); else fail "plant $i ($kind): the journal was not set aside"; fi ;;
    esac
done
echo "$voided journals set aside, $refused runs refused"

echo "$((rounds + races + kills + plants + 1 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
