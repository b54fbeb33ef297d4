#!/usr/bin/env python3
"""Times tavoc on the generated shapes beside two floors of the same run.

    run.py [TAVOC] [--runs N] [--work DIR] [--shapes S ...] [--big-size BYTES]
           [--clock wall|cpu] [--check] [--against OTHER_TAVOC] [--flags="-w ..."]

For every shape (gen.py) it writes the program, compiles it once to make
sure it compiles without an error, then times, interleaved, N runs each of

    true                        starting a trivial process
    cat o.src o.src >/dev/null  reading the source twice
    tavoc .                     the compilation

and reports the medians in milliseconds with

    work  = (tavoc - true) / (cat - true)   target: at most 1.5
    grows = (big - true) / (big/2 - true)   target: at most 2.2, for the
            big shape against the same shape of half the size

--against times a second build in the same runs, interleaved with the
first, and adds its median and the ratio of the two (this build's time
above the process floor against the other's).

--flags passes options to this build's tavoc only (not to OTHER_TAVOC):
"-w" leaves out the warnings, which an older build does not have.

--clock cpu takes the user + system time of each process instead of the
wall clock, which is steadier on a busy machine. --check exits with 1 when
a target is missed.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import gen  # noqa: E402

WORK_TARGET = 1.5
GROWTH_TARGET = 2.2


def timed(argv, clock):
    """Runs argv (absolute paths only) with its output discarded; returns
    (seconds, exit status). posix_spawn keeps the floor low and steady."""
    devnull = [(os.POSIX_SPAWN_OPEN, fd, "/dev/null", os.O_RDWR, 0) for fd in (0, 1, 2)]
    t0 = time.perf_counter()
    pid = os.posix_spawn(argv[0], argv, os.environ, file_actions=devnull)
    _, status, ru = os.wait4(pid, 0)
    t1 = time.perf_counter()
    rc = os.waitstatus_to_exitcode(status)
    if clock == "cpu":
        return ru.ru_utime + ru.ru_stime, rc
    return t1 - t0, rc


def write_shape(name, path, big_size):
    import random
    rng = random.Random(1)
    if name == "big":
        text = gen.big(rng, big_size)
    elif name == "big-half":
        text = gen.big(rng, big_size // 2)
    else:
        text = {"typical": gen.typical, "limits": gen.limits, "bucket": gen.bucket}[name](rng)
    os.makedirs(path, exist_ok=True)
    with open(os.path.join(path, "o.src"), "w", newline="\n") as fp:
        fp.write(text)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("tavoc", nargs="?", default="build/tavoc")
    ap.add_argument("--runs", type=int, default=11)
    ap.add_argument("--work", default="/tmp/tavo-bench")
    ap.add_argument("--shapes", nargs="+",
                    default=["typical", "limits", "bucket", "big-half", "big"])
    ap.add_argument("--big-size", type=int, default=16 << 20)
    ap.add_argument("--clock", choices=["wall", "cpu"], default="wall")
    ap.add_argument("--check", action="store_true")
    ap.add_argument("--against", help="another tavoc, timed in the same runs")
    ap.add_argument("--flags", default="", help="options for this build's tavoc")
    a = ap.parse_args()
    tavoc = os.path.abspath(a.tavoc)
    other = os.path.abspath(a.against) if a.against else None
    for t in filter(None, (tavoc, other)):
        if not os.access(t, os.X_OK):
            sys.exit(f"run.py: no tavoc at {t}")

    dirs = {}
    for s in a.shapes:
        d = os.path.join(a.work, s)
        write_shape(s, d, a.big_size)
        subprocess.run([tavoc, *a.flags.split(), "."], cwd=d, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        with open(os.path.join(d, "o.err"), "rb") as fp:
            err = fp.read()
        if err:
            sys.exit(f"run.py: {s} does not compile: {err.decode(errors='replace').splitlines()[0]}")
        dirs[s] = os.path.abspath(d)

    true, cat = shutil.which("true"), shutil.which("cat")
    times = {s: {"true": [], "cat": [], "tavoc": [], "other": []} for s in dirs}
    for _ in range(a.runs):
        for s, d in dirs.items():
            src = os.path.join(d, "o.src")
            commands = {"true": [true], "cat": [cat, src, src], "tavoc": [tavoc, *a.flags.split(), d]}
            if other:
                commands["other"] = [other, d]
            for k, argv in commands.items():
                t, rc = timed(argv, a.clock)
                if rc != 0:
                    sys.exit(f"run.py: {' '.join(argv)} failed in {d}")
                times[s][k].append(t)

    med = {s: {k: statistics.median(v) * 1000 for k, v in t.items() if v}
           for s, t in times.items()}
    print(f"tavoc {tavoc}, {a.runs} runs, medians of the {a.clock} clock in ms")
    if other:
        print(f"other {other}: its median, and this build's time over the floor against its")
    print(f"{'shape':<10} {'source':>10} {'image':>6} {'true':>7} {'cat x2':>7} {'tavoc':>8}"
          f" {'work':>6}" + (f" {'other':>8} {'ratio':>6}" if other else ""))
    missed = []
    for s, d in dirs.items():
        m = med[s]
        src = os.path.getsize(os.path.join(d, "o.src"))
        img = os.path.getsize(os.path.join(d, "o.bin"))
        read = max(m["cat"] - m["true"], 1e-3)
        work = (m["tavoc"] - m["true"]) / read
        mark = "" if work <= WORK_TARGET else "  over target"
        if mark:
            missed.append(s)
        vs = ""
        if other:
            ratio = (m["tavoc"] - m["true"]) / max(m["other"] - m["true"], 1e-3)
            vs = f" {m['other']:>8.2f} {ratio:>6.2f}"
        print(f"{s:<10} {src:>10} {img:>6} {m['true']:>7.2f} {m['cat']:>7.2f}"
              f" {m['tavoc']:>8.2f} {work:>6.2f}{vs}{mark}")
    if "big" in med and "big-half" in med:
        full, half = med["big"], med["big-half"]
        grows = (full["tavoc"] - full["true"]) / max(half["tavoc"] - half["true"], 1e-3)
        mark = "" if grows <= GROWTH_TARGET else "  over target"
        if mark:
            missed.append("growth")
        print(f"grows: twice the source takes {grows:.2f} times as long{mark}")
    if a.check and missed:
        sys.exit(1)


if __name__ == "__main__":
    main()
