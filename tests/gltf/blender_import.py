# Imports a .glb into an empty Blender scene and prints what came in, as one
# line "FIGURES {json}": run as
#   blender -b --factory-startup --python-exit-code 1 --python blender_import.py -- FILE.glb
import json
import sys

import numpy

# Debian 12 pairs Blender 3.4 with numpy 1.24, which dropped numpy.bool; the
# glTF importer still uses it.
if not hasattr(numpy, "bool"):
    numpy.bool = bool

import bpy

path = sys.argv[sys.argv.index("--") + 1]
bpy.ops.wm.read_factory_settings(use_empty=True)
bpy.ops.import_scene.gltf(filepath=path)

meshes = [o for o in bpy.data.objects if o.type == "MESH"]
obj = meshes[0]
mesh = obj.data
corners = [obj.matrix_world @ v.co for v in mesh.vertices]

# Positive for a closed mesh whose faces wind counter-clockwise seen from outside.
volume = 0.0
for polygon in mesh.polygons:
    a, b, c = (corners[i] for i in polygon.vertices[:3])
    volume += a.dot(b.cross(c)) / 6.0

shape_actions = sorted(
    a.name for a in bpy.data.actions if any(f.data_path.startswith("key_blocks") for f in a.fcurves))

def peaks(action):
    """The shape keys in the order in which each reaches its weight of 1."""
    tops = []
    for curve in action.fcurves:
        name = curve.data_path.split('"')[1] if '"' in curve.data_path else curve.data_path
        tops += [(point.co[0], name) for point in curve.keyframe_points if abs(point.co[1] - 1.0) < 1e-6]
    return [name for _, name in sorted(tops)]


uv = mesh.uv_layers.active
figures = {
    "meshes": len(meshes),
    "vertices": len(mesh.vertices),
    "faces": len(mesh.polygons),
    "shape_keys": len(mesh.shape_keys.key_blocks) if mesh.shape_keys else 0,
    "shape_key_names": [k.name for k in mesh.shape_keys.key_blocks] if mesh.shape_keys else [],
    "actions": shape_actions,
    "peaks": {a: peaks(bpy.data.actions[a]) for a in shape_actions},
    "uv_layers": len(mesh.uv_layers),
    "uv_corners": len(uv.data) if uv else 0,
    "corners": len(mesh.loops),
    "images": [[i.name, i.size[0], i.size[1], i.has_data] for i in bpy.data.images],
    "volume": volume,
    "min": [min(p[k] for p in corners) for k in range(3)],
    "max": [max(p[k] for p in corners) for k in range(3)],
}
print("FIGURES " + json.dumps(figures))
