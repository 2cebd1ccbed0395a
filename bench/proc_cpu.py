"""A process's CPU time as /proc tells it, for the figures scripts beside it.
Standard library only."""

import os

TICK_HZ = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    """User and system CPU of a process so far, or None once it is gone."""
    try:
        with open("/proc/%d/stat" % pid, encoding="ascii") as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
    except OSError:
        return None
    return (int(fields[11]) + int(fields[12])) / TICK_HZ
