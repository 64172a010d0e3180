#include "modifiers/uModifierRipple.h"

#include "base/uMesh.h"
#include "modifiers/uModifierAxisFrame.h"
#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifierVertexPass.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

void TRippleModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    ApplyVertexDeform(*this, Source, Dest);
}

void TRippleModifier::DeformVertices(std::span<const TMeshVertex> In, std::span<TMeshVertex> Out)
{
    if (In.empty() || !(std::fabs(Amplitude) >= 1e-6f)) {
        TModifier::DeformVertices(In, Out);
        return;
    }
    const float k = 2 * static_cast<float>(std::numbers::pi) / Wavelength;
    const float phi = PhaseDeg * static_cast<float>(std::numbers::pi / 180.0);
    const float amplitude = Amplitude, slope = k * Amplitude;
    const float centerU = CenterU, centerV = CenterV;
    // Without decay the factor is exactly 1 (e^0).
    const float decay = Decay > 0 ? Decay : 0.0f;
    // N is the axis; the plane's directions are R = Y for an X axis and X otherwise, and
    // T = N x R, which is +Z, -Z or +Y for an X, Y or Z axis.
    TVec3 lo, hi;
    PositionBounds(In, lo, hi);
    WithAxis(ClampInt(Axis, 0, 2), [&](auto AxisConstant) {
        constexpr int32_t n = AxisConstant;
        constexpr int32_t r = n == 0 ? 1 : 0, t = n == 2 ? 1 : 2;
        constexpr float tSign = n == 1 ? -1.0f : 1.0f;
        // The farthest corner of the box from the centre bounds the radius.
        const float uMax =
            std::max(std::fabs(Component(lo, r) - centerU), std::fabs(Component(hi, r) - centerU));
        const float wMax = std::max(std::fabs(tSign * Component(lo, t) - centerV),
                                    std::fabs(tSign * Component(hi, t) - centerV));
        const float maxAngle =
            (std::fabs(k) * std::sqrt(uMax * uMax + wMax * wMax) + std::fabs(phi)) * 1.01f;
        WithSinCosFor(maxAngle, [&](auto Trig) {
            ForEachVertexBlock(In, Out, [&](TVertexBlock& block, int32_t count, size_t) {
                const TBlockLanes L(block);
                for (int32_t i = 0; i < count; ++i) {
                    const float u = L.P[r][i] - centerU, w = tSign * L.P[t][i] - centerV;
                    const float rho = std::sqrt(u * u + w * w);
                    const float att = FastExpNonPositive(-decay * rho);
                    float sinAngle, cosAngle;
                    Trig.Get(k * rho + phi, sinAngle, cosAngle);
                    const float s = sinAngle * amplitude * att;
                    const float g = cosAngle * slope * att;
                    // The normal is split over N, the radial direction dir = (u R + w T) / rho
                    // and N x dir = (u T - w R) / rho; only the first two take part in the
                    // slope.
                    const float invRho = 1 / rho;
                    const float dirR = u * invRho, dirT = w * invRho;
                    const float nN = L.N[n][i], nR = L.N[r][i], nT = tSign * L.N[t][i];
                    const float nDir = nR * dirR + nT * dirT, nAcross = nT * dirR - nR * dirT;
                    const float radial = nDir - g * nN;
                    const TVec3 nn =
                        NormalizeV(Placed<n, r, t>(nN, dirR * radial - dirT * nAcross,
                                                   tSign * (dirT * radial + dirR * nAcross)));
                    // The centre itself has no radial direction and stays.
                    const bool moves = !(rho < 1e-6f);
                    StoreNormal(block, i, SelectVec3(moves, nn, L.Normal(i)));
                    L.P[n][i] += SelectFloat(moves, s, 0.0f);
                }
            });
        });
    });
}

std::unique_ptr<TModifier> TRippleModifier::Clone() const
{
    auto Copy = std::make_unique<TRippleModifier>(*this);
    FinishClone(*Copy);
    return Copy;
}

void TRippleModifier::SaveParams(std::vector<std::string>& Lines) const
{
    SaveWaveShapeParams(Lines);
    Lines.push_back(KeyFloatLine("CenterU=", CenterU));
    Lines.push_back(KeyFloatLine("CenterV=", CenterV));
}

void TRippleModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    constexpr float kAny = std::numeric_limits<float>::max();
    ForEachParamLine(Lines, Index, [this](const std::string& Line) {
        if (LoadWaveShapeParam(Line))
            return;
        if (StartsWithKey(Line, "CenterU="))
            LoadClampedFloat(Line, "CenterU=", CenterU, 0, -kAny, kAny);
        else if (StartsWithKey(Line, "CenterV="))
            LoadClampedFloat(Line, "CenterV=", CenterV, 0, -kAny, kAny);
    });
}

void TRippleModifier::SetCenterU(float Value)
{
    constexpr float kAny = std::numeric_limits<float>::max();
    SetClampedFloat(*this, CenterU, Value, 0, -kAny, kAny, 1e-5f);
}

void TRippleModifier::SetCenterV(float Value)
{
    constexpr float kAny = std::numeric_limits<float>::max();
    SetClampedFloat(*this, CenterV, Value, 0, -kAny, kAny, 1e-5f);
}

void RegisterRippleModifier()
{
    RegisterModifier("ripple", "Ripple", "Deform", []() -> std::unique_ptr<TModifier> {
        return std::make_unique<TRippleModifier>();
    });
}
