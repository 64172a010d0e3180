#include "modifiers/uModifierNoise.h"

#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierRegistry.h"
#include "scene/uMesh.h"

#include <cmath>

void TNoiseModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    CopyForDeform(Source, Dest);
    if (Strength != 0) {
        const float f = 10 * Scale;
        const float sideways = Strength * 0.5f, upwards = Strength * 0.3f;
        float i = 0;
        for (TMeshVertex& v : Dest.Vertices) {
            // Each line sees the coordinates the lines before it have already moved.
            TVec3& p = v.Position;
            p.X += std::sin(p.Y * f + i * 0.7f) * sideways;
            p.Y += std::cos(p.X * f + i * 1.3f) * upwards;
            p.Z += std::sin(p.Z * f + i * 0.9f) * sideways;
            i += 1;
        }
    }
}

std::unique_ptr<TModifier> TNoiseModifier::Clone() const
{
    auto Copy = std::make_unique<TNoiseModifier>(*this);
    FinishClone(*Copy);
    return Copy;
}

void TNoiseModifier::SaveParams(std::vector<std::string>& Lines) const
{
    Lines.push_back(KeyFloatLine("Strength=", Strength));
    Lines.push_back(KeyFloatLine("Scale=", Scale));
}

void TNoiseModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    ForEachParamLine(Lines, Index, [this](const std::string& Line) {
        if (StartsWithKey(Line, "Strength="))
            Strength = KeyFloatValue(Line, "Strength=", 0.1f);
        else if (StartsWithKey(Line, "Scale="))
            Scale = KeyFloatValue(Line, "Scale=", 1);
    });
}

bool TNoiseModifier::EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                                        int64_t& Edges) const
{
    return EstimateSameTopology(Mesh, Vertices, Faces, Edges);
}

void TNoiseModifier::SetStrength(float Value)
{
    if (SameExactly(Value, Strength))
        return;
    Strength = Value;
    Changed();
}

void TNoiseModifier::SetScale(float Value)
{
    if (SameExactly(Value, Scale))
        return;
    Scale = Value;
    Changed();
}

void RegisterNoiseModifier()
{
    RegisterModifier("noise", "Noise", "Deform", []() -> std::unique_ptr<TModifier> {
        return std::make_unique<TNoiseModifier>();
    });
}
