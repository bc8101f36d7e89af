# A private X display for the desktop program, shared by its test and its screenshots.
# Source it; x11_session WIDTHxHEIGHT starts Xvfb in $work (which the caller made) and exports
# DISPLAY; x11_stop ends it and the program in $app_pid. Returns non-zero when Xvfb does not start.
xvfb_pid=
app_pid=

x11_stop() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}

x11_session() {
    # Xvfb picks a free display number and reports it.
    Xvfb -displayfd 3 -screen 0 "$1x24" -dpi 96 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    if [ ! -s "$work/display" ]; then
        echo "Xvfb did not start:" >&2
        cat "$work/xvfb.log" >&2
        return 1
    fi
    export DISPLAY=":$(head -n1 "$work/display")"
    export QT_QPA_PLATFORM=xcb
    unset WAYLAND_DISPLAY
}

# Waits up to ten seconds for a visible window whose title is exactly $1; prints its id.
wait_window() {
    local id
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    echo "no window \"$1\"" >&2
    return 1
}
