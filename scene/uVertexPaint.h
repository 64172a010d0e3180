#pragma once
// Vertex colours: conversions between the float RGB of mesh vertices, the packed colour
// value of the user interface (red in the low byte), hue/saturation/value and "#rrggbb"
// text; and the mesh work of the paint tools (which vertices an element paints, the flood
// fill over the edge graph, the per-corner gradient, the recent-colour list, the face UV
// buttons). No window is needed for any of it.
#include "base/uMath.h"
#include "base/uMesh.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Packed colour r + g*256 + b*65536; each channel is c*255 clamped to 0..255 and rounded
// (halves to even). A channel that is not a finite number counts as 0.
uint32_t Vec3ToColor(const TVec3& Color);
// Each byte of a packed colour divided by 255.
TVec3 ColorToVec3(uint32_t Color);
// Hue 0..1 (1 wraps to 0), saturation and value 0..1. A negative or non-finite input
// gives black.
TVec3 HSVToRGB(float H, float S, float V);
// H in 0..1; all three 0 for black or a colour with a non-finite channel.
void RGBToHSV(const TVec3& Color, float& H, float& S, float& V);
bool IsFiniteColor(const TVec3& Color);

// "#rrggbb" in lower-case hexadecimal of the packed colour.
std::string ColorToHexText(const TVec3& Color);
// Text of at least seven characters that starts with "#": the three pairs after it are
// red, green and blue (a pair that is not two hexadecimal digits counts as 0; what follows
// the sixth character is ignored). False, and Color untouched, for any other text.
bool ParseHexColorText(const std::string& Text, TVec3& Color);

// The vertices an element of the given kind (0 vertices, 1 edges, 2 faces) paints; empty
// for an index outside the mesh. A face's corners outside the mesh are left out.
std::vector<int32_t> ElementVertices(const TMeshData& Mesh, int32_t Kind, int32_t Index);

// Front insertion into the newest-first list of at most eight colours; an entry within
// 0.001 in every channel moves to the front instead of being added again.
void AddRecentColor(std::array<TVec3, 8>& Colors, int32_t& Count, const TVec3& Color);

// Breadth-first fill over the edge graph: from the seed vertices (in order), through
// neighbours in edge-list order, every vertex whose colour equals the first seed's colour
// exactly. The queue order is that of a scan of the whole edge list per entry; the
// adjacency is built once per fill in buffers kept between fills.
class TFloodFill {
public:
    const std::vector<int32_t>& Run(const TMeshData& Mesh, const std::vector<int32_t>& Seeds);

private:
    std::vector<int32_t> Offsets, Neighbours, Queue;
    std::vector<uint8_t> Visited;
};

// What the gradient writes: per corner of each valid selected face, its vertex, its old
// colour and main colour (p + n - shift) mod n with shift = round(Rotation / (360 / n))
// mod n (halves to even).
struct TGradientPlan {
    std::vector<int32_t> Faces;
    std::vector<int32_t> VertexIndices;
    std::vector<TVec3> OldColors, NewColors;
    bool HasQuad = false;
};
TGradientPlan BuildGradientPlan(const TMeshData& Mesh, const std::vector<int32_t>& SelectedFaces,
                                const std::array<TVec3, 4>& MainColors, float Rotation);

// Main colour slots the paint page offers: 3, or in the gradient tool the
// hovered face's corner count, and 4 when any valid selected face is a quad.
int32_t UsableMainColorSlots(const TMeshData* Mesh, bool GradientMode, int32_t HoveredFace,
                             const std::vector<int32_t>& SelectedFaces);

// Vertices "Pick Color..." colours, each once, by sub-mode: the ends of the selected
// edges, the corners of the selected faces, or the selected vertices followed by their
// neighbours. Invalid indices are skipped.
std::vector<int32_t> PickColorVertices(const TMeshData& Mesh, int32_t SubMode,
                                       const std::vector<int32_t>& Vertices,
                                       const std::vector<int32_t>& Edges,
                                       const std::vector<int32_t>& Faces);

// The six face UV buttons (Tag 0 "90°", 1 "MirU", 2 "MirV", 3 "2x", 4 "0.5x", 5 "Reset")
// on every corner UV of the valid selected faces. False when nothing was changed.
bool ApplyFaceUVButton(TMeshData& Mesh, const std::vector<int32_t>& Faces, int32_t Tag);

// The colour wheel of a W x H box: centre (W div 2, H div 2), radius min(cx, cy) - 2. A
// point inside the circle gives hue by angle, saturation by distance and value 1; False
// outside it.
bool ColorWheelPick(int32_t X, int32_t Y, int32_t W, int32_t H, TVec3& Color);
// Where the wheel's marker sits for a colour.
void ColorWheelMarker(const TVec3& Color, int32_t W, int32_t H, int32_t& X, int32_t& Y);
