#!/usr/bin/env python3
"""The anchor of the window's longest wait: a plain process that sleeps 5 ms in a loop and
notes the longest time between two of its turns, until it is stopped (SIGTERM or SIGINT).
Run beside the window at the same priority, it tells how much of a wait the machine itself
causes (a shared machine can hold up any process for tens of milliseconds).

    tools/loop-anchor.py > file &   ...   kill %1   ->   "anchor-longest-gap <ms>"
"""
import signal
import sys
import time

longest = 0.0


def stop(*_):
    print("anchor-longest-gap %d" % round(longest * 1000), flush=True)
    sys.exit(0)


signal.signal(signal.SIGTERM, stop)
signal.signal(signal.SIGINT, stop)
last = time.monotonic()
while True:
    time.sleep(0.005)
    now = time.monotonic()
    longest = max(longest, now - last)
    last = now
