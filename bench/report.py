#!/usr/bin/python3
"""Turns the probe's files (CLOCK_MONOTONIC ns, see probe.cpp) into bench/run-all's figures.

  report.py idle SKIP_S PLOT.png NAME=PROBE,CLICKS...  frames and input of one idle run per build
  report.py startup NAME=PROBE,PROBE...                start to first frame, per build
"""

import sys
from collections import Counter
from fractions import Fraction

import matplotlib
matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

GOAL_MS = 20


def read_probe(path):
    probe = {"swap": [], "input": [], "click": [], "first_read": {}}
    with open(path, encoding="ascii") as f:
        for kind, *values in (line.split() for line in f):
            if kind == "first_read":
                probe[kind][values[3]] = int(values[2])
            elif kind in ("swap", "input", "click"):
                probe[kind].append((int(values[0]), int(values[1]), int(values[2]), values[3]))
            else:
                probe[kind] = int(values[0])
    return probe


def spread(values):
    p5, p50, p95 = np.percentile(values, [5, 50, 95])
    return f"median {p50:.3f}, 5th-95th percentile {p5:.3f}-{p95:.3f}, max {max(values):.3f}"


def idle(skip_s, plot_path, runs):
    series = {}
    for name, (probe_path, clicks_path) in runs:
        probe = read_probe(probe_path)
        # Frames a tick drew: their last counter read before the swap is the
        # pacing timer's, whose first read made its origin. The resize frame is not one.
        swaps = probe["swap"]
        caller = Counter(s[3] for s in swaps).most_common(1)[0][0]
        origin, frequency = probe["first_read"][caller], probe["frequency"]
        paced = [s for s in swaps if s[3] == caller and s[0] >= swaps[0][0] + skip_s * 1e9]
        shown = np.diff([s[0] for s in paced]) / 1e6
        marks = [round(Fraction((s[2] - origin) * 1000, frequency)) for s in paced]  # half to even
        scale = Counter(np.diff(marks).tolist())
        series[name] = shown
        print(f"{name}: {len(paced)} paced frames after the first {skip_s:g} s")
        print(f"  interval from swap to swap, ms: {spread(shown)}")
        print("  on the pacing timer's whole-millisecond scale: "
              + ", ".join(f"{n} x {ms} ms" for ms, n in sorted(scale.items()))
              + f"; ticks off the 5 ms grid: {sum(m % 5 != 0 for m in marks)}")
        # Each click against the first mouse-up taken off the queue before the next click.
        clicks = [c for c, *_ in read_probe(clicks_path)["click"]]
        latency = [(found[0] - c) / 1e6 for c, until in zip(clicks, clicks[1:] + [float("inf")])
                   if (found := [i for i, *_ in probe["input"] if c <= i < until])]
        if latency:
            print(f"  input, {len(latency)} of {len(clicks)} clicks handled; from the release"
                  f" leaving xdotool to the mouse-up leaving SDL's queue, ms: {spread(latency)}")

    fig, (over_time, histogram) = plt.subplots(2, 1, figsize=(9, 6.5))
    for name, shown in series.items():
        over_time.plot(np.arange(len(shown)), shown, ".", markersize=3, label=name)
        histogram.hist(np.clip(shown, 18, 22), bins=np.arange(18, 22.05, 0.05), alpha=0.6, label=name)
    for axis in (over_time, histogram):
        axis.grid(alpha=0.3)
        axis.legend()
    over_time.axhline(GOAL_MS, color="red", linewidth=1)
    over_time.set(xlabel="frame", ylabel="interval (ms)",
                  title="Idle frame intervals, buffer swap to buffer swap (Xvfb, llvmpipe)")
    histogram.axvline(GOAL_MS, color="red", linewidth=1)
    histogram.set(xlabel="interval (ms), those outside 18-22 ms in the end bins; red: the 20 ms goal",
                  ylabel="frames")
    fig.tight_layout()
    fig.savefig(plot_path, dpi=80)
    print(f"plot: {plot_path}")


def startup(runs):
    for name, paths in runs:
        firsts = [(p["swap"][0][1] - p["exec"]) / 1e6 for p in map(read_probe, paths)
                  if p["swap"] and "exec" in p]
        print(f"{name}: first frame {np.median(firsts):.1f} ms after execve (median of"
              f" {len(firsts)}: " + ", ".join(f"{v:.0f}" for v in sorted(firsts)) + ")")


def main(argv):
    def runs(args):
        return [(a.split("=", 1)[0], a.split("=", 1)[1].split(",")) for a in args]
    if len(argv) > 4 and argv[1] == "idle":
        idle(float(argv[2]), argv[3], runs(argv[4:]))
    elif len(argv) > 2 and argv[1] == "startup":
        startup(runs(argv[2:]))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
