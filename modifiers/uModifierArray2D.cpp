#include "modifiers/uModifierArray2D.h"

#include "base/uErrors.h"
#include "base/uMesh.h"
#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierRegistry.h"

#include <algorithm>

int32_t ClampArrayCount(int32_t Value)
{
    return std::clamp(Value, 1, 1000);
}

int64_t TArray2DModifier::CopyCount() const
{
    const int64_t cells = int64_t{std::max(CountX, 0)} * std::max(CountY, 0);
    return (!IncludeOriginal && cells > 0) ? cells - 1 : cells;
}

bool TArray2DModifier::EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                                          int64_t& Edges) const
{
    TMeshCopyCounts counts;
    EstimateCopies(&Mesh, CopyCount(), counts);
    Vertices = counts.Vertices;
    Faces = counts.Faces;
    Edges = counts.Edges;
    return true;
}

void TArray2DModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    Dest.Clear();
    TMeshCopyCounts counts;
    EstimateCopies(&Source, CopyCount(), counts);
    if (counts.Vertices > kArrayMaxOutput || counts.Faces > kArrayMaxOutput)
        throw EGeneralError("Array 2D: output too large (" + std::to_string(counts.Vertices) +
                            " verts, " + std::to_string(counts.Faces) + " faces)");
    // A million copies of nothing are nothing: the grid is not walked for them.
    if (Source.Vertices.empty() && Source.Faces.empty())
        return;
    Dest.Vertices.reserve(static_cast<size_t>(counts.Vertices));
    Dest.Faces.reserve(static_cast<size_t>(counts.Faces));

    const float cx = Centered ? static_cast<float>(CountX - 1) * -0.5f * OffsetX : 0.0f;
    const float cy = Centered ? static_cast<float>(CountY - 1) * -0.5f * OffsetY : 0.0f;
    for (int32_t i = 0; i < CountX; ++i)
        for (int32_t j = 0; j < CountY; ++j) {
            if (i == 0 && j == 0 && !IncludeOriginal)
                continue;
            const float a = static_cast<float>(i) * OffsetX + cx;
            const float b = static_cast<float>(j) * OffsetY + cy;
            const float s = static_cast<float>(i + j) * StepY;
            TMatrix4 m;
            if (Plane == kArrayPlaneXY)
                m = MatTranslation(a, b + s, 0);
            else if (Plane == kArrayPlaneYZ)
                m = MatTranslation(0, a + s, b);
            else
                m = MatTranslation(a, s, b);
            AppendMeshTransformed(&Source, &Dest, m);
        }
    Dest.RebuildEdges();
}

std::unique_ptr<TModifier> TArray2DModifier::Clone() const
{
    auto Copy = std::make_unique<TArray2DModifier>(*this);
    FinishClone(*Copy);
    return Copy;
}

void TArray2DModifier::SaveParams(std::vector<std::string>& Lines) const
{
    Lines.push_back(KeyIntLine("CountX=", CountX));
    Lines.push_back(KeyIntLine("CountY=", CountY));
    Lines.push_back(KeyFloatLine("OffsetX=", OffsetX));
    Lines.push_back(KeyFloatLine("OffsetY=", OffsetY));
    Lines.push_back(KeyIntLine("Plane=", Plane));
    Lines.push_back(KeyBoolLine("Centered=", Centered));
    Lines.push_back(KeyBoolLine("IncludeOriginal=", IncludeOriginal));
    Lines.push_back(KeyFloatLine("StepY=", StepY));
}

void TArray2DModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    // Counts are clamped like the setters do: a hand-edited count must neither hang the
    // editor building billions of empty copies nor overflow the size prediction.
    ForEachParamLine(Lines, Index, [this](const std::string& Line) {
        if (StartsWithKey(Line, "CountX="))
            CountX = ClampArrayCount(KeyIntValue(Line, "CountX=", 2));
        if (StartsWithKey(Line, "CountY="))
            CountY = ClampArrayCount(KeyIntValue(Line, "CountY=", 2));
        if (StartsWithKey(Line, "OffsetX="))
            OffsetX = KeyFloatValue(Line, "OffsetX=", 1);
        if (StartsWithKey(Line, "OffsetY="))
            OffsetY = KeyFloatValue(Line, "OffsetY=", 1);
        if (StartsWithKey(Line, "Plane="))
            Plane = KeyIntValue(Line, "Plane=", kArrayPlaneXZ);
        if (StartsWithKey(Line, "Centered="))
            Centered = KeyBoolValue(Line, "Centered=", false);
        if (StartsWithKey(Line, "IncludeOriginal="))
            IncludeOriginal = KeyBoolValue(Line, "IncludeOriginal=", true);
        if (StartsWithKey(Line, "StepY="))
            StepY = KeyFloatValue(Line, "StepY=", 0);
    });
}

void TArray2DModifier::SetCountX(int32_t Value)
{
    SetExactInt(*this, CountX, ClampArrayCount(Value));
}

void TArray2DModifier::SetCountY(int32_t Value)
{
    SetExactInt(*this, CountY, ClampArrayCount(Value));
}

void TArray2DModifier::SetOffsetX(float Value)
{
    SetExactFloat(*this, OffsetX, Value);
}

void TArray2DModifier::SetOffsetY(float Value)
{
    SetExactFloat(*this, OffsetY, Value);
}

void TArray2DModifier::SetPlane(int32_t Value)
{
    SetExactInt(*this, Plane, Value);
}

void TArray2DModifier::SetCentered(bool Value)
{
    SetExactBool(*this, Centered, Value);
}

void TArray2DModifier::SetIncludeOriginal(bool Value)
{
    SetExactBool(*this, IncludeOriginal, Value);
}

void TArray2DModifier::SetStepY(float Value)
{
    SetExactFloat(*this, StepY, Value);
}

void RegisterArray2DModifier()
{
    RegisterModifier("array_2d", "Array 2D", "Array", []() -> std::unique_ptr<TModifier> {
        return std::make_unique<TArray2DModifier>();
    });
}
