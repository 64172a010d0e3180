#include "scene/uPropertyTypes.h"

#include <cmath>

#include "scene/uSceneNode.h"

TPropertyPath MakeNodePropertyPath(uint32_t NodeId, int32_t PropertyId)
{
    return TPropertyPath{NodeId, 0, 0, PropertyId};
}

bool PropertyPathsEqual(const TPropertyPath& A, const TPropertyPath& B)
{
    return A.NodeId == B.NodeId && A.ComponentKind == B.ComponentKind &&
           A.ComponentId == B.ComponentId && A.PropertyId == B.PropertyId;
}

namespace {

TPropertyValue ValueOfKind(TPropertyValueKind Kind)
{
    TPropertyValue v;
    v.Kind = Kind;
    return v;
}

}  // namespace

TPropertyValue MakeFloatPropertyValue(float x)
{
    TPropertyValue v = ValueOfKind(pvkFloat);
    v.Float = x;
    return v;
}

TPropertyValue MakeIntegerPropertyValue(int32_t i)
{
    TPropertyValue v = ValueOfKind(pvkInteger);
    v.Int = i;
    return v;
}

TPropertyValue MakeBooleanPropertyValue(bool b)
{
    TPropertyValue v = ValueOfKind(pvkBoolean);
    v.Bool = b;
    return v;
}

TPropertyValue MakeVectorPropertyValue(const TVec3& vec)
{
    TPropertyValue v = ValueOfKind(pvkVector);
    v.Vector = vec;
    return v;
}

TPropertyValue MakeColorPropertyValue(const TVec3& c)
{
    TPropertyValue v = ValueOfKind(pvkColor);
    v.Vector = c;
    return v;
}

TPropertyValue MakeEnumPropertyValue(int32_t i)
{
    TPropertyValue v = ValueOfKind(pvkEnum);
    v.Int = i;
    return v;
}

bool PropertyValuesEqual(const TPropertyValue& A, const TPropertyValue& B)
{
    if (A.Kind != B.Kind)
        return false;
    switch (A.Kind) {
    case pvkFloat:
        return A.Float == B.Float;
    case pvkInteger:
    case pvkEnum:
        return A.Int == B.Int;
    case pvkBoolean:
        return A.Bool == B.Bool;
    case pvkVector:
    case pvkColor:
        return A.Vector.X == B.Vector.X && A.Vector.Y == B.Vector.Y && A.Vector.Z == B.Vector.Z;
    }
    return false;
}

bool PropertyValueIsFinite(const TPropertyValue& Value)
{
    switch (Value.Kind) {
    case pvkFloat:
        return std::isfinite(Value.Float);
    case pvkVector:
    case pvkColor:
        return std::isfinite(Value.Vector.X) && std::isfinite(Value.Vector.Y) &&
               std::isfinite(Value.Vector.Z);
    default:
        return true;
    }
}

size_t TAnimationEvaluation::TPathHash::operator()(const TPropertyPath& Path) const noexcept
{
    const uint64_t a = (uint64_t{Path.NodeId} << 32) | static_cast<uint32_t>(Path.PropertyId);
    const uint64_t b =
        (uint64_t{static_cast<uint32_t>(Path.ComponentKind)} << 32) | Path.ComponentId;
    return static_cast<size_t>((a * 0x9E3779B97F4A7C15ull) ^ (b * 0xC2B2AE3D27D4EB4Full));
}

int TAnimationEvaluation::IndexOf(const TPropertyPath& Path) const
{
    if (!Index.empty()) {
        const auto it = Index.find(Path);
        return it == Index.end() ? -1 : it->second;
    }
    for (size_t i = 0; i < Entries.size(); ++i)
        if (PropertyPathsEqual(Entries[i].Path, Path))
            return static_cast<int>(i);
    return -1;
}

void TAnimationEvaluation::RebuildIndex()
{
    Index.clear();
    if (Entries.size() < kIndexFrom)
        return;
    Index.reserve(Entries.size());
    for (size_t i = 0; i < Entries.size(); ++i)
        Index.emplace(Entries[i].Path, static_cast<int>(i));
}

void TAnimationEvaluation::Clear()
{
    Entries.clear();
    Index.clear();
}

void TAnimationEvaluation::SetValue(const TPropertyPath& Path, const TPropertyValue& Value)
{
    const int i = IndexOf(Path);
    if (i >= 0) {
        Entries[static_cast<size_t>(i)].Value = Value;
        return;
    }
    Entries.push_back({Path, Value});
    if (!Index.empty())
        Index.emplace(Path, static_cast<int>(Entries.size() - 1));
    else if (Entries.size() == kIndexFrom)
        RebuildIndex();
}

void TAnimationEvaluation::Remove(const TPropertyPath& Path)
{
    const int i = IndexOf(Path);
    if (i < 0)
        return;
    Entries.erase(Entries.begin() + i);
    if (!Index.empty())
        RebuildIndex();
}

bool TAnimationEvaluation::TryGetValue(const TPropertyPath& Path, TPropertyValue& Value) const
{
    const int i = IndexOf(Path);
    if (i < 0) {
        Value = TPropertyValue{};
        return false;
    }
    Value = Entries[static_cast<size_t>(i)].Value;
    return true;
}

void ReadEvaluatedPropertyValue(const TSceneNode& Node, int32_t PropertyId,
                                const TPropertyEvaluationContext& Context, TPropertyValue& Value)
{
    Node.GetPropertyValue(PropertyId, Value);
    if (Context.Evaluation == nullptr)
        return;
    TPropertyValue animated;
    if (Context.Evaluation->TryGetValue(MakeNodePropertyPath(Node.GetId(), PropertyId), animated) &&
        animated.Kind == Value.Kind)
        Value = animated;
}

void ComputeEvaluatedLocalMatrix(const TSceneNode& Node, const TPropertyEvaluationContext& Context,
                                 TMatrix4& Matrix)
{
    float channels[9];
    for (int32_t id = kNodePropertyPositionX; id <= kNodePropertyScaleZ; ++id) {
        TPropertyValue v;
        ReadEvaluatedPropertyValue(Node, id, Context, v);
        channels[id - 1] = v.Float;
    }
    MatCompose(TVec3{channels[0], channels[1], channels[2]},
               TVec3{channels[3], channels[4], channels[5]},
               TVec3{channels[6], channels[7], channels[8]}, Matrix);
}

void ComputeEvaluatedWorldMatrix(const TSceneNode& Node, const TPropertyEvaluationContext& Context,
                                 TMatrix4& Matrix)
{
    // Walk up iteratively, multiplying each ancestor's local matrix in on the left.
    ComputeEvaluatedLocalMatrix(Node, Context, Matrix);
    for (const TSceneNode* n = Node.GetParent(); n != nullptr; n = n->GetParent()) {
        TMatrix4 parentLocal, product;
        ComputeEvaluatedLocalMatrix(*n, Context, parentLocal);
        MatMultiply(parentLocal, Matrix, product);
        Matrix = product;
    }
}
