#pragma once
// sin, cos and exp for the per-vertex loops of the deformers: inline polynomials with no
// library call and no branch, so that the loops using them vectorise, and selects made
// of bit masks for the same reason.
#include "base/uMath.h"

#include <cstdint>
#include <cstring>

namespace fastmath_detail {

// Adding and subtracting 1.5 * 2^52 rounds a double of magnitude below 2^51 to the
// nearest integer, which then also stands in the low bits of the sum's pattern.
constexpr double kRoundMagic = 6755399441055744.0;

// Unsigned, so that the garbage a NaN leaves there never overflows in later arithmetic.
inline uint32_t LowBits(double Value)
{
    uint64_t bits;
    std::memcpy(&bits, &Value, sizeof bits);
    return static_cast<uint32_t>(bits);
}

inline uint32_t FloatBits(float Value)
{
    uint32_t bits;
    std::memcpy(&bits, &Value, sizeof bits);
    return bits;
}

inline float BitsFloat(uint32_t Bits)
{
    float value;
    std::memcpy(&value, &Bits, sizeof value);
    return value;
}

// sin and cos of Angle = r + Quadrant * pi/2 with r in -pi/4..pi/4.
inline void SinCosOfReduced(float R, uint32_t Quadrant, float& Sin, float& Cos)
{
    // Only an angle too large for its reduction leaves -pi/4..pi/4 (or a NaN); it is
    // taken as 0 so that the results stay in -1..1. A mask, not a clamp: g++ splits a
    // clamp into a branch with constant results, and the loops no longer vectorise.
    const uint32_t inRange =
        0u - static_cast<uint32_t>((FloatBits(R) & 0x7fffffffu) <= FloatBits(0.8f));
    const float r = BitsFloat(FloatBits(R) & inRange);
    const float z = r * r;
    const float s = r + r * z * ((-1.9515295891e-4f * z + 8.3321608736e-3f) * z - 1.6666654611e-1f);
    const float c =
        1.0f - 0.5f * z +
        z * z * ((2.443315711809948e-5f * z - 1.388731625493765e-3f) * z + 4.166664568298827e-2f);
    // Quadrant 0: (s, c); 1: (c, -s); 2: (-s, -c); 3: (-c, s). Chosen with bit masks, as
    // a branch here would be mispredicted half the time.
    const uint32_t swap = 0u - (Quadrant & 1u);
    const uint32_t sBits = FloatBits(s), cBits = FloatBits(c);
    Sin = BitsFloat(((sBits & ~swap) | (cBits & swap)) ^ ((Quadrant & 2u) << 30));
    Cos = BitsFloat(((cBits & ~swap) | (sBits & swap)) ^ (((Quadrant + 1u) & 2u) << 30));
}

}  // namespace fastmath_detail

// Condition ? A : B without a branch (a vertex loop's conditions follow the data, so a
// branch would be mispredicted often, and selects keep the loop vectorisable).
inline float SelectFloat(bool Condition, float A, float B)
{
    using namespace fastmath_detail;
    const uint32_t mask = 0u - static_cast<uint32_t>(Condition);
    return BitsFloat((FloatBits(A) & mask) | (FloatBits(B) & ~mask));
}

inline TVec3 SelectVec3(bool Condition, const TVec3& A, const TVec3& B)
{
    return {SelectFloat(Condition, A.X, B.X), SelectFloat(Condition, A.Y, B.Y),
            SelectFloat(Condition, A.Z, B.Z)};
}

// sin and cos of a float angle within about one unit in the last place of std::sin and
// std::cos. The angle is reduced by quarter turns in double, exact enough for any angle
// below 10^9; beyond that a float angle has no meaningful phase left, and the results
// still lie in -1..1 (as they do for NaN and infinite angles).
inline void FastSinCos(float Angle, float& Sin, float& Cos)
{
    using namespace fastmath_detail;
    const double x = Angle;
    const double shifted = x * 0.63661977236758134308 + kRoundMagic;
    const double k = shifted - kRoundMagic;
    // pi/2 split so that k * the first part is exact for |k| below 2^20.
    double r = x - k * 1.57079632673412561417;
    r -= k * 6.07710050650619224932e-11;
    SinCosOfReduced(static_cast<float>(r), LowBits(shifted), Sin, Cos);
}

// Angles up to this size may use FastSinCosNear.
constexpr float kNearAngleLimit = 1.0e5f;

// FastSinCos for |Angle| <= kNearAngleLimit, reduced in float alone (cheaper): pi/2 is
// split into parts of eight significant bits, so k times each is exact for k below 2^16.
inline void FastSinCosNear(float Angle, float& Sin, float& Cos)
{
    using namespace fastmath_detail;
    const float shifted = Angle * 0.636619772f + 12582912.0f;  // 1.5 * 2^23: rounds
    const float k = shifted - 12582912.0f;
    float r = Angle - k * 1.5703125f;
    r -= k * 4.825592041015625e-4f;
    r -= k * 1.2665987014770508e-6f;
    r -= k * 9.920935184482005e-10f;
    SinCosOfReduced(r, FloatBits(shifted), Sin, Cos);
}

// The sine and cosine a kernel is to use, as a type: Body(TNearSinCos{}) when every
// angle it will meet lies within MaxAngle <= kNearAngleLimit, else Body(TAnySinCos{}).
struct TNearSinCos {
    static void Get(float Angle, float& Sin, float& Cos) { FastSinCosNear(Angle, Sin, Cos); }
};
struct TAnySinCos {
    static void Get(float Angle, float& Sin, float& Cos) { FastSinCos(Angle, Sin, Cos); }
};
template <class TBody>
void WithSinCosFor(float MaxAngle, TBody&& Body)
{
    if (MaxAngle <= kNearAngleLimit)
        Body(TNearSinCos{});
    else
        Body(TAnySinCos{});
}

// e^x for x <= 0, within a few units in the last place down to x = -87; below that (and
// for NaN) the result is e^-87, about 1.6e-38, rather than a denormal or 0.
inline float FastExpNonPositive(float X)
{
    using namespace fastmath_detail;
    // |x| limited with a mask on its bits (see FastSinCos for why not a clamp).
    const uint32_t magnitude = FloatBits(X) & 0x7fffffffu;
    const uint32_t within = 0u - static_cast<uint32_t>(magnitude <= FloatBits(87.0f));
    const float x = -BitsFloat((magnitude & within) | (FloatBits(87.0f) & ~within));
    const double shifted = static_cast<double>(x) * 1.44269504088896341 + kRoundMagic;
    const double k = shifted - kRoundMagic;
    const uint32_t n = LowBits(shifted);
    const float r = static_cast<float>(static_cast<double>(x) - k * 0.693147180559945309);
    // e^r for |r| <= ln(2)/2.
    const float p = 1.0f + r * (1.0f + r * (0.5f + r * (1.6666666666666667e-1f +
                                                        r * (4.1666666666666667e-2f +
                                                             r * (8.3333333333333333e-3f +
                                                                  r * 1.3888888888888889e-3f)))));
    return p * BitsFloat((n + 127u) << 23);
}
