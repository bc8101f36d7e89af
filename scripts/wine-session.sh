# Sourced by the Wine suite and the Windows screenshots: installs Wine if needed, then starts a
# private Xvfb display and a private Wine prefix in a Japanese locale (ANSI code page 932), with
# the dialog font drawn by IPA Gothic. Sets: root, build, exe, driver, filetests, work, DISPLAY,
# WINEPREFIX, wine_bits; the EXIT trap stops Wine and Xvfb and removes $work.
# The build run is the shipped 32-bit one (windows preset, QUORVEL_WIN_BUILD) where the kernel runs
# 32-bit programs, else the 64-bit build of the same sources (windows64 preset, QUORVEL_WIN64_BUILD)
# under wine64; QUORVEL_WINE_BUILD=64 asks for the 64-bit one. One line says which and why.
# Returns 2 when Wine cannot be installed, 1 on any other failure.

# True when the kernel runs a 32-bit x86 program: a 96-byte i386 ELF that only exits is run.
# Otherwise probe_error says why (a kernel without IA-32 emulation: "Exec format error").
quorvel_kernel_runs_i386() {
    local probe=$root/build/wine-probe/exit-i386
    mkdir -p "$(dirname "$probe")"
    python3 - "$probe" <<'PY'
import struct, sys
base, size = 0x08048000, 96
header = b"\x7fELF\x01\x01\x01" + bytes(9) + struct.pack("<HHIIIIIHHHHHH", 2, 3, 1, base + 84, 52, 0, 0, 52, 32, 1, 0, 0, 0)
segment = struct.pack("<IIIIIIII", 1, 0, base, base, size, size, 5, 0x1000)
code = bytes([0xB8, 1, 0, 0, 0, 0x31, 0xDB, 0xCD, 0x80]) + bytes(3)  # exit(0) through int 0x80
open(sys.argv[1], "wb").write(header + segment + code)
PY
    chmod +x "$probe"
    probe_error=$("$probe" 2>&1) && return 0
    probe_error=$(printf '%s' "${probe_error:-status $?}" | tail -n 1 | sed 's/^.*: //')
    return 1
}

quorvel_wine_session() {
    source scripts/deps.sh
    export DEBIAN_FRONTEND=noninteractive
    root=$(pwd)

    sudo=
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    local why
    wine_bits=32
    if [ "${QUORVEL_WINE_BUILD:-}" = 64 ]; then
        wine_bits=64 why="asked for by QUORVEL_WINE_BUILD=64"
    elif ! quorvel_kernel_runs_i386; then
        wine_bits=64 why="this kernel runs no 32-bit programs ($probe_error)"
    else
        why="this kernel runs 32-bit programs"
        if ! dpkg --print-foreign-architectures | grep -qx i386; then
            # dpkg has no lock timeout of its own: tried again while another installation holds it.
            local tries
            for tries in $(seq 60); do $sudo dpkg --add-architecture i386 2>/dev/null && break; sleep 10; done
            $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq >/tmp/quorvel-apt.log 2>&1
        fi
        if ! quorvel_need wine wine32:i386 wine64; then
            wine_bits=64 why="the 32-bit Wine (wine32:i386) could not be installed"
        fi
    fi
    if ! quorvel_need wine wine64 xvfb fonts-ipafont-gothic locales; then
        return 2
    fi
    local preset
    if [ "$wine_bits" = 32 ]; then
        preset=windows build=${QUORVEL_WIN_BUILD:-$root/build/windows}
    else
        preset=windows64 build=${QUORVEL_WIN64_BUILD:-$root/build/windows64}
        quorvel_need g++-mingw-w64-x86-64-posix || return 1
    fi
    echo "Wine: the $wine_bits-bit build ($preset preset, $build) under wine$([ "$wine_bits" = 64 ] && echo 64): $why"
    if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
        $sudo localedef -i ja_JP -f UTF-8 ja_JP.UTF-8 || { echo "cannot generate the ja_JP.UTF-8 locale" >&2; return 1; }
    fi

    # The MinGW libraries the build links, made before CMake configures it.
    bash scripts/deps.sh "$preset" || return 1
    if [ "$wine_bits" = 64 ]; then
        # Not built by ./scripts/test's own steps: brought up to date here, the programs a reduced
        # run needs only.
        local targets=()
        [ "${QUORVEL_WINE_PART:-}" = reduced ] &&
            targets=(--target quorvel quorvel_wine_driver quorvel_wine_file_tests quorvel-dms-sample)
        mkdir -p "$root/build/wine-probe"
        { { [ -f "$build/build.ninja" ] && [ -f "$build/CMakeCache.txt" ]; } || cmake --preset "$preset" -B "$build" >/dev/null; } &&
            cmake --build "$build" -j2 "${targets[@]}" >"$root/build/wine-probe/build64.log" 2>&1 ||
            { tail -n 30 "$root/build/wine-probe/build64.log" >&2; return 1; }
    elif [ ! -f "$build/ui/win32/quorvel.exe" ] || [ ! -f "$build/ui/win32/tests/quorvel_wine_driver.exe" ] ||
        [ ! -f "$build/tests/tools/quorvel-dms-sample.exe" ] || [ ! -f "$build/cli/quorvel-cli.exe" ] ||
        [ ! -f "$build/ui/win32/tests/quorvel_wine_cli_runner.exe" ]; then
        cmake --preset "$preset" -B "$build" >/dev/null && cmake --build "$build" -j2 || return 1
    fi
    exe=$build/ui/win32/quorvel.exe
    driver=$build/ui/win32/tests/quorvel_wine_driver.exe
    filetests=$build/ui/win32/tests/quorvel_wine_file_tests.exe

    work=$(mktemp -d /tmp/quorvel-wine.XXXXXX)
    xvfb_pid=
    cleanup() {
        WINEPREFIX=$work/prefix wineserver -k >/dev/null 2>&1
        [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
        rm -rf "$work"
    }
    trap cleanup EXIT

    # A display of our own: Xvfb picks a free number and reports it.
    exec 3>"$work/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    exec 3>&-
    for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
    [ -s "$work/display" ] || { echo "Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; return 1; }

    # The 64-bit loader and server for every Wine command, the tools' launcher (wine-stable) too:
    # Debian's wine picks the 32-bit loader whenever wine32 is installed.
    if [ "$wine_bits" = 64 ]; then
        mkdir -p "$work/bin"
        printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec /usr/lib/wine/wine64 "$@"\n' >"$work/bin/wine"
        cp "$work/bin/wine" "$work/bin/wine-stable"
        printf '#!/bin/sh\nexec /usr/lib/wine/wineserver64 "$@"\n' >"$work/bin/wineserver"
        chmod +x "$work/bin/wine" "$work/bin/wine-stable" "$work/bin/wineserver"
        export PATH=$work/bin:$PATH
    fi

    export DISPLAY=:$(head -n1 "$work/display")
    export WINEPREFIX=$work/prefix WINEDLLOVERRIDES="mscoree,mshtml=" LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
    # Wine's own errors about missing modules stay visible; they say why a program could not start.
    export WINEDEBUG=-all,err+module
    if [ "$wine_bits" = 32 ]; then
        [ -x /usr/lib/wine/wine ] || { echo "the 32-bit Wine loader (wine32:i386) is missing" >&2; return 1; }
    else
        [ -x /usr/lib/wine/wine64 ] || { echo "the 64-bit Wine loader (wine64) is missing" >&2; return 1; }
    fi
    echo "preparing a Wine prefix"
    # A new machine's first prefix can come up incomplete (a server still starting, DLLs not yet
    # in place); a program that cannot start is tried once more in a new prefix.
    local attempt
    for attempt in 1 2; do
        wineboot -i >"$work/wineboot.log" 2>&1
        wineserver -w
        # Through a pipe: Wine writes to /dev/null a character at a time.
        timeout 60 wine "$build/tests/tools/quorvel-dms-sample.exe" 2>"$work/probe.log" | tail -n 1 >"$work/probe.out"
        local rc=${PIPESTATUS[0]}
        [ "$rc" -eq 0 ] && [ -s "$work/probe.out" ] && break
        echo "Wine could not start a $wine_bits-bit program (attempt $attempt, status $rc):" >&2
        tail -n 20 "$work/wineboot.log" "$work/probe.log" >&2
        [ "$attempt" -eq 2 ] && return 1
        wineserver -k >/dev/null 2>&1
        rm -rf "$WINEPREFIX"
    done
    # The caption buttons' symbol font is not found from the prefix in this locale otherwise.
    [ -f /usr/share/wine/fonts/marlett.ttf ] && cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"

    # The dialog font and the message boxes' font drawn with IPA Gothic, so that Japanese shows.
    reg=$work/fonts.reg
    {
        printf 'Windows Registry Editor Version 5.00\r\n\r\n'
        printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
        printf '"ＭＳ Ｐゴシック"="IPAPGothic"\r\n"ＭＳ ゴシック"="IPAGothic"\r\n"MS UI Gothic"="IPAPGothic"\r\n\r\n'
        printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n'
        printf '"ＭＳ Ｐゴシック"="IPAPGothic"\r\n"MS Shell Dlg"="IPAPGothic"\r\n"MS Shell Dlg 2"="IPAPGothic"\r\n\r\n'
        # Wine draws the window frames itself, as no window manager runs.
        printf '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n"Decorated"="Y"\r\n'
    } | { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE; } >"$reg"
    wine regedit /S "$(winepath -w "$reg")" >/dev/null 2>&1
    wineserver -w
}
