#include "modifiers/uModifierSkew.h"

#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierRegistry.h"
#include "scene/uMesh.h"

#include <algorithm>
#include <cmath>

float SkewWrapDegrees(float Degrees)
{
    return WrapDegrees180(Degrees);
}

void TSkewModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    CopyForDeform(Source, Dest);
    if (Dest.Vertices.empty())
        return;
    TAxisFrameRequest request = FrameRequest();
    request.DirectionDeg = DirectionDeg;
    TAxisFrame frame;
    if (std::fabs(Amount) >= 1e-6f && MeasureAxisFrame(Dest.Vertices, request, frame)) {
        const float lo = frame.Lo, hi = frame.Hi;
        const float pivot = AxisFramePivot(frame, Pivot);
        const TVec3 C = frame.Center, A = frame.A, D = frame.D, E = frame.E;
        for (TMeshVertex& v : Dest.Vertices) {
            const float t = DotV(SubV(v.Position, C), A);
            const float tc = std::min(std::max(t, lo), hi);
            // Only the coordinate along D changes, so the vertex moves along D.
            v.Position = AddV(v.Position, ScaleV(D, (tc - pivot) * Amount));
            if (std::fabs(t - tc) < 1e-6f) {
                const float nA = DotV(v.Normal, A), nD = DotV(v.Normal, D), nE = DotV(v.Normal, E);
                v.Normal = NormalizeV(
                    AddV(ScaleV(A, nA - Amount * nD), AddV(ScaleV(D, nD), ScaleV(E, nE))));
            }
        }
    }
}

std::unique_ptr<TModifier> TSkewModifier::Clone() const
{
    auto Copy = std::make_unique<TSkewModifier>(*this);
    FinishClone(*Copy);
    return Copy;
}

void TSkewModifier::SaveParams(std::vector<std::string>& Lines) const
{
    SaveAmountsAndFrame(Lines, {{"Amount=", Amount}});
}

void TSkewModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    LoadAmountsAndFrame(Lines, Index, {{"Amount=", &Amount, -100, 100}});
}

void TSkewModifier::SetAmount(float Value)
{
    SetClampedFloat(*this, Amount, Value, 0, -100, 100, 1e-5f);
}

void RegisterSkewModifier()
{
    RegisterModifier("skew", "Skew", "Deform", []() -> std::unique_ptr<TModifier> {
        return std::make_unique<TSkewModifier>();
    });
}
