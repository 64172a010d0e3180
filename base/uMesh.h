#pragma once
// The one mesh type of the program: vertices, faces of three or four corners and the
// derived, sorted edge list. Every primitive, modifier result and generated mesh is a
// TMeshData. Nothing here raises on the mesh's own data: Validate reports problems as
// a message and the list queries return empty lists for bad indices.
//
// The three Draw routines are defined in the GL layer (uMeshDraw.cpp, quill_gui); this
// header includes no GL header, so the model library never touches OpenGL.
#include "base/uMath.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct TMeshVertex {
    TVec3 Position;
    TVec3 Normal;
    TVec3 Color;  // R, G, B in 0..1
    TVec2 UV;
    friend bool operator==(const TMeshVertex&, const TMeshVertex&) = default;
};

struct TMeshFace {
    std::array<int32_t, 4> Indices{0, 0, 0, -1};  // index 3 is -1 for a triangle
    std::array<TVec2, 4> UVs{};                   // per-corner texture coordinates
    int32_t Count = 3;                            // 3 or 4
    int32_t TexId = 0;                            // registry index + 1; 0 = no texture
    friend bool operator==(const TMeshFace&, const TMeshFace&) = default;
};

// V0 < V1 for every edge of a rebuilt edge list.
struct TMeshEdge {
    int32_t V0 = 0;
    int32_t V1 = 0;
    friend bool operator==(const TMeshEdge&, const TMeshEdge&) = default;
};

class TMeshData {
public:
    std::vector<TMeshVertex> Vertices;
    std::vector<TMeshFace> Faces;
    // Always the result of RebuildEdges over the current faces once an edit is complete;
    // appending vertices or faces leaves it stale until the next rebuild.
    std::vector<TMeshEdge> Edges;

    // Construction and editing.
    int32_t AddVertex(const TMeshVertex& Vertex);
    // Corner UVs are copied from the vertices' UVs (a corner whose index is out of range
    // gets (0, 0); Validate reports such a face). Returns the new face's index.
    int32_t AddTriangle(int32_t I0, int32_t I1, int32_t I2, int32_t TexId = 0);
    int32_t AddQuad(int32_t I0, int32_t I1, int32_t I2, int32_t I3, int32_t TexId = 0);
    void Clear();
    // Element-by-element copy; the edges are copied, not rebuilt.
    std::unique_ptr<TMeshData> Clone() const;
    // Sorted (by V0, then V1), duplicate-free edges of every face's corner pairs; corners
    // out of range and pairs of equal corners are skipped.
    void RebuildEdges();
    // True with an empty Message when the mesh is sound; otherwise False with the first
    // problem found.
    bool Validate(std::string& Message) const;

    // Queries.
    // Nearest hit of the ray over the faces as fans from corner 0. The normal follows the
    // face's winding. Distance is 1e30, HitPoint the origin and Normal (0, 0, 1) on a miss.
    bool RayPick(const TVec3& Origin, const TVec3& Direction, float& Distance, TVec3& HitPoint,
                 TVec3& Normal) const;
    // Vertices joined to VertexIndex by an edge, each once, in edge-list order.
    std::vector<int32_t> GetVertexNeighbours(int32_t VertexIndex) const;
    std::vector<int32_t> GetFaceVertices(int32_t FaceIndex) const;
    std::vector<int32_t> GetEdgeVertices(int32_t EdgeIndex) const;

    // Primitive builders: each replaces vertices and faces and rebuilds the edges. The
    // defaults are the sizes the scene objects use.
    void BuildCube();
    void BuildSphere(int32_t Segments = 24, int32_t Rings = 16, float Radius = 0.5f);
    void BuildCylinder(int32_t Segments = 24, float Radius = 0.5f, float Height = 1.0f);
    void BuildCone(int32_t Segments = 24, float Radius = 0.5f, float Height = 1.0f);
    void BuildTorus(int32_t MajorSegments = 24, int32_t MinorSegments = 16,
                    float MajorRadius = 0.35f, float MinorRadius = 0.15f);
    void BuildPlane(float Size = 0.5f);
    // A 48 x 48 sphere of radius 200 with white vertices and normals pointing inward.
    void BuildSkybox();
};

// Appends Source into Dest with positions transformed by M and normals by its 3x3 part
// (then normalised); face indices are shifted past Dest's old vertices, a triangle's
// fourth index stays -1. Does nothing when either mesh is missing. Dest's edges are left
// for the caller to rebuild. Source may be Dest.
void AppendMeshTransformed(const TMeshData* Source, TMeshData* Dest, const TMatrix4& M);
void AppendMesh(const TMeshData* Source, TMeshData* Dest);

// Element counts of N copies of a mesh, formed in 64 bits so that they never wrap below
// a caller's limit (they saturate at the 64-bit maximum).
struct TMeshCopyCounts {
    int64_t Vertices = 0;
    int64_t Faces = 0;
    int64_t Edges = 0;
    friend bool operator==(const TMeshCopyCounts&, const TMeshCopyCounts&) = default;
};
// (0, 0, 0) when Mesh is missing or N <= 0.
void EstimateCopies(const TMeshData* Mesh, int64_t N, TMeshCopyCounts& Counts);

// Element kinds of the modelling mode.
constexpr int32_t MeshElementVertices = 0;
constexpr int32_t MeshElementEdges = 1;
constexpr int32_t MeshElementFaces = 2;
// Maps the modelling tool buttons' codes 5, 6, 7 to vertices, edges, faces; False for any
// other code (Kind untouched).
bool TryGetMeshElementKind(int32_t Code, int32_t& Kind);
