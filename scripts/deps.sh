# What the builds need, made ready before CMake runs (configure only checks and names this
# command); quiet and idempotent, so every script that builds may call it.
# Usage: scripts/deps.sh [native] [windows] [windows64] [web] [fuzz]   (native when none is named)
#   native     the Debian packages of the Linux build and its tests, pugixml's compact build
#   windows    also the MinGW libraries Debian has no build of, into build/mingw-deps (i686)
#   windows64  the same for x86-64 (the Wine suites where the kernel runs no 32-bit programs)
#   web        emscripten and the libraries of the page's core, into build/web-deps
#   fuzz       clang and libFuzzer (the fuzz preset)
# Sourced (source scripts/deps.sh), it only defines quorvel_need pkg... and the helpers below.
quorvel_need() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "installing: ${missing[*]}"
    local sudo=
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    if ! $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >/tmp/quorvel-apt.log 2>&1; then
        $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq >>/tmp/quorvel-apt.log 2>&1
        $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >>/tmp/quorvel-apt.log 2>&1 || {
            echo "apt-get install failed; see /tmp/quorvel-apt.log" >&2
            return 1
        }
    fi
}

QUORVEL_BUILD_PACKAGES=(cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev
    libproj-dev proj-data proj-bin libpugixml-dev nlohmann-json3-dev libmecab-dev mecab-ipadic-utf8 enamdict libxml2-utils zlib1g-dev libminizip-dev
    fonts-ipafont-gothic  # the Qt dialog test checks the Japanese dialog font
    qt6-translations-l10n  # Qt's own Japanese texts (the file dialog); the Qt dialog test checks them
    clang-format-14  # scripts/format, the layout check of the tests
    skkdic-extra)  # place names with readings people wrote (GPL: read by the reading test, never copied)
# enamdict (CC BY-SA): the readings of place and station names the guesser ships (tools/place-readings.sh)

# apt-get source needs a deb-src entry; one is made for the archive the binary packages come
# from, once (the same URIs, suites and components, only the type changed).
quorvel_deb_src() {
    local sudo=
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    apt-cache showsrc pugixml 2>/dev/null | grep -q '^Package:' && return 0
    local list=/etc/apt/sources.list.d/quorvel-deb-src.sources
    if [ ! -f "$list" ]; then
        local entries
        entries=$(for f in /etc/apt/sources.list.d/*.sources; do
            [ -f "$f" ] || continue
            # Stanzas of type deb that name a Debian archive, retyped as deb-src.
            awk 'BEGIN { RS = ""; ORS = "\n\n" }
                 /(^|\n)Types:[ \t]*deb[ \t]*(\n|$)/ && /URIs:[^\n]*debian/ {
                     sub(/Types:[ \t]*deb[ \t]*\n/, "Types: deb-src\n"); print }' "$f"
        done)
        if [ -f /etc/apt/sources.list ]; then
            entries+=$(grep -E '^deb[[:space:]]+[^[:space:]]*debian' /etc/apt/sources.list |
                awk '{ sub(/^deb/, ""); printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents:", $1, $2;
                       for (i = 3; i <= NF; i++) printf " %s", $i; printf "\n\n" }' || true)
        fi
        [ -n "$entries" ] || { echo "no Debian archive found in the apt sources" >&2; return 1; }
        printf '%s\n' "$entries" | $sudo tee "$list" >/dev/null
    fi
    $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq >/tmp/quorvel-apt.log 2>&1 || { echo "apt-get update failed; see /tmp/quorvel-apt.log" >&2; return 1; }
}

# MeCab's upstream source from Debian's source package, unpacked into DIR (made anew); prints the
# source folder. The archive lacks the Debian packaging's tarball, so apt-get source fails but
# leaves the upstream one, checked here against the SHA-256 the .dsc gives (the .dsc itself
# checked by apt against the signed index). Needs a deb-src entry.
quorvel_mecab_source() {
    local fetched=$1
    rm -rf "$fetched" && mkdir -p "$fetched"
    (cd "$fetched" && apt-get source -qq mecab >/dev/null 2>&1) || true
    local dsc orig expected actual
    dsc=$(find "$fetched" -maxdepth 1 -name 'mecab_*.dsc' | head -n 1)
    orig=$(find "$fetched" -maxdepth 1 -name 'mecab_*.orig.tar.gz' | head -n 1)
    [ -n "$dsc" ] && [ -n "$orig" ] || { echo "apt-get source mecab left no .dsc or upstream tarball" >&2; return 1; }
    expected=$(awk -v name="$(basename "$orig")" '/^[^ ]/ { sums = /^Checksums-Sha256:/ } sums && $3 == name { print $1 }' "$dsc")
    actual=$(sha256sum "$orig" | cut -d' ' -f1)
    if [ -z "$expected" ] || [ "$expected" != "$actual" ]; then
        echo "$(basename "$orig"): SHA-256 $actual, the .dsc gives ${expected:-none}" >&2
        return 1
    fi
    tar xzf "$orig" -C "$fetched"
    find "$fetched" -mindepth 1 -maxdepth 1 -type d -name 'mecab-*' | head -n 1
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -euo pipefail
    cd "$(dirname "$0")/.."
    export DEBIAN_FRONTEND=noninteractive
    [ $# -gt 0 ] || set -- native
    for what in "$@"; do
        case $what in
            native) quorvel_need "${QUORVEL_BUILD_PACKAGES[@]}"; bash scripts/native-deps.sh >/dev/null ;;
            windows) bash scripts/mingw-deps.sh i686-w64-mingw32 >/dev/null ;;
            windows64) bash scripts/mingw-deps.sh x86_64-w64-mingw32 >/dev/null ;;
            web) bash scripts/web-deps.sh >/dev/null ;;
            fuzz) quorvel_need clang-14 libclang-rt-14-dev; bash scripts/native-deps.sh >/dev/null ;;
            *) echo "scripts/deps.sh: unknown build $what (native, windows, windows64, web, fuzz)" >&2; exit 2 ;;
        esac
    done
fi
