#include "modifiers/uModifierWave.h"

#include "modifiers/uModifierAxisFrame.h"
#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierRegistry.h"
#include "scene/uMesh.h"

#include <cmath>
#include <numbers>

float WaveWrapDegrees(float Degrees)
{
    return WrapDegrees180(Degrees);
}

void TWaveModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    CopyForDeform(Source, Dest);
    if (Dest.Vertices.empty())
        return;
    if (std::fabs(Amplitude) >= 1e-6f) {
        const TVec3 C = BoundingBoxCenter(Dest.Vertices);
        TVec3 A, D, E;
        AxisDirectionFrame(Axis, DirectionDeg, A, D, E);
        const float k = 2 * static_cast<float>(std::numbers::pi) / Wavelength;
        const float phi = PhaseDeg * static_cast<float>(std::numbers::pi / 180.0);
        const float slope = k * Amplitude;
        const bool decays = Decay > 0;
        TSinCosMemo trig;
        float lastA = 0, lastAtt = 1;
        bool haveAtt = false;
        for (TMeshVertex& v : Dest.Vertices) {
            const float a = DotV(SubV(v.Position, C), A);
            if (decays && (!haveAtt || !(a == lastA))) {
                lastA = a;
                lastAtt = std::exp(-Decay * std::fabs(a));
                haveAtt = true;
            }
            const float att = decays ? lastAtt : 1.0f;
            const float angle = k * a + phi;
            float sinAngle, cosAngle;
            trig.Get(angle, sinAngle, cosAngle);
            const float s = sinAngle * Amplitude * att;
            // The slope leaves out the attenuation's own derivative.
            const float g = cosAngle * slope * att;
            v.Position = AddV(v.Position, ScaleV(D, s));
            const float nA = DotV(v.Normal, A), nD = DotV(v.Normal, D), nE = DotV(v.Normal, E);
            v.Normal = NormalizeV(AddV(ScaleV(A, nA - g * nD), AddV(ScaleV(D, nD), ScaleV(E, nE))));
        }
    }
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
