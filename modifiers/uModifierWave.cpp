#include "modifiers/uModifierWave.h"

#include "base/uMesh.h"
#include "modifiers/uModifierAxisFrame.h"
#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifierVertexPass.h"

#include <algorithm>
#include <cmath>
#include <numbers>

float WaveWrapDegrees(float Degrees)
{
    return WrapDegrees180(Degrees);
}

void TWaveModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    ApplyVertexDeform(*this, Source, Dest);
}

void TWaveModifier::DeformVertices(std::span<const TMeshVertex> In, std::span<TMeshVertex> Out)
{
    if (In.empty() || !(std::fabs(Amplitude) >= 1e-6f)) {
        TModifier::DeformVertices(In, Out);
        return;
    }
    TVec3 lo, hi;
    PositionBounds(In, lo, hi);
    const TVec3 C = Vec3Scale(Vec3Add(lo, hi), 0.5f);
    TVec3 A, D, E;
    AxisDirectionFrame(Axis, DirectionDeg, A, D, E);
    const float k = 2 * static_cast<float>(std::numbers::pi) / Wavelength;
    const float phi = PhaseDeg * static_cast<float>(std::numbers::pi / 180.0);
    const float amplitude = Amplitude, slope = k * Amplitude;
    // Without decay the factor is exactly 1 (e^0).
    const float decay = Decay > 0 ? Decay : 0.0f;
    // The axis is X, Y or Z and D, E lie across it: coordinates are components and
    // two-term sums.
    // Along the axis a vertex lies within half the extent of the centre.
    const float halfExtent =
        (Component(hi, std::clamp(Axis, 0, 2)) - Component(lo, std::clamp(Axis, 0, 2))) * 0.5f;
    const float maxAngle = (std::fabs(k) * halfExtent + std::fabs(phi)) * 1.01f;
    WithSinCosFor(maxAngle, [&](auto Trig) {
        WithAxis(Axis, [&](auto AxisConstant) {
            constexpr int32_t a = AxisConstant, u = AcrossFirst(a), v = AcrossSecond(a);
            const float cA = Component(C, a);
            const float dU = Component(D, u), dV = Component(D, v);
            const float eU = Component(E, u), eV = Component(E, v);
            ForEachVertexBlock(In, Out, [&](TVertexBlock& block, int32_t n, size_t) {
                const TBlockLanes L(block);
                for (int32_t i = 0; i < n; ++i) {
                    const float along = L.P[a][i] - cA;
                    const float att = FastExpNonPositive(-decay * std::fabs(along));
                    float sinAngle, cosAngle;
                    Trig.Get(k * along + phi, sinAngle, cosAngle);
                    const float s = sinAngle * amplitude * att;
                    // The slope leaves out the attenuation's own derivative.
                    const float g = cosAngle * slope * att;
                    L.P[u][i] += dU * s;
                    L.P[v][i] += dV * s;
                    const float nA = L.N[a][i], nu = L.N[u][i], nw = L.N[v][i];
                    const float nD = nu * dU + nw * dV, nE = nu * eU + nw * eV;
                    StoreNormal(block, i,
                                NormalizeV(Placed<a, u, v>(nA - g * nD, dU * nD + eU * nE,
                                                           dV * nD + eV * nE)));
                }
            });
        });
    });
}

std::unique_ptr<TModifier> TWaveModifier::Clone() const
{
    auto Copy = std::make_unique<TWaveModifier>(*this);
    FinishClone(*Copy);
    return Copy;
}

void TWaveModifier::SaveParams(std::vector<std::string>& Lines) const
{
    SaveWaveShapeParams(Lines);
    Lines.push_back(KeyFloatLine("DirectionDeg=", DirectionDeg));
}

void TWaveModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    ForEachParamLine(Lines, Index, [this](const std::string& Line) {
        if (LoadWaveShapeParam(Line))
            return;
        if (StartsWithKey(Line, "DirectionDeg="))
            DirectionDeg =
                WrapDegrees180(FiniteOr(KeyFloatValue(Line, "DirectionDeg=", DirectionDeg), 0));
    });
}

void TWaveModifier::SetDirectionDeg(float Value)
{
    SetClampedFloat(*this, DirectionDeg, WrapDegrees180(FiniteOr(Value, 0)), 0, -180, 180, 1e-5f);
}

void RegisterWaveModifier()
{
    RegisterModifier("wave", "Wave", "Deform", []() -> std::unique_ptr<TModifier> {
        return std::make_unique<TWaveModifier>();
    });
}
