#!/usr/bin/env bash
# Pictures of the desktop program under Xvfb with the Japanese font: docs/qt-main.png (the main
# dialog with a name on its command line) and docs/qt-about.png (the about box from the help menu).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
quorvel_need xvfb xdotool imagemagick fonts-ipafont-gothic

build=${QUORVEL_QT_BUILD:-build/dev}
program=$build/ui/qt/quorvel
[ -x "$program" ] || { echo "no desktop program at $program (build the dev preset first)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-shots-XXXXXX")
source scripts/x11-session.sh
trap x11_stop EXIT
x11_session 800x600


mkdir -p docs
"$program" "/home/quorvel/地点/route.mem" &
app_pid=$!
main=$(wait_window "Quorvel")
xdotool windowfocus --sync "$main" 2>/dev/null || true
sleep 0.5
import -window "$main" docs/qt-main.png

# The help menu sits at the left of the menu bar, at the window's top-left corner.
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove $((X + 18)) $((Y + 10)) click 1
sleep 0.5
xdotool key Down Return
about=$(wait_window "Quorvelのﾊﾞｰｼﾞｮﾝ情報")
sleep 0.5
import -window "$about" docs/qt-about.png
xdotool windowfocus "$about" 2>/dev/null || true
xdotool key Return
sleep 0.3
kill "$app_pid" 2>/dev/null || true
wait "$app_pid" 2>/dev/null || true
app_pid=
echo "wrote docs/qt-main.png and docs/qt-about.png"
