#!/bin/sh
# Usage: place-readings.sh ENAMDICT OUT
# The readings of place and station names from Debian's enamdict (EUC-JP, a line an entry:
# NAME [READING] /(TAGS) ...; p a place, st a station) as the guesser reads them: UTF-8 lines of a
# name, a tab and a reading, sorted by the name's bytes, a name's readings in the source's order.
set -eu
[ $# -eq 2 ] || { echo "usage: $0 ENAMDICT OUT" >&2; exit 2; }
tab=$(printf '\t')
# A name and reading of a place or station; -c drops the few bytes that are no EUC-JP rather than
# ending the extraction there.
LC_ALL=C iconv -c -f EUC-JP -t UTF-8 "$1" | LC_ALL=C awk '
    match($0, /^[^ ]+ \[[^]]+\] \/\([^)]*\)/) {
        split(substr($0, 1, RLENGTH), parts, " ")
        reading = substr(parts[2], 2, length(parts[2]) - 2)
        tags = "," substr(parts[3], 3, length(parts[3]) - 3) ","
        if (index(tags, ",p,") || index(tags, ",st,")) print parts[1] "\t" reading
    }' | LC_ALL=C sort -s -t "$tab" -k1,1 | LC_ALL=C awk '!seen[$0]++' >"$2.tmp"
[ -s "$2.tmp" ] || { echo "$0: no place names in $1" >&2; rm -f "$2.tmp"; exit 1; }
mv "$2.tmp" "$2"
