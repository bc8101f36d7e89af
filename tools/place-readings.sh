#!/bin/sh
# Usage: place-readings.sh ENAMDICT OUT (OUT ending in .txt)
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
# Beside it, OUT without .txt and with .idx: a line giving the file's size, then the name and byte
# offset of the first line starting at or after each 4 KiB of it, so that a search reads the
# small index and one block of the file rather than pages all over it.
index=${2%.txt}.idx
LC_ALL=C awk -F "$tab" -v size="$(wc -c <"$2.tmp")" '
    BEGIN { print "quorvel-place-index " size; due = 0 }
    { if (offset >= due) { print $1 "\t" offset + 0; due = (int(offset / 4096) + 1) * 4096 }
      offset += length($0) + 1 }' "$2.tmp" >"$index.tmp"
mv "$index.tmp" "$index"
mv "$2.tmp" "$2"
