# What kpl (or any tool) sends over a serial line, as the display emulator
# kplsim records it. Source it; call sim_line_cleanup on exit.
#   sim_line_start DIR [KPLSIM-OPTION...]
#                        socat pty pair DIR/tool <-> DIR/display, kplsim on
#                        the display end writing into DIR/sim (KPL_SIM_OUT)
#   sim_mark             remember how far the recording has got
#   sim_wait N           wait until N more commands are logged since the mark
#   sim_since_mark FILE  the bytes received since the mark, into FILE
#   sim_log_since_mark   the log lines since the mark
# Waits go by kplsim's log (a command is logged once it is complete), never
# by a fixed sleep.

KPL_ROOT=${KPL_ROOT:?set KPL_ROOT to the project folder before sourcing sim-line.sh}
SIM_LINE_PIDS=""

# $1: a path, $2: how many tenths of a second to wait at most for it.
wait_for_path() {
    for _ in $(seq "$2"); do
        [ -e "$1" ] && return 0
        sleep 0.1
    done
    return 1
}

sim_line_start() {
    SIM_LINE_DIR=$1
    shift
    mkdir -p "$SIM_LINE_DIR"
    rm -f "$SIM_LINE_DIR/tool" "$SIM_LINE_DIR/display"
    socat pty,raw,echo=0,link="$SIM_LINE_DIR/tool" pty,raw,echo=0,link="$SIM_LINE_DIR/display" \
        >"$SIM_LINE_DIR/socat.log" 2>&1 &
    SIM_LINE_PIDS="$SIM_LINE_PIDS $!"
    wait_for_path "$SIM_LINE_DIR/tool" 50 && wait_for_path "$SIM_LINE_DIR/display" 50
    KPL_SIM_OUT="$SIM_LINE_DIR/sim"
    rm -rf "$KPL_SIM_OUT"
    "$KPL_ROOT/build/native/tools/kplsim/kplsim" "$SIM_LINE_DIR/display" --out "$KPL_SIM_OUT" "$@" &
    SIM_LINE_PIDS="$SIM_LINE_PIDS $!"
    # kplsim makes its files once it has set the line up.
    wait_for_path "$KPL_SIM_OUT/log.txt" 100 && return 0
    echo "kplsim did not start on $SIM_LINE_DIR/display" >&2
    return 1
}

sim_line_cleanup() {
    # kplsim first, and gone before the line goes (it would complain).
    for pid in $(echo "$SIM_LINE_PIDS" | tr ' ' '\n' | tac); do
        # Either may fail (gone already, killed): never the caller's failure.
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    SIM_LINE_PIDS=""
}

sim_mark() {
    SIM_MARK_BYTES=$(stat -c %s "$KPL_SIM_OUT/received.bin" 2>/dev/null || echo 0)
    SIM_MARK_LINES=$(wc -l <"$KPL_SIM_OUT/log.txt")
}

# False when they have not come within 30 s (a failure, not a timing).
sim_wait() {
    want=$((SIM_MARK_LINES + $1))
    for _ in $(seq 600); do
        [ "$(wc -l <"$KPL_SIM_OUT/log.txt")" -ge "$want" ] && return 0
        sleep 0.05
    done
    return 1
}

sim_since_mark() {
    tail -c +$((SIM_MARK_BYTES + 1)) "$KPL_SIM_OUT/received.bin" >"$1"
}

sim_log_since_mark() {
    tail -n +$((SIM_MARK_LINES + 1)) "$KPL_SIM_OUT/log.txt"
}

# The 480 image bytes written out in an expected hex text ("0xHH" values).
image_bytes_of_hex() {
    printf '%b' "$(grep -o '0x[0-9A-Fa-f][0-9A-Fa-f]' "$1" | sed 's/^0x/\\x/' | tr -d '\n')"
}

# $1: report file, $2: what was checked, then the command that decides.
# Prints and records "ok ..." or "not ok ...".
check() {
    report=$1 what=$2
    shift 2
    if "$@"; then
        echo "ok $what" | tee -a "$report"
    else
        echo "not ok $what" | tee -a "$report"
    fi
}
