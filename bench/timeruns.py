#!/usr/bin/env python3
"""Median wall and CPU time of commands run alternately on one core.

Usage: bench/timeruns.py RUNS COMMAND [COMMAND...]   (each COMMAND one shell-quoted string)
Prints one line per command, in order: the median wall time and the median CPU time (user and
system) in seconds. On a busy machine the CPU time is the steadier of the two.
"""
import os
import shlex
import statistics
import subprocess
import sys
import time


def main():
    runs = int(sys.argv[1])
    commands = [shlex.split(c) for c in sys.argv[2:]]
    os.sched_setaffinity(0, {max(os.sched_getaffinity(0))})  # children inherit the core
    wall = [[] for _ in commands]
    cpu = [[] for _ in commands]
    for _ in range(runs):
        for k, command in enumerate(commands):
            start = time.perf_counter()
            child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            _, status, usage = os.wait4(child.pid, 0)
            wall[k].append(time.perf_counter() - start)
            if os.waitstatus_to_exitcode(status) != 0:
                sys.exit(f"failed: {shlex.join(command)}")
            cpu[k].append(usage.ru_utime + usage.ru_stime)
    for w, c in zip(wall, cpu):
        print(f"{statistics.median(w):.6f} {statistics.median(c):.6f}")


if __name__ == "__main__":
    main()
