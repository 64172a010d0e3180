#include "modifiers/uModifierRipple.h"

#include "modifiers/uModifierAxisFrame.h"
#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierRegistry.h"
#include "scene/uMesh.h"

#include <cmath>
#include <limits>
#include <numbers>

void TRippleModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    CopyForDeform(Source, Dest);
    if (Dest.Vertices.empty())
        return;
    if (std::fabs(Amplitude) >= 1e-6f) {
        const int32_t axis = ClampInt(Axis, 0, 2);
        const TVec3 N = axis == 0 ? Vec3(1, 0, 0) : axis == 1 ? Vec3(0, 1, 0) : Vec3(0, 0, 1);
        const TVec3 R = std::fabs(N.X) > 0.5f ? Vec3(0, 1, 0) : Vec3(1, 0, 0);
        const TVec3 T = Vec3Cross(N, R);
        const float k = 2 * static_cast<float>(std::numbers::pi) / Wavelength;
        const float phi = PhaseDeg * static_cast<float>(std::numbers::pi / 180.0);
        const float slope = k * Amplitude;
        const bool decays = Decay > 0;
        for (TMeshVertex& v : Dest.Vertices) {
            const TVec3 p = v.Position;
            const TVec3 q = SubV(p, ScaleV(N, DotV(p, N)));
            const float u = DotV(q, R) - CenterU, w = DotV(q, T) - CenterV;
            const float rho = std::sqrt(u * u + w * w);
            if (rho < 1e-6f)
                continue;
            const float att = decays ? std::exp(-Decay * rho) : 1.0f;
            const float angle = k * rho + phi;
            const float sinAngle = std::sin(angle), cosAngle = std::cos(angle);
            const float s = sinAngle * Amplitude * att;
            const float g = cosAngle * slope * att;
            v.Position = AddV(p, ScaleV(N, s));
            // The normal is split over N, the radial direction and the in-plane direction
            // across it; only the first two take part in the slope.
            const TVec3 dir = AddV(ScaleV(R, u / rho), ScaleV(T, w / rho));
            // N x dir: dir lies in the plane, so this is dir turned a quarter about N.
            const TVec3 across = {N.Y * dir.Z - dir.Y * N.Z, dir.X * N.Z - dir.Z * N.X,
                                  N.X * dir.Y - dir.X * N.Y};
            const float nN = DotV(v.Normal, N), nDir = DotV(v.Normal, dir),
                        nAcross = DotV(v.Normal, across);
            v.Normal = NormalizeV(
                AddV(ScaleV(N, nN), AddV(ScaleV(dir, nDir - g * nN), ScaleV(across, nAcross))));
        }
    }
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
