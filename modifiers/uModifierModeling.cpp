#include "modifiers/uModifierModeling.h"

#include "base/uMesh.h"
#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierEvaluator.h"
#include "modifiers/uModifierModelingSurface.h"
#include "modifiers/uModifierParams.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifierTopologyUtils.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

bool ValidIndex(int32_t Index, size_t Count)
{
    return Index >= 0 && static_cast<size_t>(Index) < Count;
}

float& Coordinate(TVec3& P, int32_t Axis)
{
    return Axis == 0 ? P.X : (Axis == 1 ? P.Y : P.Z);
}

// Corner indices raised by Offset; an index outside 0..VertexCount-1 becomes -1.
void ShiftCorners(TMeshFace& Face, int32_t Offset, size_t VertexCount)
{
    for (int32_t k = 0; k < FaceCornerLimit(Face); ++k)
        Face.Indices[k] = ValidIndex(Face.Indices[k], VertexCount) ? Face.Indices[k] + Offset : -1;
}

// The unique edges of a mesh in the order of their first use (as BuildEdgeList finds
// them, stopping at the first face of a bad corner count), with their numbers by their
// ends.
class TEdgeTable {
public:
    explicit TEdgeTable(const TMeshData& Mesh) : Index(2 * Mesh.Faces.size())
    {
        const size_t n = Mesh.Vertices.size();
        Ends.reserve(Mesh.Faces.size() * 2 + 16);
        for (const TMeshFace& f : Mesh.Faces) {
            if (f.Count < 3 || f.Count > 4)
                break;
            for (int32_t k = 0; k < f.Count; ++k) {
                const int32_t a = f.Indices[k];
                const int32_t b = f.Indices[(k + 1) % f.Count];
                if (!ValidIndex(a, n) || !ValidIndex(b, n) || a == b)
                    continue;
                bool isNew = false;
                Index.Insert(a, b, static_cast<int32_t>(Ends.size()), isNew);
                if (isNew)
                    Ends.push_back({std::min(a, b), std::max(a, b)});
            }
        }
    }

    // -1 for a side that is not an edge.
    int32_t Find(int32_t A, int32_t B) const { return Index.Find(A, B); }

    std::vector<TMeshEdge> Ends;

private:
    TSideIndex Index;
};

// The edge of each side of Face, in corner order; False for a face a pass drops: a corner
// count other than 3 or 4, or a side that is no edge (a repeated or missing corner).
bool SideEdges(const TEdgeTable& Edges, const TMeshFace& Face, int32_t (&Edge)[4])
{
    if (Face.Count != 3 && Face.Count != 4)
        return false;
    for (int32_t k = 0; k < Face.Count; ++k) {
        Edge[k] = Edges.Find(Face.Indices[k], Face.Indices[(k + 1) % Face.Count]);
        if (Edge[k] < 0)
            return false;
    }
    return true;
}

TMeshVertex QuadCentreVertex(const TMeshVertex& A, const TMeshVertex& B, const TMeshVertex& C,
                             const TMeshVertex& D)
{
    auto average = [](const TVec3& a, const TVec3& b, const TVec3& c, const TVec3& d) {
        return Vec3Scale(Vec3Add(Vec3Add(a, b), Vec3Add(c, d)), 0.25f);
    };
    TMeshVertex v;
    v.Position = average(A.Position, B.Position, C.Position, D.Position);
    v.Color = average(A.Color, B.Color, C.Color, D.Color);
    v.UV = {(A.UV.U + B.UV.U + C.UV.U + D.UV.U) * 0.25f,
            (A.UV.V + B.UV.V + C.UV.V + D.UV.V) * 0.25f};
    v.Normal = Vec3Normalize(Vec3Add(Vec3Add(A.Normal, B.Normal), Vec3Add(C.Normal, D.Normal)));
    return v;
}

TVec2 Midpoint(const TVec2& A, const TVec2& B)
{
    TVec2 r;
    MidpointVec2(A, B, r);
    return r;
}

// SubdivideOnce without the closing edge rebuild.
void SubdivideFaces(const TMeshData& Source, TMeshData& Dest)
{
    Dest.Clear();
    const TEdgeTable edges(Source);
    const int32_t base = static_cast<int32_t>(Source.Vertices.size());
    Dest.Vertices.reserve(Source.Vertices.size() + edges.Ends.size() + Source.Faces.size());
    Dest.Faces.reserve(Source.Faces.size() * 4);
    Dest.Vertices = Source.Vertices;
    for (const TMeshEdge& e : edges.Ends) {
        TMeshVertex m;
        MidpointVertex(Source.Vertices[e.V0], Source.Vertices[e.V1], m);
        Dest.Vertices.push_back(m);
    }
    for (const TMeshFace& f : Source.Faces) {
        int32_t mid[4];
        if (!SideEdges(edges, f, mid))
            continue;  // a bad corner count or a degenerate side: the face is dropped
        for (int32_t k = 0; k < f.Count; ++k)
            mid[k] += base;
        const auto& i = f.Indices;
        const auto& uv = f.UVs;
        if (f.Count == 3) {
            const TVec2 uab = Midpoint(uv[0], uv[1]), ubc = Midpoint(uv[1], uv[2]),
                        uca = Midpoint(uv[2], uv[0]);
            AddTriangleFace(Dest, i[0], mid[0], mid[2], uv[0], uab, uca, f.TexId);
            AddTriangleFace(Dest, mid[0], i[1], mid[1], uab, uv[1], ubc, f.TexId);
            AddTriangleFace(Dest, mid[2], mid[1], i[2], uca, ubc, uv[2], f.TexId);
            AddTriangleFace(Dest, mid[0], mid[1], mid[2], uab, ubc, uca, f.TexId);
            continue;
        }
        const TVec2 uab = Midpoint(uv[0], uv[1]), ubc = Midpoint(uv[1], uv[2]),
                    ucd = Midpoint(uv[2], uv[3]), uda = Midpoint(uv[3], uv[0]);
        const TVec2 uc = {(uv[0].U + uv[1].U + uv[2].U + uv[3].U) * 0.25f,
                          (uv[0].V + uv[1].V + uv[2].V + uv[3].V) * 0.25f};
        const int32_t ctr = static_cast<int32_t>(Dest.Vertices.size());
        Dest.Vertices.push_back(QuadCentreVertex(Source.Vertices[i[0]], Source.Vertices[i[1]],
                                                 Source.Vertices[i[2]], Source.Vertices[i[3]]));
        AddQuadFace(Dest, i[0], mid[0], ctr, mid[3], uv[0], uab, uc, uda, f.TexId);
        AddQuadFace(Dest, mid[0], i[1], mid[1], ctr, uab, uv[1], ubc, uc, f.TexId);
        AddQuadFace(Dest, ctr, mid[1], i[2], mid[2], uc, ubc, uv[2], ucd, f.TexId);
        AddQuadFace(Dest, mid[3], ctr, mid[2], i[3], uda, uc, ucd, uv[3], f.TexId);
    }
}

}  // namespace

// ---- shared routines ----

void CopyMeshData(const TMeshData& Source, TMeshData& Dest)
{
    Dest.Clear();
    CopyMeshArrays(&Source, &Dest);
    Dest.RebuildEdges();
}

void AddTriangleFace(TMeshData& Mesh, int32_t I0, int32_t I1, int32_t I2, const TVec2& UV0,
                     const TVec2& UV1, const TVec2& UV2, int32_t TexId)
{
    TMeshFace f;
    f.Indices = {I0, I1, I2, -1};
    f.UVs = {UV0, UV1, UV2, TVec2{0, 0}};
    f.Count = 3;
    f.TexId = TexId;
    Mesh.Faces.push_back(f);
}

void AddQuadFace(TMeshData& Mesh, int32_t I0, int32_t I1, int32_t I2, int32_t I3, const TVec2& UV0,
                 const TVec2& UV1, const TVec2& UV2, const TVec2& UV3, int32_t TexId)
{
    TMeshFace f;
    f.Indices = {I0, I1, I2, I3};
    f.UVs = {UV0, UV1, UV2, UV3};
    f.Count = 4;
    f.TexId = TexId;
    Mesh.Faces.push_back(f);
}

void AppendMeshData(const TMeshData& Source, TMeshData& Dest, bool Reverse)
{
    const int32_t offset = static_cast<int32_t>(Dest.Vertices.size());
    const size_t count = Source.Vertices.size();
    Dest.Vertices.insert(Dest.Vertices.end(), Source.Vertices.begin(), Source.Vertices.end());
    Dest.Faces.reserve(Dest.Faces.size() + Source.Faces.size());
    for (TMeshFace f : Source.Faces) {
        ShiftCorners(f, offset, count);
        if (Reverse)
            ReverseFaceWinding(f);
        Dest.Faces.push_back(f);
    }
}

int32_t FaceCornerLimit(const TMeshFace& Face)
{
    return std::clamp(Face.Count, 0, 4);
}

float FiniteOrDefault(float Default, float Value)
{
    return std::isfinite(Value) ? Value : Default;
}

int32_t ClampCountToInt(int64_t Count)
{
    return static_cast<int32_t>(std::clamp<int64_t>(Count, 0, std::numeric_limits<int32_t>::max()));
}

TModifierApplyInfo SetApplyInfo(int32_t Flags)
{
    return {Flags, {}};
}

void ChangeFloat(TModifier& Owner, float& Field, float Value, float Epsilon)
{
    if (std::fabs(Value - Field) <= Epsilon)
        return;
    Field = Value;
    Owner.Changed();
}

void ChangeInt(TModifier& Owner, int32_t& Field, int32_t Value)
{
    if (Value == Field)
        return;
    Field = Value;
    Owner.Changed();
}

void ChangeBool(TModifier& Owner, bool& Field, bool Value)
{
    if (Value == Field)
        return;
    Field = Value;
    Owner.Changed();
}

// ---- mirror ----

void TMirrorModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    Dest.Clear();
    const size_t count = Source.Vertices.size();
    Dest.Vertices.reserve(count * (IncludeOriginal ? 2 : 1));
    Dest.Faces.reserve(Source.Faces.size() * (IncludeOriginal ? 2 : 1));
    if (IncludeOriginal)
        AppendMeshData(Source, Dest, false);
    const int32_t base = IncludeOriginal ? static_cast<int32_t>(count) : 0;

    for (TMeshVertex v : Source.Vertices) {
        float& c = Coordinate(v.Position, Axis);
        c = 2 * Offset - c;
        float& n = Coordinate(v.Normal, Axis);
        n = -n;
        v.Normal = Vec3Normalize(v.Normal);
        Dest.Vertices.push_back(v);
    }
    for (TMeshFace f : Source.Faces) {
        ShiftCorners(f, base, count);
        ReverseFaceWinding(f);
        Dest.Faces.push_back(f);
    }

    if (MergeSeam && IncludeOriginal) {
        // Each mirrored twin of a vertex on the plane is redirected to the original; the
        // twin stays in the vertex array, referenced by no face.
        std::vector<int32_t> target(Dest.Vertices.size(), -1);
        bool any = false;
        for (size_t i = 0; i < count; ++i) {
            TVec3 p = Source.Vertices[i].Position;
            if (std::fabs(Coordinate(p, Axis) - Offset) <= 0.5f * MergeThreshold) {
                target[static_cast<size_t>(base) + i] = static_cast<int32_t>(i);
                any = true;
            }
        }
        if (any)
            for (TMeshFace& f : Dest.Faces)
                for (int32_t k = 0; k < FaceCornerLimit(f); ++k)
                    if (ValidIndex(f.Indices[k], target.size()) && target[f.Indices[k]] >= 0)
                        f.Indices[k] = target[f.Indices[k]];
    }
    Dest.RebuildEdges();
}

std::unique_ptr<TModifier> TMirrorModifier::Clone() const
{
    auto copy = std::make_unique<TMirrorModifier>(*this);
    FinishClone(*copy);
    return copy;
}

void TMirrorModifier::SaveParams(std::vector<std::string>& Lines) const
{
    SaveParamsFromTable(*GetParamTable(), *this, Lines);
}

void TMirrorModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    LoadParamsFromTable(*GetParamTable(), *this, Lines, Index);
}

bool TMirrorModifier::EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                                         int64_t& Edges) const
{
    const int64_t k = IncludeOriginal ? 2 : 1;
    Vertices = ClampCountToInt(k * static_cast<int64_t>(Mesh.Vertices.size()));
    Faces = ClampCountToInt(k * static_cast<int64_t>(Mesh.Faces.size()));
    Edges = -1;
    return true;
}

TModifierApplyInfo TMirrorModifier::ApplyWithInfo(const TModifierEvalContext&,
                                                  const TMeshData& Source, TMeshData& Dest)
{
    Apply(Source, Dest);
    return SetApplyInfo(39);
}

void TMirrorModifier::SetAxis(int32_t Value)
{
    ChangeInt(*this, Axis, std::clamp(Value, 0, 2));
}

void TMirrorModifier::SetOffset(float Value)
{
    ChangeFloat(*this, Offset, FiniteOrDefault(0, Value), 1e-6f);
}

void TMirrorModifier::SetIncludeOriginal(bool Value)
{
    ChangeBool(*this, IncludeOriginal, Value);
}

void TMirrorModifier::SetMergeSeam(bool Value)
{
    ChangeBool(*this, MergeSeam, Value);
}

void TMirrorModifier::SetMergeThreshold(float Value)
{
    ChangeFloat(*this, MergeThreshold, std::max(FiniteOrDefault(0.0001f, Value), 1e-6f), 1e-6f);
}

// ---- xform ----

TMatrix4 TXFormModifier::BuildMatrix() const
{
    const TMatrix4 parts[] = {MatTranslationFromVec3(Translation),
                              MatTranslationFromVec3(Pivot),
                              MatRotationX(Rotation.X),
                              MatRotationY(Rotation.Y),
                              MatRotationZ(Rotation.Z),
                              MatScaling(Scale.X, Scale.Y, Scale.Z),
                              MatTranslation(-Pivot.X, -Pivot.Y, -Pivot.Z)};
    TMatrix4 m = parts[0];
    for (size_t i = 1; i < std::size(parts); ++i) {
        TMatrix4 product;
        MatMultiply(m, parts[i], product);
        m = product;
    }
    return m;
}

void TXFormModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    Dest.Clear();
    CopyMeshArrays(&Source, &Dest);
    const TMatrix4 m = BuildMatrix();
    // Normals go through the cofactor matrix of the 3x3 part, signed by its determinant:
    // the inverse transpose's direction without dividing by a tiny determinant, so that a
    // small but valid scale keeps its normals.
    const TVec3 c0{m[0], m[4], m[8]}, c1{m[1], m[5], m[9]}, c2{m[2], m[6], m[10]};
    const TVec3 k0 = Vec3Cross(c1, c2), k1 = Vec3Cross(c2, c0), k2 = Vec3Cross(c0, c1);
    const float det = Vec3Dot(c0, k0);
    const float sign = det > 0 ? 1.0f : (det < 0 ? -1.0f : 0.0f);
    for (TMeshVertex& v : Dest.Vertices) {
        v.Position = MatTransformPoint(v.Position, m);
        const TVec3& n = v.Normal;
        const TVec3 t =
            Vec3Add(Vec3Add(Vec3Scale(k0, n.X), Vec3Scale(k1, n.Y)), Vec3Scale(k2, n.Z));
        // Brought near unit size first: the cofactors of a tiny scale are tiny themselves.
        const float largest = std::max({std::fabs(t.X), std::fabs(t.Y), std::fabs(t.Z)});
        v.Normal = largest > 0 && std::isfinite(largest)
                       ? Vec3Normalize(Vec3Scale(t, sign / largest))
                       : TVec3{0, 0, 0};
    }
    if (Mirrors())
        for (TMeshFace& f : Dest.Faces)
            ReverseFaceWinding(f);
    Dest.RebuildEdges();
}

std::unique_ptr<TModifier> TXFormModifier::Clone() const
{
    auto copy = std::make_unique<TXFormModifier>(*this);
    FinishClone(*copy);
    return copy;
}

namespace {
constexpr const char* kXFormKeys[12] = {
    "TranslationX=", "TranslationY=", "TranslationZ=", "RotationX=", "RotationY=", "RotationZ=",
    "ScaleX=",       "ScaleY=",       "ScaleZ=",       "PivotX=",    "PivotY=",    "PivotZ="};

float* Component(TVec3* Vectors, size_t Key)
{
    TVec3& v = Vectors[Key / 3];
    return Key % 3 == 0 ? &v.X : (Key % 3 == 1 ? &v.Y : &v.Z);
}

constexpr std::string_view kXFormCaptions[12] = {
    "Translate X", "Translate Y", "Translate Z", "Rotate X", "Rotate Y", "Rotate Z",
    "Scale X",     "Scale Y",     "Scale Z",     "Pivot X",  "Pivot Y",  "Pivot Z"};
}  // namespace

void TXFormModifier::SaveParams(std::vector<std::string>& Lines) const
{
    SaveParamsFromTable(*GetParamTable(), *this, Lines);
}

void TXFormModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    LoadParamsFromTable(*GetParamTable(), *this, Lines, Index);
}

bool TXFormModifier::EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                                        int64_t& Edges) const
{
    return EstimateSameTopology(Mesh, Vertices, Faces, Edges);
}

TModifierApplyInfo TXFormModifier::ApplyWithInfo(const TModifierEvalContext&,
                                                 const TMeshData& Source, TMeshData& Dest)
{
    Apply(Source, Dest);
    return SetApplyInfo(Mirrors() ? 39 : 37);
}

namespace {
TVec3 FiniteVectorOrZero(const TVec3& V)
{
    return std::isfinite(V.X) && std::isfinite(V.Y) && std::isfinite(V.Z) ? V : TVec3{0, 0, 0};
}

float SafeScale(float S)
{
    if (!std::isfinite(S))
        return 1;
    if (S == 0)
        return 1e-6f;
    return std::fabs(S) < 1e-6f ? std::copysign(1e-6f, S) : S;
}
}  // namespace

void TXFormModifier::SetTranslation(const TVec3& Value)
{
    Translation = FiniteVectorOrZero(Value);
    Changed();
}

void TXFormModifier::SetRotation(const TVec3& Value)
{
    Rotation = FiniteVectorOrZero(Value);
    Changed();
}

void TXFormModifier::SetPivot(const TVec3& Value)
{
    Pivot = FiniteVectorOrZero(Value);
    Changed();
}

void TXFormModifier::SetScale(const TVec3& Value)
{
    Scale = {SafeScale(Value.X), SafeScale(Value.Y), SafeScale(Value.Z)};
    Changed();
}

// ---- subdivide ----

void SubdivideOnce(const TMeshData& Source, TMeshData& Dest)
{
    SubdivideFaces(Source, Dest);
    Dest.RebuildEdges();
}

void TSubdivideModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    Subdivide(Source, Dest);
    Dest.RebuildEdges();
}

void TSubdivideModifier::Subdivide(const TMeshData& Source, TMeshData& Dest) const
{
    Dest.Clear();
    if (Levels <= 0) {
        CopyMeshArrays(&Source, &Dest);
        return;
    }
    // Each pass reads the previous mesh's faces only, never its edge list.
    std::unique_ptr<TMeshData> current = Source.Clone();
    for (int32_t level = 0; level < Levels; ++level) {
        auto next = std::make_unique<TMeshData>();
        SubdivideFaces(*current, *next);
        current = std::move(next);
    }
    Dest.Vertices = std::move(current->Vertices);
    Dest.Faces = std::move(current->Faces);
}

std::unique_ptr<TModifier> TSubdivideModifier::Clone() const
{
    auto copy = std::make_unique<TSubdivideModifier>(*this);
    FinishClone(*copy);
    return copy;
}

void TSubdivideModifier::SaveParams(std::vector<std::string>& Lines) const
{
    SaveParamsFromTable(*GetParamTable(), *this, Lines);
}

void TSubdivideModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    LoadParamsFromTable(*GetParamTable(), *this, Lines, Index);
}

bool TSubdivideModifier::EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices,
                                            int64_t& Faces, int64_t& Edges) const
{
    // The first pass makes a midpoint for every edge of its table and splits the faces it
    // keeps, halving the edges they use; from then on every face is kept. Exact unless a
    // kept face meets one edge twice or shares two with another face (then fewer edges
    // and vertices: a bound).
    const TEdgeTable table(Mesh);
    int64_t v = static_cast<int64_t>(Mesh.Vertices.size());
    int64_t f = static_cast<int64_t>(Mesh.Faces.size());
    int64_t e = static_cast<int64_t>(table.Ends.size());
    if (Levels > 0) {
        int64_t t = 0, q = 0, used = 0;
        std::vector<bool> isUsed(table.Ends.size(), false);
        for (const TMeshFace& face : Mesh.Faces) {
            int32_t sides[4];
            if (!SideEdges(table, face, sides))
                continue;
            ++(face.Count == 4 ? q : t);
            for (int32_t k = 0; k < face.Count; ++k)
                if (!isUsed[sides[k]]) {
                    isUsed[sides[k]] = true;
                    ++used;
                }
        }
        v = v + e + q;
        f = 4 * (t + q);
        e = 2 * used + 3 * t + 4 * q;
        t = 4 * t;
        q = 4 * q;
        for (int32_t level = 1; level < Levels; ++level) {
            v = v + e + q;
            f = 4 * f;
            e = 2 * e + 3 * t + 4 * q;
            t = 4 * t;
            q = 4 * q;
        }
    }
    Vertices = ClampCountToInt(v);
    Faces = ClampCountToInt(f);
    Edges = ClampCountToInt(e);
    return true;
}

TModifierApplyInfo TSubdivideModifier::ApplyWithInfo(const TModifierEvalContext&,
                                                     const TMeshData& Source, TMeshData& Dest)
{
    // The edges flag makes the evaluator rebuild the final mesh's edges once, and no
    // modifier reads its source's edge list, so the largest output of the stack is not
    // sorted twice.
    Subdivide(Source, Dest);
    return SetApplyInfo(39);
}

void TSubdivideModifier::SetLevels(int32_t Value)
{
    ChangeInt(*this, Levels, std::clamp(Value, 0, 5));
}

// ---- shell ----

namespace {
// Appends Face with each corner mapped through Table (an index outside it becomes -1).
void AddShellFace(TMeshData& Dest, const TMeshFace& Face, const std::vector<int32_t>& Table,
                  bool Reverse)
{
    TMeshFace f = Face;
    for (int32_t k = 0; k < FaceCornerLimit(f); ++k)
        f.Indices[k] = ValidIndex(f.Indices[k], Table.size()) ? Table[f.Indices[k]] : -1;
    if (Reverse)
        ReverseFaceWinding(f);
    Dest.Faces.push_back(f);
}
}  // namespace

void TShellModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    Dest.Clear();
    TMeshData work;
    work.Vertices = Source.Vertices;
    work.Faces = Source.Faces;
    RecomputeVertexNormals(work);  // offset directions only

    float outer = Thickness * 0.5f, inner = -Thickness * 0.5f;
    if (Mode == 1) {
        outer = Thickness;
        inner = 0;
    } else if (Mode == 2) {
        outer = 0;
        inner = -Thickness;
    }

    const size_t count = Source.Vertices.size();
    std::vector<int32_t> outerIndex(count), innerIndex(count);
    Dest.Vertices.reserve(2 * count);
    for (size_t i = 0; i < count; ++i) {
        TVec3 n = work.Vertices[i].Normal;
        n = Vec3Length(n) < 1e-9f ? TVec3{0, 1, 0} : Vec3Normalize(n);
        TMeshVertex v = Source.Vertices[i];
        v.Position = Vec3Add(Source.Vertices[i].Position, Vec3Scale(n, outer));
        v.Normal = n;
        outerIndex[i] = static_cast<int32_t>(Dest.Vertices.size());
        Dest.Vertices.push_back(v);
        v.Position = Vec3Add(Source.Vertices[i].Position, Vec3Scale(n, inner));
        v.Normal = Vec3Scale(n, -1);
        innerIndex[i] = static_cast<int32_t>(Dest.Vertices.size());
        Dest.Vertices.push_back(v);
    }
    Dest.Faces.reserve(2 * Source.Faces.size());
    for (const TMeshFace& f : Source.Faces) {
        AddShellFace(Dest, f, outerIndex, false);
        AddShellFace(Dest, f, innerIndex, true);
    }

    TBoundaryEdgeArray boundary;
    if (CapOpenings && FindBoundaryEdges(Source, boundary))
        for (const TBoundaryEdge& b : boundary) {
            const TMeshFace& f = Source.Faces[b.FaceIndex];
            const TVec2 u = f.UVs[b.Corner];
            const TVec2 w = f.UVs[(b.Corner + 1) % f.Count];
            AddQuadFace(Dest, outerIndex[b.V0], innerIndex[b.V0], innerIndex[b.V1],
                        outerIndex[b.V1], u, u, w, w, b.TexId);
        }
    RecomputeVertexNormals(Dest);
    Dest.RebuildEdges();
}

std::unique_ptr<TModifier> TShellModifier::Clone() const
{
    auto copy = std::make_unique<TShellModifier>(*this);
    FinishClone(*copy);
    return copy;
}

void TShellModifier::SaveParams(std::vector<std::string>& Lines) const
{
    SaveParamsFromTable(*GetParamTable(), *this, Lines);
}

void TShellModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    LoadParamsFromTable(*GetParamTable(), *this, Lines, Index);
}

bool TShellModifier::EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                                        int64_t& Edges) const
{
    int64_t rim = 0;
    if (CapOpenings) {
        TBoundaryEdgeArray boundary;
        FindBoundaryEdges(Mesh, boundary);
        rim = static_cast<int64_t>(boundary.size());
    }
    Vertices = ClampCountToInt(2 * static_cast<int64_t>(Mesh.Vertices.size()));
    Faces = ClampCountToInt(2 * static_cast<int64_t>(Mesh.Faces.size()) + rim);
    Edges = -1;
    return true;
}

TModifierApplyInfo TShellModifier::ApplyWithInfo(const TModifierEvalContext&,
                                                 const TMeshData& Source, TMeshData& Dest)
{
    Apply(Source, Dest);
    return SetApplyInfo(39);
}

void TShellModifier::SetThickness(float Value)
{
    ChangeFloat(*this, Thickness, std::fabs(FiniteOrDefault(0.1f, Value)), 1e-6f);
}

void TShellModifier::SetMode(int32_t Value)
{
    ChangeInt(*this, Mode, std::clamp(Value, 0, 2));
}

void TShellModifier::SetCapOpenings(bool Value)
{
    ChangeBool(*this, CapOpenings, Value);
}

// ---- registration ----

namespace {
template <class T>
std::unique_ptr<TModifier> Make()
{
    return std::make_unique<T>();
}
}  // namespace

void RegisterModelingModifiers()
{
    RegisterModifier("mirror", "Mirror", "Deform", Make<TMirrorModifier>);
    RegisterModifier("xform", "XForm", "Deform", Make<TXFormModifier>);
    RegisterModifier("subdivide", "Subdivide", "Topology", Make<TSubdivideModifier>);
    RegisterModifier("shell", "Shell", "Topology", Make<TShellModifier>);
    RegisterModifier("slice", "Slice", "Topology", Make<TSliceModifier>);
    RegisterModifier("cap_holes", "Cap Holes", "Topology", Make<TCapHolesModifier>);
    RegisterModifier("normal", "Normal", "Topology", Make<TNormalModifier>);
    RegisterModifier("relax", "Relax", "Deform", Make<TRelaxModifier>);
    RegisterModifier("vertex_weld", "Vertex Weld", "Topology", Make<TVertexWeldModifier>);
}

// ---- parameter tables ----

const TModifierParamTable* TMirrorModifier::GetParamTable() const
{
    using M = TMirrorModifier;
    static const TModifierParamTable Table{{
        // A file axis outside 0..2 loads as 0 (the setter clamps instead).
        WithLoad<M>(WithFallback(ChoiceParam<M>(
                                     "Axis=", "Axis", 1, AxisChoiceItems(),
                                     [](const M& m) { return m.Axis; },
                                     [](M& m, int32_t v) { m.SetAxis(v); }),
                                 0),
                    [](M& m, double v) { m.Axis = (v >= 0 && v <= 2) ? int32_t(v) : 0; }),
        WithFallback(FloatParam<M>(
                         "Offset=", "Plane Offset", 2, [](const M& m) { return m.Offset; },
                         [](M& m, float v) { m.SetOffset(v); }),
                     0),
        WithFallback(BoolParam<M>(
                         "IncludeOriginal=", "Include Original", 3,
                         [](const M& m) { return m.IncludeOriginal; },
                         [](M& m, bool v) { m.SetIncludeOriginal(v); }),
                     1),
        WithFallback(BoolParam<M>(
                         "MergeSeam=", "Merge Seam", 4, [](const M& m) { return m.MergeSeam; },
                         [](M& m, bool v) { m.SetMergeSeam(v); }),
                     1),
        WithFallback(FloatParam<M>(
                         "MergeThreshold=", "Merge Threshold", 5,
                         [](const M& m) { return m.MergeThreshold; },
                         [](M& m, float v) { m.SetMergeThreshold(v); }),
                     0.0001f),
    }};
    return &Table;
}

const TModifierParamTable* TXFormModifier::GetParamTable() const
{
    using M = TXFormModifier;
    static const TModifierParamTable Table = [] {
        TModifierParamTable t;
        for (size_t k = 0; k < 12; ++k) {
            TModifierParam p;
            p.Key = kXFormKeys[k];
            p.Caption = kXFormCaptions[k];
            p.Kind = TParamKind::Float;
            p.Row = static_cast<int32_t>(k) + 1;
            p.FallbackIsCurrent = true;
            p.Get = [k](const TModifier& m) {
                const M& x = static_cast<const M&>(m);
                TVec3 values[4] = {x.Translation, x.Rotation, x.Scale, x.Pivot};
                return double(*Component(values, k));
            };
            // One component of the vector changes; the vector setter takes the whole.
            p.Set = [k](TModifier& m, double v) {
                M& x = static_cast<M&>(m);
                TVec3 values[4] = {x.Translation, x.Rotation, x.Scale, x.Pivot};
                *Component(values, k) = static_cast<float>(v);
                switch (k / 3) {
                case 0:
                    x.SetTranslation(values[0]);
                    break;
                case 1:
                    x.SetRotation(values[1]);
                    break;
                case 2:
                    x.SetScale(values[2]);
                    break;
                default:
                    x.SetPivot(values[3]);
                    break;
                }
            };
            // A file's components are gathered first; the vector setters run at the end.
            p.Load = [k](TModifier& m, double v) {
                M& x = static_cast<M&>(m);
                TVec3* vectors[4] = {&x.Translation, &x.Rotation, &x.Scale, &x.Pivot};
                TVec3& c = *vectors[k / 3];
                (k % 3 == 0 ? c.X : (k % 3 == 1 ? c.Y : c.Z)) = static_cast<float>(v);
            };
            t.Params.push_back(std::move(p));
        }
        t.FinishLoad = [](TModifier& m) {
            M& x = static_cast<M&>(m);
            x.SetTranslation(x.Translation);
            x.SetRotation(x.Rotation);
            x.SetScale(x.Scale);
            x.SetPivot(x.Pivot);
        };
        return t;
    }();
    return &Table;
}

const TModifierParamTable* TSubdivideModifier::GetParamTable() const
{
    using M = TSubdivideModifier;
    static const TModifierParamTable Table{{
        WithFallback(IntParam<M>(
                         "Levels=", "Levels", 1, [](const M& m) { return m.Levels; },
                         [](M& m, int32_t v) { m.SetLevels(v); }),
                     1),
    }};
    return &Table;
}

const TModifierParamTable* TShellModifier::GetParamTable() const
{
    using M = TShellModifier;
    static const TModifierParamTable Table{{
        WithFallback(FloatParam<M>(
                         "Thickness=", "Thickness", 1, [](const M& m) { return m.Thickness; },
                         [](M& m, float v) { m.SetThickness(v); }),
                     0.1f),
        // A file mode outside 0..2 loads as 0 (the setter clamps instead).
        WithLoad<M>(WithFallback(ChoiceParam<M>(
                                     "Mode=", "Mode", 2, {"Centered", "Outward", "Inward"},
                                     [](const M& m) { return m.Mode; },
                                     [](M& m, int32_t v) { m.SetMode(v); }),
                                 0),
                    [](M& m, double v) { m.Mode = (v >= 0 && v <= 2) ? int32_t(v) : 0; }),
        WithFallback(BoolParam<M>(
                         "CapOpenings=", "Cap Openings", 3,
                         [](const M& m) { return m.CapOpenings; },
                         [](M& m, bool v) { m.SetCapOpenings(v); }),
                     1),
    }};
    return &Table;
}
