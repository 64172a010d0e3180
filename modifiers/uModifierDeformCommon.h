#pragma once
// Small pieces shared by the deform, UV and array modifiers: the bounded angle wrap, the
// tolerant and exact change tests of the setters, replacement of non-finite values, the
// start of every topology-keeping Apply and its size estimate.
#include "base/uMath.h"
#include "modifiers/uModifierFastMath.h"

#include <cmath>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

class TMeshData;
class TModifier;
struct TMeshVertex;
struct TPositionSummary;

// Reduces by whole turns into -180..180: above 180 down to at most 180, below -180 up to
// at least -180 (180 and -180 stay, 190 gives -170, 540 gives 180). Bounded time for any
// finite angle; callers replace NaN and infinities first.
float WrapDegrees180(float Degrees);

// Equal when the absolute difference is at most Epsilon (a NaN is never equal).
bool SameWithin(float A, float B, float Epsilon);
// Exact test where a NaN always counts as a change.
inline bool SameExactly(float A, float B)
{
    return A == B;
}
// Value when finite, else Replacement.
float FiniteOr(float Value, float Replacement);
float ClampFloat(float Value, float Low, float High);
int32_t ClampInt(int32_t Value, int32_t Low, int32_t High);

// Lowest and highest Y over the vertices, measured from the first vertex; False for a
// mesh without vertices.
bool HeightRange(std::span<const TMeshVertex> Vertices, float& MinY, float& MaxY);
// The same, taken from Known when it holds the bounds (Known may be null).
bool HeightRange(std::span<const TMeshVertex> Vertices, const TPositionSummary* Known, float& MinY,
                 float& MaxY);
// Out = In, as the base DeformVertices does, and OutSummary (when given) = In's summary.
void PassThrough(std::span<const TMeshVertex> In, const TPositionSummary* InSummary,
                 std::span<TMeshVertex> Out, TPositionSummary* OutSummary);

// Clears Dest and copies Source's vertices, faces and edges: the start of every Apply that
// keeps the faces' corner pairs, whose edge list is then already the rebuilt one. Source's
// edges must be current (an empty list beside faces is rebuilt).
void CopyForDeform(const TMeshData& Source, TMeshData& Dest);
// Apply of a modifier that KeepsTopology: CopyForDeform, then its DeformVertices over
// Dest's vertices in place.
void ApplyVertexDeform(TModifier& Modifier, const TMeshData& Source, TMeshData& Dest);
// Out = In with every position moved by Amount times its stored normal (a copy when
// Amount is 0).
void MoveAlongNormals(std::span<const TMeshVertex> In, std::span<TMeshVertex> Out, float Amount);
// The prediction of a modifier that keeps the topology: the source's own counts.
bool EstimateSameTopology(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces, int64_t& Edges);

// Runs Each over the parameter lines from Index on, advancing Index; a line equal to
// "ENDMOD" ends the block (Index then stands past it).
template <class TEach>
void ForEachParamLine(const std::vector<std::string>& Lines, int32_t& Index, TEach&& Each)
{
    while (Index >= 0 && Index < static_cast<int32_t>(Lines.size())) {
        const std::string& Line = Lines[static_cast<size_t>(Index++)];
        if (Line == "ENDMOD")
            break;
        Each(Line);
    }
}

// Setter steps of a float parameter with a range and a tolerance: non-finite becomes
// Replacement, then the clamp, then no change within Epsilon; otherwise stores and calls
// Changed on Modifier.
void SetClampedFloat(TModifier& Modifier, float& Field, float Value, float Replacement, float Low,
                     float High, float Epsilon);
// The loader's version: the line's value (Field as fallback), non-finite to Replacement,
// clamped, stored without Changed.
void LoadClampedFloat(const std::string& Line, const char* Key, float& Field, float Replacement,
                      float Low, float High);

// Exact-change setters: store and call Changed on Modifier only when the value differs.
// SetExactFloat refuses a NaN or infinite value (nothing changes).
void SetExactFloat(TModifier& Modifier, float& Field, float Value);
void SetExactInt(TModifier& Modifier, int32_t& Field, int32_t Value);
void SetExactBool(TModifier& Modifier, bool& Field, bool Value);

// ---- inline arithmetic for the per-vertex passes ----
// The same operations as the uMath routines (so the same results), but visible to the
// compiler inside the hot loops.

inline TVec3 AddV(const TVec3& a, const TVec3& b)
{
    return {a.X + b.X, a.Y + b.Y, a.Z + b.Z};
}
inline TVec3 SubV(const TVec3& a, const TVec3& b)
{
    return {a.X - b.X, a.Y - b.Y, a.Z - b.Z};
}
inline TVec3 ScaleV(const TVec3& a, float s)
{
    return {a.X * s, a.Y * s, a.Z * s};
}
inline float DotV(const TVec3& a, const TVec3& b)
{
    return a.X * b.X + a.Y * b.Y + a.Z * b.Z;
}
// As Vec3Normalize: the zero vector when the length is at most 1e-9 or not a number.
// The zero is chosen with a select, not a branch, so that vertex loops using it vectorise.
inline TVec3 NormalizeV(const TVec3& a)
{
    const float len = std::sqrt(DotV(a, a));
    const float inv = 1.0f / len;
    const bool usable = len > 1e-9f;
    return SelectVec3(usable, ScaleV(a, inv), {0, 0, 0});
}
