#include "floorplan/uFloorPlanMesh.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace {

using real = long double;

struct TTolerances {
    real Len;
    real Area;
};

TTolerances RingTolerances(const TFloorPlanPointArray& Ring)
{
    const real extent = RingExtent(Ring);
    return {extent * 1e-7L, extent * extent * 1e-7L};
}

float Single(real v)
{
    return static_cast<float>(v);
}

bool Fail(std::string& Message, std::string Text)
{
    Message = std::move(Text);
    return false;
}

}  // namespace

// ---- ring predicates ----

long double RingCross(const TFloorPlanPoint& a, const TFloorPlanPoint& b, const TFloorPlanPoint& c)
{
    return FloorPlanCross(a, b, c);
}

long double RingDistanceSq(const TFloorPlanPoint& a, const TFloorPlanPoint& b)
{
    return FloorPlanDistanceSq(a, b);
}

long double RingDoubleArea(const TFloorPlanPointArray& Ring)
{
    return FloorPlanDoubleArea(Ring, static_cast<int>(Ring.size()));
}

long double RingExtent(const TFloorPlanPointArray& Ring)
{
    if (Ring.empty())
        return 1;
    real minX = Ring[0].X, maxX = minX, minZ = Ring[0].Z, maxZ = minZ;
    for (const TFloorPlanPoint& p : Ring) {
        minX = std::min<real>(minX, p.X);
        maxX = std::max<real>(maxX, p.X);
        minZ = std::min<real>(minZ, p.Z);
        maxZ = std::max<real>(maxZ, p.Z);
    }
    return std::max<real>({maxX - minX, maxZ - minZ, 1});
}

bool PointOnRingSegment(const TFloorPlanPoint& a, const TFloorPlanPoint& b,
                        const TFloorPlanPoint& p, long double CrossTol, long double BoxTol)
{
    return PointOnFloorPlanSegment(a, b, p, CrossTol, BoxTol);
}

bool RingSegmentsIntersect(const TFloorPlanPoint& a, const TFloorPlanPoint& b,
                           const TFloorPlanPoint& c, const TFloorPlanPoint& d, long double CrossTol,
                           long double BoxTol)
{
    return FloorPlanSegmentsIntersect(a, b, c, d, CrossTol, BoxTol);
}

bool PointInRing(const TFloorPlanPoint& p, const TFloorPlanPointArray& Ring, long double CrossTol,
                 long double BoxTol)
{
    const int n = static_cast<int>(Ring.size());
    if (n < 3)
        return false;
    bool inside = false;
    for (int i = 0, j = n - 1; i < n; j = i++) {
        const TFloorPlanPoint& a = Ring[j];
        const TFloorPlanPoint& b = Ring[i];
        if (PointOnRingSegment(a, b, p, CrossTol, BoxTol))
            return true;
        if ((p.Z < a.Z) != (p.Z < b.Z)) {
            const real x = (static_cast<real>(p.Z) - a.Z) * (static_cast<real>(b.X) - a.X) /
                               (static_cast<real>(b.Z) - a.Z) +
                           a.X;
            if (p.X < x)
                inside = !inside;
        }
    }
    return inside;
}

bool PointInTriangle(const TFloorPlanPoint& p, const TFloorPlanPoint& A, const TFloorPlanPoint& B,
                     const TFloorPlanPoint& C, long double Sign, long double Tol)
{
    return RingCross(A, B, p) * Sign >= -Tol && RingCross(B, C, p) * Sign >= -Tol &&
           RingCross(C, A, p) * Sign >= -Tol;
}

void ReverseRing(TFloorPlanPointArray& Ring)
{
    std::reverse(Ring.begin(), Ring.end());
}

void DeleteRingPoint(TFloorPlanPointArray& Ring, int Index)
{
    if (Index >= 0 && Index < static_cast<int>(Ring.size()))
        Ring.erase(Ring.begin() + Index);
}

namespace {

// RemoveDegenerateRingPoints, keeping Indices (one per ring point) in step.
void RemoveDegenerateTracked(TFloorPlanPointArray& Ring, TIntegerArray& Indices)
{
    assert(Indices.size() == Ring.size());
    const real extent = RingExtent(Ring);
    const real limit = extent * (extent * 1e-7L);
    int i = 0;
    while (Ring.size() > 3) {
        const int n = static_cast<int>(Ring.size());
        const TFloorPlanPoint& prev = Ring[(i + n - 1) % n];
        const TFloorPlanPoint& cur = Ring[i];
        const TFloorPlanPoint& next = Ring[(i + 1) % n];
        if (std::fabs(RingCross(prev, cur, next)) <= limit &&
            RingDistanceSq(prev, next) <= RingDistanceSq(prev, cur) + RingDistanceSq(cur, next)) {
            DeleteRingPoint(Ring, i);
            Indices.erase(Indices.begin() + i);
            if (i >= static_cast<int>(Ring.size()))
                i = 0;
        } else if (++i >= n) {
            break;
        }
    }
}

}  // namespace

void RemoveDegenerateRingPoints(TFloorPlanPointArray& Ring)
{
    TIntegerArray indices(Ring.size(), 0);
    RemoveDegenerateTracked(Ring, indices);
}

bool IsSimpleRing(const TFloorPlanPointArray& Ring)
{
    const int n = static_cast<int>(Ring.size());
    if (n < 3)
        return false;
    const TTolerances tol = RingTolerances(Ring);
    for (int k = 0; k < n; ++k)
        if (RingDistanceSq(Ring[k], Ring[(k + 1) % n]) <= tol.Len * tol.Len)
            return false;
    if (std::fabs(RingDoubleArea(Ring)) <= tol.Area)
        return false;
    for (int i = 0; i < n; ++i)
        for (int j = i + 2; j < n; ++j) {
            if (i == 0 && j == n - 1)
                continue;
            if (RingSegmentsIntersect(Ring[i], Ring[i + 1], Ring[j], Ring[(j + 1) % n], tol.Area,
                                      tol.Len))
                return false;
        }
    return true;
}

// ---- preparation, inset, triangulation ----

bool GetFloorPlanRing(const TFloorPlan* Plan, TFloorPlanPointArray& Ring, std::string& Message,
                      TIntegerArray* PlanIndices)
{
    Ring.clear();
    Message.clear();
    if (PlanIndices)
        PlanIndices->clear();
    if (!Plan)
        return Fail(Message, "Floor plan is nil");
    if (!Plan->ValidatePolygon(Message))
        return false;
    Ring = Plan->GetOpenPoints();
    TIntegerArray indices(Ring.size());
    for (size_t i = 0; i < indices.size(); ++i)
        indices[i] = static_cast<int32_t>(i);
    RemoveDegenerateTracked(Ring, indices);
    if (RingDoubleArea(Ring) > 0) {
        ReverseRing(Ring);
        std::reverse(indices.begin(), indices.end());
    }
    if (PlanIndices)
        *PlanIndices = std::move(indices);
    if (Ring.size() < 3)
        return Fail(Message, "Floor-plan polygon has fewer than three usable points");
    return true;
}

bool InsetFloorPlanRing(const TFloorPlanPointArray& Ring, TFloorPlanPointArray& Inset,
                        std::string& Message, float Distance, const TIntegerArray* PointNumbers)
{
    assert(!PointNumbers || PointNumbers->size() == Ring.size());
    const auto number = [&](int i) {
        return std::to_string(PointNumbers ? (*PointNumbers)[i] : i);
    };
    Inset.clear();
    Message.clear();
    const int n = static_cast<int>(Ring.size());
    if (n < 3)
        return Fail(Message, "Cannot inset a polygon with fewer than three points");
    if (!(Distance > 0))
        return Fail(Message, "Inset distance must be positive");

    const TTolerances tol = RingTolerances(Ring);
    Inset.resize(n);
    for (int i = 0; i < n; ++i) {
        const TFloorPlanPoint& prev = Ring[(i + n - 1) % n];
        const TFloorPlanPoint& cur = Ring[i];
        const TFloorPlanPoint& next = Ring[(i + 1) % n];
        // The rounding points below are part of the result: keep them.
        const float e1x = Single(static_cast<real>(cur.X) - prev.X);
        const float e1z = Single(static_cast<real>(cur.Z) - prev.Z);
        const float e2x = Single(static_cast<real>(next.X) - cur.X);
        const float e2z = Single(static_cast<real>(next.Z) - cur.Z);
        const real len1 = std::sqrt(static_cast<real>(e1x) * e1x + static_cast<real>(e1z) * e1z);
        const real len2 = std::sqrt(static_cast<real>(e2x) * e2x + static_cast<real>(e2z) * e2z);
        if (len1 <= 1e-7L || len2 <= 1e-7L)
            return Fail(Message, "Cannot inset a polygon with a zero-length edge");
        const float n1x = Single(e1z / len1), n1z = Single(-e1x / len1);
        const float n2x = Single(e2z / len2), n2z = Single(-e2x / len2);
        const float a1x = Single(prev.X + static_cast<real>(Distance) * n1x);
        const float a1z = Single(prev.Z + static_cast<real>(Distance) * n1z);
        const float a2x = Single(cur.X + static_cast<real>(Distance) * n2x);
        const float a2z = Single(cur.Z + static_cast<real>(Distance) * n2z);
        const real d = static_cast<real>(e1x) * e2z - static_cast<real>(e1z) * e2x;
        if (std::fabs(d) <= 1e-7L)
            return Fail(Message, "Inset is unstable at polygon point " + number(i));
        const real t =
            ((static_cast<real>(a2x) - a1x) * e2z - (static_cast<real>(a2z) - a1z) * e2x) / d;
        Inset[i] = MakeFloorPlanPoint(Single(a1x + t * e1x), Single(a1z + t * e1z));
    }

    if (!IsSimpleRing(Inset))
        return Fail(Message, "Inset would create a degenerate or self-intersecting ring");
    const real ringArea = RingDoubleArea(Ring);
    const real insetArea = RingDoubleArea(Inset);
    if (std::fabs(insetArea) >= std::fabs(ringArea) - tol.Area)
        return Fail(Message, "Inset does not produce a smaller ring");
    for (int i = 0; i < n; ++i) {
        if (!PointInRing(Inset[i], Ring, tol.Area, tol.Len))
            return Fail(Message, "Inset leaves the outside footprint at point " + number(i));
        for (int j = 0; j < n; ++j)
            if (RingSegmentsIntersect(Inset[i], Inset[(i + 1) % n], Ring[j], Ring[(j + 1) % n],
                                      tol.Area, tol.Len))
                return Fail(Message, "Inset crosses the outside footprint");
    }
    if ((insetArea < 0) != (ringArea < 0))
        return Fail(Message, "Inset reverses polygon orientation");
    // An inset past the inradius of a convex outline turns it half round: the orientation
    // is kept but every edge runs backwards, which would put the inner wall face outside.
    for (int i = 0; i < n; ++i) {
        const int j = (i + 1) % n;
        const real dot = (static_cast<real>(Inset[j].X) - Inset[i].X) *
                             (static_cast<real>(Ring[j].X) - Ring[i].X) +
                         (static_cast<real>(Inset[j].Z) - Inset[i].Z) *
                             (static_cast<real>(Ring[j].Z) - Ring[i].Z);
        if (dot <= 0)
            return Fail(Message, "Inset reverses polygon orientation");
    }
    return true;
}

bool TriangulateFloorPlanRing(const TFloorPlanPointArray& Ring, TIntegerArray& Triangles,
                              std::string& Message)
{
    Triangles.clear();
    Message.clear();
    const int n = static_cast<int>(Ring.size());
    if (n < 3)
        return Fail(Message, "Cannot triangulate fewer than three points");
    const real sign = RingDoubleArea(Ring) < 0 ? -1 : 1;
    const real areaTol = RingTolerances(Ring).Area;
    Triangles.reserve(3 * static_cast<size_t>(n - 2));

    TIntegerArray remaining(n);
    for (int i = 0; i < n; ++i)
        remaining[i] = i;
    int m = n;
    int64_t steps = 0;
    const int64_t limit = static_cast<int64_t>(n) * n;
    while (m > 3) {
        int ear = -1;
        for (int i = 0; i < m && ear < 0; ++i) {
            const int prev = (i + m - 1) % m, next = (i + 1) % m;
            const TFloorPlanPoint& a = Ring[remaining[prev]];
            const TFloorPlanPoint& b = Ring[remaining[i]];
            const TFloorPlanPoint& c = Ring[remaining[next]];
            if (!(RingCross(a, b, c) * sign > areaTol))
                continue;
            bool empty = true;
            for (int k = 0; k < m && empty; ++k)
                if (k != prev && k != i && k != next &&
                    PointInTriangle(Ring[remaining[k]], a, b, c, sign, areaTol))
                    empty = false;
            if (empty)
                ear = i;
        }
        if (ear < 0)
            return Fail(Message, "Could not triangulate the simple floor-plan polygon");
        Triangles.push_back(remaining[(ear + m - 1) % m]);
        Triangles.push_back(remaining[ear]);
        Triangles.push_back(remaining[(ear + 1) % m]);
        remaining.erase(remaining.begin() + ear);
        --m;
        if (++steps > limit)
            return Fail(Message, "Polygon triangulation exceeded its safety limit");
    }
    Triangles.push_back(remaining[0]);
    Triangles.push_back(remaining[1]);
    Triangles.push_back(remaining[2]);
    return true;
}

// ---- mesh helpers ----

TRingBounds RingBounds(const TFloorPlanPointArray& Ring)
{
    TRingBounds b;
    if (Ring.empty())
        return b;
    b.MinX = b.MaxX = Ring[0].X;
    b.MinZ = b.MaxZ = Ring[0].Z;
    for (const TFloorPlanPoint& p : Ring) {
        b.MinX = std::min(b.MinX, p.X);
        b.MaxX = std::max(b.MaxX, p.X);
        b.MinZ = std::min(b.MinZ, p.Z);
        b.MaxZ = std::max(b.MaxZ, p.Z);
    }
    return b;
}

namespace {

// (v - Min) / (Max - Min) in singles, or in extended precision when a single difference
// would overflow.
float PlanarCoordinate(float v, float Min, float Max)
{
    float e = Max - Min;
    const float d = v - Min;
    if (std::isfinite(e) && std::isfinite(d)) {
        if (std::fabs(e) < 1e-12f)
            e = 1;
        return d / e;
    }
    const real el = static_cast<real>(Max) - Min;
    return Single((static_cast<real>(v) - Min) / el);
}

}  // namespace

TVec2 PlanarUV(const TFloorPlanPoint& p, float MinX, float MaxX, float MinZ, float MaxZ)
{
    return {PlanarCoordinate(p.X, MinX, MaxX), PlanarCoordinate(p.Z, MinZ, MaxZ)};
}

void CumulativePerimeter(const TFloorPlanPointArray& Ring, TSingleArray& Cum, float& Total)
{
    const int n = static_cast<int>(Ring.size());
    Cum.assign(n, 0.0f);
    float sum = 0;
    for (int k = 0; k < n; ++k) {
        Cum[k] = sum;
        sum += Single(std::sqrt(RingDistanceSq(Ring[k], Ring[(k + 1) % n])));
    }
    if (std::isfinite(sum)) {
        Total = sum <= 1e-12f ? 1.0f : sum;
        return;
    }
    // Edges near the single range: the same ratios, summed wide and scaled into range.
    std::vector<real> wide(n);
    real total = 0;
    for (int k = 0; k < n; ++k) {
        wide[k] = total;
        total += std::sqrt(RingDistanceSq(Ring[k], Ring[(k + 1) % n]));
    }
    for (int k = 0; k < n; ++k)
        Cum[k] = Single(wide[k] / total);
    Total = 1;
}

int32_t AddPlanVertex(TMeshData& Mesh, const TFloorPlanPoint& PlanPoint, const TVec3& Normal,
                      float Y, const TVec3& Colour, const TVec2& UV)
{
    return Mesh.AddVertex(TMeshVertex{Vec3(PlanPoint.X, Y, PlanPoint.Z), Normal, Colour, UV});
}

TIntegerArray AddRingVertices(TMeshData& Mesh, const TFloorPlanPointArray& Ring,
                              const TVec3& Normal, float Y, const TVec3& Colour,
                              const TRingBounds& Bounds)
{
    TIntegerArray indices;
    indices.reserve(Ring.size());
    for (const TFloorPlanPoint& p : Ring)
        indices.push_back(
            AddPlanVertex(Mesh, p, Normal, Y, Colour,
                          PlanarUV(p, Bounds.MinX, Bounds.MaxX, Bounds.MinZ, Bounds.MaxZ)));
    return indices;
}

void AddRingTriangles(TMeshData& Mesh, const TIntegerArray& Triangles, const TIntegerArray& Indices,
                      bool Flip)
{
    for (size_t t = 0; t + 2 < Triangles.size(); t += 3) {
        const int32_t a = Indices[Triangles[t]], b = Indices[Triangles[t + 1]],
                      c = Indices[Triangles[t + 2]];
        if (Flip)
            Mesh.AddTriangle(a, c, b, 0);
        else
            Mesh.AddTriangle(a, b, c, 0);
    }
}

// ---- builders ----

namespace {

const TVec3 kUp{0, 1, 0};
const TVec3 kDown{0, -1, 0};
const TVec3 kSlabColour{0.72f, 0.72f, 0.72f};
const TVec3 kWallColour{0.82f, 0.82f, 0.82f};
const TVec3 kRoofColour{0.68f, 0.68f, 0.68f};

// The unit vector along (x, y, z), taken in extended precision so that components near
// the single range do not overflow; zero for a zero vector.
TVec3 WideNormalize(real x, real y, real z)
{
    const real len = std::sqrt(x * x + y * y + z * z);
    if (!(len > 1e-9L))
        return {0, 0, 0};
    return Vec3(Single(x / len), Single(y / len), Single(z / len));
}

// Outward normal of the edge P -> Q of a prepared ring.
TVec3 EdgeOutward(const TFloorPlanPoint& P, const TFloorPlanPoint& Q)
{
    const TVec3 single = Vec3(P.Z - Q.Z, 0, Q.X - P.X);
    if (std::isfinite(single.X) && std::isfinite(single.Z) &&
        std::isfinite(single.X * single.X + single.Z * single.Z))
        return Vec3Normalize(single);
    return WideNormalize(static_cast<real>(P.Z) - Q.Z, 0, static_cast<real>(Q.X) - P.X);
}

// Normal of the triangle A, B, C by the right-hand rule.
TVec3 TriangleNormal(const TVec3& A, const TVec3& B, const TVec3& C)
{
    const TVec3 single = Vec3Cross(Vec3Sub(B, A), Vec3Sub(C, A));
    if (std::isfinite(single.X) && std::isfinite(single.Y) && std::isfinite(single.Z) &&
        std::isfinite(Vec3Dot(single, single)))
        return Vec3Normalize(single);
    const real ux = static_cast<real>(B.X) - A.X, uy = static_cast<real>(B.Y) - A.Y,
               uz = static_cast<real>(B.Z) - A.Z;
    const real vx = static_cast<real>(C.X) - A.X, vy = static_cast<real>(C.Y) - A.Y,
               vz = static_cast<real>(C.Z) - A.Z;
    return WideNormalize(uy * vz - uz * vy, uz * vx - ux * vz, ux * vy - uy * vx);
}

// Every position, normal and UV finite: what a mesh needs to be drawn, picked and saved.
bool MeshIsFinite(const TMeshData& Mesh)
{
    for (const TMeshVertex& v : Mesh.Vertices)
        if (!std::isfinite(v.Position.X) || !std::isfinite(v.Position.Y) ||
            !std::isfinite(v.Position.Z) || !std::isfinite(v.Normal.X) ||
            !std::isfinite(v.Normal.Y) || !std::isfinite(v.Normal.Z) || !std::isfinite(v.UV.U) ||
            !std::isfinite(v.UV.V))
            return false;
    return true;
}

// The common end of the three builders.
bool FinishBuild(TMeshData& Mesh, std::string& Message)
{
    if (!MeshIsFinite(Mesh)) {
        Mesh.Clear();
        return Fail(Message, "Floor-plan geometry is too large to build");
    }
    Mesh.RebuildEdges();
    return true;
}

// The common start of the three builders: clear, prepare the ring, check the settings.
bool BeginBuild(TMeshData* Mesh, const TFloorPlan* Plan, const char* NilMessage,
                TFloorPlanPointArray& Ring, std::string& Message,
                TIntegerArray* PlanIndices = nullptr)
{
    Message.clear();
    if (!Mesh)
        return Fail(Message, NilMessage);
    Mesh->Clear();
    if (!GetFloorPlanRing(Plan, Ring, Message, PlanIndices))
        return false;
    return Plan->ValidateSettings(Message);
}

void AddQuadOf(TMeshData& Mesh, const TVec3& Normal, const TVec3& Colour,
               std::initializer_list<std::pair<TVec3, TVec2>> Corners)
{
    int32_t idx[4];
    int k = 0;
    for (const auto& [position, uv] : Corners)
        idx[k++] = Mesh.AddVertex(TMeshVertex{position, Normal, Colour, uv});
    Mesh.AddQuad(idx[0], idx[1], idx[2], idx[3], 0);
}

TVec3 At(const TFloorPlanPoint& p, float Y)
{
    return Vec3(p.X, Y, p.Z);
}

}  // namespace

bool BuildFloorPlanSlabMesh(TMeshData* Mesh, const TFloorPlan* Plan, std::string& Message)
{
    TFloorPlanPointArray ring;
    if (!BeginBuild(Mesh, Plan, "Slab destination mesh is nil", ring, Message))
        return false;
    TIntegerArray triangles;
    if (!TriangulateFloorPlanRing(ring, triangles, Message))
        return false;
    const float s = Plan->Settings().SlabThickness;
    const int n = static_cast<int>(ring.size());
    const TRingBounds bounds = RingBounds(ring);
    Mesh->Vertices.reserve(6 * static_cast<size_t>(n));

    AddRingTriangles(*Mesh, triangles, AddRingVertices(*Mesh, ring, kUp, s, kSlabColour, bounds),
                     false);
    AddRingTriangles(*Mesh, triangles, AddRingVertices(*Mesh, ring, kDown, 0, kSlabColour, bounds),
                     true);
    for (int k = 0; k < n; ++k) {
        const TFloorPlanPoint& P = ring[k];
        const TFloorPlanPoint& Q = ring[(k + 1) % n];
        const TVec2 uvP = PlanarUV(P, bounds.MinX, bounds.MaxX, bounds.MinZ, bounds.MaxZ);
        const TVec2 uvQ = PlanarUV(Q, bounds.MinX, bounds.MaxX, bounds.MinZ, bounds.MaxZ);
        AddQuadOf(*Mesh, EdgeOutward(P, Q), kSlabColour,
                  {{At(P, 0), uvP}, {At(Q, 0), uvQ}, {At(Q, s), uvQ}, {At(P, s), uvP}});
    }
    return FinishBuild(*Mesh, Message);
}

bool BuildFloorPlanWallMesh(TMeshData* Mesh, const TFloorPlan* Plan, std::string& Message)
{
    TFloorPlanPointArray outer;
    TIntegerArray planIndices;
    if (!BeginBuild(Mesh, Plan, "Wall destination mesh is nil", outer, Message, &planIndices))
        return false;
    const TFloorSettings& settings = Plan->Settings();
    TFloorPlanPointArray inner;
    if (!InsetFloorPlanRing(outer, inner, Message, settings.WallThickness, &planIndices))
        return false;
    const float base = settings.SlabThickness, top = settings.Height;
    const int n = static_cast<int>(outer.size());
    const TRingBounds b = RingBounds(outer);
    TSingleArray cum;
    float total = 1;
    CumulativePerimeter(outer, cum, total);
    Mesh->Vertices.reserve(16 * static_cast<size_t>(n));

    auto uv = [&](const TFloorPlanPoint& p) { return PlanarUV(p, b.MinX, b.MaxX, b.MinZ, b.MaxZ); };
    for (int k = 0; k < n; ++k) {
        const int j = (k + 1) % n;
        const TFloorPlanPoint &Ok = outer[k], &Oj = outer[j], &Ik = inner[k], &Ij = inner[j];
        const float u0 = cum[k] / total;
        const float u1 = j == 0 ? 1.0f : cum[j] / total;
        const TVec3 out = EdgeOutward(Ok, Oj);
        AddQuadOf(*Mesh, out, kWallColour,
                  {{At(Ok, base), {u0, 1}},
                   {At(Oj, base), {u1, 1}},
                   {At(Oj, top), {u1, 0}},
                   {At(Ok, top), {u0, 0}}});
        AddQuadOf(*Mesh, Vec3Scale(out, -1), kWallColour,
                  {{At(Ik, base), {u0, 1}},
                   {At(Ik, top), {u0, 0}},
                   {At(Ij, top), {u1, 0}},
                   {At(Ij, base), {u1, 1}}});
        AddQuadOf(*Mesh, kUp, kWallColour,
                  {{At(Ok, top), uv(Ok)},
                   {At(Oj, top), uv(Oj)},
                   {At(Ij, top), uv(Ij)},
                   {At(Ik, top), uv(Ik)}});
        AddQuadOf(*Mesh, kDown, kWallColour,
                  {{At(Ok, base), uv(Ok)},
                   {At(Ik, base), uv(Ik)},
                   {At(Ij, base), uv(Ij)},
                   {At(Oj, base), uv(Oj)}});
    }
    return FinishBuild(*Mesh, Message);
}

bool BuildFloorPlanRoofMesh(TMeshData* Mesh, const TFloorPlan* Plan, std::string& Message)
{
    TFloorPlanPointArray outer;
    TIntegerArray planIndices;
    if (!BeginBuild(Mesh, Plan, "Roof destination mesh is nil", outer, Message, &planIndices))
        return false;
    const TFloorSettings& settings = Plan->Settings();
    if (settings.RoofType == rtNone)
        return true;
    TIntegerArray triangles;
    if (!TriangulateFloorPlanRing(outer, triangles, Message))
        return false;
    const float base = settings.Height;
    const TRingBounds b = RingBounds(outer);

    if (settings.RoofType == rtFlat) {
        AddRingTriangles(*Mesh, triangles, AddRingVertices(*Mesh, outer, kUp, base, kRoofColour, b),
                         false);
        return FinishBuild(*Mesh, Message);
    }
    if (settings.RoofType != rtTruncatedPyramid)
        return Fail(Message, "Unknown floor-plan roof type");

    TFloorPlanPointArray inner;
    if (!InsetFloorPlanRing(outer, inner, Message, settings.RoofInset, &planIndices))
        return false;
    const float top = settings.Height + settings.RoofRise;
    const int n = static_cast<int>(outer.size());
    TSingleArray cum;
    float total = 1;
    CumulativePerimeter(outer, cum, total);
    Mesh->Vertices.reserve(5 * static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) {
        const int j = (k + 1) % n;
        const TFloorPlanPoint &Ok = outer[k], &Oj = outer[j], &Ik = inner[k], &Ij = inner[j];
        const float u0 = cum[k] / total;
        const float u1 = j == 0 ? 1.0f : cum[j] / total;
        const TVec3 A = At(Ok, base), Bp = At(Oj, base), C = At(Ij, top);
        const TVec3 slope = TriangleNormal(A, Bp, C);
        AddQuadOf(*Mesh, slope, kRoofColour,
                  {{A, {u0, 0}}, {Bp, {u1, 1}}, {C, {u1, 1}}, {At(Ik, top), {u0, 0}}});
    }
    const TIntegerArray capIndices = AddRingVertices(*Mesh, inner, kUp, top, kRoofColour, b);
    TIntegerArray capTriangles;
    if (!TriangulateFloorPlanRing(inner, capTriangles, Message)) {
        Mesh->Clear();
        return false;
    }
    AddRingTriangles(*Mesh, capTriangles, capIndices, false);
    return FinishBuild(*Mesh, Message);
}
