#!/usr/bin/env python3
"""Counts what importing each Metasequoia document should give, independently of the C++ reader.

    python3 tests/io/mqo_counts.py ../shared/testdata/mqo/*.mqo

Prints one C++ table row per file: version, encoding, models, vertices, faces, faces with 2, 3,
4 and more corners, materials. The rules are those the importer follows: objects without faces
are not added; faces naming a missing vertex, or with no corners, are dropped; "mirror 1/2" with
"mirror_axis" (X when absent) doubles the geometry per axis, and "mirror 2" shares the vertices
on the mirror plane (within mirror_dis, else exactly on it); a document without materials gets
one default material.
"""
import os
import re
import struct
import sys


def valid_utf8(b):
    try:
        b.decode('utf-8')
        return True
    except UnicodeDecodeError:
        return False


def lines_of(data):
    """(text, next offset) for each line; binary blocks after "[N]" lines are skipped."""
    pos = 0
    while pos < len(data):
        end = data.find(b'\n', pos)
        end = len(data) if end < 0 else end + 1
        yield data[pos:end], end
        pos = end


class Doc:
    def __init__(self, data):
        self.data = data
        self.pos = 0

    def line(self):
        if self.pos >= len(self.data):
            return None
        end = self.data.find(b'\n', self.pos)
        end = len(self.data) if end < 0 else end + 1
        text = self.data[self.pos:end]
        self.pos = end
        return text.strip(b'\r\n \t')

    def skip_block(self, text):
        m = re.search(rb'\[\s*(\d+)\s*\]$', text)
        if m:
            self.pos += int(m.group(1))
            return True
        return False

    def skip_chunk(self, text):
        if text.endswith(b'{'):
            depth = 1
            while depth:
                t = self.line()
                if t is None:
                    raise EOFError
                if t.endswith(b'{'):
                    depth += 1
                elif t.endswith(b'}'):
                    depth -= 1
                else:
                    self.skip_block(t)
        else:
            self.skip_block(text)


def encoding_of(data):
    m = re.search(rb'^CodePage\s+(\S+)', data, re.M | re.I)
    if m and data.find(b'Object') > m.start():
        return 'utf8' if m.group(1).lower() in (b'utf8', b'utf-8', b'65001') else 'cp932'
    # Binary blocks aside, is the text valid UTF-8 with something beyond ASCII?
    text = bytearray()
    d = Doc(data)
    while True:
        t = d.line()
        if t is None:
            break
        text += t + b'\n'
        d.skip_block(t)
    return 'utf8' if valid_utf8(bytes(text)) and any(c >= 0x80 for c in text) else 'cp932'


def mirror(vertices, faces, axes, connected, dis):
    for axis in range(3):
        if not axes & (1 << axis):
            continue
        index = []
        for v in list(vertices):
            on = (abs(v[axis]) <= dis) if dis is not None else v[axis] == 0.0
            if connected and on:
                index.append(None)
            else:
                w = list(v)
                w[axis] = -w[axis]
                index.append(len(vertices))
                vertices.append(tuple(w))
        faces += [list(f) for f in faces]
    return vertices, faces


def count(path):
    data = open(path, 'rb').read()
    d = Doc(data)
    d.line()
    version = d.line().split()[3].decode()
    models = vertices = faces = materials = 0
    corners = {2: 0, 3: 0, 4: 0, 'more': 0}
    while True:
        t = d.line()
        if t is None:
            break
        if not t:
            continue
        words = t.split()
        if words[0] == b'Material' and t.endswith(b'{'):
            while True:
                m = d.line()
                if m.startswith(b'}'):
                    break
                if m:
                    materials += 1
        elif words[0] == b'Object' and t.endswith(b'{'):
            vs, fs = [], []
            attr = {}
            while True:
                o = d.line()
                if o.startswith(b'}'):
                    break
                w = o.split()
                if w and w[0] in (b'mirror', b'mirror_axis', b'mirror_dis'):
                    attr[w[0]] = float(w[1])
                elif w and w[0] == b'vertex' and o.endswith(b'{'):
                    while True:
                        v = d.line()
                        if v.startswith(b'}'):
                            break
                        if len(v.split()) >= 3:
                            vs.append(tuple(float(x) for x in v.split()[:3]))
                elif w and w[0] == b'BVertex' and o.endswith(b'{'):
                    while True:
                        v = d.line()
                        if v.startswith(b'}'):
                            break
                        m = re.match(rb'Vector\s+(\d+)\s+\[(\d+)\]', v)
                        if m and int(m.group(1)) * 12 == int(m.group(2)):
                            n = int(m.group(1))
                            raw = data[d.pos:d.pos + 12 * n]
                            vs += [struct.unpack_from('<3f', raw, 12 * k) for k in range(n)]
                            d.pos += 12 * n
                        else:
                            d.skip_chunk(v)
                elif w and w[0] == b'face' and o.endswith(b'{'):
                    while True:
                        f = d.line()
                        if f.startswith(b'}'):
                            break
                        m = re.match(rb'(\d+)\s*V\s*\(([^)]*)\)', f)
                        if m:
                            idx = [int(x) for x in m.group(2).split()]
                            if int(m.group(1)) > 0 and all(0 <= i < len(vs) for i in idx):
                                fs.append(idx)
                else:
                    d.skip_chunk(o)
            mode = int(attr.get(b'mirror', 0))
            axes = int(attr.get(b'mirror_axis', 1)) if mode in (1, 2) else 0
            vs, fs = mirror(vs, fs, axes, mode == 2, attr.get(b'mirror_dis'))
            if fs:
                models += 1
                vertices += len(vs)
                faces += len(fs)
                for f in fs:
                    corners[len(f) if len(f) <= 4 else 'more'] += 1
        else:
            d.skip_chunk(t)
    return (version, encoding_of(data), models, vertices, faces, corners[2], corners[3], corners[4],
            corners['more'], max(materials, 1))


if __name__ == '__main__':
    for p in sys.argv[1:]:
        c = count(p)
        enc = 'MqoEncoding::kUtf8' if c[1] == 'utf8' else 'MqoEncoding::kCp932'
        ver = 11 if c[0].startswith('1.1') else 10
        print('    {"%s", %d, %s, %s},' % (os.path.basename(p), ver, enc, ', '.join(str(x) for x in c[2:])))
