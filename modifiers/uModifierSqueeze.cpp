#include "modifiers/uModifierSqueeze.h"

#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierRegistry.h"
#include "scene/uMesh.h"

#include <cmath>

void TSqueezeModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    CopyForDeform(Source, Dest);
    if (Dest.Vertices.empty())
        return;
    TAxisFrameRequest request = FrameRequest();
    request.UseDirection = false;
    request.UpperFromLower = true;
    TAxisFrame frame;
    const bool active = std::fabs(AxialAmount) >= 1e-6f || std::fabs(RadialAmount) >= 1e-6f;
    if (active && MeasureAxisFrame(Dest.Vertices, request, frame)) {
        const float mid = (frame.Lo + frame.Hi) * 0.5f, half = (frame.Hi - frame.Lo) * 0.5f;
        float a = 1 - AxialAmount;
        if (a < 0.05f)
            a = 0.05f;
        const TVec3 C = frame.Center, A = frame.A, U = frame.D, V = frame.E;
        for (TMeshVertex& v : Dest.Vertices) {
            const TVec3 rel = SubV(v.Position, C);
            const float t = DotV(rel, A);
            const float q = (t - mid) / half;
            if (q < -1 || q > 1)
                continue;
            const float u = DotV(rel, U), w = DotV(rel, V);
            const float g = 1 - q * q;
            float c = 1 - g * RadialAmount;
            if (c < 0.05f)
                c = 0.05f;
            const float t2 = a * q * half + mid;
            v.Position = AddV(C, AddV(ScaleV(A, t2), AddV(ScaleV(U, c * u), ScaleV(V, c * w))));
            const float nA = DotV(v.Normal, A), nU = DotV(v.Normal, U), nV = DotV(v.Normal, V);
            v.Normal =
                NormalizeV(AddV(ScaleV(A, nA / a), AddV(ScaleV(U, nU / c), ScaleV(V, nV / c))));
        }
    }
}

std::unique_ptr<TModifier> TSqueezeModifier::Clone() const
{
    auto Copy = std::make_unique<TSqueezeModifier>(*this);
    FinishClone(*Copy);
    return Copy;
}

void TSqueezeModifier::SaveParams(std::vector<std::string>& Lines) const
{
    SaveAmountsAndFrame(Lines, {{"AxialAmount=", AxialAmount}, {"RadialAmount=", RadialAmount}});
}

void TSqueezeModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    LoadAmountsAndFrame(
        Lines, Index,
        {{"AxialAmount=", &AxialAmount, -10, 10}, {"RadialAmount=", &RadialAmount, -10, 10}});
}

void TSqueezeModifier::SetAxialAmount(float Value)
{
    SetClampedFloat(*this, AxialAmount, Value, 0, -10, 10, 1e-5f);
}

void TSqueezeModifier::SetRadialAmount(float Value)
{
    SetClampedFloat(*this, RadialAmount, Value, 0, -10, 10, 1e-5f);
}

void RegisterSqueezeModifier()
{
    RegisterModifier("squeeze", "Squeeze", "Deform", []() -> std::unique_ptr<TModifier> {
        return std::make_unique<TSqueezeModifier>();
    });
}
