#pragma once
// Immediate-mode drawing of a mesh into the current OpenGL context. The caller has set
// the matrices, lighting and polygon mode.
#include "base/uMesh.h"

#include <cstdint>
#include <functional>

// Called by DrawMeshFaces with a face's TexId whenever it differs from the previous
// face's, and with 0 after the last face. The main window sets it to bind registry
// textures; unset by default.
extern std::function<void(int32_t)> TextureBindHook;

void DrawMeshFaces(const TMeshData& Mesh);
void DrawMeshVertices(const TMeshData& Mesh);
void DrawMeshEdges(const TMeshData& Mesh);
