#!/usr/bin/env bash
# The desktop program on a real X server (Xvfb, xcb platform plugin): started with a memory-point
# file (or a GPX) on its command line, Enter converts, the GPX's "変換結果" box and the "終了" box
# are answered with OK, the program ends and the document equals the expected one. Prints
# "N passed, M failed"; non-zero on failure.
set -uo pipefail
cd "$(dirname "$0")/../.."
source scripts/deps.sh
quorvel_need xvfb xdotool fonts-ipafont-gothic >/dev/null || exit 1

build=${QUORVEL_QT_BUILD:-build/dev}
program=$build/ui/qt/quorvel
if [ ! -x "$program" ] && [ -z "${QUORVEL_QT_BUILD:-}" ]; then
    # Qt may have been missing when the tree was configured: add it and build what this run needs.
    quorvel_need qt6-base-dev >/dev/null &&
        cmake --preset dev >/dev/null &&
        cmake --build --preset dev --target quorvel qt_make_mem quorvel-cli >/dev/null
fi
if [ ! -x "$program" ]; then
    echo "no desktop program at $program (build the dev preset first)" >&2
    echo "0 passed, 1 failed"
    exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-qt-XXXXXX")
source scripts/x11-session.sh
trap x11_stop EXIT
if ! x11_session 1024x768; then
    echo "0 passed, 1 failed"
    exit 1
fi

# Cases: an input and the document expected from it. The bundled samples with their documents
# first; without them a generated file, checked against the command-line converter.
cases=()
for mem in samples/*.mem; do
    [ -e "$mem" ] || continue
    xml=${mem%.*}.xml
    [ -e "$xml" ] && cases+=("$mem|$xml")
done
if [ ${#cases[@]} -eq 0 ]; then
    mkdir -p "$work/generated"
    if "$build/tests/qt/qt_make_mem" "$work/generated/points.mem" &&
        "$build/cli/quorvel-cli" "$work/generated/points.mem" -o "$work/generated/points.xml" >/dev/null; then
        cases+=("$work/generated/points.mem|$work/generated/points.xml")
    else
        echo "no samples, and no generated input with its document" >&2
    fi
fi

# A phone's GPX (made from a sample), converted by the dialog into what the command line writes.
cli=$(realpath "$build/cli/quorvel-cli")
for mem in samples/*.mem; do
    [ -e "$mem" ] || break
    mkdir -p "$work/phone"
    cp "$mem" "$work/phone/phone.mem"
    if (cd "$work/phone" && "$cli" phone.mem --to gpx >/dev/null && rm phone.mem &&
        "$cli" phone.gpx --to glorie -o expected.xml >/dev/null); then
        cases+=("$work/phone/phone.gpx|$work/phone/expected.xml")
    else
        echo "no GPX made of $mem" >&2
        cases+=("$work/phone/phone.gpx|missing")
    fi
    break
done

# Presses a key in a window through the X test extension, after giving the window the focus.
press() {
    xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"
    sleep 0.3
    xdotool key --clearmodifiers "$2"
}

passed=0
failed=0
run_case() {
    local input=$1 expected=$2 name
    name=$(basename "$input")
    local dir="$work/run-${name%.*}"
    mkdir -p "$dir"
    cp "$input" "$dir/$name"
    local output="$dir/${name%.*}.xml"

    "$program" "$dir/$name" >"$dir/stdout" 2>"$dir/stderr" &
    app_pid=$!
    local main done_box
    main=$(wait_window "Quorvel") || { echo "$name: the dialog did not appear"; return 1; }
    press "$main" Return
    if [ "${name##*.}" != mem ]; then
        # A map file: first the box naming the files written.
        local files_box
        files_box=$(wait_window "変換結果") || { echo "$name: no box naming the files after Enter"; return 1; }
        press "$files_box" Return
    fi
    done_box=$(wait_window "終了") || { echo "$name: no completion box after Enter"; return 1; }
    [ -e "$output" ] || { echo "$name: no document written before the completion box"; return 1; }
    press "$done_box" Return
    for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$app_pid" 2>/dev/null; then
        echo "$name: the program did not end after OK"
        return 1
    fi
    local status=0
    wait "$app_pid" || status=$?
    app_pid=
    [ "$status" -eq 0 ] || { echo "$name: exit status $status"; cat "$dir/stderr"; return 1; }
    cmp -s "$output" "$expected" || { echo "$name: document differs from $expected"; cmp "$output" "$expected"; return 1; }
    echo "$name: converted through the dialog, document as expected"
}

for entry in "${cases[@]}"; do
    if run_case "${entry%%|*}" "${entry#*|}"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
        app_pid=
    fi
done
[ ${#cases[@]} -eq 0 ] && failed=$((failed + 1))

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
