#!/usr/bin/env python3
"""The Python module on the installed library: writes a pack holding a model and
a palette, lists it, loads the model's counts and the palette through the pack,
and asks for a missing member. Exits 0 when all holds, 77 when ctypes is missing.

    python_check.py FOLDER   (with the installed module on PYTHONPATH)
"""
import os
import struct
import sys

try:
    import ctypes  # noqa: F401
except ImportError as error:
    print("skipped: Python has no ctypes (%s)" % error)
    sys.exit(77)

import varnel


def model_bytes():
    """2 x 2 skin, 3 vertices (one on the seam), 1 triangle, frames "walk1" and "walk2"."""
    m = b"IDPO" + struct.pack("<I3f3f4f8If", 6, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 1, 2, 2, 3, 1, 2, 0, 0, 1.0)
    m += struct.pack("<I", 0) + bytes(range(4))
    m += struct.pack("<9I", 0x20, 0, 0, 0, 1, 0, 0, 0, 1)
    m += struct.pack("<4I", 0, 0, 1, 2)  # a back-facing triangle: the seam vertex gets its copy
    for name in (b"walk1", b"walk2"):
        m += struct.pack("<I", 0) + bytes(8) + name.ljust(16, b"\0") + bytes([0, 0, 0, 0, 10, 0, 0, 0, 0, 10, 0, 0])
    return m


def write_pack(path, members):
    data, directory = b"", b""
    for name, content in members:
        directory += name.ljust(56, b"\0") + struct.pack("<II", 12 + len(data), len(content))
        data += content
    with open(path, "wb") as out:
        out.write(b"PACK" + struct.pack("<II", 12 + len(data), len(directory)) + data + directory)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "."
    pack = os.path.join(folder, "test.pak")
    palette = bytes([1, 2, 3]) + bytes(765)
    write_pack(pack, [(b"progs/walker.mdl", model_bytes()), (b"gfx/palette.lmp", palette)])

    entries = varnel.pack_list(pack)
    print("pack:", [(e.name, e.length, e.usable) for e in entries])
    assert [e.name for e in entries] == ["progs\\walker.mdl", "gfx\\palette.lmp"], entries
    assert entries[1].length == 768 and all(e.usable for e in entries), entries

    model = varnel.load_model("progs/walker", pack=pack)
    print("model:", model)
    assert (model.vertex_count, model.seam_count, model.triangle_count) == (3, 1, 1), model
    assert (model.skin_count, model.skin_width, model.skin_height) == (1, 2, 2), model
    assert model.frame_names == ["walk1", "walk2"] and model.frame_count == 2, model

    colours = varnel.load_palette("gfx/palette", pack=pack)
    assert len(colours) == 256 and colours[0] == (1, 2, 3) and colours[1] == (0, 0, 0), colours[:2]
    assert varnel.pack_read("gfx/palette.lmp", pack=pack) == palette
    assert varnel.what_is(palette) == 11  # VNL_TYPE_PALETTE

    try:
        varnel.load_model("progs/none", pack=pack)
        raise AssertionError("a missing member loaded")
    except varnel.VarnelError as error:
        print("missing member:", error)
        assert error.code == 4 and "file no found" in str(error), error
    assert varnel.error_string(20) == "file is not a Quake MDL"
    assert varnel.clean_path("a/./b/../c.mdl") == "a\\c.mdl"
    print("python module reads the pack through", varnel._lib._name)


if __name__ == "__main__":
    main()
