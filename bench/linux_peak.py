#!/usr/bin/env python3
"""Watches for a Linux process whose command line contains NAME (a Windows
program under Wine is one Linux process) and prints the last VmHWM (peak
resident set, kB) seen before it went away: the reference that the Windows
side's PeakWorkingSetSize is checked against.

    linux_peak.py NAME [TIMEOUT_SECONDS]
"""

import os
import sys
import time


def matching(name):
    for pid in os.listdir("/proc"):
        if not pid.isdigit() or int(pid) == os.getpid():
            continue
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                program = f.read().split(b"\0")[0]
            if name.encode() in program:
                yield pid
        except OSError:
            pass


def hwm(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        return None
    return None


def main():
    name = sys.argv[1]
    deadline = time.monotonic() + (float(sys.argv[2]) if len(sys.argv) > 2 else 60)
    pid = None
    while pid is None and time.monotonic() < deadline:
        pid = next(matching(name), None)
        time.sleep(0.001)
    peak = -1
    while pid is not None and time.monotonic() < deadline:
        seen = hwm(pid)
        if seen is None:
            break
        peak = max(peak, seen)
        time.sleep(0.002)
    print(peak)


if __name__ == "__main__":
    main()
