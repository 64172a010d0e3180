#pragma once
// What the Properties page writes into a mesh in modelling mode: a colour into the
// vertices of the selected elements and a texture id into the selected faces. Indices
// outside the mesh are skipped; nothing here raises.
#include "base/uMath.h"

#include <cstdint>
#include <string_view>
#include <vector>

class TMeshData;

// The vertices a colour goes to, each once, in the order they are first reached:
// vertices (kind 0): every selected vertex, then every vertex joined by an edge to a
// selected one; edges (kind 1): both ends of each selected edge; faces (kind 2): the
// corners of each selected face. The edge adjacency is built once, so a selection of
// every vertex costs O(V + E), not O(V x E).
std::vector<int32_t> VerticesToColour(const TMeshData& Mesh, int32_t ElementKind,
                                      const std::vector<int32_t>& Selected);

// Writes Color into each listed vertex.
void ColourVertices(TMeshData& Mesh, const std::vector<int32_t>& Vertices, const TVec3& Color);

// Writes TexId into each selected face inside the mesh.
void SetFacesTexId(TMeshData& Mesh, const std::vector<int32_t>& Faces, int32_t TexId);

// The number formed by the leading decimal digits of Text ("3: brick.png" gives 3),
// saturated at the largest 32-bit value. False (Id untouched) when Text does not start
// with a digit: an empty list text names no texture and must not wipe the faces' ids.
bool LeadingTexId(std::string_view Text, int32_t& Id);

// A colour channel typed by the user: the value clamped to 0..1, or 1 when the text was
// not a number.
float ColourChannel(bool Converted, float Value);
