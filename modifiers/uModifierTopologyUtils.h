#pragma once
// Mesh routines shared by the modelling and mesh-quality modifiers: edge lists with face
// adjacency, open edges and their loops, vertex interpolation, winding reversal, normal
// recomputation, vertex neighbourhoods, ear-clipping of a 3D loop and a vertex weld.
// Results that depend on order (edge order, loop chaining, ear order, weld clusters) are
// deterministic for a given mesh.
#include "base/uMesh.h"
#include "base/uWorkMeter.h"

#include <cstdint>
#include <string>
#include <vector>

using TIntegerArray = std::vector<int32_t>;
using TIntegerArrayList = std::vector<TIntegerArray>;

struct TTopologyEdge {
    int32_t V0 = 0;  // V0 < V1
    int32_t V1 = 0;
    int32_t FaceA = -1;  // first face using the edge and the corner the edge starts at
    int32_t CornerA = -1;
    int32_t FaceB = -1;  // second face and corner; -1 while there is none
    int32_t CornerB = -1;
    int32_t FaceCount = 0;  // how many face sides use the edge
    friend bool operator==(const TTopologyEdge&, const TTopologyEdge&) = default;
};
using TTopologyEdgeArray = std::vector<TTopologyEdge>;

// An edge used by exactly one face, in that face's winding order.
struct TBoundaryEdge {
    int32_t V0 = 0;
    int32_t V1 = 0;
    int32_t FaceIndex = -1;
    int32_t Corner = -1;
    int32_t TexId = 0;
    friend bool operator==(const TBoundaryEdge&, const TBoundaryEdge&) = default;
};
using TBoundaryEdgeArray = std::vector<TBoundaryEdge>;

// "min:max" in decimal.
std::string EdgeKey(int32_t A, int32_t B);

// Numbers of face sides found by their two ends in either order: an open-addressed table
// that doubles when half full, so that a pass over a million faces allocates nothing per
// side. Ends are vertex indices (not negative).
class TSideIndex {
public:
    // Room for Expected sides before the first doubling.
    explicit TSideIndex(size_t Expected);
    // The number of the side A-B, or -1 (also for a negative end).
    int32_t Find(int32_t A, int32_t B) const;
    // The number of the side A-B; a side not yet held gets Number, and IsNew.
    int32_t Insert(int32_t A, int32_t B, int32_t Number, bool& IsNew);

private:
    struct TSlot {
        uint64_t Key;
        int32_t Number;
    };
    size_t SlotOf(uint64_t Key) const;
    void Grow();

    std::vector<TSlot> Slots;
    size_t Held = 0;
};

// Unique edges in the order of their first use, with the faces on either side. False at
// the first face whose corner count is outside 3..4 (the edges found so far stay). Sides
// with an out-of-range index or two equal indices are skipped.
bool BuildEdgeList(const TMeshData& Mesh, TTopologyEdgeArray& Edges);
// Linear scan; -1 when absent.
int32_t FindEdgeIndex(const TTopologyEdgeArray& Edges, int32_t A, int32_t B);
// Edges used by exactly one face, in edge-list order. False (and empty) when the edge list
// fails.
bool FindBoundaryEdges(const TMeshData& Mesh, TBoundaryEdgeArray& Boundary);
// Chains the boundary edges into closed loops of vertex indices (more than two each).
// Chains that do not close are dropped.
bool FindBoundaryLoops(const TMeshData& Mesh, TIntegerArrayList& Loops);

void MidpointVec2(const TVec2& A, const TVec2& B, TVec2& R);
void LerpVec2(const TVec2& A, const TVec2& B, TVec2& R, float T);
void MidpointVertex(const TMeshVertex& A, const TMeshVertex& B, TMeshVertex& V);
void LerpVertex(const TMeshVertex& A, const TMeshVertex& B, TMeshVertex& V, float T);

// Reverses the corner order; each corner's UV moves with its index.
void ReverseFaceWinding(TMeshFace& Face);
// Area-weighted normals from the faces' windings. A vertex that no face touches keeps its
// old normal normalised, or gets (0, 1, 0) when that is zero.
void RecomputeVertexNormals(TMeshData& Mesh);

void AddUniqueInt(TIntegerArray& List, int32_t Value);
// One list of neighbouring vertices per vertex. IsBoundary keeps the length the caller
// gave it: it is cleared and then marks the ends of open edges that fall inside it.
void BuildVertexNeighbours(const TMeshData& Mesh, TIntegerArrayList& Neighbours,
                           std::vector<bool>& IsBoundary);
// The same lists end to end: vertex v's neighbours are Flat[Start[v]] up to
// Flat[Start[v + 1]], in the same order. Linear in the mesh, whatever the valences.
void BuildVertexNeighbourTable(const TMeshData& Mesh, std::vector<int32_t>& Start,
                               std::vector<int32_t>& Flat, std::vector<bool>& IsBoundary);

// Axis 0 drops X, axis 1 drops Y, any other value drops Z.
void ProjectToPlane(const TVec3& P, int32_t Axis, TVec2& Q);
// Signed shoelace area of Points[0..HighIndex]; positive for counter-clockwise points.
float PolygonArea2D(const std::vector<TVec2>& Points, int32_t HighIndex);
float Cross2D(const TVec2& O, const TVec2& A, const TVec2& B);
// Points on an edge or at a corner count as inside.
bool PointInTriangle2D(const TVec2& P, const TVec2& A, const TVec2& B, const TVec2& C);
// Ear clipping on the loop's dominant plane; Triangles receives three vertex indices per
// triangle, each triangle counter-clockwise in that plane. False for fewer than three
// entries, a bad index, a degenerate loop or when no ear is left (the triangles emitted so
// far stay). The clipping's work is charged to Meter as it goes.
bool TriangulateLoop(const TMeshData& Mesh, const TIntegerArray& Loop, TIntegerArray& Triangles,
                     TWorkMeter* Meter = nullptr);

// Root of I, halving the path on the way.
int32_t UnionFindRoot(std::vector<int32_t>& Parent, int32_t I);
// Union by rank; on equal ranks B's root goes under A's.
void UnionFindUnion(std::vector<int32_t>& Parent, std::vector<int32_t>& Rank, int32_t A, int32_t B);

// "x:y:z" in decimal.
std::string CellKey(int64_t X, int64_t Y, int64_t Z);

// Merges vertices not farther apart than Threshold into one (the cluster's lowest index
// gives the copy), remaps the faces and rebuilds the edges. Colour and UV are averaged;
// positions and normals on request. With RemoveDegenerate, repeated and invalid corners
// are dropped and faces left with fewer than three corners disappear. Nothing happens for
// an empty mesh or a threshold that is not a finite value above 0. The search for close
// pairs charges Meter, when given, as it goes (and may stop there, leaving Mesh as it was).
void WeldVertices(TMeshData& Mesh, float Threshold, bool AveragePositions, bool AverageNormals,
                  bool RemoveDegenerate, TWorkMeter* Meter = nullptr);
