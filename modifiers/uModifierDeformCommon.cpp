#include "modifiers/uModifierDeformCommon.h"

#include "base/uMesh.h"
#include "modifiers/uModifierVertexPass.h"
#include "modifiers/uModifiers.h"

#include <algorithm>
#include <cmath>

float WrapDegrees180(float Degrees)
{
    // fmod is exact, so the whole turns are removed in one step whatever the magnitude.
    double a = Degrees;
    if (a > 180.0) {
        a = std::fmod(a, 360.0);  // 0 .. 360
        if (a > 180.0)
            a -= 360.0;
    } else if (a < -180.0) {
        a = std::fmod(a, 360.0);  // -360 .. 0
        if (a < -180.0)
            a += 360.0;
    }
    return std::clamp(static_cast<float>(a), -180.0f, 180.0f) + 0.0f;
}

bool SameWithin(float A, float B, float Epsilon)
{
    return std::fabs(A - B) <= Epsilon;
}

float FiniteOr(float Value, float Replacement)
{
    return std::isfinite(Value) ? Value : Replacement;
}

float ClampFloat(float Value, float Low, float High)
{
    return std::clamp(Value, Low, High);
}

int32_t ClampInt(int32_t Value, int32_t Low, int32_t High)
{
    return std::clamp(Value, Low, High);
}

void CopyForDeform(const TMeshData& Source, TMeshData& Dest)
{
    Dest.Clear();
    Dest.Vertices = Source.Vertices;
    Dest.Faces = Source.Faces;
    // The edges follow from the faces alone, so a deform that keeps them keeps the source's
    // list. An empty list beside faces may be one that was never built: rebuilding it costs
    // nothing when it really is empty and mends it when it was left for later.
    if (Source.Edges.empty() && !Source.Faces.empty())
        Dest.RebuildEdges();
    else
        Dest.Edges = Source.Edges;
}

void ApplyVertexDeform(TModifier& Modifier, const TMeshData& Source, TMeshData& Dest)
{
    CopyForDeform(Source, Dest);
    Modifier.DeformVertices(Dest.Vertices, Dest.Vertices);
}

void MoveAlongNormals(std::span<const TMeshVertex> In, std::span<TMeshVertex> Out, float Amount)
{
    if (Amount == 0) {
        if (In.data() != Out.data())
            std::copy(In.begin(), In.begin() + std::min(In.size(), Out.size()), Out.begin());
        return;
    }
    ForEachVertexBlock(In, Out, [Amount](TVertexBlock& b, int32_t n, size_t) {
        for (int32_t i = 0; i < n; ++i) {
            b.PX[i] += b.NX[i] * Amount;
            b.PY[i] += b.NY[i] * Amount;
            b.PZ[i] += b.NZ[i] * Amount;
        }
    });
}

bool EstimateSameTopology(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces, int64_t& Edges)
{
    Vertices = static_cast<int64_t>(Mesh.Vertices.size());
    Faces = static_cast<int64_t>(Mesh.Faces.size());
    Edges = static_cast<int64_t>(Mesh.Edges.size());
    return true;
}

bool HeightRange(std::span<const TMeshVertex> Vertices, float& MinY, float& MaxY)
{
    return HeightRange(Vertices, nullptr, MinY, MaxY);
}

bool HeightRange(std::span<const TMeshVertex> Vertices, const TPositionSummary* Known, float& MinY,
                 float& MaxY)
{
    TVec3 lo, hi;
    if (!PositionBounds(Vertices, Known, lo, hi))
        return false;
    MinY = lo.Y;
    MaxY = hi.Y;
    return true;
}

void PassThrough(std::span<const TMeshVertex> In, const TPositionSummary* InSummary,
                 std::span<TMeshVertex> Out, TPositionSummary* OutSummary)
{
    if (In.data() != Out.data())
        std::copy(In.begin(), In.begin() + std::min(In.size(), Out.size()), Out.begin());
    if (OutSummary)
        *OutSummary = InSummary && In.size() == Out.size() ? *InSummary : SummarisePositions(Out);
}
void SetClampedFloat(TModifier& Modifier, float& Field, float Value, float Replacement, float Low,
                     float High, float Epsilon)
{
    Value = std::clamp(FiniteOr(Value, Replacement), Low, High);
    if (SameWithin(Value, Field, Epsilon))
        return;
    Field = Value;
    Modifier.Changed();
}

void LoadClampedFloat(const std::string& Line, const char* Key, float& Field, float Replacement,
                      float Low, float High)
{
    Field = std::clamp(FiniteOr(KeyFloatValue(Line, Key, Field), Replacement), Low, High);
}

void SetExactFloat(TModifier& Modifier, float& Field, float Value)
{
    if (!std::isfinite(Value) || SameExactly(Value, Field))
        return;
    Field = Value;
    Modifier.Changed();
}

void SetExactInt(TModifier& Modifier, int32_t& Field, int32_t Value)
{
    if (Value == Field)
        return;
    Field = Value;
    Modifier.Changed();
}

void SetExactBool(TModifier& Modifier, bool& Field, bool Value)
{
    if (Value == Field)
        return;
    Field = Value;
    Modifier.Changed();
}
