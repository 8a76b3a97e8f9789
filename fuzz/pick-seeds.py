#!/usr/bin/env python3
"""Copies the small inputs of a fuzzer's working corpus into a folder of candidates for
the committed seeds: at most MAX_SIZE bytes each, and none that shares a run of more
than about RUN bytes of varied content with a file of the real-drawing corpus (those
drawings never enter the repository, not even in pieces; runs of a few repeated byte
values, such as zero filling, are common to every file and do not count).
Usage: pick-seeds.py WORKING_CORPUS OUT [REAL_CORPUS]"""
import hashlib
import os
import shutil
import sys

MAX_SIZE = 8192
WINDOW = 64  # a shared run of 2 * WINDOW - 1 bytes always holds an indexed window
RUN = 2 * WINDOW - 1


def varied(chunk):
    return len(set(chunk)) >= 8


def index_of(real):
    """Every WINDOW-byte piece of varied content at offsets that are multiples of WINDOW."""
    pieces = set()
    for data in real:
        for at in range(0, len(data) - WINDOW + 1, WINDOW):
            chunk = data[at:at + WINDOW]
            if varied(chunk):
                pieces.add(chunk)
    return pieces


def shares_run(data, pieces):
    return any(data[at:at + WINDOW] in pieces for at in range(0, len(data) - WINDOW + 1))


def main():
    source, out = sys.argv[1], sys.argv[2]
    real = []
    if len(sys.argv) > 3 and os.path.isdir(sys.argv[3]):
        for root, _, files in os.walk(sys.argv[3]):
            for f in files:
                with open(os.path.join(root, f), "rb") as fh:
                    real.append(fh.read())
    pieces = index_of(real)
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    kept = 0
    for name in sorted(os.listdir(source)):
        path = os.path.join(source, name)
        if not os.path.isfile(path) or os.path.getsize(path) > MAX_SIZE:
            continue
        with open(path, "rb") as fh:
            data = fh.read()
        if len(data) == 0 or any(data in r for r in real) or shares_run(data, pieces):
            continue
        with open(os.path.join(out, hashlib.sha1(data).hexdigest()[:16]), "wb") as fh:
            fh.write(data)
        kept += 1
    print(f"{kept} candidate inputs in {out}")


if __name__ == "__main__":
    main()
