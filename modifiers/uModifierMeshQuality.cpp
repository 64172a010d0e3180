#include "modifiers/uModifierMeshQuality.h"

#include "base/uHashSeed.h"
#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierEvaluator.h"
#include "modifiers/uModifierModelingSurface.h"
#include "modifiers/uModifierParams.h"
#include "modifiers/uModifierTopologyUtils.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

bool ValidIndex(int32_t Index, size_t Count)
{
    return Index >= 0 && static_cast<size_t>(Index) < Count;
}

// A face's corner count and its sorted corner indices, the value FaceIndexKey spells out.
using TFaceKey = std::array<int32_t, 5>;

TFaceKey FaceKeyOf(const TMeshFace& Face)
{
    const int32_t count = FaceCornerLimit(Face);
    TFaceKey key{count, -1, -1, -1, -1};
    for (int32_t k = 0; k < count; ++k) {  // insertion sort of at most four corners
        int32_t j = k;
        for (; j > 0 && key[j] > Face.Indices[k]; --j)
            key[j + 1] = key[j];
        key[j + 1] = Face.Indices[k];
    }
    return key;
}

struct TFaceKeyHash {
    size_t operator()(const TFaceKey& Key) const
    {
        uint64_t h = 0x9E3779B97F4A7C15ull ^ ProcessHashSeed();
        for (int32_t v : Key)
            h = (h ^ static_cast<uint32_t>(v)) * 0x100000001B3ull;
        return static_cast<size_t>(MixHashBits(h));
    }
};

// The keys of the faces met so far: an open-addressed table sized once for all faces, so
// that a pass over a million faces allocates nothing per face. A key's corner count (its
// first entry) is 3 or 4; 0 marks an empty slot.
class TFaceKeySet {
public:
    explicit TFaceKeySet(size_t Faces)
    {
        size_t size = 16;
        while (size < 2 * Faces)
            size *= 2;
        Slots.assign(size, TFaceKey{0, 0, 0, 0, 0});
    }

    // True when Key was not held yet (it is then).
    bool Insert(const TFaceKey& Key)
    {
        const size_t mask = Slots.size() - 1;
        for (size_t slot = TFaceKeyHash()(Key) & mask;; slot = (slot + 1) & mask) {
            if (Slots[slot] == Key)
                return false;
            if (Slots[slot][0] == 0) {
                Slots[slot] = Key;
                return true;
            }
        }
    }

private:
    std::vector<TFaceKey> Slots;
};

float ClampedMinimumArea(float Value)
{
    return std::clamp(std::fabs(FiniteOrDefault(1e-6f, Value)), 0.0f, 1000000.0f);
}

// One triangle of a quad from its corners A, B and C.
void AddQuadTriangle(TMeshData& Dest, const TMeshFace& Face, int A, int B, int C)
{
    AddTriangleFace(Dest, Face.Indices[A], Face.Indices[B], Face.Indices[C], Face.UVs[A],
                    Face.UVs[B], Face.UVs[C], Face.TexId);
}

}  // namespace

// ---- spherify ----

void TSpherifyModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    CopyMeshData(Source, Dest);
    if (Dest.Vertices.empty() || Amount == 0)
        return;
    TVec3 low, high, centre;
    MeshBounds(Source, low, high, centre);
    float radius = 0;
    for (const TMeshVertex& v : Source.Vertices)
        radius = std::max(radius, Vec3Length(Vec3Sub(v.Position, centre)));
    if (!(radius >= 1e-6f))
        return;
    radius *= RadiusScale;
    for (TMeshVertex& v : Dest.Vertices) {
        const TVec3 d = Vec3Sub(v.Position, centre);
        const float length = Vec3Length(d);
        if (length <= 1e-6f)
            continue;
        const TVec3 target = Vec3Add(centre, Vec3Scale(d, radius / length));
        v.Position = Vec3Add(v.Position, Vec3Scale(Vec3Sub(target, v.Position), Amount));
    }
    RecomputeVertexNormals(Dest);
}

std::unique_ptr<TModifier> TSpherifyModifier::Clone() const
{
    auto copy = std::make_unique<TSpherifyModifier>(*this);
    FinishClone(*copy);
    return copy;
}

void TSpherifyModifier::SaveParams(std::vector<std::string>& Lines) const
{
    SaveParamsFromTable(*GetParamTable(), *this, Lines);
}

void TSpherifyModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    LoadParamsFromTable(*GetParamTable(), *this, Lines, Index);
}

bool TSpherifyModifier::EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                                           int64_t& Edges) const
{
    return EstimateSameTopology(Mesh, Vertices, Faces, Edges);
}

TModifierApplyInfo TSpherifyModifier::ApplyWithInfo(const TModifierEvalContext&,
                                                    const TMeshData& Source, TMeshData& Dest)
{
    Apply(Source, Dest);
    return SetApplyInfo(37);
}

void TSpherifyModifier::SetAmount(float Value)
{
    ChangeFloat(*this, Amount, std::clamp(FiniteOrDefault(1, Value), 0.0f, 1.0f), 1e-6f);
}

void TSpherifyModifier::SetRadiusScale(float Value)
{
    ChangeFloat(*this, RadiusScale, std::clamp(std::fabs(FiniteOrDefault(1, Value)), 1e-6f, 100.0f),
                1e-6f);
}

// ---- optimize ----

float PolygonFaceArea(const TMeshData& Mesh, const TMeshFace& Face)
{
    const int32_t count = FaceCornerLimit(Face);
    if (count < 3)
        return 0;
    for (int32_t k = 0; k < count; ++k)
        if (!ValidIndex(Face.Indices[k], Mesh.Vertices.size()))
            return 0;
    const TVec3& p0 = Mesh.Vertices[Face.Indices[0]].Position;
    float area = 0;
    for (int32_t k = 1; k + 1 < count; ++k)
        area +=
            0.5f * Vec3Length(Vec3Cross(Vec3Sub(Mesh.Vertices[Face.Indices[k]].Position, p0),
                                        Vec3Sub(Mesh.Vertices[Face.Indices[k + 1]].Position, p0)));
    return area;
}

std::string FaceIndexKey(const TMeshFace& Face)
{
    const TFaceKey key = FaceKeyOf(Face);
    std::string text = std::to_string(key[0]);
    for (int32_t k = 1; k <= key[0]; ++k)
        text += ":" + std::to_string(key[k]);
    return text;
}

void TOptimizeModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    Dest.Clear();
    const size_t count = Source.Vertices.size();
    std::vector<bool> used(count, false);
    TFaceKeySet seen(RemoveDuplicateFaces ? Source.Faces.size() : 0);
    std::vector<TMeshFace> faces;
    faces.reserve(Source.Faces.size());
    for (const TMeshFace& f : Source.Faces) {
        if (f.Count < 3 || f.Count > 4)
            continue;
        if (!std::all_of(f.Indices.begin(), f.Indices.begin() + f.Count,
                         [count](int32_t i) { return ValidIndex(i, count); }))
            continue;
        // The key is taken before the area test: a later copy of a face dropped as too
        // small goes as a duplicate.
        if (RemoveDuplicateFaces && !seen.Insert(FaceKeyOf(f)))
            continue;
        if (MinimumArea > 0 && PolygonFaceArea(Source, f) <= MinimumArea)
            continue;
        for (int32_t k = 0; k < f.Count; ++k)
            used[f.Indices[k]] = true;
        faces.push_back(f);
    }
    if (RemoveUnusedVertices) {
        std::vector<int32_t> remap(count, -1);
        for (size_t i = 0; i < count; ++i)
            if (used[i]) {
                remap[i] = static_cast<int32_t>(Dest.Vertices.size());
                Dest.Vertices.push_back(Source.Vertices[i]);
            }
        for (TMeshFace& f : faces)
            for (int32_t k = 0; k < f.Count; ++k)
                f.Indices[k] = remap[f.Indices[k]];
    } else {
        Dest.Vertices = Source.Vertices;
    }
    Dest.Faces = std::move(faces);
    RecomputeVertexNormals(Dest);
    Dest.RebuildEdges();
}

std::unique_ptr<TModifier> TOptimizeModifier::Clone() const
{
    auto copy = std::make_unique<TOptimizeModifier>(*this);
    FinishClone(*copy);
    return copy;
}

void TOptimizeModifier::SaveParams(std::vector<std::string>& Lines) const
{
    SaveParamsFromTable(*GetParamTable(), *this, Lines);
}

void TOptimizeModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    LoadParamsFromTable(*GetParamTable(), *this, Lines, Index);
}

bool TOptimizeModifier::EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                                           int64_t& Edges) const
{
    // Only drops: the source's counts are reached when nothing goes.
    Vertices = static_cast<int64_t>(Mesh.Vertices.size());
    Faces = static_cast<int64_t>(Mesh.Faces.size());
    Edges = -1;
    return true;
}

TModifierApplyInfo TOptimizeModifier::ApplyWithInfo(const TModifierEvalContext&,
                                                    const TMeshData& Source, TMeshData& Dest)
{
    Apply(Source, Dest);
    return SetApplyInfo(38);
}

void TOptimizeModifier::SetMinimumArea(float Value)
{
    ChangeFloat(*this, MinimumArea, ClampedMinimumArea(Value), 1e-6f);
}

void TOptimizeModifier::SetRemoveDuplicateFaces(bool Value)
{
    ChangeBool(*this, RemoveDuplicateFaces, Value);
}

void TOptimizeModifier::SetRemoveUnusedVertices(bool Value)
{
    ChangeBool(*this, RemoveUnusedVertices, Value);
}

// ---- tessellate ----

void TTessellateModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    Dest.Clear();
    Dest.Vertices = Source.Vertices;
    Dest.Faces.reserve(Source.Faces.size() * (TriangulateQuads ? 2 : 1));
    for (const TMeshFace& f : Source.Faces) {
        if (!TriangulateQuads || f.Count != 4) {
            Dest.Faces.push_back(f);
        } else if (AlternateDiagonal) {
            AddQuadTriangle(Dest, f, 0, 1, 3);
            AddQuadTriangle(Dest, f, 1, 2, 3);
        } else {
            AddQuadTriangle(Dest, f, 0, 1, 2);
            AddQuadTriangle(Dest, f, 0, 2, 3);
        }
    }
    Dest.RebuildEdges();
}

std::unique_ptr<TModifier> TTessellateModifier::Clone() const
{
    auto copy = std::make_unique<TTessellateModifier>(*this);
    FinishClone(*copy);
    return copy;
}

void TTessellateModifier::SaveParams(std::vector<std::string>& Lines) const
{
    SaveParamsFromTable(*GetParamTable(), *this, Lines);
}

void TTessellateModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    LoadParamsFromTable(*GetParamTable(), *this, Lines, Index);
}

bool TTessellateModifier::EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices,
                                             int64_t& Faces, int64_t& Edges) const
{
    const int64_t quads = TriangulateQuads
                              ? std::count_if(Mesh.Faces.begin(), Mesh.Faces.end(),
                                              [](const TMeshFace& f) { return f.Count == 4; })
                              : 0;
    Vertices = ClampCountToInt(static_cast<int64_t>(Mesh.Vertices.size()));
    Faces = ClampCountToInt(static_cast<int64_t>(Mesh.Faces.size()) + quads);
    Edges = -1;
    return true;
}

TModifierApplyInfo TTessellateModifier::ApplyWithInfo(const TModifierEvalContext&,
                                                      const TMeshData& Source, TMeshData& Dest)
{
    Apply(Source, Dest);
    return SetApplyInfo(34);
}

void TTessellateModifier::SetTriangulateQuads(bool Value)
{
    ChangeBool(*this, TriangulateQuads, Value);
}

void TTessellateModifier::SetAlternateDiagonal(bool Value)
{
    ChangeBool(*this, AlternateDiagonal, Value);
}

// ---- smooth ----

void TSmoothModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    CopyMeshData(Source, Dest);
    RelaxMeshPositions(Dest, Amount, Iterations, PreserveBoundary);
}

std::unique_ptr<TModifier> TSmoothModifier::Clone() const
{
    auto copy = std::make_unique<TSmoothModifier>(*this);
    FinishClone(*copy);
    return copy;
}

void TSmoothModifier::SaveParams(std::vector<std::string>& Lines) const
{
    SaveParamsFromTable(*GetParamTable(), *this, Lines);
}

void TSmoothModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    LoadParamsFromTable(*GetParamTable(), *this, Lines, Index);
}

bool TSmoothModifier::EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                                         int64_t& Edges) const
{
    return EstimateSameTopology(Mesh, Vertices, Faces, Edges);
}

TModifierApplyInfo TSmoothModifier::ApplyWithInfo(const TModifierEvalContext& Context,
                                                  const TMeshData& Source, TMeshData& Dest)
{
    CopyMeshData(Source, Dest);
    RelaxMeshPositions(Dest, Amount, Iterations, PreserveBoundary, Context.Meter);
    return SetApplyInfo(37);
}

void TSmoothModifier::SetAmount(float Value)
{
    ChangeFloat(*this, Amount, std::clamp(FiniteOrDefault(0.25f, Value), 0.0f, 1.0f), 1e-6f);
}

void TSmoothModifier::SetIterations(int32_t Value)
{
    ChangeInt(*this, Iterations, std::clamp(Value, 0, 100));
}

void TSmoothModifier::SetPreserveBoundary(bool Value)
{
    ChangeBool(*this, PreserveBoundary, Value);
}

// ---- parameter tables ----

const TModifierParamTable* TSpherifyModifier::GetParamTable() const
{
    using M = TSpherifyModifier;
    static const TModifierParamTable Table{{
        WithCurrentFallback(FloatParam<M>(
            "Amount=", "Amount", 1, [](const M& m) { return m.Amount; },
            [](M& m, float v) { m.SetAmount(v); })),
        WithCurrentFallback(FloatParam<M>(
            "RadiusScale=", "Radius Scale", 2, [](const M& m) { return m.RadiusScale; },
            [](M& m, float v) { m.SetRadiusScale(v); })),
    }};
    return &Table;
}

const TModifierParamTable* TOptimizeModifier::GetParamTable() const
{
    using M = TOptimizeModifier;
    static const TModifierParamTable Table{{
        // Stored without the setter's change tolerance, so that a saved 0 (or any value
        // within 1e-6 of the current one) comes back as it was written.
        WithLoad<M>(WithCurrentFallback(FloatParam<M>(
                        "MinimumArea=", "Minimum Area", 1, [](const M& m) { return m.MinimumArea; },
                        [](M& m, float v) { m.SetMinimumArea(v); })),
                    [](M& m, double v) {
                        const float area = ClampedMinimumArea(float(v));
                        if (area != m.MinimumArea) {
                            m.MinimumArea = area;
                            m.Changed();
                        }
                    }),
        WithCurrentFallback(BoolParam<M>(
            "RemoveDuplicateFaces=", "Remove Duplicate Faces", 2,
            [](const M& m) { return m.RemoveDuplicateFaces; },
            [](M& m, bool v) { m.SetRemoveDuplicateFaces(v); })),
        WithCurrentFallback(BoolParam<M>(
            "RemoveUnusedVertices=", "Remove Unused Vertices", 3,
            [](const M& m) { return m.RemoveUnusedVertices; },
            [](M& m, bool v) { m.SetRemoveUnusedVertices(v); })),
    }};
    return &Table;
}

const TModifierParamTable* TTessellateModifier::GetParamTable() const
{
    using M = TTessellateModifier;
    static const TModifierParamTable Table{{
        WithCurrentFallback(BoolParam<M>(
            "TriangulateQuads=", "Triangulate Quads", 1,
            [](const M& m) { return m.TriangulateQuads; },
            [](M& m, bool v) { m.SetTriangulateQuads(v); })),
        WithCurrentFallback(BoolParam<M>(
            "AlternateDiagonal=", "Alternate Diagonal", 2,
            [](const M& m) { return m.AlternateDiagonal; },
            [](M& m, bool v) { m.SetAlternateDiagonal(v); })),
    }};
    return &Table;
}

const TModifierParamTable* TSmoothModifier::GetParamTable() const
{
    using M = TSmoothModifier;
    static const TModifierParamTable Table{{
        WithCurrentFallback(FloatParam<M>(
            "Amount=", "Amount", 1, [](const M& m) { return m.Amount; },
            [](M& m, float v) { m.SetAmount(v); })),
        WithCurrentFallback(IntParam<M>(
            "Iterations=", "Iterations", 2, [](const M& m) { return m.Iterations; },
            [](M& m, int32_t v) { m.SetIterations(v); })),
        WithCurrentFallback(BoolParam<M>(
            "PreserveBoundary=", "Preserve Boundary", 3,
            [](const M& m) { return m.PreserveBoundary; },
            [](M& m, bool v) { m.SetPreserveBoundary(v); })),
    }};
    return &Table;
}
