# Sourced by the Wine suite and the Windows screenshots: installs Wine if needed, then starts a
# private Xvfb display and a private Wine prefix in a Japanese locale (ANSI code page 932), with
# the dialog font drawn by IPA Gothic. Sets: root, build, exe, driver, filetests, work, DISPLAY,
# WINEPREFIX; the EXIT trap stops Wine and Xvfb and removes $work.
# Returns 2 when Wine cannot be installed, 1 on any other failure.
quorvel_wine_session() {
    source scripts/deps.sh
    export DEBIAN_FRONTEND=noninteractive
    root=$(pwd)
    build=${QUORVEL_WIN_BUILD:-$root/build/windows}

    sudo=
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386 && $sudo apt-get update -qq >/tmp/quorvel-apt.log 2>&1
    fi
    if ! quorvel_need wine wine32:i386 wine64 xvfb fonts-ipafont-gothic locales; then
        return 2
    fi
    if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
        $sudo localedef -i ja_JP -f UTF-8 ja_JP.UTF-8 || { echo "cannot generate the ja_JP.UTF-8 locale" >&2; return 1; }
    fi

    if [ ! -f "$build/ui/win32/quorvel.exe" ] || [ ! -f "$build/ui/win32/tests/quorvel_wine_driver.exe" ] ||
        [ ! -f "$build/tests/tools/quorvel-dms-sample.exe" ] || [ ! -f "$build/cli/quorvel-cli.exe" ] ||
        [ ! -f "$build/ui/win32/tests/quorvel_wine_cli_runner.exe" ]; then
        cmake --preset windows -B "$build" >/dev/null && cmake --build "$build" -j2 || return 1
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

    export DISPLAY=:$(head -n1 "$work/display")
    export WINEPREFIX=$work/prefix WINEDLLOVERRIDES="mscoree,mshtml=" LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
    # Wine's own errors about missing modules stay visible; they say why a program could not start.
    export WINEDEBUG=-all,err+module
    [ -x /usr/lib/wine/wine ] || { echo "the 32-bit Wine loader (wine32:i386) is missing" >&2; return 1; }
    echo "preparing a Wine prefix"
    # A new machine's first prefix can come up incomplete (a server still starting, DLLs not yet
    # in place); a 32-bit program that cannot start is tried once more in a new prefix.
    local attempt
    for attempt in 1 2; do
        wineboot -i >"$work/wineboot.log" 2>&1
        wineserver -w
        # Through a pipe: Wine writes to /dev/null a character at a time.
        timeout 60 wine "$build/tests/tools/quorvel-dms-sample.exe" 2>"$work/probe.log" | tail -n 1 >"$work/probe.out"
        local rc=${PIPESTATUS[0]}
        [ "$rc" -eq 0 ] && [ -s "$work/probe.out" ] && break
        echo "Wine could not start a 32-bit program (attempt $attempt, status $rc):" >&2
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
