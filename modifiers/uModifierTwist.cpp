#include "modifiers/uModifierTwist.h"

#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierRegistry.h"
#include "scene/uMesh.h"

#include <cmath>
#include <numbers>

void TTwistModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    CopyForDeform(Source, Dest);
    float minY = 0, maxY = 0;
    if (Angle != 0 && HeightRange(Dest, minY, maxY) && maxY - minY >= 0.001f) {
        const float h = maxY - minY;
        const float k = Angle * static_cast<float>(std::numbers::pi / 180.0);
        TSinCosMemo trig;
        for (TMeshVertex& v : Dest.Vertices) {
            const float a = k * ((v.Position.Y - minY) / h - 0.5f);
            float s, c;
            trig.Get(a, s, c);
            const float x = v.Position.X, z = v.Position.Z;
            v.Position.X = c * x - s * z;
            v.Position.Z = s * x + c * z;
            const float nx = v.Normal.X, nz = v.Normal.Z;
            v.Normal.X = c * nx - s * nz;
            v.Normal.Z = s * nx + c * nz;
        }
    }
}

std::unique_ptr<TModifier> TTwistModifier::Clone() const
{
    auto Copy = std::make_unique<TTwistModifier>(*this);
    FinishClone(*Copy);
    return Copy;
}

void TTwistModifier::SaveParams(std::vector<std::string>& Lines) const
{
    Lines.push_back(KeyFloatLine("Angle=", Angle));
}

void TTwistModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    ForEachParamLine(Lines, Index, [this](const std::string& Line) {
        if (StartsWithKey(Line, "Angle="))
            Angle = KeyFloatValue(Line, "Angle=", 0);
    });
}

bool TTwistModifier::EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                                        int64_t& Edges) const
{
    return EstimateSameTopology(Mesh, Vertices, Faces, Edges);
}

void TTwistModifier::SetAngle(float Value)
{
    if (SameExactly(Value, Angle))
        return;
    Angle = Value;
    Changed();
}

void RegisterTwistModifier()
{
    RegisterModifier("twist", "Twist", "Deform", []() -> std::unique_ptr<TModifier> {
        return std::make_unique<TTwistModifier>();
    });
}
