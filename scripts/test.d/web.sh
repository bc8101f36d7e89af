#!/usr/bin/env bash
# The web page: built (cmake --preset web), driven in headless Chromium by ui/web/test/web-test.mjs,
# every download held against quorvel-cli --reading none byte for byte, the table against --list,
# no request but map tiles, the 360 px layout, axe-core's checks, the journey by keyboard; then the
# site (build/web/site/) served on 127.0.0.1 by ui/web/test/site-test.mjs: installable, offline,
# shared files, text and links (none from another site), touch, the first visit's bytes and
# requests, the readings held back. Each ends with "N passed, M failed".
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/deps.sh
quorvel_need chromium emscripten nodejs skkdic-extra >/dev/null  # the SKK lists: place names for the guesser

scripts/deps.sh web
cmake --preset web >/dev/null
cmake --build --preset web >/dev/null
page=build/web/quorvel.html
# The CLI and the GPX generator of the native build; the suites before this one built them.
cmake --preset dev >/dev/null
cmake --build --preset dev --target quorvel-cli quorvel-make-big-gpx >/dev/null
(cd ui/web && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error >/dev/null)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/inputs"
cp samples/meisho.mem "$work/inputs/"
build/dev/tests/tools/quorvel-make-big-gpx 750 "$work/inputs/big.gpx"
(cd "$work/inputs" && "$OLDPWD/build/dev/cli/quorvel-cli" meisho.mem -o sample.kmz --reading none >/dev/null)
(cd "$work/inputs" && "$OLDPWD/build/dev/cli/quorvel-cli" meisho.mem -o named.xml --reading none >/dev/null)
# A glorie document of 701 points, more than one of the unit's documents holds.
awk 'BEGIN { print "<?xml version=\"1.0\" encoding=\"Shift_JIS\" ?>\n<glorie version=\"1.0\">";
    for (i = 0; i < 701; i++) printf "<gpoi><poi><point><pos><lat>35.%05d</lat><lon>139.%05d</lon></pos></point><name><nb>p%d</nb></name></poi></gpoi>\n", i, i, i;
    print "</glorie>" }' >"$work/inputs/many.xml"
# Points a map export may hold: a reading, none, a long name, characters the unit cannot show,
# the sea, the southern hemisphere, no position at all.
cat >"$work/inputs/places.gpx" <<'GPX'
<?xml version="1.0" encoding="UTF-8"?>
<gpx version="1.1" creator="test" xmlns="http://www.topografix.com/GPX/1/1">
<wpt lat="35.681236" lon="139.767125"><name>東京駅 丸の内</name><cmt>とうきょうえき</cmt></wpt>
<wpt lat="34.6873153" lon="135.5262013"><name>大阪城 天守閣と西の丸庭園</name></wpt>
<wpt lat="43.0621" lon="141.3544"><name>札幌 ♨ 温泉 🍜</name><desc>0112223333</desc></wpt>
<wpt lat="26.2124" lon="127.6792"><name>那覇</name></wpt>
<wpt lat="34.5" lon="141.9"><name>沖合</name></wpt>
<wpt lat="-33.8568" lon="151.2153"><name>Sydney Opera House</name></wpt>
<wpt lat="0" lon="0"><name>Null Island</name></wpt>
</gpx>
GPX
# A waypoint and a track: the track's points read only with --all-points (the page's box for it).
cat >"$work/inputs/tracks.gpx" <<'GPX'
<?xml version="1.0" encoding="UTF-8"?>
<gpx version="1.1" creator="test" xmlns="http://www.topografix.com/GPX/1/1">
<wpt lat="35.681236" lon="139.767125"><name>東京駅</name></wpt>
<trk><name>散歩</name><trkseg><trkpt lat="35.6812" lon="139.7671"/><trkpt lat="35.6830" lon="139.7690"/></trkseg></trk>
</gpx>
GPX
status=0
# The zips' entry names, and the readings' packing, in Node alone.
node ui/web/test/zip-names.mjs || status=1
node ui/web/test/readings-pack.mjs || status=1
node ui/web/test/web-test.mjs "$PWD/$page" "$PWD/build/dev/cli/quorvel-cli" "$work" || status=1
node ui/web/test/site-test.mjs "$PWD/build/web/site" "$PWD/build/dev/cli/quorvel-cli" "$work" || status=1
exit $status
