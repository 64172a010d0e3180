#pragma once
// Vector helpers and constants shared by the contact lighting's sources. The operations
// are those of the maths module in the same order, so that the values match it bit for
// bit, but inline on the hot paths.
#include <cmath>

#include "base/uMath.h"

namespace ContactVector {

constexpr float kRayOffset = 0.012f;  // rays start this far out along the normal
constexpr float kMinHitDistance = 0.0005f;
constexpr float kMinDeterminant = 1e-7f;

inline TVec3 Sub(const TVec3& a, const TVec3& b)
{
    return {a.X - b.X, a.Y - b.Y, a.Z - b.Z};
}
inline TVec3 Add(const TVec3& a, const TVec3& b)
{
    return {a.X + b.X, a.Y + b.Y, a.Z + b.Z};
}
inline TVec3 Scale(const TVec3& a, float f)
{
    return {a.X * f, a.Y * f, a.Z * f};
}
inline float Dot(const TVec3& a, const TVec3& b)
{
    return a.X * b.X + a.Y * b.Y + a.Z * b.Z;
}
inline TVec3 Cross(const TVec3& a, const TVec3& b)
{
    return {a.Y * b.Z - b.Y * a.Z, b.X * a.Z - b.Z * a.X, a.X * b.Y - b.X * a.Y};
}
inline float Length(const TVec3& a)
{
    return std::sqrt(Dot(a, a));
}
// Zero when the length is at most 1e-9 or not a number.
inline TVec3 Normalized(const TVec3& a)
{
    const float len = Length(a);
    if (!(len > 1e-9f))
        return {0, 0, 0};
    return Scale(a, 1.0f / len);
}
inline bool IsFinite(const TVec3& v)
{
    return std::isfinite(v.X) && std::isfinite(v.Y) && std::isfinite(v.Z);
}
inline float Clamp01(float v)
{
    return v < 0 ? 0 : (v > 1 ? 1 : v);
}
inline float Component(const TVec3& v, int Axis)
{
    return Axis == 0 ? v.X : (Axis == 1 ? v.Y : v.Z);
}

}  // namespace ContactVector
