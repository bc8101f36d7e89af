#!/usr/bin/env bash
# pugixml for the native builds in its compact mode (12 bytes a node instead of 56: a document of
# tiny elements stays within three times its size), which Debian's build leaves off: built from
# Debian's own source package (apt-get source) into build/native-deps/prefix, once.
# Usage: bash scripts/native-deps.sh   (prints the prefix on its last line)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
export DEBIAN_FRONTEND=noninteractive
root=$PWD/build/native-deps
prefix=$root/prefix
quorvel_need dpkg-dev cmake ninja-build g++ >&2

stamp=$(sha256sum scripts/native-deps.sh | cut -d' ' -f1)
if [ ! -f "$prefix/lib/libpugixml.a" ] || [ "$(cat "$prefix/deps.stamp" 2>/dev/null)" != "$stamp" ]; then
    quorvel_deb_src
    rm -rf "$root/src" "$root/build" && mkdir -p "$root/src"
    (cd "$root/src" && apt-get -o DPkg::Lock::Timeout=600 source -qq pugixml >/dev/null 2>&1) ||
        { echo "apt-get source pugixml failed" >&2; exit 1; }
    src=$(find "$root/src" -mindepth 1 -maxdepth 1 -type d -name 'pugixml-*' | head -n 1)
    echo "building pugixml (compact) from Debian's source package" >&2
    # Position-independent: Debian's programs are PIE.
    # Quiet unless it fails: then its log says why.
    log=$root/build.log
    { cmake -S "$src" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
          -DBUILD_SHARED_LIBS=OFF -DPUGIXML_BUILD_TESTS=OFF -DPUGIXML_COMPACT=ON -DCMAKE_POSITION_INDEPENDENT_CODE=ON &&
      cmake --build "$root/build" -j2 && cmake --install "$root/build"; } >"$log" 2>&1 ||
        { cat "$log" >&2; echo "pugixml could not be built (log: $log)" >&2; exit 1; }
    echo "$stamp" >"$prefix/deps.stamp"
fi
echo "$prefix"
