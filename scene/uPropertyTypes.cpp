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

int TAnimationEvaluation::IndexOf(const TPropertyPath& Path) const
{
    for (size_t i = 0; i < Entries.size(); ++i)
        if (PropertyPathsEqual(Entries[i].Path, Path))
            return static_cast<int>(i);
    return -1;
}

void TAnimationEvaluation::Clear()
{
    Entries.clear();
}

void TAnimationEvaluation::SetValue(const TPropertyPath& Path, const TPropertyValue& Value)
{
    const int i = IndexOf(Path);
    if (i >= 0)
        Entries[static_cast<size_t>(i)].Value = Value;
    else
        Entries.push_back({Path, Value});
}

void TAnimationEvaluation::Remove(const TPropertyPath& Path)
{
    const int i = IndexOf(Path);
    if (i >= 0)
        Entries.erase(Entries.begin() + i);
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
