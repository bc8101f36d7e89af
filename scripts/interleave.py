#!/usr/bin/env python3
"""Whole-process times of several commands run interleaved: each round runs every command once,
in turn, so that a change in the machine's load falls on all of them alike.

Usage: interleave.py ROUNDS NAME=COMMAND...
Prints for each command the median, middle half and fastest wall time and the median CPU time
(user + system, which a shared machine's load disturbs less), each against the first command's.
Each round starts one command further on, so that no command always runs after the same one (on a
disk, a run that follows another's syncs waits for them). A command that
fails stops the run, unless INTERLEAVE_ANY_STATUS is set (to time a refusal).
"""
import os
import shlex
import statistics
import sys
import time


def run(argv):
    start = time.perf_counter_ns()
    pid = os.posix_spawn(argv[0], argv, os.environ)
    _, status, usage = os.wait4(pid, 0)
    wall = (time.perf_counter_ns() - start) / 1e6
    if os.waitstatus_to_exitcode(status) != 0 and not os.environ.get("INTERLEAVE_ANY_STATUS"):
        sys.exit(f"{' '.join(argv)} failed")
    return wall, (usage.ru_utime + usage.ru_stime) * 1e3


def main():
    rounds = int(sys.argv[1])
    commands = []
    for argument in sys.argv[2:]:
        name, _, command = argument.partition("=")
        commands.append((name, shlex.split(command)))
    wall = {name: [] for name, _ in commands}
    cpu = {name: [] for name, _ in commands}
    devnull = os.open(os.devnull, os.O_WRONLY)
    saved = os.dup(1), os.dup(2)
    # The commands' summaries and warnings are not the figures.
    os.dup2(devnull, 1)
    os.dup2(devnull, 2)
    try:
        for _ in range(3):  # warm the caches
            for _, argv in commands:
                run(argv)
        for r in range(rounds):
            for i in range(len(commands)):
                name, argv = commands[(r + i) % len(commands)]
                w, c = run(argv)
                wall[name].append(w)
                cpu[name].append(c)
    finally:
        os.dup2(saved[0], 1)
        os.dup2(saved[1], 2)
    first = commands[0][0]
    wall0, cpu0 = statistics.median(wall[first]), statistics.median(cpu[first])
    for name, _ in commands:
        w, c = statistics.median(wall[name]), statistics.median(cpu[name])
        q = statistics.quantiles(wall[name], n=4)
        print(f"{name}: wall median {w:.3f} ms ({w / wall0:.2f} x), middle half {q[0]:.3f}-{q[2]:.3f} ms, "
              f"fastest {min(wall[name]):.3f} ms; "
              f"CPU median {c:.3f} ms ({c / cpu0:.2f} x {first}); {rounds} runs")


main()
