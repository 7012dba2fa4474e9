#!/usr/bin/python3
"""Shapes made by `mwconv --add`, exported as OBJ and STL and read back by meshio (another
program's reader): the positions it finds, every edge in exactly two faces where the shape is
closed, faces agreeing on their winding and wound the way round the export winds a closed
Metasequoia model written by another program, and texture coordinates within [0, 1].

usage: primitive_exports.py MWCONV REFERENCE.mqo
"""
import os
import subprocess
import sys
import tempfile

import meshio
import numpy as np

# (text for --add, vertex count, closed)
SHAPES = [
    ("plane:width=30,depth=10", 4, False),
    ("grid:xsegments=4,ysegments=3,axis=x", 20, False),
    ("box", 8, True),
    ("box:xsegments=2,ysegments=3,zsegments=4,width=10,height=20,depth=30", 3 * 4 * 5 - 1 * 2 * 3, True),
    ("sphere:segments=3,rings=2", 5, True),
    ("sphere:segments=32,rings=16,radius=50", 32 * 15 + 2, True),
    ("icosphere:subdivisions=0", 12, True),
    ("icosphere:subdivisions=3,radius=20", 642, True),
    ("cylinder:sides=3", 6, True),
    ("cylinder:sides=24,heightsegments=3,caps=fan,axis=z", 24 * 4 + 2, True),
    ("cylinder:sides=12,caps=none", 24, False),
    ("cone:sides=3", 4, True),
    ("cone:sides=16,heightsegments=2,topradius=10,caps=fan,axis=x", 16 * 3 + 2, True),
    ("torus:segments=3,minorsegments=3", 9, True),
    ("torus:segments=48,minorsegments=12,radius=40,minorradius=10", 576, True),
    ("disk:sides=3,rings=1", 4, False),
    ("disk:sides=16,rings=4", 65, False),
]


def volume(points, faces):
    total = 0.0
    for f in faces:
        for a, b in zip(f[1:-1], f[2:]):
            total += np.dot(points[f[0]], np.cross(points[a], points[b]))
    return total / 6.0


def check_topology(name, points, faces, closed, outward):
    problems = []
    directed = {}
    for f in faces:
        for a, b in zip(f, f[1:] + f[:1]):
            directed[(a, b)] = directed.get((a, b), 0) + 1
    if any(n != 1 for n in directed.values()):
        problems.append("faces disagree on their winding")
    unpaired = sum(1 for (a, b) in directed if (b, a) not in directed)
    if closed and unpaired:
        problems.append(f"{unpaired} edges in one face only: not watertight")
    if not closed and not unpaired:
        problems.append("an open shape came out closed")
    if closed and not volume(points, faces) * outward > 0:
        problems.append("wound the other way round from the reference model")
    return [f"{name}: {p}" for p in problems]


def faces_of(mesh):
    return [list(map(int, f)) for block in mesh.cells for f in block.data]


def main():
    mwconv, reference = sys.argv[1], sys.argv[2]
    failures, failed = [], set()
    with tempfile.TemporaryDirectory() as folder:
        # The sign of the volume a closed model from a file comes out with.
        outward = 0.0
        for ext in ("obj", "stl"):
            out = os.path.join(folder, "reference." + ext)
            subprocess.run([mwconv, reference, out], capture_output=True, check=True)
            mesh = meshio.read(out) if ext == "stl" else None
            if ext == "obj":
                with open(out) as f:
                    bare = [l for l in f.read().splitlines() if not l.startswith(("vt ", "vn "))]
                with open(out, "w") as f:
                    f.write("\n".join(bare) + "\n")
                mesh = meshio.read(out)
            sign = np.sign(volume(mesh.points, faces_of(mesh)))
            if outward and sign != outward:
                failures.append("the reference model comes out wound differently in OBJ and STL")
            outward = sign
        for text, vertices, closed in SHAPES:
            before = len(failures)
            obj, stl = os.path.join(folder, "s.obj"), os.path.join(folder, "s.stl")
            for out in (obj, stl):
                run = subprocess.run([mwconv, "--add", text, out], capture_output=True, text=True)
                if run.returncode != 0:
                    failures.append(f"{text}: mwconv exit {run.returncode}: {run.stderr}")
            if not os.path.exists(obj) or not os.path.exists(stl):
                failed.add(text)
                continue
            with open(obj) as f:
                lines = f.read().splitlines()
            uvs = [list(map(float, l.split()[1:3])) for l in lines if l.startswith("vt ")]
            if not uvs or not all(0.0 <= c <= 1.0 for uv in uvs for c in uv):
                failures.append(f"{text}: texture coordinates outside [0, 1] or missing")
            # meshio's OBJ reader takes texture coordinates and normals only one to a position: it
            # reads the file without them (a seam or an edge gives a position several).
            bare = os.path.join(folder, "bare.obj")
            with open(bare, "w") as f:
                f.write("\n".join(l for l in lines if not l.startswith(("vt ", "vn "))) + "\n")
            mesh = meshio.read(bare)
            if len(mesh.points) != vertices:
                failures.append(f"{text}: OBJ has {len(mesh.points)} positions, expected {vertices}")
            failures += check_topology(text + " (OBJ)", mesh.points, faces_of(mesh), closed, outward)
            # STL keeps no shared vertices; meshio joins equal positions again.
            mesh = meshio.read(stl)
            if len(mesh.points) != vertices:
                failures.append(f"{text}: STL has {len(mesh.points)} positions, expected {vertices}")
            failures += check_topology(text + " (STL)", mesh.points, faces_of(mesh), closed, outward)
            if len(failures) > before:
                failed.add(text)
    for f in failures:
        print(f)
    print(f"{len(SHAPES) - len(failed)} passed, {len(failed)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
