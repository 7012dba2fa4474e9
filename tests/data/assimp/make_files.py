#!/usr/bin/python3
"""Writes the small files the Assimp import tests read, with meshio (Debian's python3-meshio).

Run from this folder with the system Python: /usr/bin/python3 make_files.py. The files are kept in the repository; this script says
how they were made. A 3x2 grid of unit quads (12 vertices, 6 quads) beside two triangles and one
hexagon (7 more vertices), so quads, triangles and an n-gon all occur.
"""
import meshio
import numpy as np

points = [[x, y, 0.0] for y in range(3) for x in range(4)]  # 12 grid points, 3 x 2 quads
quads = [[y * 4 + x, y * 4 + x + 1, (y + 1) * 4 + x + 1, (y + 1) * 4 + x] for y in range(2) for x in range(3)]
base = len(points)
points += [[5.0, 0.0, 0.0], [6.0, 0.0, 0.0], [5.0, 1.0, 0.0]]  # triangle 1 (own points)
tris = [[base, base + 1, base + 2], [1, 2, 5]]  # triangle 2 reuses grid points
hexagon_start = len(points)
for k in range(6):
    angle = np.pi / 3 * k
    points.append([8.0 + np.cos(angle), 1.0 + np.sin(angle), 0.25])
hexagon = [[hexagon_start + k for k in range(6)]]
points = np.array(points)

polygon_mesh = meshio.Mesh(points, [("quad", quads), ("triangle", tris), ("polygon", hexagon)])
for name, fmt, kw in [("meshio_grid.obj", "obj", {}),
                      ("meshio_grid_ascii.ply", "ply", {"binary": False}),
                      ("meshio_grid_binary.ply", "ply", {"binary": True})]:
    try:
        meshio.write(name, polygon_mesh, file_format=fmt, **kw)
    except Exception as e:  # a writer that cannot hold some cell kind is told, not hidden
        print(name, "not written:", e)

# STL holds only triangles: the quads split into two triangles each.
triangles = [[q[0], q[1], q[2]] for q in quads] + [[q[0], q[2], q[3]] for q in quads] + tris
stl_mesh = meshio.Mesh(points, [("triangle", triangles)])
meshio.write("meshio_grid_binary.stl", stl_mesh, file_format="stl", binary=True)
meshio.write("meshio_grid_ascii.stl", stl_mesh, file_format="stl", binary=False)
