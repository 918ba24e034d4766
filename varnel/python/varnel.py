"""varnel for Python: pack archives, alias models and palettes through the
library's C interface, with ctypes (no build step).

    import varnel
    for entry in varnel.pack_list("id1/pak0.pak"):
        print(entry.name, entry.length)
    model = varnel.load_model("progs/player.mdl", pack="id1/pak0.pak")
    print(model.vertex_count, model.triangle_count, model.frame_names[:3])

The library is looked for where VARNEL_LIBRARY says, then beside this module's
install (prefix/lib), then wherever the system's loader finds it.
Failures raise VarnelError with the library's code and message.
"""
import ctypes
import ctypes.util
import os
from collections import namedtuple

__all__ = ["VarnelError", "error_string", "clean_path", "what_is", "pack_list", "pack_read", "load_model",
           "load_palette", "PackEntry", "Model"]

class _PackEntry(ctypes.Structure):
    _fields_ = [("name", ctypes.c_char * 64), ("offset", ctypes.c_uint32), ("length", ctypes.c_uint32),
                ("usable", ctypes.c_uint8)]


class _PackInfo(ctypes.Structure):
    _fields_ = [("magic", ctypes.c_char * 5), ("dirOffset", ctypes.c_uint32), ("dirLength", ctypes.c_uint32),
                ("entryCount", ctypes.c_uint32), ("entries", ctypes.POINTER(_PackEntry))]


class _Picture(ctypes.Structure):
    _fields_ = [("width", ctypes.c_uint32), ("height", ctypes.c_uint32), ("pixels", ctypes.POINTER(ctypes.c_uint8))]


class _Vec3(ctypes.Structure):
    _fields_ = [("x", ctypes.c_float), ("y", ctypes.c_float), ("z", ctypes.c_float)]


class _Model(ctypes.Structure):
    _fields_ = [("ofsSkins", ctypes.c_uint32), ("ofsTriangles", ctypes.c_uint32), ("ofsVertices", ctypes.c_uint32),
                ("ofsFrames", ctypes.c_uint32), ("fileSize", ctypes.c_uint32), ("flags", ctypes.c_uint32),
                ("syncType", ctypes.c_uint32), ("skinCount", ctypes.c_uint16), ("skinExtra", ctypes.c_uint16),
                ("skins", ctypes.POINTER(_Picture)), ("frameCount", ctypes.c_uint16),
                ("frameExtra", ctypes.c_uint16), ("frameNames", ctypes.POINTER(ctypes.c_char * 16)),
                ("frameGroup", ctypes.POINTER(ctypes.c_uint8)), ("vertexCount", ctypes.c_uint16),
                ("triangleCount", ctypes.c_uint16), ("triangles", ctypes.POINTER(ctypes.c_uint16 * 3)),
                ("seamIndex", ctypes.POINTER(ctypes.c_uint32)), ("skinCoords", ctypes.POINTER(_Vec3)),
                ("frameVertices", ctypes.POINTER(_Vec3)), ("seamCount", ctypes.c_uint32)]


class _Palette(ctypes.Structure):
    _fields_ = [("brightCount", ctypes.c_uint8), ("shadingLevels", ctypes.c_uint32),
                ("colorMap", ctypes.POINTER(ctypes.c_uint8)), ("colors", ctypes.POINTER(ctypes.c_uint32))]


def _candidates():
    if os.environ.get("VARNEL_LIBRARY"):
        yield os.environ["VARNEL_LIBRARY"]
    # prefix/lib/python3/dist-packages/varnel.py -> prefix/lib/libvarnel.so
    here = os.path.dirname(os.path.abspath(__file__))
    yield os.path.join(here, os.pardir, os.pardir, "libvarnel.so")
    found = ctypes.util.find_library("varnel")
    if found:
        yield found


def _open_library():
    problems = []
    for path in _candidates():
        if os.sep in path and not os.path.exists(path):
            continue
        try:
            return ctypes.CDLL(path)
        except OSError as error:
            problems.append(str(error))
    raise ImportError("libvarnel not found (set VARNEL_LIBRARY): " + "; ".join(problems or ["no candidate"]))


def _declare(lib):
    c = ctypes
    table = {
        "vnlErrorString": (c.c_size_t, [c.c_int32, c.c_char_p, c.c_size_t]),
        "vnlCleanPath": (c.c_size_t, [c.c_char_p, c.c_int32, c.c_char_p, c.c_size_t]),
        "vnlWhatIs": (c.c_int32, [c.c_char_p, c.c_uint32, c.POINTER(c.c_int32)]),
        "vnlPackInfoRead": (c.c_int32, [c.c_char_p, c.POINTER(_PackInfo)]),
        "vnlPackInfoKill": (None, [c.POINTER(_PackInfo)]),
        "vnlPackFileLoad": (c.c_int32, [c.c_char_p, c.c_char_p, c.POINTER(c.POINTER(c.c_uint8)),
                                        c.POINTER(c.c_uint32)]),
        "vnlModelLoadFile": (c.c_int32, [c.c_char_p, c.c_char_p, c.POINTER(_Model)]),
        "vnlModelKill": (None, [c.POINTER(_Model)]),
        "vnlPaletteLoadFile": (c.c_int32, [c.c_char_p, c.c_char_p, c.POINTER(_Palette)]),
        "vnlPaletteKill": (None, [c.POINTER(_Palette)]),
    }
    for name, (result, arguments) in table.items():
        function = getattr(lib, name)
        function.restype = result
        function.argtypes = arguments
    lib.free = ctypes.CDLL(None).free
    lib.free.argtypes = [ctypes.c_void_p]
    lib.free.restype = None
    return lib


_lib = _declare(_open_library())


class VarnelError(Exception):
    """A load that failed: `code` is the library's result code."""

    def __init__(self, code, what):
        self.code = code
        super().__init__("%s: %s (code %d)" % (what, error_string(code) or "error", code))


def _bytes(text):
    if text is None:
        return None
    return text if isinstance(text, bytes) else os.fsencode(text)


def _text(write):
    needed = write(None, 0)
    buffer = ctypes.create_string_buffer(needed + 1)
    write(buffer, needed + 1)
    return buffer.value.decode("utf-8", "surrogateescape")


def error_string(code):
    """The message of a result code, "" for codes without one."""
    return _text(lambda out, n: _lib.vnlErrorString(code, out, n))


def clean_path(path, folder=False):
    """The path as the library cleans names: "\\" separators, "." and ".." resolved."""
    return _text(lambda out, n: _lib.vnlCleanPath(_bytes(path), 0 if folder else 1, out, n))


def what_is(data):
    """A VNL_TYPE_* number told from the bytes' content (0 when unknown)."""
    kind = ctypes.c_int32(0)
    _lib.vnlWhatIs(bytes(data), len(data), ctypes.byref(kind))
    return kind.value


PackEntry = namedtuple("PackEntry", "name offset length usable")


def pack_list(pack):
    """The directory of a pack, as PackEntry tuples in stored order."""
    info = _PackInfo()
    code = _lib.vnlPackInfoRead(_bytes(pack), ctypes.byref(info))
    try:
        if code != 0:
            raise VarnelError(code, "cannot read pack %s" % pack)
        return [PackEntry(e.name.decode("latin-1"), e.offset, e.length, bool(e.usable))
                for e in info.entries[:info.entryCount]]
    finally:
        _lib.vnlPackInfoKill(ctypes.byref(info))


def pack_read(name, pack=None):
    """The bytes of a disk file (no pack) or of a pack member."""
    block = ctypes.POINTER(ctypes.c_uint8)()
    length = ctypes.c_uint32(0)
    code = _lib.vnlPackFileLoad(_bytes(pack or ""), _bytes(name), ctypes.byref(block), ctypes.byref(length))
    try:
        if code != 0:
            raise VarnelError(code, "cannot read %s" % name)
        return ctypes.string_at(block, length.value)
    finally:
        _lib.free(block)


Model = namedtuple("Model", "vertex_count seam_count triangle_count skin_count skin_width skin_height "
                            "frame_count frame_names flags")


def load_model(name, pack=None):
    """An alias model's counts and frame names (groups flattened)."""
    record = _Model()
    code = _lib.vnlModelLoadFile(_bytes(pack or ""), _bytes(name), ctypes.byref(record))
    try:
        if code != 0:
            raise VarnelError(code, "cannot load model %s" % name)
        frames = record.frameCount + record.frameExtra
        names = [record.frameNames[f].raw.split(b"\0")[0].decode("latin-1") for f in range(frames)]
        skins = record.skinCount + record.skinExtra
        width = record.skins[0].width if skins else 0
        height = record.skins[0].height if skins else 0
        return Model(record.vertexCount, record.seamCount, record.triangleCount, skins, width, height, frames,
                     names, record.flags)
    finally:
        _lib.vnlModelKill(ctypes.byref(record))


def load_palette(name, pack=None):
    """The 256 colours of a palette lump, as (red, green, blue) tuples."""
    record = _Palette()
    code = _lib.vnlPaletteLoadFile(_bytes(pack or ""), _bytes(name), ctypes.byref(record))
    try:
        if code != 0:
            raise VarnelError(code, "cannot load palette %s" % name)
        return [((c >> 16) & 255, (c >> 8) & 255, c & 255) for c in record.colors[:256]]
    finally:
        _lib.vnlPaletteKill(ctypes.byref(record))
