#include "modifiers/uModifierArrayCircular.h"

#include "base/uErrors.h"
#include "base/uMesh.h"
#include "modifiers/uModifierArray2D.h"
#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierRegistry.h"

#include <cmath>

std::vector<TArrayCircularModifier::TRingPosition> TArrayCircularModifier::RingPositions() const
{
    std::vector<TRingPosition> positions;
    const int32_t n = (CloseCircle || Count > 1) ? Count : 1;
    float step = TotalAngle;
    if (n > 1)
        step = CloseCircle ? TotalAngle / static_cast<float>(n)
                           : TotalAngle / static_cast<float>(std::max(n - 1, 1));
    for (int32_t i = 0; i < Count; ++i) {
        const float turn = static_cast<float>(i) * step;
        // A closed circle does not repeat its first copy. Measured as a magnitude so that a
        // circle run backwards (negative total angle) keeps all its copies.
        if (CloseCircle && i >= 1 && std::fabs(turn) >= std::fabs(TotalAngle) - 0.001f)
            continue;
        positions.push_back({i, turn + StartAngle});
    }
    return positions;
}

int64_t TArrayCircularModifier::CopyCount() const
{
    return static_cast<int64_t>(RingPositions().size()) + (IncludeOriginal ? 1 : 0);
}

bool TArrayCircularModifier::EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices,
                                                int64_t& Faces, int64_t& Edges) const
{
    TMeshCopyCounts counts;
    EstimateCopies(&Mesh, CopyCount(), counts);
    Vertices = counts.Vertices;
    Faces = counts.Faces;
    Edges = counts.Edges;
    return true;
}

TMatrix4 TArrayCircularModifier::CopyMatrix(const TRingPosition& Position) const
{
    const float theta = Position.AngleDeg;
    const float r = DegToRad(theta);
    const float c = std::cos(r) * Radius, s = std::sin(r) * Radius;
    // An axis that is not X or Z (only possible from a damaged file) works as Y.
    const int32_t axis = (Axis == 0 || Axis == 2) ? Axis : 1;
    TVec3 p = axis == 0 ? Vec3(0, c, s) : axis == 2 ? Vec3(c, s, 0) : Vec3(c, 0, s);
    p.Y += static_cast<float>(Position.Index) * StepY;
    p = Vec3Add(p, Vec3(CenterX, CenterY, CenterZ));
    const TMatrix4 t = MatTranslationFromVec3(p);

    float turn;
    switch (Orientation) {
    case kArrayOrientOutward:
        turn = theta;
        break;
    case kArrayOrientInward:
        turn = theta + 180;
        break;
    case kArrayOrientTangentCW:
        turn = theta + 90;
        break;
    case kArrayOrientTangentCCW:
        turn = theta - 90;
        break;
    default:  // none, and any unknown orientation
        return t;
    }
    // The ring runs from +Y towards +Z about X, from +X towards +Z about Y and from +X
    // towards +Y about Z. A positive turn about Y goes from +X towards -Z, so Y turns the
    // other way to make "outward" face away from the centre on every axis.
    const TMatrix4 rot = axis == 0   ? MatRotationX(turn)
                         : axis == 2 ? MatRotationZ(turn)
                                     : MatRotationY(-turn);
    TMatrix4 m;
    MatMultiply(t, rot, m);
    return m;
}

void TArrayCircularModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    Dest.Clear();
    const std::vector<TRingPosition> positions = RingPositions();
    TMeshCopyCounts counts;
    EstimateCopies(&Source, static_cast<int64_t>(positions.size()) + (IncludeOriginal ? 1 : 0),
                   counts);
    if (counts.Vertices > kArrayMaxOutput || counts.Faces > kArrayMaxOutput)
        throw EGeneralError("Array Circular: output too large (" + std::to_string(counts.Vertices) +
                            " verts, " + std::to_string(counts.Faces) + " faces)");
    Dest.Vertices.reserve(static_cast<size_t>(counts.Vertices));
    Dest.Faces.reserve(static_cast<size_t>(counts.Faces));
    for (const TRingPosition& position : positions)
        AppendMeshTransformed(&Source, &Dest, CopyMatrix(position));
    if (IncludeOriginal)
        AppendMesh(&Source, &Dest);
    Dest.RebuildEdges();
}

std::unique_ptr<TModifier> TArrayCircularModifier::Clone() const
{
    auto Copy = std::make_unique<TArrayCircularModifier>(*this);
    FinishClone(*Copy);
    return Copy;
}

void TArrayCircularModifier::SaveParams(std::vector<std::string>& Lines) const
{
    Lines.push_back(KeyIntLine("Count=", Count));
    Lines.push_back(KeyFloatLine("Radius=", Radius));
    Lines.push_back(KeyFloatLine("StartAngle=", StartAngle));
    Lines.push_back(KeyFloatLine("TotalAngle=", TotalAngle));
    Lines.push_back(KeyBoolLine("CloseCircle=", CloseCircle));
    Lines.push_back(KeyIntLine("Axis=", Axis));
    Lines.push_back(KeyIntLine("Orientation=", Orientation));
    Lines.push_back(KeyBoolLine("IncludeOriginal=", IncludeOriginal));
    Lines.push_back(KeyFloatLine("CenterX=", CenterX));
    Lines.push_back(KeyFloatLine("CenterY=", CenterY));
    Lines.push_back(KeyFloatLine("CenterZ=", CenterZ));
    Lines.push_back(KeyFloatLine("StepY=", StepY));
}

void TArrayCircularModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    ForEachParamLine(Lines, Index, [this](const std::string& Line) {
        if (StartsWithKey(Line, "Count="))
            Count = ClampArrayCount(KeyIntValue(Line, "Count=", 8));
        if (StartsWithKey(Line, "Radius="))
            Radius = KeyFloatValue(Line, "Radius=", 5);
        if (StartsWithKey(Line, "StartAngle="))
            StartAngle = KeyFloatValue(Line, "StartAngle=", 0);
        if (StartsWithKey(Line, "TotalAngle="))
            TotalAngle = KeyFloatValue(Line, "TotalAngle=", 360);
        if (StartsWithKey(Line, "CloseCircle="))
            CloseCircle = KeyBoolValue(Line, "CloseCircle=", true);
        if (StartsWithKey(Line, "Axis=")) {
            const int32_t axis = KeyIntValue(Line, "Axis=", 1);
            Axis = (axis >= 0 && axis <= 2) ? axis : 1;
        }
        if (StartsWithKey(Line, "Orientation=")) {
            const int32_t orientation = KeyIntValue(Line, "Orientation=", kArrayOrientOutward);
            Orientation = (orientation >= kArrayOrientNone && orientation <= kArrayOrientTangentCCW)
                              ? orientation
                              : kArrayOrientNone;
        }
        if (StartsWithKey(Line, "IncludeOriginal="))
            IncludeOriginal = KeyBoolValue(Line, "IncludeOriginal=", true);
        if (StartsWithKey(Line, "CenterX="))
            CenterX = KeyFloatValue(Line, "CenterX=", 0);
        if (StartsWithKey(Line, "CenterY="))
            CenterY = KeyFloatValue(Line, "CenterY=", 0);
        if (StartsWithKey(Line, "CenterZ="))
            CenterZ = KeyFloatValue(Line, "CenterZ=", 0);
        if (StartsWithKey(Line, "StepY="))
            StepY = KeyFloatValue(Line, "StepY=", 0);
    });
}

void TArrayCircularModifier::SetCount(int32_t Value)
{
    SetExactInt(*this, Count, ClampArrayCount(Value));
}
void TArrayCircularModifier::SetRadius(float Value)
{
    SetExactFloat(*this, Radius, FiniteOr(Value, 5));
}
void TArrayCircularModifier::SetStartAngle(float Value)
{
    SetExactFloat(*this, StartAngle, Value);
}
void TArrayCircularModifier::SetTotalAngle(float Value)
{
    SetExactFloat(*this, TotalAngle, Value);
}
void TArrayCircularModifier::SetCloseCircle(bool Value)
{
    SetExactBool(*this, CloseCircle, Value);
}
void TArrayCircularModifier::SetAxis(int32_t Value)
{
    SetExactInt(*this, Axis, Value);
}
void TArrayCircularModifier::SetOrientation(int32_t Value)
{
    SetExactInt(*this, Orientation, Value);
}
void TArrayCircularModifier::SetIncludeOriginal(bool Value)
{
    SetExactBool(*this, IncludeOriginal, Value);
}
void TArrayCircularModifier::SetCenterX(float Value)
{
    SetExactFloat(*this, CenterX, Value);
}
void TArrayCircularModifier::SetCenterY(float Value)
{
    SetExactFloat(*this, CenterY, Value);
}
void TArrayCircularModifier::SetCenterZ(float Value)
{
    SetExactFloat(*this, CenterZ, Value);
}
void TArrayCircularModifier::SetStepY(float Value)
{
    SetExactFloat(*this, StepY, Value);
}

void RegisterArrayCircularModifier()
{
    RegisterModifier(
        "array_circular", "Array Circular", "Array",
        []() -> std::unique_ptr<TModifier> { return std::make_unique<TArrayCircularModifier>(); });
}
