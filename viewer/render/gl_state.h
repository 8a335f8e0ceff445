// Internal to the renderer: the state switches that compiled lists emit and the one
// rule by which every display list and texture object is named and remembered.
#pragma once

#include <GL/gl.h>

#include <cstdint>

#include "render/renderer.h"

namespace tessaro::internal {

void twoSided();
void oneSided();
void texturedState();
void blendedState();
void plainState();
void defaultNormal();

// One new display-list name, recorded with noteList; 0 when none could be had.
std::uint32_t newListName();
// Makes redraw ignore the scene list built before: after a clear its name may be
// handed out again to another list.
void forgetSceneList();
// Remembers a texture object so that clearDisplay can delete it with the lists.
void noteTexture(GLuint name);

// The list in word `word` of the entry that `handle` names; 0 when the handle names
// no entry (not kept, dropped) or the entry has no such list.
std::uint32_t entryList(const PoolVector<GeometryEntry>& entries, std::int32_t handle, int word);
// Calls a child's list with the model-view matrix kept around it, since a child's
// list multiplies in its own transform.
void callChildList(std::uint32_t list);

}  // namespace tessaro::internal
