# Shared by the scripts that run the tools under Wine: a private X display,
# a Wine prefix, and serial lines (socat pty pairs) mapped to COM ports with
# the display emulator at the far end. Source it; call wine_env_cleanup on exit.

KPL_ROOT=${KPL_ROOT:-$(cd "$(dirname "$0")/.." && pwd)}
. "$KPL_ROOT/scripts/lib/sim-line.sh"
WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
export WINEARCH=win64 WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"

KPL_PIDS=""

# $1: folder for this run's prefix, lines and emulator output.
wine_env_start() {
    KPL_RUN_DIR=$1
    mkdir -p "$KPL_RUN_DIR"
    export WINEPREFIX="$KPL_RUN_DIR/wineprefix"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        "$WINE64" wineboot -i >/dev/null 2>&1
        "$WINESERVER" -w
    fi
}

# Starts Xvfb on the first free display number and exports DISPLAY.
wine_env_display() {
    n=${KPL_DISPLAY_FROM:-91}
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$KPL_RUN_DIR/xvfb.log" 2>&1 &
    KPL_PIDS="$KPL_PIDS $!"
    export DISPLAY=":$n"
    wait_for_path "/tmp/.X11-unix/X$n" 50 && return 0
    echo "Xvfb did not start" >&2
    return 1
}

# $1: COM port number, then any more numbers that reach the same line.
# Starts a serial line with kplsim at the far end (sim-line.sh) in
# $KPL_RUN_DIR/line$1 and maps the COM ports to its near end. Sets
# KPL_SIM_OUT (the emulator's folder) and KPL_SIM_OUT_WIN (the same seen
# from Wine); kplsim takes the options in KPL_SIM_FLAGS.
wine_env_line() {
    # shellcheck disable=SC2086
    sim_line_start "$KPL_RUN_DIR/line$1" ${KPL_SIM_FLAGS:-} || return 1
    for number in "$@"; do
        wine_env_map "$number" "$SIM_LINE_DIR/tool"
    done
    KPL_SIM_OUT_WIN=$(wine_path "$KPL_SIM_OUT")
    export KPL_SIM_OUT KPL_SIM_OUT_WIN
}

# $1: COM port number, $2: the Linux file it reaches.
wine_env_map() {
    "$WINE64" reg add 'HKLM\Software\Wine\Ports' /v "COM$1" /t REG_SZ /d "$2" /f >/dev/null 2>&1
    # The COM links are made when the Wine server starts.
    "$WINESERVER" -k 2>/dev/null || true
    "$WINESERVER" -w 2>/dev/null || true
    rm -f "$WINEPREFIX/dosdevices/com$1"
    ln -s "$2" "$WINEPREFIX/dosdevices/com$1"
}

wine_env_cleanup() {
    [ -n "${WINEPREFIX:-}" ] && "$WINESERVER" -k 2>/dev/null
    sim_line_cleanup
    for pid in $KPL_PIDS; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    KPL_PIDS=""
}

# The Windows form of a Linux path, as programs under Wine see it.
wine_path() {
    printf 'Z:%s\n' "$1" | tr / '\\'
}

# $1: GoogleTest report (Linux path); $2...: a Windows test program and its
# arguments. Runs it in a Wine desktop window of its own, which draws
# window frames as Windows does (bare X windows have none without a window
# manager). Explorer does not pass the exit code on, so the report decides:
# fails when it is missing or counts a failure.
wine_env_desktop_tests() {
    report=$1
    shift
    rm -f "$report"
    "$WINE64" explorer /desktop=kpltests,1024x768 "$@" --gtest_output="xml:$(wine_path "$report")" || true
    if [ ! -f "$report" ]; then
        echo "no test report: $report" >&2
        return 1
    fi
    head=$(grep -m1 '<testsuites' "$report")
    echo "$head" | grep -q ' failures="0"' && echo "$head" | grep -q ' errors="0"'
}
