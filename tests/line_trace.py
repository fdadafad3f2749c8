#!/usr/bin/env python3
"""Reads what strace saw kpl do to its serial port and prints one line per
rule of the line's handling, "ok RULE" or "not ok RULE" (scripts/cli-e2e).

  line_trace.py TRACE DEVICE

A pseudo terminal takes any speed and passes bytes at once, so the speed,
framing, raw mode and the wait for the bytes to leave are seen in the
system calls: strace decodes the terminal ioctls."""
import re
import sys

trace, device = sys.argv[1], sys.argv[2]
calls, fd = [], None
for line in open(trace):
    line = re.sub(r"^\d+ +", "", line.strip())
    opened = re.match(r'openat\(AT_FDCWD, "%s", ([A-Z_|]+)\) = (\d+)' % re.escape(device), line)
    if opened:
        fd = opened.group(2)
        calls.append(line)
    elif fd is not None and re.match(r"\w+\(%s[,)]" % fd, line):
        calls.append(line)
        if line.startswith("close(%s)" % fd):
            break


def settings(call):
    fields = dict(re.findall(r"(c_\w+)=([A-Z0-9_|]*)", call))
    return {name: set(value.split("|")) for name, value in fields.items()}


sets = [c for c in calls if "TCSETS" in c]
gets = [c for c in calls if "TCGETS" in c]
writes = [i for i, c in enumerate(calls) if c.startswith("write(")]
line = settings(sets[0]) if sets else {}
rules = [
    ("the port opened read-write, not as a controlling terminal",
     bool(calls) and "O_RDWR" in calls[0] and "O_NOCTTY" in calls[0]),
    ("an exclusive advisory lock, then TIOCEXCL, before anything is set",
     any("flock(%s, LOCK_EX|LOCK_NB)" % fd in c for c in calls)
     and any("TIOCEXCL" in c for c in calls)
     and min([i for i, c in enumerate(calls) if "TIOCEXCL" in c] or [99999])
     < min([i for i, c in enumerate(calls) if "TCSETS" in c] or [-1])),
    ("9600 baud, 8 data bits, no parity, 1 stop bit, no hardware flow control, modem lines ignored",
     line.get("c_cflag") == {"B9600", "CS8", "CREAD", "CLOCAL"}),
    ("raw: no output processing, no line editing or signals, no XON/XOFF or CR translation",
     "OPOST" not in line.get("c_oflag", {"OPOST"})
     and not line.get("c_lflag", {"ICANON"}) & {"ICANON", "ISIG", "ECHO", "IEXTEN"}
     and not line.get("c_iflag", {"IXON"}) & {"IXON", "IXOFF", "ICRNL", "INLCR", "ISTRIP"}),
    ("every write waited out (tcdrain) before the next step",
     bool(writes) and all("TCSBRK, 1" in calls[i + 1] for i in writes)),
    ("the port's own settings put back before it is let go",
     len(sets) >= 2 and bool(gets) and settings(sets[-1]) == settings(gets[0])
     and any("TIOCNXCL" in c for c in calls[calls.index(sets[-1]):])),
]
for rule, kept in rules:
    print(("ok " if kept else "not ok ") + rule)
