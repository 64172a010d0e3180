#include "modifiers/uModifierBend.h"

#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierRegistry.h"
#include "scene/uMesh.h"

#include <algorithm>
#include <cmath>
#include <numbers>

float BendWrapDegrees(float Degrees)
{
    return WrapDegrees180(Degrees);
}

void TBendModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    CopyForDeform(Source, Dest);
    if (Dest.Vertices.empty())
        return;
    TAxisFrameRequest request = FrameRequest();
    request.DirectionDeg = DirectionDeg;
    TAxisFrame frame;
    if (std::fabs(AngleDeg) >= 1e-5f && MeasureAxisFrame(Dest.Vertices, request, frame)) {
        const float lo = frame.Lo, hi = frame.Hi;
        const float pivot = AxisFramePivot(frame, Pivot);
        const float K = AngleDeg * static_cast<float>(std::numbers::pi / 180.0) / (hi - lo);
        const float invK = 1.0f / K;
        const TVec3 C = frame.Center, A = frame.A, D = frame.D, E = frame.E;
        TSinCosMemo trig;
        for (TMeshVertex& v : Dest.Vertices) {
            const TVec3 rel = SubV(v.Position, C);
            const float t = DotV(rel, A), r = DotV(rel, D), w = DotV(rel, E);
            const float tc = std::min(std::max(t, lo), hi);
            const float theta = (tc - pivot) * K;
            float s, c;
            trig.Get(theta, s, c);
            float t2 = pivot + s * invK - r * s;
            float r2 = (1 - c) * invK + r * c;
            const float excess = t - tc;
            if (std::fabs(excess) > 1e-6f) {
                // Beyond a limit the mesh continues along the arc's end tangent.
                t2 += c * excess;
                r2 += s * excess;
            }
            v.Position = AddV(C, AddV(ScaleV(A, t2), AddV(ScaleV(D, r2), ScaleV(E, w))));
            const float nA = DotV(v.Normal, A), nD = DotV(v.Normal, D), nE = DotV(v.Normal, E);
            const float nA2 = c * nA - s * nD, nD2 = s * nA + c * nD;
            v.Normal = NormalizeV(AddV(ScaleV(A, nA2), AddV(ScaleV(D, nD2), ScaleV(E, nE))));
        }
    }
}

std::unique_ptr<TModifier> TBendModifier::Clone() const
{
    auto Copy = std::make_unique<TBendModifier>(*this);
    FinishClone(*Copy);
    return Copy;
}

void TBendModifier::SaveParams(std::vector<std::string>& Lines) const
{
    SaveAmountsAndFrame(Lines, {{"AngleDeg=", AngleDeg}});
}

void TBendModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    LoadAmountsAndFrame(Lines, Index, {{"AngleDeg=", &AngleDeg, -3600, 3600}});
}

void TBendModifier::SetAngleDeg(float Value)
{
    SetClampedFloat(*this, AngleDeg, Value, 0, -3600, 3600, 1e-5f);
}

void RegisterBendModifier()
{
    RegisterModifier("bend", "Bend", "Deform", []() -> std::unique_ptr<TModifier> {
        return std::make_unique<TBendModifier>();
    });
}
