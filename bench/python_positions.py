#!/usr/bin/env python3
"""Positions of a 1M-vertex model handed to NumPy and back, through the meshwright module.

    PYTHONPATH=build/release/python /usr/bin/python3 bench/python_positions.py

Prints the median of several runs for: the zero-copy view, a contiguous copy out of it, a write
through the view (every vertex moved), and set_positions of a whole array.
"""
import statistics
import time

import numpy as np

import meshwright


def median_ms(fn, runs=15):
    times = []
    for _ in range(runs):
        t = time.perf_counter()
        fn()
        times.append((time.perf_counter() - t) * 1000)
    return statistics.median(times)


def main():
    doc = meshwright.new()
    model = doc.add_shape("grid", width=100, depth=100, xsegments=999, ysegments=999)
    n = model.vertex_count
    assert n == 1_000_000, n
    moved = np.random.default_rng(0).random((n, 3), dtype=np.float32)
    rows = [
        ("view (zero-copy)", lambda: model.positions),
        ("view + contiguous copy out", lambda: np.ascontiguousarray(model.positions)),
        ("get_positions (copy out)", lambda: model.get_positions()),
        ("move every vertex through the view", lambda: model.positions.__iadd__(np.float32(1))),
        ("set_positions (copy back)", lambda: model.set_positions(moved)),
        ("out and back (get_positions + set_positions)", lambda: model.set_positions(model.get_positions())),
    ]
    print(f"{n} vertices")
    for name, fn in rows:
        print(f"{name:42s} {median_ms(fn):8.2f} ms")


if __name__ == "__main__":
    main()
