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
            const TVec3 q = Vec3Sub(p, Vec3Scale(N, Vec3Dot(p, N)));
            const float u = Vec3Dot(q, R) - CenterU, w = Vec3Dot(q, T) - CenterV;
            const float rho = std::sqrt(u * u + w * w);
            if (rho < 1e-6f)
                continue;
            const float att = decays ? std::exp(-Decay * rho) : 1.0f;
            const float angle = k * rho + phi;
            const float s = std::sin(angle) * Amplitude * att;
            const float g = std::cos(angle) * slope * att;
            v.Position = Vec3Add(p, Vec3Scale(N, s));
            // The normal is split over N, the radial direction and the in-plane direction
            // across it; only the first two take part in the slope.
            const TVec3 dir = Vec3Add(Vec3Scale(R, u / rho), Vec3Scale(T, w / rho));
            const TVec3 across = Vec3Cross(N, dir);
            const float nN = Vec3Dot(v.Normal, N), nDir = Vec3Dot(v.Normal, dir),
                        nAcross = Vec3Dot(v.Normal, across);
            v.Normal = Vec3Normalize(Vec3Add(Vec3Scale(N, nN),
                                             Vec3Add(Vec3Scale(dir, nDir - g * nN),
                                                     Vec3Scale(across, nAcross))));
        }
    }
    Dest.RebuildEdges();
}

std::unique_ptr<TModifier> TRippleModifier::Clone() const
{
    auto Copy = std::make_unique<TRippleModifier>(*this);
    FinishClone(*Copy);
    return Copy;
}

void TRippleModifier::SaveParams(std::vector<std::string>& Lines) const
{
    Lines.push_back(KeyFloatLine("Amplitude=", Amplitude));
    Lines.push_back(KeyFloatLine("Wavelength=", Wavelength));
    Lines.push_back(KeyFloatLine("PhaseDeg=", PhaseDeg));
    Lines.push_back(KeyFloatLine("Decay=", Decay));
    Lines.push_back(KeyIntLine("Axis=", Axis));
    Lines.push_back(KeyFloatLine("CenterU=", CenterU));
    Lines.push_back(KeyFloatLine("CenterV=", CenterV));
}

void TRippleModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    constexpr float kAny = std::numeric_limits<float>::max();
    ForEachParamLine(Lines, Index, [this](const std::string& Line) {
        if (StartsWithKey(Line, "Amplitude="))
            LoadClampedFloat(Line, "Amplitude=", Amplitude, 0, -100, 100);
        else if (StartsWithKey(Line, "Wavelength="))
            LoadClampedFloat(Line, "Wavelength=", Wavelength, 0.0001f, 0.0001f, 10000);
        else if (StartsWithKey(Line, "PhaseDeg="))
            PhaseDeg = WrapDegrees180(FiniteOr(KeyFloatValue(Line, "PhaseDeg=", PhaseDeg), 0));
        else if (StartsWithKey(Line, "Decay="))
            LoadClampedFloat(Line, "Decay=", Decay, 0, 0, 10);
        else if (StartsWithKey(Line, "Axis="))
            Axis = ClampInt(KeyIntValue(Line, "Axis=", 1), 0, 2);
        else if (StartsWithKey(Line, "CenterU="))
            LoadClampedFloat(Line, "CenterU=", CenterU, 0, -kAny, kAny);
        else if (StartsWithKey(Line, "CenterV="))
            LoadClampedFloat(Line, "CenterV=", CenterV, 0, -kAny, kAny);
    });
}

bool TRippleModifier::EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices,
                                         int64_t& Faces, int64_t& Edges) const
{
    return EstimateSameTopology(Mesh, Vertices, Faces, Edges);
}

void TRippleModifier::SetAmplitude(float Value)
{
    SetClampedFloat(*this, Amplitude, Value, 0, -100, 100, 1e-5f);
}

void TRippleModifier::SetWavelength(float Value)
{
    SetClampedFloat(*this, Wavelength, Value, 0.0001f, 0.0001f, 10000, 1e-5f);
}

void TRippleModifier::SetPhaseDeg(float Value)
{
    SetClampedFloat(*this, PhaseDeg, WrapDegrees180(FiniteOr(Value, 0)), 0, -180, 180, 1e-5f);
}

void TRippleModifier::SetDecay(float Value)
{
    SetClampedFloat(*this, Decay, Value, 0, 0, 10, 1e-5f);
}

void TRippleModifier::SetAxis(int32_t Value)
{
    if (Value < 0 || Value > 2)
        Value = 1;
    if (Value == Axis)
        return;
    Axis = Value;
    Changed();
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
