#!/usr/bin/env bash
# Libraries of the Windows builds that Debian ships no MinGW build of, built from Debian's own
# source packages (apt-get source) with the MinGW toolchain into build/mingw-deps/TRIPLET.
# Cached: a library already there is not built again. zlib is Debian's (libz-mingw-w64-dev); the
# MeCab dictionary is Debian's mecab-ipadic-utf8 as installed (compiled from mecab-ipadic), the
# place names' readings beside it are extracted from Debian's enamdict.
# Usage: bash scripts/mingw-deps.sh [i686-w64-mingw32 | x86_64-w64-mingw32]
#   (the 32-bit program by default; prints the prefix on its last line)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
export DEBIAN_FRONTEND=noninteractive

triplet=${1:-i686-w64-mingw32}
case $triplet in
    i686-w64-mingw32 | x86_64-w64-mingw32) ;;
    *) echo "unknown MinGW triplet $triplet" >&2; exit 2 ;;
esac
arch=${triplet%%-*}
deps=$(pwd)/build/mingw-deps
prefix=$deps/$triplet
quorvel_need "g++-mingw-w64-${arch//_/-}-posix" libz-mingw-w64-dev dpkg-dev cmake ninja-build nlohmann-json3-dev mecab-ipadic-utf8 enamdict

# Unpacks Debian's source package into $deps/src/NAME (the version apt would install).
fetch_source() {
    local name=$1
    if [ ! -d "$deps/src/$name" ]; then
        quorvel_deb_src
        rm -rf "$deps/src/$name.tmp" && mkdir -p "$deps/src/$name.tmp"
        (cd "$deps/src/$name.tmp" && apt-get -o DPkg::Lock::Timeout=600 source -qq "$name" >/dev/null 2>&1) ||
            { echo "apt-get source $name failed" >&2; return 1; }
        local dir
        dir=$(find "$deps/src/$name.tmp" -mindepth 1 -maxdepth 1 -type d | head -n 1)
        mv "$dir" "$deps/src/$name"
        rm -rf "$deps/src/$name.tmp"
    fi
}

# pugixml: a static library for the cross build, in its compact mode as the native builds have it
# (a marker beside it: a library built before without it is built again).
if [ ! -f "$prefix/lib/libpugixml.a" ] || [ ! -f "$prefix/lib/pugixml.compact" ]; then
    echo "building pugixml for $triplet from Debian's source package"
    fetch_source pugixml
    cmake -S "$deps/src/pugixml" -B "$deps/build/$triplet/pugixml" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$(pwd)/cmake/mingw-$arch.cmake" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -DPUGIXML_BUILD_TESTS=OFF -DPUGIXML_COMPACT=ON >/dev/null
    cmake --build "$deps/build/$triplet/pugixml" -j2 >/dev/null
    cmake --install "$deps/build/$triplet/pugixml" >/dev/null
    touch "$prefix/lib/pugixml.compact"
fi

# minizip (KMZ archives, read and written in memory): the sources Debian's Makefile.am builds
# libminizip from on Windows, compiled into a static library; its headers under minizip/.
if [ ! -f "$prefix/lib/libminizip.a" ]; then
    echo "building minizip for $triplet from Debian's source package"
    fetch_source minizip
    obj=$deps/build/$triplet/minizip
    rm -rf "$obj" && mkdir -p "$obj" "$prefix/lib" "$prefix/include/minizip"
    for source in ioapi mztools unzip zip iowin32; do
        "$triplet-gcc-posix" -O2 -w -c "$deps/src/minizip/$source.c" -o "$obj/$source.o"
    done
    "$triplet-ar" rcs "$obj/libminizip.a" "$obj"/*.o
    for header in crypt ioapi mztools unzip zip iowin32; do cp "$deps/src/minizip/$header.h" "$prefix/include/minizip/"; done
    mv "$obj/libminizip.a" "$prefix/lib/"
fi

# MeCab, for guessing readings, from the checked upstream tarball of Debian's source package
# (quorvel_mecab_source), into a static library of the tagger alone; its header declares plain
# functions (a static library needs no DLL linkage, its users no windows.h).
if [ ! -f "$prefix/lib/libmecab.a" ]; then
    echo "building MeCab for $triplet from Debian's source package"
    quorvel_deb_src
    fetched=$deps/src/mecab.tmp
    src=$(quorvel_mecab_source "$fetched")
    dic_version=$(sed -n 's/^DIC_VERSION="\([0-9]*\)"$/\1/p' "$src/configure.in")
    obj=$deps/build/$triplet/mecab
    rm -rf "$obj" && mkdir -p "$obj" "$prefix/lib" "$prefix/include" "$prefix/share/licenses/mecab"
    sed -i 's|^#ifdef _WIN32$|#if 0  /* linked statically */|' "$src/src/mecab.h"
    : >"$obj/config.h"
    for unit in viterbi tagger utils eval iconv_utils dictionary_rewriter dictionary_generator dictionary_compiler \
                context_id connector nbest_generator writer string_buffer param tokenizer char_property dictionary \
                feature_index libmecab; do
        "$triplet-g++-posix" -O2 -w -msse2 -mfpmath=sse -I"$obj" -I"$src/src" -DHAVE_CONFIG_H -DHAVE_WINDOWS_H -DHAVE_GETENV -DHAVE_UNSIGNED_LONG_LONG_INT \
            -DDIC_VERSION="$dic_version" -DVERSION='"0.996"' -DPACKAGE='"mecab"' -DUNICODE -D_UNICODE \
            -DMECAB_DEFAULT_RC='"mecabrc"' -c "$src/src/$unit.cpp" -o "$obj/$unit.o"
    done
    "$triplet-ar" rcs "$obj/libmecab.a" "$obj"/*.o
    cp "$src/src/mecab.h" "$prefix/include/"
    cp "$src/BSD" "$prefix/share/licenses/mecab/BSD"
    mv "$obj/libmecab.a" "$prefix/lib/"
    rm -rf "$fetched"
fi

# nlohmann-json is header-only: Debian's headers, reached by the cross build's own search root.
if [ ! -f "$prefix/include/nlohmann/json.hpp" ]; then
    mkdir -p "$prefix/include" "$prefix/share/cmake"
    cp -r /usr/include/nlohmann "$prefix/include/"
    cp -r /usr/share/cmake/nlohmann_json "$prefix/share/cmake/"
fi
# What configure checks: this script's own digest, so that a changed script is run again.
sha256sum "scripts/mingw-deps.sh" | cut -d' ' -f1 >"$prefix/deps.stamp"
echo "$prefix"
