#include "modifiers/uModifierModelingSurface.h"

#include "modifiers/uModifierEvaluator.h"
#include "modifiers/uModifierParams.h"
#include "modifiers/uModifierTopologyUtils.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace {

bool ValidIndex(int32_t Index, size_t Count)
{
    return Index >= 0 && static_cast<size_t>(Index) < Count;
}

double CoordinateOf(const TVec3& P, int32_t Axis)
{
    return Axis == 0 ? P.X : (Axis == 1 ? P.Y : P.Z);
}

// The shared-vertex key of a slice point: its source vertex, or the source edge a cut
// lies on. False for a point with neither.
bool SlicePointKey(const TSlicePoint& P, uint64_t& Key)
{
    if (P.SourceIndex >= 0) {
        Key = static_cast<uint32_t>(P.SourceIndex);
        return true;
    }
    if (P.EdgeA >= 0 && P.EdgeB >= 0) {
        Key = uint64_t{1} << 63 | static_cast<uint64_t>(P.EdgeA) << 32 |
              static_cast<uint32_t>(P.EdgeB);
        return true;
    }
    return false;
}

using TSliceKeyMap = std::unordered_map<uint64_t, int32_t>;

void EmitSlicePolygon(TMeshData& Dest, const TSlicePointArray& Points, TSliceKeyMap& Keys,
                      int32_t TexId)
{
    std::vector<int32_t> indices;
    std::vector<TVec2> uvs;
    for (const TSlicePoint& p : Points) {
        uint64_t key = 0;
        if (!SlicePointKey(p, key))
            continue;
        auto [it, isNew] = Keys.try_emplace(key, static_cast<int32_t>(Dest.Vertices.size()));
        if (isNew)
            Dest.Vertices.push_back(p.Vertex);
        if (!indices.empty() && indices.back() == it->second)
            continue;
        indices.push_back(it->second);
        uvs.push_back(p.FaceUV);
    }
    if (indices.size() > 1 && indices.back() == indices.front()) {
        indices.pop_back();
        uvs.pop_back();
    }
    const size_t n = indices.size();
    if (n < 3)
        return;
    if (n == 3)
        AddTriangleFace(Dest, indices[0], indices[1], indices[2], uvs[0], uvs[1], uvs[2], TexId);
    else if (n == 4)
        AddQuadFace(Dest, indices[0], indices[1], indices[2], indices[3], uvs[0], uvs[1], uvs[2],
                    uvs[3], TexId);
    else
        for (size_t k = 1; k + 1 < n; ++k)
            AddTriangleFace(Dest, indices[0], indices[k], indices[k + 1], uvs[0], uvs[k],
                            uvs[k + 1], TexId);
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
    return CoordinateOf(P.Vertex.Position, Axis) - static_cast<double>(Offset);
}

bool TSliceModifier::Inside(const TSlicePoint& P, bool Positive) const
{
    const double d = Distance(P);
    return Positive ? d >= -static_cast<double>(Epsilon) : d <= static_cast<double>(Epsilon);
}

TSlicePoint TSliceModifier::SplitSlicePoint(const TSlicePoint& A, const TSlicePoint& B) const
{
    // Distances and the cut position in double: float differences of huge coordinates
    // would overflow to infinity and turn a finite cut into a non-finite one.
    const double da = Distance(A), db = Distance(B);
    double t = std::fabs(da - db) < 1e-12 ? 0.5 : da / (da - db);
    if (!(t >= 0))
        t = std::isnan(t) ? 0.5 : 0;
    t = std::min(t, 1.0);
    if (t <= 1e-6 && A.SourceIndex >= 0)
        return A;
    if (t >= 0.999999 && B.SourceIndex >= 0)
        return B;
    TSlicePoint r;
    LerpVertex(A.Vertex, B.Vertex, r.Vertex, static_cast<float>(t));
    const TVec3& pa = A.Vertex.Position;
    const TVec3& pb = B.Vertex.Position;
    auto lerp = [t](float a, float b) { return static_cast<float>(a + (double(b) - a) * t); };
    r.Vertex.Position = {lerp(pa.X, pb.X), lerp(pa.Y, pb.Y), lerp(pa.Z, pb.Z)};
    LerpVec2(A.FaceUV, B.FaceUV, r.FaceUV, static_cast<float>(t));
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
    const size_t n = Polygon.size();
    for (size_t i = 0; i < n; ++i) {
        const TSlicePoint& cur = Polygon[i];
        const TSlicePoint& next = Polygon[(i + 1) % n];
        const bool curIn = Inside(cur, Positive);
        const bool nextIn = Inside(next, Positive);
        if (curIn && nextIn) {
            out.push_back(next);
        } else if (curIn) {
            out.push_back(SplitSlicePoint(cur, next));
        } else if (nextIn) {
            out.push_back(SplitSlicePoint(cur, next));
            out.push_back(next);
        }
    }
    return out;
}

void TSliceModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    Dest.Clear();
    const size_t count = Source.Vertices.size();
    TSliceKeyMap keys;
    keys.reserve(count + Source.Faces.size());
    TSlicePointArray polygon;
    for (const TMeshFace& f : Source.Faces) {
        if (!FaceCornersValid(f, count))
            continue;  // a bad face of a corrupt mesh is left out rather than read
        polygon.clear();
        for (int32_t k = 0; k < f.Count; ++k) {
            TSlicePoint p;
            p.Vertex = Source.Vertices[f.Indices[k]];
            p.FaceUV = f.UVs[k];
            p.SourceIndex = f.Indices[k];
            polygon.push_back(p);
        }
        if (KeepPositive)
            EmitSlicePolygon(Dest, ClipSlicePolygon(polygon, true), keys, f.TexId);
        if (KeepNegative)
            EmitSlicePolygon(Dest, ClipSlicePolygon(polygon, false), keys, f.TexId);
    }
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
    const int64_t faces = static_cast<int64_t>(Mesh.Faces.size());
    Vertices = ClampCountToInt(static_cast<int64_t>(Mesh.Vertices.size()) + 2 * faces);
    Faces = ClampCountToInt((KeepPositive && KeepNegative ? 6 : 3) * faces);
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
    CopyMeshData(Source, Dest);
    TIntegerArrayList loops;
    if (!FindBoundaryLoops(Source, loops))
        return;
    const auto& p = Source.Vertices;
    for (TIntegerArray& loop : loops) {
        std::reverse(loop.begin(), loop.end());
        TIntegerArray triangles;
        if (!TriangulateLoop(Source, loop, triangles))
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

TModifierApplyInfo TCapHolesModifier::ApplyWithInfo(const TModifierEvalContext&,
                                                    const TMeshData& Source, TMeshData& Dest)
{
    Apply(Source, Dest);
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

TModifierApplyInfo TNormalModifier::ApplyWithInfo(const TModifierEvalContext&,
                                                  const TMeshData& Source, TMeshData& Dest)
{
    Apply(Source, Dest);
    return SetApplyInfo(36);
}

// ---- relax ----

void RelaxMeshPositions(TMeshData& Mesh, float Amount, int32_t Iterations, bool PreserveBoundary)
{
    if (Iterations <= 0 || Amount == 0)
        return;
    const size_t n = Mesh.Vertices.size();
    TIntegerArrayList neighbours;
    std::vector<bool> boundary(n, false);
    BuildVertexNeighbours(Mesh, neighbours, boundary);

    // Flat neighbour lists of the vertices that move; the others stay where they are.
    std::vector<int32_t> moving, start{0}, flat;
    for (size_t i = 0; i < n; ++i) {
        if (neighbours[i].empty() || (PreserveBoundary && boundary[i]))
            continue;
        moving.push_back(static_cast<int32_t>(i));
        flat.insert(flat.end(), neighbours[i].begin(), neighbours[i].end());
        start.push_back(static_cast<int32_t>(flat.size()));
    }
    std::vector<TVec3> current(n), next(n);
    for (size_t i = 0; i < n; ++i)
        current[i] = Mesh.Vertices[i].Position;
    next = current;
    for (int32_t pass = 0; pass < Iterations; ++pass) {
        for (size_t m = 0; m < moving.size(); ++m) {
            TVec3 sum{0, 0, 0};
            for (int32_t k = start[m]; k < start[m + 1]; ++k)
                sum = Vec3Add(sum, current[flat[k]]);
            const TVec3& p = current[moving[m]];
            const TVec3 average =
                Vec3Scale(sum, 1.0f / static_cast<float>(start[m + 1] - start[m]));
            next[moving[m]] = Vec3Add(p, Vec3Scale(Vec3Sub(average, p), Amount));
        }
        for (int32_t i : moving)
            current[i] = next[i];
    }
    for (size_t i = 0; i < n; ++i)
        Mesh.Vertices[i].Position = current[i];
    RecomputeVertexNormals(Mesh);
    Mesh.RebuildEdges();
}

void TRelaxModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    CopyMeshData(Source, Dest);
    RelaxMeshPositions(Dest, Amount, Iterations, PreserveBoundary);
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

TModifierApplyInfo TRelaxModifier::ApplyWithInfo(const TModifierEvalContext&,
                                                 const TMeshData& Source, TMeshData& Dest)
{
    Apply(Source, Dest);
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
