#!/usr/bin/env python3
"""Turns the swap probe's files into the figures that bench/run-all prints.

  probe_report.py intervals FILE SKIP_S [PLOT.mvg]  frame intervals of one idle run
  probe_report.py startup FILE...                   start-up times over several runs

Times in the files are CLOCK_MONOTONIC nanoseconds (see swap_probe.cpp).
"""

import statistics
import sys

GOAL_INTERVAL_MS = 20.0
GOAL_STARTUP_MS = 150.0


def read_probe(path):
    probe = {"swaps": [], "marks": {}, "dropped": 0}
    with open(path, encoding="ascii") as f:
        for line in f:
            words = line.split()
            if not words or words[0].startswith("#"):
                continue
            if words[0] == "swap":
                probe["swaps"].append((int(words[1]), int(words[2]), int(words[3])))
            elif words[0] == "mark":
                # The first call of each is the one start-up makes.
                probe["marks"].setdefault(words[1], (int(words[2]), int(words[3])))
            elif words[0] == "dropped":
                probe["dropped"] = int(words[1])
            elif words[0] in ("exec", "loaded", "exit", "counter_frequency"):
                probe[words[0]] = int(words[1])
    return probe


def percentile(sorted_values, p):
    """Linear interpolation between closest ranks, as numpy's default does."""
    if len(sorted_values) == 1:
        return sorted_values[0]
    rank = (len(sorted_values) - 1) * p / 100.0
    low = int(rank)
    high = min(low + 1, len(sorted_values) - 1)
    return sorted_values[low] + (sorted_values[high] - sorted_values[low]) * (rank - low)


def verdict(ok):
    return "goal met" if ok else "GOAL MISSED"


def describe(label, intervals):
    ordered = sorted(intervals)
    median = statistics.median(ordered)
    print(f"  {label}: median {median:.3f} ms, p5 {percentile(ordered, 5):.3f},"
          f" p95 {percentile(ordered, 95):.3f}, min {ordered[0]:.3f}, max {ordered[-1]:.3f}")
    whole = {}
    for value in intervals:
        ms = round(value)  # Python rounds halves to even, as the counter does
        whole[ms] = whole.get(ms, 0) + 1
    print("    to the nearest ms: " + ", ".join(f"{ms}: {n}" for ms, n in sorted(whole.items())))
    return median, sum(n for ms, n in whole.items() if ms < GOAL_INTERVAL_MS)


def report_intervals(path, skip_s, plot_path):
    probe = read_probe(path)
    swaps = probe["swaps"]
    if len(swaps) < 3:
        sys.exit(f"probe_report: only {len(swaps)} swaps in {path}")
    # The first frame comes from the resize when the window is shown, not from
    # the pacing; the first SKIP_S seconds after it are left out as warm-up.
    first = swaps[0][0]
    paced = [s for s in swaps[1:] if s[0] >= first + skip_s * 1e9]
    if len(paced) < 2:
        sys.exit(f"probe_report: too few frames after the first {skip_s} s in {path}")
    entries = [s[0] for s in paced]
    shown = [(b - a) / 1e6 for a, b in zip(entries, entries[1:])]
    frequency = probe.get("counter_frequency", 0)
    decided = [(b - a) * 1000 / frequency
               for a, b in zip((s[2] for s in paced), (s[2] for s in paced[1:]))]
    span_s = (entries[-1] - entries[0]) / 1e9
    swap_ms = sorted((s[1] - s[0]) / 1e6 for s in paced)

    print(f"  frames: {len(paced)} over {span_s:.2f} s ({(len(paced) - 1) / span_s:.2f} per"
          f" second); swaps not recorded: {probe['dropped']}")
    median, _ = describe("presented (swap to swap)", shown)
    _, under_whole = describe("decided (pacing timer's counter reads)", decided)
    print(f"  time inside SDL_GL_SwapWindow: median {statistics.median(swap_ms):.3f} ms,"
          f" max {swap_ms[-1]:.3f} ms")
    median_ok = abs(median - GOAL_INTERVAL_MS) <= GOAL_INTERVAL_MS * 0.02
    print(f"  goal, presented median within 2% of 20 ms: {verdict(median_ok)}")
    print(f"  goal, no decided interval under 20 ms to the nearest ms ({under_whole} are):"
          f" {verdict(under_whole == 0)}")

    if plot_path:
        write_plot(plot_path, shown, median)


def report_startup(paths):
    rows = []
    for path in paths:
        probe = read_probe(path)
        if "exec" not in probe or not probe["swaps"]:
            print(f"  {path}: no exec stamp or no frame; left out")
            continue
        start = probe["exec"]
        marks = probe["marks"]

        def since(ns):
            return (ns - start) / 1e6

        row = {"loaded": since(probe["loaded"])}
        for name in ("SDL_Init", "SDL_GL_CreateContext", "SDL_ShowWindow"):
            if name in marks:
                row[name] = since(marks[name][1])
        row["first swap"] = since(probe["swaps"][0][1])
        rows.append(row)
    if not rows:
        sys.exit("probe_report: no start-up run gave a frame")

    firsts = sorted(r["first swap"] for r in rows)
    print(f"  runs: {len(rows)}; first frame at " + ", ".join(f"{v:.1f}" for v in firsts) + " ms")
    print("  median ms from the exec stamp to the return of:")
    for name in ("loaded", "SDL_Init", "SDL_GL_CreateContext", "SDL_ShowWindow", "first swap"):
        values = [r[name] for r in rows if name in r]
        if values:
            label = "probe loaded (before main)" if name == "loaded" else name
            print(f"    {label:28s} {statistics.median(values):8.1f}")
    median = statistics.median(firsts)
    print(f"  goal, first frame under {GOAL_STARTUP_MS:.0f} ms (median {median:.1f} ms):"
          f" {verdict(median < GOAL_STARTUP_MS)}")


def write_plot(path, intervals, median):
    """An ImageMagick MVG drawing: intervals in frame order above, histogram below."""
    width, height = 900, 560
    left, right = 70, width - 20
    lo = min(min(intervals), GOAL_INTERVAL_MS - 1.0)
    hi = max(max(intervals), GOAL_INTERVAL_MS + 1.0)

    def x_of_ms(ms):
        return left + (ms - lo) / (hi - lo) * (right - left)

    cmds = [f"viewbox 0 0 {width} {height}", "fill white", f"rectangle 0 0 {width} {height}",
            "font-size 13", "stroke-width 1"]

    def text(x, y, s):
        cmds.append("stroke none")
        cmds.append("fill black")
        cmds.append(f"text {x:.1f},{y:.1f} '{s}'")

    # Top: each interval in frame order.
    top, bottom = 40, 250
    text(left, 25, f"Kalvo idle, swap-to-swap intervals of {len(intervals)} frames"
         f" (median {median:.3f} ms)")

    def y_of_ms(ms):
        return bottom - (ms - lo) / (hi - lo) * (bottom - top)

    cmds += ["stroke gray70", "fill none", f"rectangle {left},{top} {right},{bottom}"]
    for ms in (lo, GOAL_INTERVAL_MS, hi):
        text(8, y_of_ms(ms) + 4, f"{ms:.1f} ms")
    cmds += ["stroke navy", "fill navy"]
    step = (right - left) / max(len(intervals) - 1, 1)
    for i, ms in enumerate(intervals):
        x = left + i * step
        y = y_of_ms(ms)
        cmds.append(f"rectangle {x - 1:.1f},{y - 1:.1f} {x + 1:.1f},{y + 1:.1f}")
    cmds += ["stroke red", "fill none",
             f"line {left},{y_of_ms(GOAL_INTERVAL_MS):.1f} {right},{y_of_ms(GOAL_INTERVAL_MS):.1f}"]
    text(left, bottom + 16, "frame number ->")

    # Bottom: histogram, 0.1 ms bins, on the same ms scale as x.
    top, bottom = 300, 520
    bins = {}
    for ms in intervals:
        b = int((ms - lo) / 0.1)
        bins[b] = bins.get(b, 0) + 1
    most = max(bins.values())
    cmds += ["stroke gray70", "fill none", f"rectangle {left},{top} {right},{bottom}"]
    text(8, top + 4, f"{most}")
    text(8, bottom + 4, "0")
    cmds += ["stroke navy", "fill navy"]
    for b, n in bins.items():
        x0 = x_of_ms(lo + b * 0.1)
        x1 = max(x_of_ms(lo + (b + 1) * 0.1) - 1, x0 + 1)
        cmds.append(f"rectangle {x0:.1f},{bottom - n / most * (bottom - top):.1f} {x1:.1f},{bottom}")
    cmds += ["stroke red", f"line {x_of_ms(GOAL_INTERVAL_MS):.1f},{top} "
             f"{x_of_ms(GOAL_INTERVAL_MS):.1f},{bottom}"]
    for ms in (lo, GOAL_INTERVAL_MS, hi):
        text(x_of_ms(ms) - 15, bottom + 16, f"{ms:.1f}")
    text(left, bottom + 34, "interval, ms (0.1 ms bins; red: 20 ms)")
    with open(path, "w", encoding="ascii") as f:
        f.write("\n".join(cmds) + "\n")


def main(argv):
    if len(argv) >= 4 and argv[1] == "intervals":
        report_intervals(argv[2], float(argv[3]), argv[4] if len(argv) > 4 else None)
    elif len(argv) >= 3 and argv[1] == "startup":
        report_startup(argv[2:])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
