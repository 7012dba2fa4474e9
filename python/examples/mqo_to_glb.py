#!/usr/bin/env python3
"""Every .mqo of a folder welded and exported as .glb beside it (or into OUT).

    PYTHONPATH=build/release/python /usr/bin/python3 python/examples/mqo_to_glb.py FOLDER [OUT] [--weld 0.001]
"""
import argparse
import pathlib
import sys
import time

import meshwright


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("folder", type=pathlib.Path)
    ap.add_argument("out", type=pathlib.Path, nargs="?")
    ap.add_argument("--weld", type=float, default=0.001)
    args = ap.parse_args()
    out = args.out or args.folder
    out.mkdir(parents=True, exist_ok=True)
    start, done, failed = time.perf_counter(), 0, 0
    for path in sorted(args.folder.glob("*.mqo")):
        t = time.perf_counter()
        try:
            doc = meshwright.open(str(path))
            removed = sum(m.weld(args.weld)[0] for m in doc.models)
            doc.save(str(out / (path.stem + ".glb")))
        except meshwright.Error as e:
            failed += 1
            print(f"{path.name}: {e.kind}: {e.message}", file=sys.stderr)
            continue
        done += 1
        print(f"{path.name}: {removed} vertices welded, {(time.perf_counter() - t) * 1000:.1f} ms")
    print(f"{done} written, {failed} failed, {time.perf_counter() - start:.2f} s in all")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
