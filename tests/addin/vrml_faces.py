#!/usr/bin/env python3
"""Reads a VRML 97 file with VTK's importer, a reader this project did not write, and
prints what it found as JSON: polygons, lines and vertices over all actors, and the
bounds of the scene with every actor's transform applied. Exit 3 when VTK is missing."""
import json
import sys

try:
    from vtkmodules.vtkIOImport import vtkVRMLImporter
    from vtkmodules.vtkRenderingCore import vtkRenderWindow, vtkRenderer
    import vtkmodules.vtkRenderingOpenGL2  # noqa: F401 (the render window's back end)
except ImportError as missing:
    print(f"VTK's Python bindings are not installed: {missing}")
    sys.exit(3)

renderer = vtkRenderer()
window = vtkRenderWindow()
window.SetOffScreenRendering(1)
window.AddRenderer(renderer)
importer = vtkVRMLImporter()
importer.SetFileName(sys.argv[1])
importer.SetRenderWindow(window)
importer.Update()

counts = {"faces": 0, "lines": 0, "points": 0}
actors = renderer.GetActors()
actors.InitTraversal()
for _ in range(actors.GetNumberOfItems()):
    data = actors.GetNextActor().GetMapper().GetInput()
    counts["faces"] += data.GetNumberOfPolys()
    counts["lines"] += data.GetNumberOfLines()
    counts["points"] += data.GetNumberOfVerts()
counts["actors"] = actors.GetNumberOfItems()
counts["bounds"] = list(renderer.ComputeVisiblePropBounds())
print(json.dumps(counts))
