#!/usr/bin/env bash
# Takes docs/windows-main.png, docs/windows-message.png, docs/windows-about.png and
# docs/windows-browse.png (the input browse's common dialog) as Wine draws
# quorvel.exe with the Japanese font on a private Xvfb display, each cropped to its window.
# QUORVEL_WIN_BUILD names the windows build folder (default build/windows); where the kernel runs
# no 32-bit programs the windows64 build is drawn instead (scripts/wine-session.sh says so).
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-session.sh
quorvel_wine_session
status=$?
[ "$status" -eq 2 ] && { echo "Wine could not be installed" >&2; exit 1; }
[ "$status" -eq 0 ] || exit 1
quorvel_need imagemagick || exit 1

# Inputs in C:\data, so that the pictures show a plain path.
cases=$WINEPREFIX/drive_c/data
mkdir -p "$cases"
wine "$driver" make-input "$(winepath -w "$cases")" 2>>"$work/wine.log" || exit 1
input=$(winepath -w "$cases/route.mem")

shoot() {
    local scene=$1 out=$2
    local done_file=$work/done-$scene log=$work/pose-$scene.txt
    : >"$log"
    wine "$driver" pose "$(winepath -w "$exe")" "$input" "$scene" "$(winepath -w "$done_file")" >"$log" 2>>"$work/wine.log" &
    local pose_pid=$!
    local rect=
    for _ in $(seq 300); do
        rect=$(tr -d '\r' <"$log" | sed -n 's/^RECT //p')
        [ -n "$rect" ] && break
        kill -0 "$pose_pid" 2>/dev/null || break
        sleep 0.1
    done
    if [ -z "$rect" ]; then
        echo "the $scene scene did not show" >&2
        touch "$done_file"
        wait "$pose_pid"
        return 1
    fi
    read -r x y w h <<<"$rect"
    import -window root -crop "${w}x${h}+${x}+${y}" +repage "$out"
    touch "$done_file"
    wait "$pose_pid"
    echo "wrote $out (${w}x${h})"
}

mkdir -p docs
shoot main docs/windows-main.png &&
    shoot message docs/windows-message.png &&
    shoot about docs/windows-about.png &&
    shoot browse docs/windows-browse.png
