#include "modifiers/uModifierPush.h"

#include "base/uMesh.h"
#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierRegistry.h"

#include <cmath>

void TPushModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    ApplyVertexDeform(*this, Source, Dest);
}

void TPushModifier::DeformVertices(std::span<const TMeshVertex> In, std::span<TMeshVertex> Out)
{
    // The stored normal as it is: its length scales the move.
    MoveAlongNormals(In, Out, std::fabs(Amount) >= 1e-6f ? Amount : 0.0f);
}

std::unique_ptr<TModifier> TPushModifier::Clone() const
{
    auto Copy = std::make_unique<TPushModifier>(*this);
    FinishClone(*Copy);
    return Copy;
}

void TPushModifier::SaveParams(std::vector<std::string>& Lines) const
{
    Lines.push_back(KeyFloatLine("Amount=", Amount));
}

void TPushModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    ForEachParamLine(Lines, Index, [this](const std::string& Line) {
        if (StartsWithKey(Line, "Amount="))
            LoadClampedFloat(Line, "Amount=", Amount, 0, -100, 100);
    });
}

bool TPushModifier::EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                                       int64_t& Edges) const
{
    return EstimateSameTopology(Mesh, Vertices, Faces, Edges);
}

void TPushModifier::SetAmount(float Value)
{
    SetClampedFloat(*this, Amount, Value, 0, -100, 100, 1e-5f);
}

void RegisterPushModifier()
{
    RegisterModifier("push", "Push", "Deform", []() -> std::unique_ptr<TModifier> {
        return std::make_unique<TPushModifier>();
    });
}
