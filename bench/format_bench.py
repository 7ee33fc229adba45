#!/usr/bin/env python3
"""Formats a 1.44 MB image with brindlewood-format (quick and full) and with hfsutils' hformat,
many times each, and prints the median wall times, their ratio, and the sector transfers each
makes on the image against the least an empty volume needs; then the same for a new sparse
2000 MB image, with the bytes written and the volume's metadata bytes (--stats) and the bytes the
image file takes on the disk.

The quick format and hformat run in alternating pairs; the ratio is the median of the pairs'.

usage: format_bench.py BRINDLEWOOD_FORMAT WORKDIR [QUICK_RUNS [FULL_RUNS]]"""
import os
import re
import shutil
import statistics
import subprocess
import sys
import time

IMAGE_SIZE = 1474560
# An empty volume needs at least: boot blocks (2), MDB, bitmap, the two B-tree header nodes,
# the catalog leaf and the alternate MDB written once each; nothing has to be read.
LEAST_WRITES = 8
LEAST_READS = 0

tool, work = os.path.abspath(sys.argv[1]), sys.argv[2]
quick_runs = int(sys.argv[3]) if len(sys.argv) > 3 else 101
full_runs = int(sys.argv[4]) if len(sys.argv) > 4 else 21
shutil.rmtree(work, ignore_errors=True)
os.makedirs(work + "/home")
env = dict(os.environ, HOME=work + "/home")
image = work + "/bench.img"


def blank():
    with open(image, "wb") as f:
        f.truncate(IMAGE_SIZE)


def macintosh():
    blank()
    subprocess.run([tool, "-q", "-y", "-L", "Bench", image], check=True, env=env)


CASES = [
    # name, command, how the image is prepared before each run
    ("brindlewood-format --quick", [tool, "-q", "-y", "--quick", "-L", "Bench", image], macintosh),
    ("hformat", ["hformat", "-l", "Bench", image], blank),
    ("brindlewood-format --full", [tool, "-q", "-y", "--full", "-L", "Bench", image], macintosh),
]


def one_time(cmd, prepare):
    prepare()
    start = time.perf_counter()
    subprocess.run(cmd, check=True, env=env, stdout=subprocess.DEVNULL)
    return time.perf_counter() - start


def median_time(cmd, prepare, runs):
    return statistics.median(one_time(cmd, prepare) for _ in range(runs))


def paired(a, b, runs):
    """Runs a and b alternately, so that a busy machine slows both alike: the median times and
    the median of the pairs' ratios."""
    ta, tb, ratios = [], [], []
    for _ in range(runs):
        ta.append(one_time(a[1], a[2]))
        tb.append(one_time(b[1], b[2]))
        ratios.append(ta[-1] / tb[-1])
    return statistics.median(ta), statistics.median(tb), statistics.median(ratios)


def transfers(cmd, prepare):
    """Calls and sectors read and written on the image, seen by strace."""
    if not shutil.which("strace"):
        return None
    prepare()
    log = work + "/strace.log"
    subprocess.run(["strace", "-f", "-y", "-o", log, "-e",
                    "trace=read,write,pread64,pwrite64,readv,writev"] + cmd,
                   check=True, env=env, stdout=subprocess.DEVNULL)
    counts = {"read": [0, 0], "write": [0, 0]}
    pattern = re.compile(r"^(?:\d+\s+)?(p?read|p?write)v?(?:64)?\(\d+<" + re.escape(os.path.realpath(image)) +
                         r">.*= (\d+)$")
    for line in open(log):
        m = pattern.match(line.strip())
        if m:
            kind = "read" if "read" in m.group(1) else "write"
            counts[kind][0] += 1
            counts[kind][1] += int(m.group(2)) // 512
    return counts


print(f"runs: {quick_runs} alternating pairs of a quick format and hformat, "
      f"{full_runs} for the full format")
results = {}
quick_time, hformat_time, quick_ratio = paired(CASES[0], CASES[1], quick_runs)
results[CASES[0][0]], results[CASES[1][0]] = quick_time, hformat_time
for name, cmd, prepare in CASES:
    if name not in results:
        results[name] = median_time(cmd, prepare, full_runs)
    t = transfers(cmd, prepare)
    io = ("reads %d calls / %d sectors, writes %d calls / %d sectors" %
          (t["read"][0], t["read"][1], t["write"][0], t["write"][1])) if t else "(no strace)"
    print(f"{name:28s} median {results[name] * 1000:8.2f} ms   {io}")
print(f"least an empty volume needs: {LEAST_READS} reads, {LEAST_WRITES} sector writes")
base = results["hformat"]
print(f"brindlewood-format --quick / hformat: {quick_ratio:.2f} (median of the pairs' ratios)")
print(f"brindlewood-format --full / hformat: {results['brindlewood-format --full'] / base:.2f}")

# A 2000 MB volume in a new sparse image: only its metadata may be written.
BIG = 2000 * 1024 * 1024
big = work + "/big.img"


def no_image():
    if os.path.exists(big):
        os.unlink(big)


def zeroed_big():
    no_image()
    with open(big, "wb") as f:
        f.truncate(BIG)


big_runs = max(5, quick_runs // 5)
ours = median_time([tool, "-q", "--size", "2000M", "-L", "Bench", big], no_image, big_runs)
theirs = median_time(["hformat", "-l", "Bench", big], zeroed_big, big_runs)
no_image()
stats = subprocess.run([tool, "-q", "--stats", "--size", "2000M", "-L", "Bench", big], check=True,
                       env=env, capture_output=True, text=True).stdout.strip()
ours_disk = os.stat(big).st_blocks * 512
zeroed_big()
subprocess.run(["hformat", "-l", "Bench", big], check=True, env=env, stdout=subprocess.DEVNULL)
theirs_disk = os.stat(big).st_blocks * 512
os.unlink(big)
print(f"2000 MB, {big_runs} runs each: brindlewood-format (new image) median {ours * 1000:.2f} ms, "
      f"hformat (zeroed sparse image) median {theirs * 1000:.2f} ms, ratio {ours / theirs:.2f}")
print(f"  brindlewood-format --stats: {stats}")
print(f"  image blocks on disk: brindlewood-format {ours_disk} bytes, hformat {theirs_disk} bytes")
