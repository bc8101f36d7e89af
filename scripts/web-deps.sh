#!/usr/bin/env bash
# The C++ libraries the web page's core links, built for WebAssembly with emcc from Debian's
# source packages (emscripten's own ports need a download, and Debian's emscripten has its cache
# frozen). Idempotent: each library is built once into build/web-deps/prefix and kept.
# Usage: scripts/web-deps.sh   (prints the prefix)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
export NODE_PATH=/usr/share/nodejs
root=$PWD/build/web-deps
prefix=$root/prefix

quorvel_need emscripten dpkg-dev cmake ninja-build nodejs mecab-ipadic-utf8 enamdict >&2  # the dictionary and place names go beside the page
# The page's build installs its npm packages from the lock file; a Node.js with its own npm is kept.
command -v npm >/dev/null || quorvel_need npm >&2

quorvel_deb_src

# source_of PACKAGE: unpacks Debian's source once into build/web-deps/src; prints its folder.
source_of() {
    local package=$1 dir
    mkdir -p "$root/src"
    dir=$(find "$root/src" -maxdepth 1 -type d -name "$package-[0-9]*" | head -n 1)
    if [ -z "$dir" ]; then
        # The newest version first; a version whose files a mirror lacks (a security update's
        # source) gives way to the next.
        local version fetched=
        for version in $(apt-cache showsrc "$package" | awk '/^Version:/ {print $2}' | sort -Vru); do
            if (cd "$root/src" && apt-get -o DPkg::Lock::Timeout=600 source -qq "$package=$version" >/dev/null 2>&1); then
                fetched=1
                break
            fi
        done
        if [ -z "$fetched" ]; then
            echo "apt-get source $package failed" >&2
            return 1
        fi
        dir=$(find "$root/src" -maxdepth 1 -type d -name "$package-[0-9]*" | head -n 1)
    fi
    echo "$dir"
}

# pugixml: the XML reader of the map formats. C++ code links only with code of the same
# exception handling: WebAssembly's own, as the web preset compiles the core (emscripten's
# JavaScript exceptions cost a call into JavaScript at every call that may throw). The flags it
# was built with are kept beside it, so that a change of them builds it again. Its compact mode:
# 12 bytes a node instead of 32, as the native builds have it.
cxxflags="-fwasm-exceptions"
options="-DPUGIXML_COMPACT=ON"
if [ ! -f "$prefix/lib/libpugixml.a" ] || [ "$(cat "$prefix/lib/pugixml.flags" 2>/dev/null)" != "$cxxflags $options" ]; then
    src=$(source_of pugixml)
    rm -rf "$root/build/pugixml"
    emcmake cmake -S "$src" -B "$root/build/pugixml" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -DPUGIXML_BUILD_TESTS=OFF $options "-DCMAKE_CXX_FLAGS=$cxxflags" >&2
    cmake --build "$root/build/pugixml" -j2 >&2
    cmake --install "$root/build/pugixml" >&2
    echo "$cxxflags $options" >"$prefix/lib/pugixml.flags"
fi
# zlib and its minizip: KMZ archives.
if [ ! -f "$prefix/lib/libz.a" ]; then
    src=$(source_of zlib)
    mkdir -p "$root/build/zlib" "$prefix/lib" "$prefix/include"
    cp "$src/zconf.h.in" "$root/build/zlib/zconf.h"  # the plain configuration, as configure leaves it
    objects=()
    for unit in adler32 compress crc32 deflate infback inffast inflate inftrees trees uncompr zutil; do
        emcc -O2 -I"$root/build/zlib" -I"$src" -c "$src/$unit.c" -o "$root/build/zlib/$unit.o" >&2
        objects+=("$root/build/zlib/$unit.o")
    done
    emar rcs "$prefix/lib/libz.a" "${objects[@]}"
    cp "$src/zlib.h" "$root/build/zlib/zconf.h" "$prefix/include/"
fi
if [ ! -f "$prefix/lib/libminizip.a" ]; then
    src=$(source_of minizip)
    mkdir -p "$root/build/minizip" "$prefix/include/minizip"
    objects=()
    for unit in ioapi unzip zip; do
        emcc -O2 -DIOAPI_NO_64 -DNOCRYPT -I"$prefix/include" -c "$src/$unit.c" -o "$root/build/minizip/$unit.o" >&2
        objects+=("$root/build/minizip/$unit.o")
    done
    emar rcs "$prefix/lib/libminizip.a" "${objects[@]}"
    cp "$src"/ioapi.h "$src"/unzip.h "$src"/zip.h "$prefix/include/minizip/"
fi
# MeCab, the reading guesser, from the checked upstream tarball of Debian's source package
# (quorvel_mecab_source). The tagger alone, reading its dictionary into memory (MEMFS has no mapping to share).
if [ ! -f "$prefix/lib/libmecab.a" ] || [ "$(cat "$prefix/lib/mecab.flags" 2>/dev/null)" != "$cxxflags" ]; then
    fetched=$root/src/mecab.tmp
    src=$(quorvel_mecab_source "$fetched")
    dic_version=$(sed -n 's/^DIC_VERSION="\([0-9]*\)"$/\1/p' "$src/configure.in")
    obj=$root/build/mecab
    rm -rf "$obj" && mkdir -p "$obj" "$prefix/lib" "$prefix/include"
    : >"$obj/config.h"
    objects=()
    for unit in viterbi tagger utils eval iconv_utils dictionary_rewriter dictionary_generator dictionary_compiler \
                context_id connector nbest_generator writer string_buffer param tokenizer char_property dictionary \
                feature_index libmecab; do
        em++ -O2 -w $cxxflags -I"$obj" -I"$src/src" -DHAVE_CONFIG_H -DHAVE_UNISTD_H -DHAVE_FCNTL_H -DHAVE_SYS_STAT_H \
            -DHAVE_SYS_TYPES_H -DHAVE_STRING_H -DHAVE_STDINT_H -DHAVE_DIRENT_H -DDIC_VERSION="$dic_version" \
            -DVERSION='"0.996"' -DPACKAGE='"mecab"' -DMECAB_DEFAULT_RC='"/dev/null"' \
            -c "$src/src/$unit.cpp" -o "$obj/$unit.o" >&2
        objects+=("$obj/$unit.o")
    done
    emar rcs "$prefix/lib/libmecab.a" "${objects[@]}"
    cp "$src/src/mecab.h" "$prefix/include/"
    echo "$cxxflags" >"$prefix/lib/mecab.flags"
    rm -rf "$fetched"
fi
# What configure checks: this script's own digest, so that a changed script is run again.
sha256sum "scripts/web-deps.sh" | cut -d' ' -f1 >"$prefix/deps.stamp"
echo "$prefix"
