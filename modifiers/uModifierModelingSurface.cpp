#include "modifiers/uModifierModelingSurface.h"

#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierEvaluator.h"
#include "modifiers/uModifierParams.h"
#include "modifiers/uModifierTopologyUtils.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <unordered_set>

namespace {

bool ValidIndex(int32_t Index, size_t Count)
{
    return Index >= 0 && static_cast<size_t>(Index) < Count;
}

double CoordinateOf(const TVec3& P, int32_t Axis)
{
    return Axis == 0 ? P.X : (Axis == 1 ? P.Y : P.Z);
}

// Keys of the vertices the slice shares between faces and sides: a source vertex, or the
// cut on a source edge (its two ends, smaller first).
uint64_t SourceVertexKey(int32_t Index)
{
    return static_cast<uint32_t>(Index);
}

uint64_t CutEdgeKey(int32_t A, int32_t B)
{
    return uint64_t{1} << 63 | static_cast<uint64_t>(std::min(A, B)) << 32 |
           static_cast<uint32_t>(std::max(A, B));
}

// Where the side from a point at distance Da from the plane to one at Db meets it, as a
// fraction of the side, and whether that is within 1e-6 of either end.
struct TSliceCut {
    double T;
    bool AtStart;
    bool AtEnd;
};

TSliceCut SliceCut(double Da, double Db)
{
    double t = std::fabs(Da - Db) < 1e-12 ? 0.5 : Da / (Da - Db);
    if (!(t >= 0))
        t = std::isnan(t) ? 0.5 : 0;
    t = std::min(t, 1.0);
    return {t, t <= 1e-6, t >= 0.999999};
}

// The vertex made by a cut at T along A-B. The position is blended in double: float
// differences of huge coordinates would overflow and turn a finite cut into a non-finite
// one.
TMeshVertex CutVertex(const TMeshVertex& A, const TMeshVertex& B, double T)
{
    TMeshVertex v;
    LerpVertex(A, B, v, static_cast<float>(T));
    const TVec3& pa = A.Position;
    const TVec3& pb = B.Position;
    auto lerp = [T](float a, float b) { return static_cast<float>(a + (double(b) - a) * T); };
    v.Position = {lerp(pa.X, pb.X), lerp(pa.Y, pb.Y), lerp(pa.Z, pb.Z)};
    return v;
}

// The Sutherland-Hodgman walk round a polygon of N corners against one side: Keep(j) for
// a corner that stays, Cut(i, j) where the side from corner i to corner j crosses.
template <class TIn, class TKeep, class TCut>
void ClipCorners(size_t N, TIn&& In, TKeep&& Keep, TCut&& Cut)
{
    for (size_t i = 0; i < N; ++i) {
        const size_t j = (i + 1) % N;
        const bool curIn = In(i);
        const bool nextIn = In(j);
        if (curIn && nextIn) {
            Keep(j);
        } else if (curIn) {
            Cut(i, j);
        } else if (nextIn) {
            Cut(i, j);
            Keep(j);
        }
    }
}

// Drops each corner whose key repeats the one before it, then a last one that repeats the
// first: what is left goes round a face.
void DropRepeatedCorners(std::vector<TSliceCorner>& Corners)
{
    size_t kept = 0;
    for (const TSliceCorner& c : Corners)
        if (kept == 0 || Corners[kept - 1].Key != c.Key)
            Corners[kept++] = c;
    if (kept > 1 && Corners[kept - 1].Key == Corners[0].Key)
        --kept;
    Corners.resize(kept);
}

// The faces of a clipped polygon of N corners: none below three, one triangle or quad, or
// a fan of triangles from the first corner. Face(a, b, c, d) with d = -1 for a triangle.
template <class TFace>
void ForEachSliceFace(size_t N, TFace&& Face)
{
    if (N == 3 || N == 4)
        Face(0, 1, 2, N == 4 ? 3 : -1);
    else if (N > 4)
        for (size_t k = 1; k + 1 < N; ++k)
            Face(0, static_cast<int32_t>(k), static_cast<int32_t>(k + 1), -1);
}

int64_t SliceFaceCount(size_t N)
{
    int64_t faces = 0;
    ForEachSliceFace(N, [&](int32_t, int32_t, int32_t, int32_t) { ++faces; });
    return faces;
}

bool FaceCornersValid(const TMeshFace& Face, size_t VertexCount)
{
    if (Face.Count < 3 || Face.Count > 4)
        return false;
    for (int32_t k = 0; k < Face.Count; ++k)
        if (!ValidIndex(Face.Indices[k], VertexCount))
            return false;
    return true;
}

float ClampedEpsilon(float Value)
{
    return std::max(std::fabs(FiniteOrDefault(0.00001f, Value)), 1e-6f);
}

}  // namespace

// ---- slice ----

double TSliceModifier::Distance(const TSlicePoint& P) const
{
    return DistanceOf(P.Vertex.Position);
}

double TSliceModifier::DistanceOf(const TVec3& P) const
{
    return CoordinateOf(P, Axis) - static_cast<double>(Offset);
}

bool TSliceModifier::InsideAt(double D, bool Positive) const
{
    return Positive ? D >= -static_cast<double>(Epsilon) : D <= static_cast<double>(Epsilon);
}

bool TSliceModifier::Inside(const TSlicePoint& P, bool Positive) const
{
    return InsideAt(Distance(P), Positive);
}

TSlicePoint TSliceModifier::SplitSlicePoint(const TSlicePoint& A, const TSlicePoint& B) const
{
    const TSliceCut cut = SliceCut(Distance(A), Distance(B));
    if (cut.AtStart && A.SourceIndex >= 0)
        return A;
    if (cut.AtEnd && B.SourceIndex >= 0)
        return B;
    TSlicePoint r;
    r.Vertex = CutVertex(A.Vertex, B.Vertex, cut.T);
    LerpVec2(A.FaceUV, B.FaceUV, r.FaceUV, static_cast<float>(cut.T));
    if (A.SourceIndex >= 0 && B.SourceIndex >= 0) {
        r.EdgeA = std::min(A.SourceIndex, B.SourceIndex);
        r.EdgeB = std::max(A.SourceIndex, B.SourceIndex);
    }
    return r;
}

TSlicePointArray TSliceModifier::ClipSlicePolygon(const TSlicePointArray& Polygon,
                                                  bool Positive) const
{
    TSlicePointArray out;
    ClipCorners(
        Polygon.size(), [&](size_t i) { return Inside(Polygon[i], Positive); },
        [&](size_t j) { out.push_back(Polygon[j]); },
        [&](size_t i, size_t j) { out.push_back(SplitSlicePoint(Polygon[i], Polygon[j])); });
    return out;
}

template <class TSide>
void TSliceModifier::ForEachClippedSide(const TMeshData& Source, TSide&& Side) const
{
    const size_t count = Source.Vertices.size();
    std::vector<TSliceCorner> corners;
    for (const TMeshFace& f : Source.Faces) {
        if (!FaceCornersValid(f, count))
            continue;  // a bad face of a corrupt mesh is left out rather than read
        double distance[4];
        for (int32_t k = 0; k < f.Count; ++k)
            distance[k] = DistanceOf(Source.Vertices[f.Indices[k]].Position);
        for (const bool positive : {true, false}) {
            if (!(positive ? KeepPositive : KeepNegative))
                continue;
            // Every corner of the polygon is a source vertex, so a cut within 1e-6 of an
            // end is that end, and any other cut lies on a source edge.
            corners.clear();
            const auto keep = [&](size_t k) {
                corners.push_back({SourceVertexKey(f.Indices[k]), static_cast<int32_t>(k), -1, 0});
            };
            ClipCorners(
                static_cast<size_t>(f.Count),
                [&](size_t k) { return InsideAt(distance[k], positive); }, keep,
                [&](size_t i, size_t j) {
                    const TSliceCut cut = SliceCut(distance[i], distance[j]);
                    if (cut.AtStart)
                        keep(i);
                    else if (cut.AtEnd)
                        keep(j);
                    else
                        corners.push_back({CutEdgeKey(f.Indices[i], f.Indices[j]),
                                           static_cast<int32_t>(i), static_cast<int32_t>(j),
                                           cut.T});
                });
            DropRepeatedCorners(corners);
            Side(f, corners);
        }
    }
}

void TSliceModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    Dest.Clear();
    std::unordered_map<uint64_t, int32_t> keys;
    keys.reserve(Source.Vertices.size() + Source.Faces.size());
    std::vector<int32_t> indices;
    std::vector<TVec2> uvs;
    ForEachClippedSide(Source, [&](const TMeshFace& f, const std::vector<TSliceCorner>& corners) {
        indices.clear();
        uvs.clear();
        for (const TSliceCorner& c : corners) {
            const TMeshVertex& from = Source.Vertices[f.Indices[c.From]];
            auto [it, isNew] = keys.try_emplace(c.Key, static_cast<int32_t>(Dest.Vertices.size()));
            if (isNew)
                Dest.Vertices.push_back(
                    c.To < 0 ? from : CutVertex(from, Source.Vertices[f.Indices[c.To]], c.T));
            indices.push_back(it->second);
            TVec2 uv = f.UVs[c.From];
            if (c.To >= 0)
                LerpVec2(f.UVs[c.From], f.UVs[c.To], uv, static_cast<float>(c.T));
            uvs.push_back(uv);
        }
        ForEachSliceFace(indices.size(), [&](int32_t a, int32_t b, int32_t c, int32_t d) {
            if (d < 0)
                AddTriangleFace(Dest, indices[a], indices[b], indices[c], uvs[a], uvs[b], uvs[c],
                                f.TexId);
            else
                AddQuadFace(Dest, indices[a], indices[b], indices[c], indices[d], uvs[a], uvs[b],
                            uvs[c], uvs[d], f.TexId);
        });
    });
    Dest.RebuildEdges();
}

std::unique_ptr<TModifier> TSliceModifier::Clone() const
{
    auto copy = std::make_unique<TSliceModifier>(*this);
    FinishClone(*copy);
    return copy;
}

void TSliceModifier::SaveParams(std::vector<std::string>& Lines) const
{
    SaveParamsFromTable(*GetParamTable(), *this, Lines);
}

void TSliceModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    LoadParamsFromTable(*GetParamTable(), *this, Lines, Index);
}

bool TSliceModifier::EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                                        int64_t& Edges) const
{
    // The clipping Apply does, without building anything: its vertices are the keys its
    // corners meet, its faces those of each clipped polygon.
    std::vector<bool> sourceUsed(Mesh.Vertices.size(), false);
    std::unordered_set<uint64_t> cuts;
    int64_t vertices = 0, faces = 0;
    ForEachClippedSide(Mesh, [&](const TMeshFace& f, const std::vector<TSliceCorner>& corners) {
        for (const TSliceCorner& c : corners) {
            if (c.To >= 0) {
                vertices += cuts.insert(c.Key).second ? 1 : 0;
            } else if (!sourceUsed[f.Indices[c.From]]) {
                sourceUsed[f.Indices[c.From]] = true;
                ++vertices;
            }
        }
        faces += SliceFaceCount(corners.size());
    });
    Vertices = vertices;
    Faces = faces;
    Edges = -1;
    return true;
}

TModifierApplyInfo TSliceModifier::ApplyWithInfo(const TModifierEvalContext&,
                                                 const TMeshData& Source, TMeshData& Dest)
{
    Apply(Source, Dest);
    return SetApplyInfo(39);
}

void TSliceModifier::SetAxis(int32_t Value)
{
    ChangeInt(*this, Axis, std::clamp(Value, 0, 2));
}

void TSliceModifier::SetOffset(float Value)
{
    ChangeFloat(*this, Offset, FiniteOrDefault(0, Value), 1e-6f);
}

void TSliceModifier::SetKeepPositive(bool Value)
{
    if (!Value && !KeepNegative)
        return;
    ChangeBool(*this, KeepPositive, Value);
}

void TSliceModifier::SetKeepNegative(bool Value)
{
    if (!Value && !KeepPositive)
        return;
    ChangeBool(*this, KeepNegative, Value);
}

void TSliceModifier::SetEpsilon(float Value)
{
    ChangeFloat(*this, Epsilon, ClampedEpsilon(Value), 1e-6f);
}

// ---- cap holes ----

void TCapHolesModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    Cap(Source, Dest, nullptr);
}

// Finding and walking the loops is linear in the boundary; only the clipping can do more
// work than its input and output, and it charges the meter as it goes.
void TCapHolesModifier::Cap(const TMeshData& Source, TMeshData& Dest, TWorkMeter* Meter) const
{
    CopyMeshData(Source, Dest);
    TIntegerArrayList loops;
    if (!FindBoundaryLoops(Source, loops))
        return;
    const auto& p = Source.Vertices;
    for (TIntegerArray& loop : loops) {
        std::reverse(loop.begin(), loop.end());
        TIntegerArray triangles;
        if (!TriangulateLoop(Source, loop, triangles, Meter))
            continue;
        // The loop's Newell normal: it follows the loop's turning as a whole, where the
        // first three vertices would point the wrong way at a concave start.
        TVec3 reference{0, 0, 0};
        for (size_t i = 0; i < loop.size(); ++i) {
            const TVec3& a = p[loop[i]].Position;
            const TVec3& b = p[loop[(i + 1) % loop.size()]].Position;
            reference.X += (a.Y - b.Y) * (a.Z + b.Z);
            reference.Y += (a.Z - b.Z) * (a.X + b.X);
            reference.Z += (a.X - b.X) * (a.Y + b.Y);
        }
        for (size_t t = 0; t + 2 < triangles.size(); t += 3) {
            int32_t i0 = triangles[t], i1 = triangles[t + 1], i2 = triangles[t + 2];
            const TVec3 n = Vec3Cross(Vec3Sub(p[i1].Position, p[i0].Position),
                                      Vec3Sub(p[i2].Position, p[i0].Position));
            if (Vec3Dot(n, reference) < 0)
                std::swap(i1, i2);
            AddTriangleFace(Dest, i0, i1, i2, p[i0].UV, p[i1].UV, p[i2].UV, TextureId);
        }
    }
    Dest.RebuildEdges();
}

std::unique_ptr<TModifier> TCapHolesModifier::Clone() const
{
    auto copy = std::make_unique<TCapHolesModifier>(*this);
    FinishClone(*copy);
    return copy;
}

void TCapHolesModifier::SaveParams(std::vector<std::string>& Lines) const
{
    SaveParamsFromTable(*GetParamTable(), *this, Lines);
}

void TCapHolesModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    LoadParamsFromTable(*GetParamTable(), *this, Lines, Index);
}

bool TCapHolesModifier::EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                                           int64_t& Edges) const
{
    TIntegerArrayList loops;
    int64_t caps = 0;
    if (FindBoundaryLoops(Mesh, loops))
        for (const TIntegerArray& loop : loops)
            caps += static_cast<int64_t>(loop.size()) - 2;
    Vertices = ClampCountToInt(static_cast<int64_t>(Mesh.Vertices.size()));
    Faces = ClampCountToInt(static_cast<int64_t>(Mesh.Faces.size()) + caps);
    Edges = -1;
    return true;
}

TModifierApplyInfo TCapHolesModifier::ApplyWithInfo(const TModifierEvalContext& Context,
                                                    const TMeshData& Source, TMeshData& Dest)
{
    Cap(Source, Dest, Context.Meter);
    return SetApplyInfo(38);
}

void TCapHolesModifier::SetTextureId(int32_t Value)
{
    ChangeInt(*this, TextureId, std::max(Value, 0));
}

// ---- normal ----

void TNormalModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    CopyMeshData(Source, Dest);
    RecomputeVertexNormals(Dest);
}

std::unique_ptr<TModifier> TNormalModifier::Clone() const
{
    auto copy = std::make_unique<TNormalModifier>(*this);
    FinishClone(*copy);
    return copy;
}

bool TNormalModifier::EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                                         int64_t& Edges) const
{
    return EstimateSameTopology(Mesh, Vertices, Faces, Edges);
}

TModifierApplyInfo TNormalModifier::ApplyWithInfo(const TModifierEvalContext&,
                                                  const TMeshData& Source, TMeshData& Dest)
{
    Apply(Source, Dest);
    return SetApplyInfo(36);
}

// ---- relax ----

void RelaxMeshPositions(TMeshData& Mesh, float Amount, int32_t Iterations, bool PreserveBoundary,
                        TWorkMeter* Meter)
{
    if (Iterations <= 0 || Amount == 0)
        return;
    const size_t n = Mesh.Vertices.size();
    std::vector<int32_t> start, flat;
    std::vector<bool> boundary(n, false);
    BuildVertexNeighbourTable(Mesh, start, flat, boundary);

    // The vertices that move; the others stay where they are.
    std::vector<int32_t> moving;
    int64_t visits = 0;
    for (size_t i = 0; i < n; ++i) {
        if (start[i] == start[i + 1] || (PreserveBoundary && boundary[i]))
            continue;
        moving.push_back(static_cast<int32_t>(i));
        visits += start[i + 1] - start[i];
    }
    const int64_t passWork = RelaxPassWork(static_cast<int64_t>(moving.size()), visits);
    std::vector<TVec3> current(n), next(n);
    for (size_t i = 0; i < n; ++i)
        current[i] = Mesh.Vertices[i].Position;
    next = current;
    // The vector arithmetic is written out (the same operations in the same order as the
    // vector routines): a call per neighbour would cost more than the visit itself.
    for (int32_t pass = 0; pass < Iterations; ++pass) {
        ChargeWork(Meter, passWork);
        for (const int32_t v : moving) {
            float sx = 0, sy = 0, sz = 0;
            for (int32_t k = start[v]; k < start[v + 1]; ++k) {
                const TVec3& q = current[flat[k]];
                sx = sx + q.X;
                sy = sy + q.Y;
                sz = sz + q.Z;
            }
            const float inverse = 1.0f / static_cast<float>(start[v + 1] - start[v]);
            const TVec3& p = current[v];
            next[v] = {p.X + (sx * inverse - p.X) * Amount, p.Y + (sy * inverse - p.Y) * Amount,
                       p.Z + (sz * inverse - p.Z) * Amount};
        }
        for (const int32_t v : moving)
            current[v] = next[v];
    }
    for (size_t i = 0; i < n; ++i)
        Mesh.Vertices[i].Position = current[i];
    RecomputeVertexNormals(Mesh);
    Mesh.RebuildEdges();
}

int64_t RelaxPassWork(int64_t Moving, int64_t Visits)
{
    return WorkProduct(Moving, kRelaxVertexWork) + WorkProduct(Visits, kRelaxVisitWork);
}

void TRelaxModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    CopyMeshData(Source, Dest);
    RelaxMeshPositions(Dest, Amount, Iterations, PreserveBoundary);
}

bool TRelaxModifier::EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                                        int64_t& Edges) const
{
    return EstimateSameTopology(Mesh, Vertices, Faces, Edges);
}

std::unique_ptr<TModifier> TRelaxModifier::Clone() const
{
    auto copy = std::make_unique<TRelaxModifier>(*this);
    FinishClone(*copy);
    return copy;
}

void TRelaxModifier::SaveParams(std::vector<std::string>& Lines) const
{
    SaveParamsFromTable(*GetParamTable(), *this, Lines);
}

void TRelaxModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    LoadParamsFromTable(*GetParamTable(), *this, Lines, Index);
}

TModifierApplyInfo TRelaxModifier::ApplyWithInfo(const TModifierEvalContext& Context,
                                                 const TMeshData& Source, TMeshData& Dest)
{
    CopyMeshData(Source, Dest);
    RelaxMeshPositions(Dest, Amount, Iterations, PreserveBoundary, Context.Meter);
    return SetApplyInfo(37);
}

void TRelaxModifier::SetAmount(float Value)
{
    ChangeFloat(*this, Amount, std::clamp(FiniteOrDefault(0.5f, Value), 0.0f, 1.0f), 1e-6f);
}

void TRelaxModifier::SetIterations(int32_t Value)
{
    ChangeInt(*this, Iterations, std::clamp(Value, 0, 100));
}

void TRelaxModifier::SetPreserveBoundary(bool Value)
{
    ChangeBool(*this, PreserveBoundary, Value);
}

// ---- vertex weld ----

void TVertexWeldModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    Weld(Source, Dest, nullptr);
}

void TVertexWeldModifier::Weld(const TMeshData& Source, TMeshData& Dest, TWorkMeter* Meter) const
{
    CopyMeshData(Source, Dest);
    WeldVertices(Dest, Threshold, AveragePosition, AverageNormals, RemoveDegenerate, Meter);
}

std::unique_ptr<TModifier> TVertexWeldModifier::Clone() const
{
    auto copy = std::make_unique<TVertexWeldModifier>(*this);
    FinishClone(*copy);
    return copy;
}

void TVertexWeldModifier::SaveParams(std::vector<std::string>& Lines) const
{
    SaveParamsFromTable(*GetParamTable(), *this, Lines);
}

void TVertexWeldModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    LoadParamsFromTable(*GetParamTable(), *this, Lines, Index);
}

bool TVertexWeldModifier::EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices,
                                             int64_t& Faces, int64_t& Edges) const
{
    Vertices = ClampCountToInt(static_cast<int64_t>(Mesh.Vertices.size()));
    Faces = ClampCountToInt(static_cast<int64_t>(Mesh.Faces.size()));
    Edges = -1;
    return true;
}

TModifierApplyInfo TVertexWeldModifier::ApplyWithInfo(const TModifierEvalContext& Context,
                                                      const TMeshData& Source, TMeshData& Dest)
{
    Weld(Source, Dest, Context.Meter);
    return SetApplyInfo(39);
}

void TVertexWeldModifier::SetThreshold(float Value)
{
    ChangeFloat(*this, Threshold, std::max(std::fabs(FiniteOrDefault(0.001f, Value)), 1e-6f),
                1e-6f);
}

void TVertexWeldModifier::SetAveragePosition(bool Value)
{
    ChangeBool(*this, AveragePosition, Value);
}

void TVertexWeldModifier::SetAverageNormals(bool Value)
{
    ChangeBool(*this, AverageNormals, Value);
}

void TVertexWeldModifier::SetRemoveDegenerate(bool Value)
{
    ChangeBool(*this, RemoveDegenerate, Value);
}

// ---- parameter tables ----

const TModifierParamTable* TSliceModifier::GetParamTable() const
{
    using M = TSliceModifier;
    // A file's values are stored sanitised but without the setters' refusals; the kept
    // sides are settled once both are read.
    static const TModifierParamTable Table{
        {
            WithLoad<M>(WithFallback(ChoiceParam<M>(
                                         "Axis=", "Axis", 1, AxisChoiceItems(),
                                         [](const M& m) { return m.Axis; },
                                         [](M& m, int32_t v) { m.SetAxis(v); }),
                                     0),
                        [](M& m, double v) { m.Axis = (v >= 0 && v <= 2) ? int32_t(v) : 0; }),
            WithLoad<M>(
                WithFallback(FloatParam<M>(
                                 "Offset=", "Plane Offset", 2, [](const M& m) { return m.Offset; },
                                 [](M& m, float v) { m.SetOffset(v); }),
                             0),
                [](M& m, double v) { m.Offset = FiniteOrDefault(0, float(v)); }),
            WithLoad<M>(WithFallback(BoolParam<M>(
                                         "KeepPositive=", "Keep Positive", 3,
                                         [](const M& m) { return m.KeepPositive; },
                                         [](M& m, bool v) { m.SetKeepPositive(v); }),
                                     1),
                        [](M& m, double v) { m.KeepPositive = v != 0; }),
            WithLoad<M>(WithFallback(BoolParam<M>(
                                         "KeepNegative=", "Keep Negative", 4,
                                         [](const M& m) { return m.KeepNegative; },
                                         [](M& m, bool v) { m.SetKeepNegative(v); }),
                                     0),
                        [](M& m, double v) { m.KeepNegative = v != 0; }),
            WithLoad<M>(
                WithFallback(FloatParam<M>(
                                 "Epsilon=", "Epsilon", 5, [](const M& m) { return m.Epsilon; },
                                 [](M& m, float v) { m.SetEpsilon(v); }),
                             0.00001f),
                [](M& m, double v) { m.Epsilon = ClampedEpsilon(float(v)); }),
        },
        [](TModifier& m) {
            M& x = static_cast<M&>(m);
            if (!x.KeepPositive && !x.KeepNegative)
                x.KeepPositive = true;
        }};
    return &Table;
}

const TModifierParamTable* TCapHolesModifier::GetParamTable() const
{
    using M = TCapHolesModifier;
    static const TModifierParamTable Table{{
        WithFallback(IntParam<M>(
                         "TextureId=", "Texture ID", 1, [](const M& m) { return m.TextureId; },
                         [](M& m, int32_t v) { m.SetTextureId(v); }),
                     0),
    }};
    return &Table;
}

const TModifierParamTable* TNormalModifier::GetParamTable() const
{
    static const TModifierParamTable Table;
    return &Table;
}

const TModifierParamTable* TRelaxModifier::GetParamTable() const
{
    using M = TRelaxModifier;
    static const TModifierParamTable Table{{
        WithFallback(FloatParam<M>(
                         "Amount=", "Amount", 1, [](const M& m) { return m.Amount; },
                         [](M& m, float v) { m.SetAmount(v); }),
                     0.5f),
        WithFallback(IntParam<M>(
                         "Iterations=", "Iterations", 2, [](const M& m) { return m.Iterations; },
                         [](M& m, int32_t v) { m.SetIterations(v); }),
                     1),
        WithFallback(BoolParam<M>(
                         "PreserveBoundary=", "Preserve Boundary", 3,
                         [](const M& m) { return m.PreserveBoundary; },
                         [](M& m, bool v) { m.SetPreserveBoundary(v); }),
                     1),
    }};
    return &Table;
}

const TModifierParamTable* TVertexWeldModifier::GetParamTable() const
{
    using M = TVertexWeldModifier;
    static const TModifierParamTable Table{{
        WithFallback(FloatParam<M>(
                         "Threshold=", "Threshold", 1, [](const M& m) { return m.Threshold; },
                         [](M& m, float v) { m.SetThreshold(v); }),
                     0.001f),
        WithFallback(BoolParam<M>(
                         "AveragePosition=", "Average Position", 2,
                         [](const M& m) { return m.AveragePosition; },
                         [](M& m, bool v) { m.SetAveragePosition(v); }),
                     1),
        WithFallback(BoolParam<M>(
                         "AverageNormals=", "Average Normals", 3,
                         [](const M& m) { return m.AverageNormals; },
                         [](M& m, bool v) { m.SetAverageNormals(v); }),
                     0),
        WithFallback(BoolParam<M>(
                         "RemoveDegenerate=", "Remove Degenerate", 4,
                         [](const M& m) { return m.RemoveDegenerate; },
                         [](M& m, bool v) { m.SetRemoveDegenerate(v); }),
                     1),
    }};
    return &Table;
}
