#!/usr/bin/env bash
# The Wine suite: runs the 32-bit quorvel.exe and the Win32 file layer's checks inside Wine, in a
# Japanese locale (ANSI code page 932), on a private Xvfb display and a private Wine prefix.
# Exits non-zero when a check fails; skips (exit 0) only when Wine cannot be installed.
# QUORVEL_WIN_BUILD names the windows build folder (default build/windows).
set -uo pipefail
cd "$(dirname "$0")/../.."
source scripts/wine-session.sh
quorvel_wine_session
status=$?
if [ "$status" -eq 2 ]; then
    echo "SKIP: Wine could not be installed; the Wine suite did not run"
    exit 0
fi
[ "$status" -eq 0 ] || exit 1

results=$work/results
: >"$results"
winpath() { winepath -w "$1" 2>/dev/null; }
# Runs one checking program; a program that fails without saying which check failed (a crash,
# a timeout) counts as one failure of its own.
run_checks() {
    local label=$1 seconds=$2
    shift 2
    local out=$work/out.txt
    timeout "$seconds" wine "$@" 2>"$work/stderr.txt" | tr -d '\r' >"$out"
    local rc=${PIPESTATUS[0]}
    cat "$work/stderr.txt" >>"$work/wine.log"
    cat "$out" | tee -a "$results"
    if [ "$rc" -ne 0 ] && ! grep -q '^FAIL ' "$out"; then
        echo "FAIL $label: ended with status $rc" | tee -a "$results"
        tail -n 20 "$work/stderr.txt"
    fi
}

# The committed icon is what its script draws.
mkdir -p "$work/icon"
if python3 tools/make_icon.py "$work/icon" && cmp -s "$work/icon/quorvel.ico" res/quorvel.ico &&
    cmp -s "$work/icon/quorvel.png" res/quorvel.png; then
    echo "PASS icon-matches-its-script" | tee -a "$results"
else
    echo "FAIL icon-matches-its-script: res/quorvel.ico or res/quorvel.png differs from tools/make_icon.py's output" | tee -a "$results"
fi

mkdir -p "$work/scratch" "$work/cases"
run_checks file-layer 120 "$filetests" "$(winpath "$work/scratch")"
run_checks make-input 30 "$driver" make-input "$(winpath "$work/cases")"
run_checks quorvel.exe 240 "$driver" "$(winpath "$exe")" "$(winpath "$work/cases")" \
    "$(winpath "$root/tests/win32/golden/wine-route.xml")"

# The coordinate conversion gives the same texts on Windows as here, for a slice of every
# DMS text the store can produce.
native_dms=${QUORVEL_NATIVE_BUILD:-$root/build/dev}/tests/tools/quorvel-dms-sample
if [ -x "$native_dms" ] && [ -f "$build/tests/tools/quorvel-dms-sample.exe" ]; then
    "$native_dms" >"$work/dms-native.txt"
    timeout 120 wine "$build/tests/tools/quorvel-dms-sample.exe" 2>"$work/stderr.txt" | tr -d '\r' >"$work/dms-windows.txt"
    cat "$work/stderr.txt" >>"$work/wine.log"
    if cmp -s "$work/dms-native.txt" "$work/dms-windows.txt"; then
        echo "PASS coordinate-texts-match-native ($(wc -l <"$work/dms-native.txt") texts)" | tee -a "$results"
    else
        echo "FAIL coordinate-texts-match-native: $(diff "$work/dms-native.txt" "$work/dms-windows.txt" | head -2 | tr '\n' ' ')" | tee -a "$results"
        tail -n 20 "$work/stderr.txt"
    fi
else
    echo "FAIL coordinate-texts-match-native: quorvel-dms-sample not built" | tee -a "$results"
fi

# Bundled samples with their documents, each converted by the program as a user would.
for mem in samples/*.mem; do
    [ -e "$mem" ] || continue
    xml=${mem%.*}.xml
    [ -f "$xml" ] || continue
    mkdir -p "$work/samples"
    cp "$mem" "$work/samples/"
    run_checks "$mem" 60 "$driver" convert "$(winpath "$exe")" "$(winpath "$work/samples/$(basename "$mem")")" \
        "$(winpath "$root/$xml")"
done

passed=$(grep -c '^PASS ' "$results")
failed=$(grep -c '^FAIL ' "$results")
# A program that died without reporting counts as a failure too.
if [ "$passed" -eq 0 ]; then failed=$((failed + 1)); fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
