#!/usr/bin/env python3
"""Fills a new 100 MB image with a folder of 1,000 files (about 80 MB) with brindlewood-format -d,
and does the same with hfsutils (hformat, hmount, then one hcopy per file); reads the folder once
with cat for the least the fill must cost; prints the median wall times and their ratios. Then
fills and checks a tree of 20,000 small files in nested folders (a catalog of several index
levels).

usage: fill_bench.py BRINDLEWOOD_FORMAT BRINDLEWOOD_CHECK WORKDIR [RUNS]"""
import os
import random
import shutil
import statistics
import subprocess
import sys
import time

tool, checker, work = (os.path.abspath(a) for a in sys.argv[1:4])
runs = int(sys.argv[4]) if len(sys.argv) > 4 else 11
shutil.rmtree(work, ignore_errors=True)
os.makedirs(work + "/home")
env = dict(os.environ, HOME=work + "/home")
image = work + "/fill.img"
SIZE = 100 << 20

src = work + "/src"
os.makedirs(src)
rng = random.Random(20)
files = []
for k in range(1000):
    path = f"{src}/file{k:04d}.dat"
    with open(path, "wb") as f:
        f.write(rng.randbytes(rng.randint(40_000, 120_000)))
    files.append(path)
total = sum(os.path.getsize(p) for p in files)


def timed(cmd_or_fn, prepare=lambda: None, n=runs):
    times = []
    for _ in range(n):
        prepare()
        start = time.perf_counter()
        if callable(cmd_or_fn):
            cmd_or_fn()
        else:
            subprocess.run(cmd_or_fn, check=True, env=env, stdout=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def no_image():
    if os.path.exists(image):
        os.unlink(image)


def hfsutils_fill():
    run = lambda *a: subprocess.run(a, env=env, check=True, stdout=subprocess.DEVNULL)
    with open(image, "wb") as f:
        f.truncate(SIZE)
    run("hformat", "-l", "Bench", image)
    run("hmount", image)
    for p in files:
        run("hcopy", "-r", p, ":" + os.path.basename(p))
    run("humount")


def cat_all():
    subprocess.run(["cat"] + files, check=True, stdout=subprocess.DEVNULL)


# One read of every file into one buffer, in this process: the least the fill can cost in reads.
buffer = bytearray(1 << 20)


def read_all():
    for p in files:
        with open(p, "rb", buffering=0) as f:
            while f.readinto(buffer):
                pass


ours = timed([tool, "-q", "-y", "--size", "100M", "-L", "Bench", "-d", src, image], no_image)
subprocess.run([checker, "-q", image], check=True, env=env)
theirs = timed(hfsutils_fill, no_image, max(1, runs // 4))
cat = timed(cat_all)
read = timed(read_all)
print(f"1,000 files, {total:,} bytes, into a new 100 MB image ({runs} runs; hfsutils {max(1, runs // 4)}):")
print(f"  brindlewood-format -d      {ours * 1000:9.1f} ms")
print(f"  hformat + hmount + hcopy   {theirs * 1000:9.1f} ms   ({theirs / ours:.1f}x ours)")
print(f"  cat of every file          {cat * 1000:9.1f} ms   (ours is {ours / cat:.2f}x)")
print(f"  one read of every file     {read * 1000:9.1f} ms   (ours is {ours / read:.2f}x)")

# A tree of 20,000 small files in 20 folders of 10 folders each.
tree = work + "/tree"
for d in range(20):
    for e in range(10):
        folder = f"{tree}/Folder {d:02d}/Sub {e}"
        os.makedirs(folder)
        for f in range(100):
            with open(f"{folder}/file {f:03d}", "w") as out:
                out.write(f"{d} {e} {f}\n")
big = work + "/tree.img"
start = time.perf_counter()
subprocess.run([tool, "-q", "--size", "auto", "-L", "Tree", "-d", tree, big], check=True, env=env)
fill = time.perf_counter() - start
check = subprocess.run([checker, "-q", big], env=env, capture_output=True, text=True)
print(f"20,000 files in 220 folders: filled in {fill * 1000:.0f} ms, {os.path.getsize(big):,} "
      f"bytes (--size auto); brindlewood-check exit {check.returncode}: {check.stdout.strip()}")
sys.exit(check.returncode)
