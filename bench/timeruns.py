#!/usr/bin/env python3
"""Median wall time of commands run alternately on one core.

Usage: bench/timeruns.py RUNS COMMAND [COMMAND...]   (each COMMAND one shell-quoted string)
Prints one median in seconds per command, in order.
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
    times = [[] for _ in commands]
    for _ in range(runs):
        for command, spent in zip(commands, times):
            start = time.perf_counter()
            subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
            spent.append(time.perf_counter() - start)
    for spent in times:
        print(f"{statistics.median(spent):.6f}")


if __name__ == "__main__":
    main()
