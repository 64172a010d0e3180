#pragma once
// Floor-plan geometry: the prepared ring of a plan, its inset and its ear-clipping
// triangulation, and the slab, wall and roof meshes built from them. A ring is the open
// outline (no closing copy), edge k running from point k to point (k + 1) mod n. The
// prepared ring is always clockwise (negative doubled area, X right and Z up), so the
// edge normal (dZ, -dX) points into the polygon.
//
// Every routine reports failure by its result and an English message; none raises.
// Predicates run in extended precision on the single coordinates; the inset rounds to single
// precision at fixed points so that its results are reproducible.
#include "base/uMesh.h"
#include "floorplan/uFloorPlan.h"

#include <cstdint>
#include <string>
#include <vector>

using TIntegerArray = std::vector<int32_t>;
using TSingleArray = std::vector<float>;

long double RingCross(const TFloorPlanPoint& a, const TFloorPlanPoint& b, const TFloorPlanPoint& c);
long double RingDistanceSq(const TFloorPlanPoint& a, const TFloorPlanPoint& b);
long double RingDoubleArea(const TFloorPlanPointArray& Ring);
// Larger side of the bounding box, never below 1.
long double RingExtent(const TFloorPlanPointArray& Ring);
bool PointOnRingSegment(const TFloorPlanPoint& a, const TFloorPlanPoint& b,
                        const TFloorPlanPoint& p, long double CrossTol, long double BoxTol);
bool RingSegmentsIntersect(const TFloorPlanPoint& a, const TFloorPlanPoint& b,
                           const TFloorPlanPoint& c, const TFloorPlanPoint& d, long double CrossTol,
                           long double BoxTol);
// Even-odd rule; a point on the boundary counts as inside.
bool PointInRing(const TFloorPlanPoint& p, const TFloorPlanPointArray& Ring, long double CrossTol,
                 long double BoxTol);
// Boundary and near-boundary points count as inside.
bool PointInTriangle(const TFloorPlanPoint& p, const TFloorPlanPoint& A, const TFloorPlanPoint& B,
                     const TFloorPlanPoint& C, long double Sign, long double Tol);
void ReverseRing(TFloorPlanPointArray& Ring);
void DeleteRingPoint(TFloorPlanPointArray& Ring, int Index);
// Removes repeated points and spikes (corners of at most 90 degrees whose three points
// are collinear); a point on the straight line between its neighbours stays.
void RemoveDegenerateRingPoints(TFloorPlanPointArray& Ring);
bool IsSimpleRing(const TFloorPlanPointArray& Ring);

// The validated open outline of Plan, cleaned and turned clockwise. PlanIndices, when
// given, receives the plan's own index of each ring point.
bool GetFloorPlanRing(const TFloorPlan* Plan, TFloorPlanPointArray& Ring, std::string& Message,
                      TIntegerArray* PlanIndices = nullptr);
// Every edge moved inward by Distance; point i of Inset belongs to corner i of Ring. A
// message names a point by PointNumbers[i] when given (the plan's numbering), else by i.
bool InsetFloorPlanRing(const TFloorPlanPointArray& Ring, TFloorPlanPointArray& Inset,
                        std::string& Message, float Distance,
                        const TIntegerArray* PointNumbers = nullptr);
// Three ring indices per triangle, in the ring's own winding.
bool TriangulateFloorPlanRing(const TFloorPlanPointArray& Ring, TIntegerArray& Triangles,
                              std::string& Message);

// Mesh helpers.
struct TRingBounds {
    float MinX = 0, MaxX = 0, MinZ = 0, MaxZ = 0;
};
TRingBounds RingBounds(const TFloorPlanPointArray& Ring);
// (p - Min) / (Max - Min) per axis; an extent below 1e-12 in magnitude counts as 1. A
// difference past the single range is taken in extended precision, so the result stays
// finite (0..1) for any finite outline.
TVec2 PlanarUV(const TFloorPlanPoint& p, float MinX, float MaxX, float MinZ, float MaxZ);
// Cum[k] = length of edges 0..k-1, summed in singles; Total is the whole perimeter
// (1 when it is at most 1e-12). Only the ratios Cum[k] / Total are meant: a perimeter past
// the single range is summed in extended precision and scaled down, all by one factor.
void CumulativePerimeter(const TFloorPlanPointArray& Ring, TSingleArray& Cum, float& Total);
int32_t AddPlanVertex(TMeshData& Mesh, const TFloorPlanPoint& PlanPoint, const TVec3& Normal,
                      float Y, const TVec3& Colour, const TVec2& UV);
// One vertex per ring point with its planar UV; returns their mesh indices.
TIntegerArray AddRingVertices(TMeshData& Mesh, const TFloorPlanPointArray& Ring,
                              const TVec3& Normal, float Y, const TVec3& Colour,
                              const TRingBounds& Bounds);
void AddRingTriangles(TMeshData& Mesh, const TIntegerArray& Triangles, const TIntegerArray& Indices,
                      bool Flip);

// The three meshes of a generated floor in its local frame (Y = 0 at the floor's base),
// from the plan's own settings. Mesh is cleared first; after a failure it is to be
// discarded.
bool BuildFloorPlanSlabMesh(TMeshData* Mesh, const TFloorPlan* Plan, std::string& Message);
bool BuildFloorPlanWallMesh(TMeshData* Mesh, const TFloorPlan* Plan, std::string& Message);
bool BuildFloorPlanRoofMesh(TMeshData* Mesh, const TFloorPlan* Plan, std::string& Message);
