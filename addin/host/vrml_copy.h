// The stand-in host's VRML copy of a document: its XGL world read with the viewer's
// parser and written as a VRML 97 file. Every object becomes a Transform with its
// placement; every mesh becomes Shapes whose Appearance carries the XGL material, with
// IndexedFaceSets (coordinates, normals, texture coordinates, the texture's pixels as a
// PixelTexture), IndexedLineSets and PointSets; the world's background colour becomes
// a Background.
#pragma once

#include <QByteArray>

#include <string>

namespace exportal {

// Writes the VRML copy of `xgl`. False with `error` set when the world is not valid XGL
// (its numbered message) or the file cannot be written; nothing is left then.
bool writeVrmlCopy(const QByteArray& xgl, const std::string& fileName, std::string& error);

}  // namespace exportal
