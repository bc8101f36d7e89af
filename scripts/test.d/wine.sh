#!/usr/bin/env bash
# The Wine suite: runs quorvel.exe, quorvel-cli.exe and the Win32 file layer's checks inside Wine,
# in a Japanese locale (ANSI code page 932), on a private Xvfb display and a private Wine prefix.
# The shipped 32-bit build where the kernel runs 32-bit programs, else the 64-bit build under
# wine64 (scripts/wine-session.sh says which and why; QUORVEL_WINE_BUILD=64 asks for it).
# QUORVEL_WINE_PART=reduced runs a part only: the file layer's checks, the dialog's conversions
# (a memory-point file from the command line, a dropped GPX) and the coordinate texts.
# Exits non-zero when a check fails; skips (exit 0) only when Wine cannot be installed.
# QUORVEL_WIN_BUILD names the windows build folder (default build/windows), QUORVEL_WIN64_BUILD
# the windows64 one (default build/windows64).
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

reduced=false
[ "${QUORVEL_WINE_PART:-}" = reduced ] && reduced=true
mkdir -p "$work/scratch" "$work/cases"
run_checks file-layer 120 "$filetests" "$(winpath "$work/scratch")"
run_checks make-input 30 "$driver" make-input "$(winpath "$work/cases")"
if $reduced; then
    run_checks quorvel.exe 60 "$driver" "$(winpath "$exe")" "$(winpath "$work/cases")" \
        "$(winpath "$root/tests/win32/golden/wine-route.xml")" convert-from-command-line
else
    run_checks quorvel.exe 240 "$driver" "$(winpath "$exe")" "$(winpath "$work/cases")" \
        "$(winpath "$root/tests/win32/golden/wine-route.xml")"
fi

# A phone's GPX dropped on the dialog and converted: the document the native command line writes.
native_cli=${QUORVEL_NATIVE_BUILD:-$root/build/dev}/cli/quorvel-cli
if [ -x "$native_cli" ]; then
    mkdir -p "$work/phone"
    cp samples/meisho.mem "$work/phone/phone.mem"
    (cd "$work/phone" && "$native_cli" phone.mem --to gpx >/dev/null && rm phone.mem &&
        "$native_cli" phone.gpx --to glorie -o expected.xml >/dev/null)
    run_checks dropped-gpx 60 "$driver" drop-convert "$(winpath "$exe")" "$(winpath "$work/phone/phone.gpx")" \
        "$(winpath "$work/phone/expected.xml")"
else
    echo "FAIL dropped-gpx: $native_cli not built" | tee -a "$results"
fi

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
$reduced || for mem in samples/*.mem; do
    [ -e "$mem" ] || continue
    xml=${mem%.*}.xml
    [ -f "$xml" ] || continue
    mkdir -p "$work/samples"
    cp "$mem" "$work/samples/"
    run_checks "$mem" 60 "$driver" convert "$(winpath "$exe")" "$(winpath "$work/samples/$(basename "$mem")")" \
        "$(winpath "$root/$xml")"
done

# quorvel-cli.exe against the Linux build: the same command lines on copies of the same inputs,
# all of them in one Wine session (tests/win32/CliRunner.cpp). Every output file must be byte
# for byte the Linux one; what a redirect receives must be the Linux text in CP932 with CR LF.
cli_exe=$build/cli/quorvel-cli.exe
runner=$build/ui/win32/tests/quorvel_wine_cli_runner.exe
if $reduced; then
    echo "reduced run: quorvel.exe's other cases, the samples and quorvel-cli.exe's command lines left out"
elif [ ! -x "$native_cli" ] || [ ! -f "$cli_exe" ] || [ ! -f "$runner" ]; then
    echo "FAIL quorvel-cli.exe: $native_cli, $cli_exe or $runner not built" | tee -a "$results"
else
    in=$work/cli-in
    mkdir -p "$in/sub" "$in/win-only"
    cp samples/meisho.mem samples/meisho.xml "$in/"
    printf 'too short' >"$in/bad.mem"
    (cd "$in" && for format in gpx kml geojson csv; do "$native_cli" meisho.mem --to "$format" >/dev/null; done)
    cp "$in/meisho.mem" "$in/東京 ①.mem"
    cp "$in/meisho.gpx" "$in/旅😀.gpx"
    # 701 waypoints in western Tokyo: two glorie documents.
    python3 -c 'print("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" creator=\"t\" xmlns=\"http://www.topografix.com/GPX/1/1\">");
[print("<wpt lat=\"%.4f\" lon=\"%.4f\"><name>P%d</name></wpt>" % (35.6 + i * 1e-4, 139.5 + i * 1e-4, i + 1)) for i in range(701)]; print("</gpx>")' >"$in/big.gpx"
    quorvel_need skkdic-extra >/dev/null
    # Names without readings for MeCab on both sides (linked into the Windows program, its
    # dictionary in data\ipadic): every 20th station and town of the SKK lists (skkdic-extra), and
    # names with digits, letters and marks.
    python3 - "$in/named.gpx" <<'PY'
import sys
names = ["国道1号", "セブン-イレブン", "羽田空港 第1ターミナル", "首里城", "ＡＢＣマート", "つつじヶ丘駅"]
for path, suffix in (("/usr/share/skk/SKK-JISYO.station", "駅"), ("/usr/share/skk/SKK-JISYO.geo", "")):
    found = set()
    for line in open(path, encoding="euc-jp", errors="replace"):
        if line.startswith(";") or " /" not in line:
            continue
        for word in line.rstrip("\n").split(" /", 1)[1].split("/"):
            word = word.split(";")[0]
            if word and "(" not in word and word.endswith(suffix):
                found.add(word)
    names += sorted(found)[::20][:500]
with open(sys.argv[1], "w", encoding="utf-8") as out:
    out.write('<?xml version="1.0" encoding="UTF-8"?>\n<gpx version="1.1" creator="t" xmlns="http://www.topografix.com/GPX/1/1">\n')
    for i, name in enumerate(names):
        name = name.replace("&", "&amp;").replace("<", "&lt;")
        out.write(f'<wpt lat="{35 + i % 100 * 0.01:.2f}" lon="{135 + i // 100 * 0.01:.2f}"><name>{name}</name></wpt>\n')
    out.write("</gpx>\n")
PY
    cp "$in/meisho.mem" "$in/sub/t.mem"
    cp "$in/meisho.mem" "$in/win-only/T.mem"
    cp -r "$in" "$work/cli-native"
    cp -r "$in" "$work/cli-win"
    commands=$work/cli-commands.txt
    : >"$commands"
    kinds=()
    both() { kinds+=(both); (IFS=$'\t'; printf '%s\n' "$*") >>"$commands"; }
    # Both, standard output holding a document: its bytes as the Linux build's, untouched.
    raw() { kinds+=(raw); (IFS=$'\t'; printf '%s\n' "$*") >>"$commands"; }
    # Windows only: status, redirected output and messages (UTF-8 here, CP932 there), arguments.
    win_out=()
    win_err=()
    win_status=()
    windows() {
        kinds+=(win); win_status+=("$1"); win_out+=("$2"); win_err+=("$3"); shift 3
        (IFS=$'\t'; printf '%s\n' "$*") >>"$commands"
    }
    both --help
    both
    both meisho.mem -o x.txt
    both bad.mem meisho.mem -d .
    both meisho.mem
    for format in gpx kml kmz geojson csv mem; do both meisho.mem --to "$format" -o "sub/from-mem.$format"; done
    both meisho.mem --to csv --bom -o sub/bom.csv
    both meisho.gpx -o sub/from-gpx.xml
    both meisho.kml --to mem -o sub/from-kml.mem
    both sub/from-mem.kmz -o sub/from-kmz.xml
    both meisho.geojson --to gpx -o sub/from-geojson.gpx
    both meisho.csv -o sub/from-csv.xml
    both meisho.xml --to kml -o sub/from-glorie.kml
    both meisho.gpx meisho.kml --merge -o sub/merged.xml
    both meisho.gpx --datum tokyo --strict --to kml -o sub/tokyo.kml
    both meisho.gpx --all-points --reading none --to csv -o sub/all-points.csv
    both big.gpx
    both --list meisho.mem
    both --list meisho.gpx
    both "東京 ①.mem" --to gpx
    both "旅😀.gpx" -d sub
    both --version
    both --list named.gpx
    both named.gpx -o sub/named.xml
    both named.gpx --to mem -o sub/named.mem
    raw meisho.mem -o -
    raw meisho.mem --to gpx -o -
    raw meisho.mem --to kmz -o -
    raw big.gpx -o -
    windows 0 $'meisho.mem -> win-only\\back.gpx (12 地点)\n' '' meisho.mem -o 'win-only\back.gpx'
    windows 0 $'big.gpx -> '"$(winpath "$work/cli-win/win-only")"$'/big-1.xml (700 地点)\nbig.gpx -> '"$(winpath "$work/cli-win/win-only")"$'/big-2.xml (1 地点)\n' '' \
        big.gpx -d "$(winpath "$work/cli-win/win-only")"
    windows 0 $'win-only\\T.mem -> win-only\\T.gpx (12 地点)\n' '' 'win-only\*.mem' --to gpx
    windows 2 '' $'quorvel-cli: 出力ファイル WIN-ONLY\\T.MEM が入力と同じです\n使い方は quorvel-cli --help で表示されます\n' \
        'win-only\T.mem' --to mem -o 'WIN-ONLY\T.MEM'
    windows 2 '' $'quorvel-cli: 出力ファイル win-only/T.xml が sub\\t.mem と win-only\\T.mem の両方から作られます\n使い方は quorvel-cli --help で表示されます\n' \
        'sub\t.mem' 'win-only\T.mem' -d win-only

    # The Linux build on its copy, line by line.
    mkdir -p "$work/cli-results-native" "$work/cli-results-win"
    n=0
    while IFS= read -r line; do
        n=$((n + 1))
        [ "${kinds[n - 1]}" = win ] && continue
        args=()
        [ -n "$line" ] && IFS=$'\t' read -r -a args <<<"$line"
        (cd "$work/cli-native" && "$native_cli" "${args[@]}" >"$work/cli-results-native/$n.out" 2>"$work/cli-results-native/$n.err"
         echo $? >"$work/cli-results-native/$n.status") </dev/null
    done <"$commands"
    # Generous: on a loaded machine (two builds beside it) the whole list once took past 300 s.
    timeout 900 wine "$runner" "$(winpath "$cli_exe")" "$(winpath "$work/cli-win")" "$(winpath "$commands")" \
        "$(winpath "$work/cli-results-win")" 2>"$work/stderr.txt"
    cat "$work/stderr.txt" >>"$work/wine.log"

    # UTF-8 text as a redirect on Japanese Windows receives it.
    # A character CP932 lacks is a "?" for each UTF-16 unit of it, as WideCharToMultiByte writes it.
    as_cp932() {
        python3 -c 'import codecs, sys
codecs.register_error("units", lambda e: ("".join("??" if ord(c) > 0xFFFF else "?" for c in e.object[e.start:e.end]), e.end))
sys.stdout.buffer.write(sys.stdin.buffer.read().decode("utf-8").replace("\n", "\r\n").encode("cp932", "units"))'
    }
    same() { cmp -s "$1" "$2"; }
    cli_failures=0
    for ((n = 1; n <= ${#kinds[@]}; n++)); do
        args=$(sed -n "${n}p" "$commands" | tr '\t' ' ')
        got=$work/cli-results-win/$n
        expected=$work/cli-expected-$n
        if [ "${kinds[n - 1]}" != win ]; then
            cp "$work/cli-results-native/$n.status" "$expected.status"
            if [ "${kinds[n - 1]}" = raw ]; then
                cp "$work/cli-results-native/$n.out" "$expected.out"
            else
                as_cp932 <"$work/cli-results-native/$n.out" >"$expected.out"
            fi
            as_cp932 <"$work/cli-results-native/$n.err" >"$expected.err"
        else
            i=$(( $(printf '%s\n' "${kinds[@]:0:n}" | grep -c win) - 1 ))
            echo "${win_status[i]}" >"$expected.status"
            printf '%s' "${win_out[i]}" | as_cp932 >"$expected.out"
            printf '%s' "${win_err[i]}" | as_cp932 >"$expected.err"
        fi
        for stream in status out err; do
            if ! same "$got.$stream" "$expected.$stream"; then
                echo "FAIL quorvel-cli.exe $args: $stream differs: $(head -c 300 "$got.$stream" 2>/dev/null | iconv -f CP932 -t UTF-8 2>/dev/null | tr '\r\n' ' ') ; expected $(iconv -f CP932 -t UTF-8 <"$expected.$stream" | tr '\r\n' ' ' | head -c 300)" | tee -a "$results"
                cli_failures=$((cli_failures + 1))
            fi
        done
    done
    [ "$cli_failures" -eq 0 ] && echo "PASS quorvel-cli.exe messages and exit codes (${#kinds[@]} command lines)" | tee -a "$results"

    # Every file either build wrote, byte for byte; the Windows-only lines' outputs against their twins.
    if diff -r --exclude=win-only --exclude=".*.record" "$work/cli-native" "$work/cli-win" >"$work/cli-diff.txt"; then
        made=$(( $(find "$work/cli-win" -type f | wc -l) - $(find "$in" -type f | wc -l) ))
        echo "PASS quorvel-cli.exe writes what the Linux build writes ($made outputs)" | tee -a "$results"
    else
        echo "FAIL quorvel-cli.exe outputs differ from Linux: $(head -c 400 "$work/cli-diff.txt" | tr '\n' ' ')" | tee -a "$results"
    fi
    for pair in "win-only/back.gpx sub/from-mem.gpx" "win-only/T.gpx sub/from-mem.gpx" "win-only/big-1.xml big-1.xml" "win-only/big-2.xml big-2.xml"; do
        set -- $pair
        if same "$work/cli-win/$1" "$work/cli-native/$2"; then
            echo "PASS quorvel-cli.exe $1 (a Windows path) is $2" | tee -a "$results"
        else
            echo "FAIL quorvel-cli.exe $1 (a Windows path) differs from $2 or is missing" | tee -a "$results"
        fi
    done
fi

passed=$(grep -c '^PASS ' "$results")
failed=$(grep -c '^FAIL ' "$results")
# A program that died without reporting counts as a failure too.
if [ "$passed" -eq 0 ]; then failed=$((failed + 1)); fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
