#include "modifiers/uModifierAxisFrame.h"

#include "base/uMesh.h"
#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierVertexPass.h"

#include <algorithm>
#include <cmath>
#include <numbers>

TVec3 BoundingBoxCenter(std::span<const TMeshVertex> Vertices)
{
    if (Vertices.empty())
        return {0, 0, 0};
    TVec3 lo, hi;
    PositionBounds(Vertices, lo, hi);
    return Vec3Scale(Vec3Add(lo, hi), 0.5f);
}

void AxisDirectionFrame(int32_t Axis, float DirectionDeg, TVec3& A, TVec3& D, TVec3& E)
{
    const float phi = DirectionDeg * static_cast<float>(std::numbers::pi / 180.0);
    const float c = std::cos(phi), s = std::sin(phi);
    const int32_t axis = std::clamp(Axis, 0, 2);
    if (axis == kAxisX) {
        A = {1, 0, 0};
        D = {0, c, s};
        E = {0, -s, c};
    } else if (axis == kAxisY) {
        A = {0, 1, 0};
        D = {c, 0, -s};
        E = {-s, 0, -c};
    } else {
        A = {0, 0, 1};
        D = {c, s, 0};
        E = {-s, c, 0};
    }
}

bool MeasureAxisFrame(std::span<const TMeshVertex> Vertices, const TAxisFrameRequest& Request,
                      TAxisFrame& Frame)
{
    return MeasureAxisFrame(Vertices, nullptr, Request, Frame);
}

bool MeasureAxisFrame(std::span<const TMeshVertex> Vertices, const TPositionSummary* Known,
                      const TAxisFrameRequest& Request, TAxisFrame& Frame)
{
    if (Vertices.empty())
        return false;
    TVec3 lo, hi;
    PositionBounds(Vertices, Known, lo, hi);
    Frame.Center = Vec3Scale(Vec3Add(lo, hi), 0.5f);
    const int32_t axis = std::clamp(Request.Axis, 0, 2);
    Frame.Axis = axis;
    if (Request.UseDirection)
        AxisDirectionFrame(axis, Request.DirectionDeg, Frame.A, Frame.D, Frame.E);
    else if (axis == kAxisX) {
        Frame.A = {1, 0, 0};
        Frame.D = {0, 1, 0};
        Frame.E = {0, 0, 1};
    } else if (axis == kAxisY) {
        Frame.A = {0, 1, 0};
        Frame.D = {1, 0, 0};
        Frame.E = {0, 0, 1};
    } else {
        Frame.A = {0, 0, 1};
        Frame.D = {1, 0, 0};
        Frame.E = {0, 1, 0};
    }

    // Subtracting the centre keeps the order of the coordinates, so the range along the
    // axis is the box's own extent measured from the centre.
    const float c = Component(Frame.Center, axis);
    const float minT = Component(lo, axis) - c, maxT = Component(hi, axis) - c;
    Frame.MinT = minT;
    Frame.MaxT = maxT;
    const float extent = maxT - minT;
    if (extent < 1e-5f)
        return false;
    if (Request.LimitsEnabled) {
        Frame.Lo = minT + extent * Request.LowerLimit;
        Frame.Hi = Request.UpperFromLower
                       ? Frame.Lo + extent * (Request.UpperLimit - Request.LowerLimit)
                       : minT + extent * Request.UpperLimit;
    } else {
        Frame.Lo = minT;
        Frame.Hi = maxT;
    }
    return !(Frame.Hi - Frame.Lo < 1e-5f);
}

float AxisFramePivot(const TAxisFrame& Frame, int32_t Pivot)
{
    if (Pivot == kPivotMinimum)
        return Frame.Lo;
    if (Pivot == kPivotMaximum)
        return Frame.Hi;
    return (Frame.Lo + Frame.Hi) * 0.5f;
}

// ---- setters and parameter lines ----

bool TAxisDeformerModifier::EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices,
                                               int64_t& Faces, int64_t& Edges) const
{
    return EstimateSameTopology(Mesh, Vertices, Faces, Edges);
}

void TAxisDeformerModifier::SetAxis(int32_t Value)
{
    if (Value < 0 || Value > 2)
        Value = kAxisY;
    if (Value == Axis)
        return;
    Axis = Value;
    Changed();
}

void TAxisDeformerModifier::SetLimitsEnabled(bool Value)
{
    if (Value == LimitsEnabled)
        return;
    LimitsEnabled = Value;
    Changed();
}

void TAxisDeformerModifier::SetLowerLimit(float Value)
{
    Value = std::clamp(FiniteOr(Value, 0), 0.0f, 1.0f);
    if (Value > UpperLimit - 0.001f)
        Value = UpperLimit - 0.001f;
    if (Value < 0)
        Value = 0;
    if (SameWithin(Value, LowerLimit, 1e-6f))
        return;
    LowerLimit = Value;
    Changed();
}

void TAxisDeformerModifier::SetUpperLimit(float Value)
{
    Value = std::clamp(FiniteOr(Value, 1), 0.0f, 1.0f);
    if (Value < LowerLimit + 0.001f)
        Value = LowerLimit + 0.001f;
    if (Value > 1)
        Value = 1;
    if (SameWithin(Value, UpperLimit, 1e-6f))
        return;
    UpperLimit = Value;
    Changed();
}

void TAxisDeformerModifier::SaveFrameParams(std::vector<std::string>& Lines) const
{
    Lines.push_back(KeyIntLine("Axis=", Axis));
    Lines.push_back(KeyBoolLine("LimitsEnabled=", LimitsEnabled));
    Lines.push_back(KeyFloatLine("LowerLimit=", LowerLimit));
    Lines.push_back(KeyFloatLine("UpperLimit=", UpperLimit));
}

bool TAxisDeformerModifier::LoadFrameParam(const std::string& Line)
{
    if (StartsWithKey(Line, "Axis="))
        Axis = ClampInt(KeyIntValue(Line, "Axis=", kAxisY), 0, 2);
    else if (StartsWithKey(Line, "LimitsEnabled="))
        LimitsEnabled = KeyBoolFirstCharValue(Line, "LimitsEnabled=");
    else if (StartsWithKey(Line, "LowerLimit="))
        LoadClampedFloat(Line, "LowerLimit=", LowerLimit, 0, 0, 1);
    else if (StartsWithKey(Line, "UpperLimit="))
        LoadClampedFloat(Line, "UpperLimit=", UpperLimit, 1, 0, 1);
    else
        return false;
    return true;
}

void TAxisDeformerModifier::SaveAmountsAndFrame(std::vector<std::string>& Lines,
                                                std::initializer_list<TSavedAmount> Amounts) const
{
    for (const TSavedAmount& Amount : Amounts)
        Lines.push_back(KeyFloatLine(Amount.Key, Amount.Value));
    SaveFrameParams(Lines);
}

void TAxisDeformerModifier::LoadAmountsAndFrame(const std::vector<std::string>& Lines,
                                                int32_t& Index,
                                                std::initializer_list<TAmountLine> Amounts)
{
    ForEachParamLine(Lines, Index, [&](const std::string& Line) {
        for (const TAmountLine& Amount : Amounts)
            if (StartsWithKey(Line, Amount.Key)) {
                LoadClampedFloat(Line, Amount.Key, *Amount.Field, 0, Amount.Low, Amount.High);
                return;
            }
        LoadFrameParam(Line);
    });
    RepairLoadedLimits();
}

void TAxisDeformerModifier::RepairLoadedLimits()
{
    if (UpperLimit > LowerLimit)
        return;
    if (LowerLimit >= 0.999f)
        LowerLimit = 0.999f;
    UpperLimit = LowerLimit + 0.001f;
}

TAxisFrameRequest TAxisDeformerModifier::FrameRequest() const
{
    TAxisFrameRequest request;
    request.Axis = Axis;
    request.LimitsEnabled = LimitsEnabled;
    request.LowerLimit = LowerLimit;
    request.UpperLimit = UpperLimit;
    return request;
}

bool TAxisDeformerModifier::MeasureFixedPairFrame(std::span<const TMeshVertex> Vertices,
                                                  TAxisFrame& Frame) const
{
    TAxisFrameRequest request = FrameRequest();
    request.UseDirection = false;
    request.UpperFromLower = true;
    return MeasureAxisFrame(Vertices, request, Frame);
}

void TDirectedAxisDeformerModifier::SetDirectionDeg(float Value)
{
    Value = WrapDegrees180(FiniteOr(Value, 0));
    if (SameWithin(Value, DirectionDeg, 1e-5f))
        return;
    DirectionDeg = Value;
    Changed();
}

void TDirectedAxisDeformerModifier::SetPivot(int32_t Value)
{
    if (Value < 0 || Value > 2)
        Value = kPivotCenter;
    if (Value == Pivot)
        return;
    Pivot = Value;
    Changed();
}

void TDirectedAxisDeformerModifier::SaveFrameParams(std::vector<std::string>& Lines) const
{
    Lines.push_back(KeyIntLine("Axis=", Axis));
    Lines.push_back(KeyFloatLine("DirectionDeg=", DirectionDeg));
    Lines.push_back(KeyIntLine("Pivot=", Pivot));
    Lines.push_back(KeyBoolLine("LimitsEnabled=", LimitsEnabled));
    Lines.push_back(KeyFloatLine("LowerLimit=", LowerLimit));
    Lines.push_back(KeyFloatLine("UpperLimit=", UpperLimit));
}

bool TDirectedAxisDeformerModifier::LoadFrameParam(const std::string& Line)
{
    if (StartsWithKey(Line, "DirectionDeg="))
        DirectionDeg =
            WrapDegrees180(FiniteOr(KeyFloatValue(Line, "DirectionDeg=", DirectionDeg), 0));
    else if (StartsWithKey(Line, "Pivot="))
        Pivot = ClampInt(KeyIntValue(Line, "Pivot=", kPivotCenter), 0, 2);
    else
        return TAxisDeformerModifier::LoadFrameParam(Line);
    return true;
}
