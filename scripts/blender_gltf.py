# Imports a .glb written by `tessaro-cli convert` with Blender's own glTF importer,
# prints what it made (object tree, materials, images) and, given a picture name,
# draws the export with Cycles through its "Default view" camera at 800x600, the view
# `tessaro-cli render` draws, to set the two pictures side by side.
#
# Usage: blender -b --python scripts/blender_gltf.py -- FILE.glb [OUT.png]
# (scripts/blender_check.sh installs Blender and runs this.)
import json
import math
import struct
import sys

import numpy

# Debian 12's Blender 3.4 glTF importer still uses numpy.bool, which numpy 1.24 removed.
if not hasattr(numpy, "bool"):
    numpy.bool = bool
import bpy  # noqa: E402


def rounded(values):
    return tuple(round(v, 3) for v in values)


def describe(obj, depth):
    extra = ""
    if obj.type == "MESH":
        mesh = obj.data
        extra = (f" mesh={mesh.name} faces={len(mesh.polygons)} edges={len(mesh.edges)}"
                 f" vertices={len(mesh.vertices)} materials={[m.name for m in mesh.materials if m]}")
    elif obj.type == "LIGHT":
        extra = f" light={obj.data.type} colour={rounded(obj.data.color)}"
    elif obj.type == "CAMERA":
        extra = f" camera={obj.data.type} ortho_scale={obj.data.ortho_scale:.3f}"
    print("  " * depth + f"{obj.name} [{obj.type}] location={rounded(obj.location)}"
          f" scale={rounded(obj.scale)}{extra}")
    for child in sorted(obj.children, key=lambda c: c.name):
        describe(child, depth + 1)


def summary():
    print("=== objects")
    for obj in sorted(bpy.data.objects, key=lambda o: o.name):
        if obj.parent is None:
            describe(obj, 0)
    print("=== materials")
    for material in bpy.data.materials:
        nodes = material.node_tree.nodes if material.use_nodes else []
        bsdf = next((n for n in nodes if n.type == "BSDF_PRINCIPLED"), None)
        textures = [n.image.name for n in nodes if n.type == "TEX_IMAGE" and n.image]
        if bsdf is not None:
            print(f"{material.name}: base={rounded(bsdf.inputs['Base Color'].default_value)}"
                  f" roughness={bsdf.inputs['Roughness'].default_value:.3f}"
                  f" alpha={bsdf.inputs['Alpha'].default_value:.2f} blend={material.blend_method}"
                  f" backface_culling={material.use_backface_culling} textures={textures}")
        else:
            print(f"{material.name}: nodes={[n.type for n in nodes]} textures={textures}")
    print("=== images")
    for image in bpy.data.images:
        print(f"{image.name} {tuple(image.size)}")


def linear(c):
    return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4


def render(path, picture):
    with open(path, "rb") as f:
        data = f.read()
    length = struct.unpack_from("<I", data, 12)[0]
    extras = json.loads(data[20:20 + length])["scenes"][0].get("extras", {})
    background = [linear(c) for c in extras.get("backgroundColor", [0, 0, 0])]
    ambient = [linear(c) for c in extras.get("ambientLight", [0.2, 0.2, 0.2])]
    # The importer reads glTF's intensity as lux (1/683 W/m2). OpenGL lights a white
    # surface facing a light of 1 with 1; a Cycles sun does that at strength pi.
    for light in bpy.data.lights:
        light.energy = math.pi
    scene = bpy.context.scene
    world = bpy.data.worlds.new("World")
    scene.world = world
    world.use_nodes = True
    nodes, links = world.node_tree.nodes, world.node_tree.links
    # The background colour for camera rays, the ambient light for everything else.
    mix = nodes.new("ShaderNodeMixShader")
    path_node = nodes.new("ShaderNodeLightPath")
    seen = nodes.new("ShaderNodeBackground")
    seen.inputs["Color"].default_value = (*background, 1)
    lighting = nodes.new("ShaderNodeBackground")
    lighting.inputs["Color"].default_value = (*ambient, 1)
    links.new(path_node.outputs["Is Camera Ray"], mix.inputs["Fac"])
    links.new(lighting.outputs["Background"], mix.inputs[1])
    links.new(seen.outputs["Background"], mix.inputs[2])
    links.new(mix.outputs["Shader"], nodes["World Output"].inputs["Surface"])
    scene.camera = bpy.data.objects["Default view"]
    scene.render.engine = "CYCLES"
    scene.cycles.device = "CPU"
    scene.cycles.samples = 32
    scene.cycles.use_denoising = False
    scene.render.resolution_x, scene.render.resolution_y = 800, 600
    scene.view_settings.view_transform = "Standard"
    scene.render.filepath = picture
    bpy.ops.render.render(write_still=True)


arguments = sys.argv[sys.argv.index("--") + 1:]
bpy.ops.wm.read_factory_settings(use_empty=True)
bpy.ops.import_scene.gltf(filepath=arguments[0])
summary()
if len(arguments) > 1:
    render(arguments[0], arguments[1])
