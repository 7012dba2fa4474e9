import gc
import random
import struct
import subprocess

import numpy as np
import pytest

import meshwright
from conftest import BIN, TESTDATA

CUBE = TESTDATA / "mqo" / "wanwan_cube_lf.mqo"
MUG = TESTDATA / "mqo" / "psc_mug.mqo"


def mwconv(*args):
    return subprocess.run([str(BIN / "mwconv"), *map(str, args)], capture_output=True, text=True)


def biggest(doc):
    return max(doc.models, key=lambda m: m.vertex_count)


# Every format the program writes: the module's save equals mwconv's conversion of the same file.
@pytest.mark.parametrize("ext", [f["extensions"][0] for f in meshwright.formats() if f["save"]] + ["gltf"])
def test_save_equals_mwconv(tmp_path, ext):
    mine, theirs = tmp_path / "a" / f"x.{ext}", tmp_path / "b" / f"x.{ext}"
    mine.parent.mkdir()
    theirs.parent.mkdir()
    meshwright.open(str(MUG)).save(str(mine))
    assert mwconv(MUG, theirs).returncode == 0
    assert mine.read_bytes() == theirs.read_bytes()
    # and what was written opens again with the same geometry
    back, ref = meshwright.open(str(mine)), meshwright.open(str(theirs))
    assert [m.vertex_count for m in back.models] == [m.vertex_count for m in ref.models]


def first_file_of_each_readable_format():
    found = []
    for f in meshwright.formats():
        if not f["open"]:
            continue
        for ext in f["extensions"]:
            files = sorted(p for p in TESTDATA.rglob("*." + ext) if p.stat().st_size < 2_000_000)
            if files:
                found.append(files[0])
                break
    return found


# Every format the program reads: what the module opens is what mwconv opens, written alike; a
# file refused is refused by both with the same words.
@pytest.mark.parametrize("path", first_file_of_each_readable_format(), ids=lambda p: p.suffix)
def test_open_equals_mwconv(tmp_path, path):
    mine, theirs = tmp_path / "mine.mwr", tmp_path / "theirs.mwr"
    res = mwconv(path, theirs)
    try:
        meshwright.open(str(path)).save(str(mine))
    except meshwright.Error as e:
        assert res.returncode == 1 and f"mwconv: {e.message}" in res.stderr
        return
    assert res.returncode == 0, res.stderr
    assert mine.read_bytes() == theirs.read_bytes()


def test_positions_alias_the_document(tmp_path):
    doc = meshwright.open(str(MUG))
    model = biggest(doc)
    p = model.positions
    assert p.dtype == np.float32 and p.shape == (model.vertex_count, 3) and p.flags.writeable
    before = p.copy()
    p[:, 1] += 5.0  # through the view, nothing else
    doc.save(str(tmp_path / "moved.mwr"))
    again = biggest(meshwright.open(str(tmp_path / "moved.mwr")))
    np.testing.assert_array_equal(again.positions[:, 1], before[:, 1] + np.float32(5.0))
    np.testing.assert_array_equal(again.positions[:, [0, 2]], before[:, [0, 2]])


def test_set_positions_and_shape_checks():
    model = biggest(meshwright.open(str(CUBE)))
    n = model.vertex_count
    model.set_positions(np.arange(n * 3, dtype=np.float64).reshape(n, 3))  # doubles narrowed to float32
    np.testing.assert_array_equal(model.positions, np.arange(n * 3, dtype=np.float32).reshape(n, 3))
    copy = model.get_positions()
    assert copy.flags.c_contiguous and not np.shares_memory(copy, model.positions)
    np.testing.assert_array_equal(copy, model.positions)
    for bad in (np.zeros((n + 1, 3)), np.zeros((n, 2)), np.zeros(n * 3)):
        with pytest.raises(ValueError):
            model.set_positions(bad)


def test_faces_csr_round_trip_and_uvs():
    doc = meshwright.open(str(MUG))
    src = biggest(doc)
    ix, of = src.face_indices, src.face_offsets
    assert of[0] == 0 and of[-1] == len(ix) and np.all(np.diff(of) >= 1)
    copy = doc.add_model("copy")
    assert copy.add_vertices(src.positions) == 0
    copy.add_faces_csr(ix, of, material=0)
    np.testing.assert_array_equal(copy.face_indices, ix)
    np.testing.assert_array_equal(copy.face_offsets, of)
    # UVs: one row per corner; a face with a NaN corner gets none, and reads back as NaN
    uv = np.random.default_rng(1).random((len(ix), 2), dtype=np.float32)
    uv[of[1]] = np.nan
    copy.set_uvs(uv)
    got = copy.uvs
    assert np.isnan(got[of[1]:of[2]]).all()
    np.testing.assert_array_equal(got[of[2]:], uv[of[2]:])
    with pytest.raises(IndexError):
        copy.add_faces([[0, 1, copy.vertex_count]])


@pytest.mark.parametrize(
    "path, kind",
    [
        ("/nonexistent/x.mqo", "CannotOpen"),
        (str(CUBE) + ".unknown", "UnsupportedExtension"),
        ("damaged.mwr", None),  # refused by the reader: whatever kind it says
    ],
)
def test_errors_carry_kind_and_message(tmp_path, path, kind):
    if path == "damaged.mwr":
        path = str(tmp_path / path)
        with open(path, "wb") as f:
            f.write(b"MWR not really" * 3)
    with pytest.raises(meshwright.Error) as info:
        meshwright.open(path)
    e = info.value
    assert type(e).__name__ == e.kind + "Error" and isinstance(e, getattr(meshwright, e.kind + "Error"))
    if kind:
        assert e.kind == kind
    # the program's own text, naming the file, as mwconv says it
    res = mwconv(path, "/tmp/never-written.mwr")
    assert res.returncode == 1 and f"mwconv: {e.message}" in res.stderr
    assert any(ord(c) > 0x3000 for c in e.message)


def test_save_failure_is_an_error(tmp_path):
    doc = meshwright.open(str(CUBE))
    with pytest.raises(meshwright.WriteFailedError):
        doc.save(str(tmp_path / "missing-folder" / "x.mwr"))
    with pytest.raises(meshwright.UnsupportedExtensionError):
        doc.save(str(tmp_path / "x.txt"))


def test_array_keeps_its_document_alive():
    p = biggest(meshwright.open(str(MUG))).positions
    gc.collect()
    expected = p.copy()
    assert np.array_equal(p, expected) and p.flags.writeable  # memory still the document's


# Property: whatever the module does to a model, arrays taken from it earlier are either still the
# model's live positions or read-only copies of what they were; none reads freed memory (the
# module's guard; the asan build does not load Python).
def test_arrays_survive_every_operation():
    rng = random.Random(7)
    doc = meshwright.open(str(MUG))
    doc.add_shape("box", size=10)
    kept = []
    ops = [
        lambda m: m.weld(0.5),
        lambda m: m.triangulate(),
        lambda m: m.flip(),
        lambda m: m.add_vertices(np.ones((3, 3), np.float32)),
        lambda m: m.add_faces([[0, 1, 2]]),
        lambda m: m.select(vertices=[0]),
    ]
    for step in range(60):
        models = doc.models
        candidates = [x for x in models if x.vertex_count >= 3]
        if not candidates:
            break
        m = rng.choice(candidates)
        kept.append((m, m.positions))
        if step % 17 == 16 and len(models) > 1:
            doc.remove_model(len(models) - 1)
        else:
            rng.choice(ops)(m)
        for model, arr in kept:
            float(np.asarray(arr, np.float64).sum())  # reads every element
            if arr.flags.writeable:
                assert np.shares_memory(arr, model.positions)
    gone = doc.models[-1]
    doc.remove_model(len(doc.models) - 1)
    with pytest.raises(meshwright.ClosedError):
        gone.positions


def test_selection_by_index_drives_the_operations():
    doc = meshwright.open(str(CUBE))
    m = biggest(doc)
    of, ix = m.face_offsets, m.face_indices.copy()
    m.select(faces=[0])
    assert set(m.selected_vertices) == set(ix[of[0]:of[1]])
    assert m.flip(selected_only=True) == 1
    after = m.face_indices
    np.testing.assert_array_equal(after[of[0]:of[1]], ix[of[0]:of[1]][::-1])
    np.testing.assert_array_equal(after[of[1]:], ix[of[1]:])
    m.select(vertices=[ix[0]])
    doc.select_connected()  # the cube is one piece
    assert len(m.selected_vertices) == m.vertex_count
    doc.invert_selection()
    assert len(m.selected_vertices) == 0
    with pytest.raises(IndexError):
        m.select(vertices=[m.vertex_count])
    with pytest.raises(ValueError):
        m.select(edges=[0])


@pytest.mark.parametrize(
    "shape, keys, counts",
    [
        ("sphere", dict(radius=50, segments=8, rings=4), (8 * 3 + 2, 32)),
        ("box", dict(size=2.5), (8, 6)),
        ("torus", dict(radius=10, minorradius=2.0, segments=3, minorsegments=3), (9, 9)),
    ],
)
def test_shapes_as_the_dialog_makes_them(shape, keys, counts):
    doc = meshwright.new()
    m = doc.add_shape(shape, **keys)
    assert (m.vertex_count, m.face_count) == counts and m.name == shape


def test_shape_errors():
    doc = meshwright.new()
    for shape, keys in [("sphere", dict(rings=1)), ("box", dict(radius=1)), ("blob", {}), ("box", dict(size=True))]:
        with pytest.raises((ValueError, TypeError)):
            doc.add_shape(shape, **keys)
    assert doc.models == [] or all(m.vertex_count == 0 for m in doc.models)


def test_materials_camera_and_model_fields(tmp_path):
    doc = meshwright.open(str(CUBE))
    mat = doc.add_material("木目")
    mat.color = (0.25, 0.5, 0.75, 1.0)
    mat.diffuse, mat.specular, mat.power, mat.texture = 0.5, 0.125, 20.0, "wood.png"
    m = biggest(doc)
    m.name, m.facet, m.mirror, m.state = "箱", 45.0, 3, 2
    doc.camera.rotation = (10, 20, 30)
    doc.save(str(tmp_path / "f.mwr"))
    doc.save(str(tmp_path / "f.mqo"))  # the display state and mirror travel in Metasequoia files
    back = meshwright.open(str(tmp_path / "f.mqo"))
    assert meshwright.open(str(tmp_path / "f.mwr")).camera.rotation == (10.0, 20.0, 30.0)
    bm = [x for x in back.materials if x.id == mat.id][0]
    assert (bm.name, bm.color, bm.diffuse, bm.specular, bm.power, bm.texture) == (
        "木目", (0.25, 0.5, 0.75, 1.0), 0.5, 0.125, 20.0, "wood.png")
    model = [x for x in back.models if x.name == "箱"][0]
    assert (model.facet, model.state, m.mirror) == (45.0, 2, 3)
    for bad in (lambda: setattr(m, "mirror", 8), lambda: setattr(m, "state", 0)):
        with pytest.raises(ValueError):
            bad()


def test_frame_and_render(tmp_path):
    doc = meshwright.open(str(MUG))
    assert doc.frame()
    out = tmp_path / "p.png"
    doc.render(str(out), size=(96, 64))
    head = out.read_bytes()[:24]
    assert head[:8] == b"\x89PNG\r\n\x1a\n" and struct.unpack(">II", head[16:24]) == (96, 64)
    assert not list(tmp_path.glob(".meshwright-render-*"))
    with pytest.raises(ValueError):
        doc.render(str(out), size=(0, 10))


SCRIPT_MOVE = """
import numpy as np
m = max(doc.models, key=lambda m: m.vertex_count)
m.positions[:, 0] += 1
print("moved", m.vertex_count)
"""


def test_mwconv_script_between_read_and_write(tmp_path):
    script = tmp_path / "move.py"
    script.write_text(SCRIPT_MOVE)
    out = tmp_path / "out.mwr"
    res = mwconv(MUG, "--script", script, out)
    assert res.returncode == 0, res.stderr
    assert res.stdout.startswith("moved ")
    before, after = biggest(meshwright.open(str(MUG))), biggest(meshwright.open(str(out)))
    np.testing.assert_array_equal(after.positions[:, 0], before.positions[:, 0] + np.float32(1))


def test_mwconv_script_that_raises_writes_nothing(tmp_path):
    script = tmp_path / "bad.py"
    script.write_text(SCRIPT_MOVE + "raise RuntimeError('やめた')\n")
    out = tmp_path / "out.mwr"
    res = mwconv(MUG, "--script", script, out)
    assert res.returncode == 4 and "RuntimeError: やめた" in res.stderr and not out.exists()


# The modelling verbs on a box with its top face selected, as the menus run them: the face count
# each verb leaves, every face with distinct corners, and an array taken before still safe to read.
@pytest.mark.parametrize(
    "mode, verb, faces",
    [
        ("faces", lambda d: d.extrude(5), 10),
        ("faces", lambda d: d.inset(1, depth=-1), 10),
        ("faces", lambda d: d.solidify(1), 6 + 1),  # a back; a closed box has no border for rims
        ("faces", lambda d: d.subdivide(3), 6 - 1 + 9),
        ("faces", lambda d: d.triangulate_selected(), 7),
        ("edges", lambda d: d.dissolve("edges"), 5),
        ("faces", lambda d: d.separate(), 6),
        ("faces", lambda d: d.smooth(iterations=2, method="taubin"), 6),
        ("edges", lambda d: d.bevel(1, segments=2), 6 + 2),
        ("edges", lambda d: d.loop_cut(cuts=2), 6 + 8),
    ],
)
def test_modelling_verbs_on_a_box(mode, verb, faces):
    doc = meshwright.new()
    m = doc.add_shape("box", size=10)
    doc.select_mode = mode
    assert doc.select_mode == mode
    p, ix, of = m.positions, m.face_indices, m.face_offsets
    top = [f for f in range(m.face_count) if all(p[i][1] > 0 for i in ix[of[f]:of[f + 1]])]
    if mode == "faces":
        m.select(faces=top)
    else:
        corners = ix[of[top[0]]:of[top[0] + 1]]
        m.select(edges=[corners[0], corners[1]])
    kept = m.positions
    assert verb(doc) >= 1
    assert sum(x.face_count for x in doc.models) == faces
    for model in doc.models:
        of, ix = model.face_offsets, model.face_indices
        assert all(len(set(ix[of[f]:of[f + 1]])) == of[f + 1] - of[f] for f in range(model.face_count))
    float(np.asarray(kept, np.float64).sum())


def test_verb_choices_and_subdivision_are_checked():
    doc = meshwright.new()
    m = doc.add_shape("box", size=10)
    for call in [lambda: doc.bevel(1, segments=11), lambda: doc.dissolve("lines"), lambda: doc.loop_cut(cuts=0),
                 lambda: doc.spin(steps=0), lambda: doc.collapse(at="middle"), lambda: setattr(doc, "select_mode", "x")]:
        with pytest.raises(ValueError):
            call()
    with pytest.raises(ValueError):
        m.subdivision = ("catmull-clark", 5)
    m.subdivision = ("catmull-clark", 1)
    assert m.subdivision == ("catmull-clark", 1)
    m.apply_subdivision()
    assert (m.vertex_count, m.face_count) == (26, 24)
