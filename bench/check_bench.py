#!/usr/bin/env python3
"""Builds once (hfsutils) a 150 MB HFS volume holding 100 folders in two levels and 5,000 files
(about 80 MB, a tenth of them with resource forks), then checks it with brindlewood-check many
times and prints the median wall time and the bytes read against the size of the metadata.

usage: check_bench.py BRINDLEWOOD_CHECK WORKDIR [RUNS]"""
import os
import re
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "hfs"))
from macbinary import macbinary  # noqa: E402

tool, work = os.path.abspath(sys.argv[1]), sys.argv[2]
runs = int(sys.argv[3]) if len(sys.argv) > 3 else 21
os.makedirs(work + "/home", exist_ok=True)
env = dict(os.environ, HOME=work + "/home")
image = work + "/populated.img"
SIZE = 150 << 20


def build():
    src = work + "/src"
    os.makedirs(src, exist_ok=True)
    with open(image + ".part", "wb") as f:
        f.truncate(SIZE)
    run = lambda *a: subprocess.run(a, env=env, check=True, stdout=subprocess.DEVNULL)
    run("hformat", "-l", "Populated", image + ".part")
    tops = [f":Top {t:02}" for t in range(10)]
    subs = [f"{t}:Sub {s:02}" for t in tops for s in range(9)]
    run("hmkdir", *tops, *subs)
    for n, folder in enumerate(tops + subs):
        plain = []
        for i in range(45):
            path = f"{src}/File {n:03}-{i:02}.dat"
            with open(path, "wb") as f:
                f.write(bytes([(n + i) & 0xFF]) * (1000 + (n * 45 + i) * 37 % 30000))
            plain.append(path)
        run("hcopy", "-r", *plain, folder + ":")
        forks = []
        for i in range(5):
            path = f"{src}/forks{i}.bin"
            macbinary(path, b"Both %03d-%02d" % (n, i), b"D" * 3000, b"R" * (700 + 300 * i))
            forks.append(path)
        run("hcopy", "-m", *forks, folder + ":")
        for p in plain + forks:
            os.remove(p)
    run("humount")
    os.rename(image + ".part", image)


if not os.path.exists(image):
    print("building the volume with hfsutils (once)...")
    build()

summary = subprocess.run([tool, "-v", image], capture_output=True, text=True)
if summary.returncode != 0:
    sys.exit(f"the volume does not check clean:\n{summary.stdout}{summary.stderr}")
tail = summary.stdout.splitlines()[-2:]
m = re.search(r"read (\d+) bytes in (\d+) reads; the metadata is (\d+) bytes", tail[-1])
read, reads, meta = (int(x) for x in m.groups())
times = []
for _ in range(runs):
    t = time.perf_counter()
    subprocess.run([tool, "-q", image], check=True, stdout=subprocess.DEVNULL)
    times.append(time.perf_counter() - t)
print(tail[0])
print(f"volume: {os.path.getsize(image) / 1e6:.0f} MB image")
print(f"brindlewood-check: median {statistics.median(times) * 1000:.1f} ms over {runs} runs "
      f"(min {min(times) * 1000:.1f}, max {max(times) * 1000:.1f})")
print(f"read {read} bytes in {reads} reads; the metadata (MDBs, bitmap, both B-tree files) is {meta} bytes: "
      f"{read / meta:.2f} passes")

# Many folders: 190,000 on a 2 GB volume, 19 folders of 10,000 (hfsutils, once). User and system
# CPU time are given beside the wall time, which other work on the machine stretches.
folders = work + "/folders.img"
if not os.path.exists(folders):
    print("building the 190,000-folder volume with hfsutils (once)...")
    with open(folders + ".part", "wb") as f:
        f.truncate((2 << 30) - (1 << 20))
    run = lambda *a: subprocess.run(a, env=env, check=True, stdout=subprocess.DEVNULL)
    run("hformat", "-l", "Folders", folders + ".part")
    for t in range(19):
        run("hmkdir", f":t{t}", *[f":t{t}:f{i}" for i in range(10000)])
    run("humount")
    os.rename(folders + ".part", folders)
walls, cpus = [], []
for _ in range(5):
    before, t = os.times(), time.perf_counter()
    subprocess.run([tool, "-q", folders], check=True, stdout=subprocess.DEVNULL)
    after = os.times()
    walls.append(time.perf_counter() - t)
    cpus.append(after.children_user - before.children_user + after.children_system - before.children_system)
print(f"190,000 folders: median {statistics.median(walls):.2f} s wall, {statistics.median(cpus):.2f} s CPU "
      f"over 5 runs")
