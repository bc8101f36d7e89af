#!/bin/sh
# Usage: place-readings.sh ENAMDICT OUT (OUT ending in .txt)
# The readings of place and station names from Debian's enamdict (EUC-JP, a line an entry:
# NAME [READING] /(TAGS) ...; p a place, st a station) as the guesser reads them: UTF-8 lines of a
# name, a tab and a reading, sorted by the name's bytes, a name's readings in the source's order.
# With them, lines of # and a kanji: how the kanji is read within the dictionary's names of two
# kanji (every entry, people's names too), the most common reading first, for a name no list
# reaches that is read a kanji at a time.
set -eu
[ $# -eq 2 ] || { echo "usage: $0 ENAMDICT OUT" >&2; exit 2; }
tab=$(printf '\t')
# A name and reading of a place or station; -c drops the few bytes that are no EUC-JP rather than
# ending the extraction there. A kanji's reading in a name of two is what is left when the other
# kanji's own reading (an entry of it alone, the longest that fits) is taken from its start or end;
# kept when three names at least read it so.
: >"$2.chars"
LC_ALL=C iconv -c -f EUC-JP -t UTF-8 "$1" | LC_ALL=C awk -v chars="$2.chars" '
    function kanji(text, at) { return substr(text, at, 1) >= "\344" && substr(text, at, 1) <= "\351" }
    match($0, /^[^ ]+ \[[^]]+\] \/\([^)]*\)/) {
        split(substr($0, 1, RLENGTH), parts, " ")
        name = parts[1]
        reading = substr(parts[2], 2, length(parts[2]) - 2)
        tags = "," substr(parts[3], 3, length(parts[3]) - 3) ","
        if (index(tags, ",p,") || index(tags, ",st,")) print name "\t" reading
        if (length(name) == 3 && kanji(name, 1)) alone[name] = alone[name] " " reading
        else if (length(name) == 6 && kanji(name, 1) && kanji(name, 4)) { pairs++; pair[pairs] = name; read[pairs] = reading }
    }
    END {
        for (i = 1; i <= pairs; i++) {
            first = substr(pair[i], 1, 3); second = substr(pair[i], 4, 3); r = read[i]
            best = 0; n = split(alone[first], known, " ")
            for (j = 1; j <= n; j++) if (length(known[j]) > best && length(known[j]) < length(r) && substr(r, 1, length(known[j])) == known[j]) best = length(known[j])
            if (best) count[second "\t" substr(r, best + 1)]++
            best = 0; n = split(alone[second], known, " ")
            for (j = 1; j <= n; j++) if (length(known[j]) > best && length(known[j]) < length(r) && substr(r, length(r) - length(known[j]) + 1) == known[j]) best = length(known[j])
            if (best) count[first "\t" substr(r, 1, length(r) - best)]++
        }
        for (key in count) if (count[key] >= 3) print count[key] "\t#" key >chars
    }' >"$2.places"
# Each kanji's readings the most common first (ties by their bytes), after the places: the sort by
# name keeps that order.
[ -s "$2.places" ] || { echo "$0: no place names in $1" >&2; rm -f "$2.places" "$2.chars"; exit 1; }
LC_ALL=C sort -t "$tab" -k1,1nr -k2,2 -k3,3 "$2.chars" | cut -f2- | cat "$2.places" - |
    LC_ALL=C sort -s -t "$tab" -k1,1 | LC_ALL=C awk '!seen[$0]++' >"$2.tmp"
rm -f "$2.places" "$2.chars"
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
