# Imports a .glb into an empty Blender scene and exports it again as a .glb, the
# mesh's custom properties as extras, as a modder's round trip through Blender
# leaves it: run as
#   blender -b --factory-startup --python-exit-code 1 --python blender_reexport.py -- IN.glb OUT.glb
import sys

import numpy

# Debian 12 pairs Blender 3.4 with numpy 1.24, which dropped numpy.bool; the
# glTF add-on still uses it.
if not hasattr(numpy, "bool"):
    numpy.bool = bool

import bpy

source, destination = sys.argv[sys.argv.index("--") + 1:][:2]
bpy.ops.wm.read_factory_settings(use_empty=True)
bpy.ops.import_scene.gltf(filepath=source)
bpy.ops.export_scene.gltf(filepath=destination, export_format="GLB", export_extras=True)
