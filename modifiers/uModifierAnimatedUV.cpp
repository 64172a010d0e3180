#include "modifiers/uModifierAnimatedUV.h"

#include "base/uMesh.h"
#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierRegistry.h"

#include <algorithm>

void TAnimatedUVModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    CopyForDeform(Source, Dest);
    for (TMeshFace& f : Dest.Faces) {
        const int32_t count = std::clamp(f.Count, 0, 4);
        for (int32_t j = 0; j < count; ++j) {
            if (Axis == 0)
                f.UVs[j].U += Offset;
            else
                f.UVs[j].V += Offset;
        }
    }
}

std::unique_ptr<TModifier> TAnimatedUVModifier::Clone() const
{
    auto Copy = std::make_unique<TAnimatedUVModifier>(*this);
    FinishClone(*Copy);
    return Copy;
}

void TAnimatedUVModifier::SaveParams(std::vector<std::string>& Lines) const
{
    Lines.push_back(KeyIntLine("Axis=", Axis));
    Lines.push_back(KeyFloatLine("Offset=", Offset));
}

void TAnimatedUVModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    ForEachParamLine(Lines, Index, [this](const std::string& Line) {
        if (StartsWithKey(Line, "Axis="))
            Axis = ClampInt(KeyIntValue(Line, "Axis=", 0), 0, 1);
        else if (StartsWithKey(Line, "Offset="))
            Offset = FiniteOr(KeyFloatValue(Line, "Offset=", Offset), 0);
    });
}

bool TAnimatedUVModifier::EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices,
                                             int64_t& Faces, int64_t& Edges) const
{
    return EstimateSameTopology(Mesh, Vertices, Faces, Edges);
}

TModifierApplyInfo TAnimatedUVModifier::ApplyWithInfo(const TModifierEvalContext&,
                                                      const TMeshData& Source, TMeshData& Dest)
{
    Apply(Source, Dest);
    return {kApplyUVs, {}};
}

void TAnimatedUVModifier::SetAxis(int32_t Value)
{
    if (Value < 0 || Value > 1)
        Value = 0;
    if (Value == Axis)
        return;
    Axis = Value;
    Changed();
}

void TAnimatedUVModifier::SetOffset(float Value)
{
    Value = FiniteOr(Value, 0);
    if (SameWithin(Value, Offset, 1e-5f))
        return;
    Offset = Value;
    Changed();
}

void RegisterAnimatedUVModifier()
{
    RegisterModifier("animated_uv", "Animated UV", "UV Edit", []() -> std::unique_ptr<TModifier> {
        return std::make_unique<TAnimatedUVModifier>();
    });
}
