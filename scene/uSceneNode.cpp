#include "scene/uSceneNode.h"

#include "base/uTextFile.h"

#include <algorithm>
#include <cmath>

namespace {

// Names of the ten node properties, for the wrong-kind messages.
const char* const kPropertyNames[10] = {
    "Position X", "Position Y", "Position Z", "Rotation X", "Rotation Y",
    "Rotation Z", "Scale X",    "Scale Y",    "Scale Z",    "Visible",
};

bool SameFloat(float A, float B)
{
    return A == B;  // a NaN differs from everything, so it always counts as a change
}

}  // namespace

int TSceneNode::NoticeBatchDepth = 0;
uint64_t TSceneNode::NoticeSerial[TSceneNode::kNoticeKinds] = {0, 0};

TSceneNoticeBatch::TSceneNoticeBatch()
{
    if (TSceneNode::NoticeBatchDepth++ == 0)
        TSceneNode::ForgetAncestorNotices();
}

TSceneNoticeBatch::~TSceneNoticeBatch()
{
    --TSceneNode::NoticeBatchDepth;
}

void TSceneNode::ForgetAncestorNotices()
{
    for (uint64_t& serial : NoticeSerial)
        ++serial;
}

void TSceneNode::ForgetMovedNotices()
{
    // A link change notifies the new ancestors of descendant changes itself, but not of
    // moved objects.
    ++NoticeSerial[anObjectMoved];
}

std::vector<TSceneNode*> SubtreePostOrder(TSceneNode* Root)
{
    std::vector<TSceneNode*> order;
    if (Root == nullptr)
        return order;
    std::vector<std::pair<TSceneNode*, size_t>> path{{Root, 0}};
    while (!path.empty()) {
        auto& [node, next] = path.back();
        if (next < node->GetChildren().size()) {
            TSceneNode* child = node->GetChildren()[next++];
            path.emplace_back(child, 0);
            continue;
        }
        order.push_back(node);
        path.pop_back();
    }
    return order;
}

TSceneNode::TSceneNode(uint32_t NewId) : Id(NewId == kNoId ? AllocateSceneNodeId() : NewId) {}

TSceneNode::~TSceneNode() = default;

TSceneNode* TSceneNode::GetChild(int Index) const
{
    if (Index < 0 || Index >= ChildCount())
        throw EArgumentOutOfRangeException("List index out of bounds (" + std::to_string(Index) +
                                           ")");
    return Children[static_cast<size_t>(Index)];
}

int TSceneNode::IndexOfChild(const TSceneNode* Node) const
{
    const auto it = std::find(Children.begin(), Children.end(), Node);
    return it == Children.end() ? -1 : static_cast<int>(it - Children.begin());
}

void TSceneNode::RemoveChild(TSceneNode* Child)
{
    const int index = IndexOfChild(Child);
    if (Child == nullptr || index < 0)
        return;
    Child->NotifyAncestorsOfChange();
    Children.erase(Children.begin() + index);
    Child->Parent = nullptr;
    ForgetMovedNotices();
    // Its world matrix no longer includes the old parent's.
    Child->MarkSubtreeWorldDirty();
}

int TSceneNode::InsertChild(TSceneNode* Child, int Index)
{
    // A node without children is the ancestor of itself only: copies and loaded nodes
    // linked from the top down need no walk up a long chain.
    if (Child == nullptr || Child == this || (Child->ChildCount() > 0 && Child->IsAncestorOf(this)))
        return -1;
    if (Child->Parent == this) {
        Child->NotifyAncestorsOfChange();
        Children.erase(Children.begin() + IndexOfChild(Child));
    } else if (Child->Parent != nullptr) {
        Child->Parent->RemoveChild(Child);
    }
    Index = std::clamp(Index, 0, ChildCount());
    Children.insert(Children.begin() + Index, Child);
    Child->Parent = this;
    ForgetMovedNotices();
    Child->MarkSubtreeWorldDirty();
    Child->NotifyAncestorsOfChange();
    return Index;
}

bool TSceneNode::IsAncestorOf(const TSceneNode* Node) const
{
    for (const TSceneNode* n = Node; n != nullptr; n = n->Parent)
        if (n == this)
            return true;
    return false;
}

bool TSceneNode::IsDescendantOf(const TSceneNode* Node) const
{
    return Node != nullptr && Node->IsAncestorOf(this);
}

void TSceneNode::SetPosition(const TVec3& Value)
{
    if (SameFloat(Position.X, Value.X) && SameFloat(Position.Y, Value.Y) &&
        SameFloat(Position.Z, Value.Z))
        return;
    Position = Value;
    TransformChanged();
}

void TSceneNode::StoreComponent(float& Field, float Value)
{
    if (SameFloat(Field, Value))
        return;
    Field = Value;
    TransformChanged();
}

void TSceneNode::SetRotationX(float Value)
{
    StoreComponent(Rotation.X, Value);
}
void TSceneNode::SetRotationY(float Value)
{
    StoreComponent(Rotation.Y, Value);
}
void TSceneNode::SetRotationZ(float Value)
{
    StoreComponent(Rotation.Z, Value);
}
void TSceneNode::SetScaleX(float Value)
{
    StoreComponent(Scale.X, Value);
}
void TSceneNode::SetScaleY(float Value)
{
    StoreComponent(Scale.Y, Value);
}
void TSceneNode::SetScaleZ(float Value)
{
    StoreComponent(Scale.Z, Value);
}

void TSceneNode::SetTransform(const TVec3& NewPosition, const TVec3& NewRotation,
                              const TVec3& NewScale)
{
    Position = NewPosition;
    Rotation = NewRotation;
    Scale = NewScale;
    TransformChanged();
}

void TSceneNode::TransformChanged()
{
    LocalDirty = true;
    MarkSubtreeWorldDirty();
    DoTransformChanged();
    NotifyAncestorsOfChange();
}

void TSceneNode::MarkSubtreeWorldDirty()
{
    std::vector<TSceneNode*> stack{this};
    while (!stack.empty()) {
        TSceneNode* node = stack.back();
        stack.pop_back();
        // A dirty node's descendants are dirty already: a world matrix is only ever
        // refreshed together with all of its ancestors'.
        if (node->WorldDirty && node->InverseDirty)
            continue;
        node->WorldDirty = true;
        node->InverseDirty = true;
        stack.insert(stack.end(), node->Children.begin(), node->Children.end());
    }
}

void TSceneNode::NotifyAncestorsOfChange()
{
    NotifyAncestors(anDescendantChanged, [](TSceneNode& n) { n.DoDescendantChanged(); });
}

const TMatrix4& TSceneNode::GetLocalMatrix()
{
    if (LocalDirty) {
        MatCompose(Position, Rotation, Scale, LocalMatrix);
        LocalDirty = false;
    }
    return LocalMatrix;
}

const TMatrix4& TSceneNode::GetWorldMatrix()
{
    if (!WorldDirty)
        return WorldMatrix;
    // Refresh the dirty part of the parent chain from the top down, without recursion,
    // so that a deep hierarchy cannot exhaust the stack.
    std::vector<TSceneNode*> chain;
    for (TSceneNode* n = this; n != nullptr && n->WorldDirty; n = n->Parent)
        chain.push_back(n);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        TSceneNode* n = *it;
        if (n->Parent != nullptr)
            MatMultiply(n->Parent->GetWorldMatrix(), n->GetLocalMatrix(), n->WorldMatrix);
        else
            n->WorldMatrix = n->GetLocalMatrix();
        n->WorldDirty = false;
        n->InverseDirty = true;
    }
    return WorldMatrix;
}

const TMatrix4& TSceneNode::GetInverseWorldMatrix()
{
    if (InverseDirty || WorldDirty) {
        const TMatrix4& world = GetWorldMatrix();
        MatInverse(world, InverseWorldMatrix);  // leaves all zeros when singular
        InverseDirty = false;
    }
    return InverseWorldMatrix;
}

TVec3 TSceneNode::GetWorldPosition()
{
    return MatTransformPoint(TVec3{0, 0, 0}, GetWorldMatrix());
}

int TSceneNode::NonFiniteWorldElements()
{
    return NonFiniteElements(GetWorldMatrix());
}

int TSceneNode::NonFiniteElements(const TMatrix4& Matrix)
{
    int count = 0;
    for (float element : Matrix)
        if (!std::isfinite(element))
            ++count;
    return count;
}

TSceneNode* TSceneNode::FindNonFiniteWorld()
{
    std::vector<TSceneNode*> stack{this};
    while (!stack.empty()) {
        TSceneNode* node = stack.back();
        stack.pop_back();
        if (node->NonFiniteWorldElements() > 0)
            return node;
        stack.insert(stack.end(), node->Children.rbegin(), node->Children.rend());
    }
    return nullptr;
}

void TSceneNode::CheckWorldFinite(const std::string& Refused)
{
    if (const TSceneNode* bad = FindNonFiniteWorld())
        throw EGeneralError(Refused + ": the world matrix of \"" + TextExcerpt(bad->Name) +
                            "\" would not be finite.");
}

void TSceneNode::GetPropertyValue(int32_t PropertyId, TPropertyValue& Value) const
{
    switch (PropertyId) {
    case kNodePropertyPositionX:
        Value = MakeFloatPropertyValue(Position.X);
        return;
    case kNodePropertyPositionY:
        Value = MakeFloatPropertyValue(Position.Y);
        return;
    case kNodePropertyPositionZ:
        Value = MakeFloatPropertyValue(Position.Z);
        return;
    case kNodePropertyRotationX:
        Value = MakeFloatPropertyValue(Rotation.X);
        return;
    case kNodePropertyRotationY:
        Value = MakeFloatPropertyValue(Rotation.Y);
        return;
    case kNodePropertyRotationZ:
        Value = MakeFloatPropertyValue(Rotation.Z);
        return;
    case kNodePropertyScaleX:
        Value = MakeFloatPropertyValue(Scale.X);
        return;
    case kNodePropertyScaleY:
        Value = MakeFloatPropertyValue(Scale.Y);
        return;
    case kNodePropertyScaleZ:
        Value = MakeFloatPropertyValue(Scale.Z);
        return;
    case kNodePropertyVisible:
        Value = MakeBooleanPropertyValue(Visible);
        return;
    default:
        throw EGeneralError("Unknown node property id: " + std::to_string(PropertyId));
    }
}

void TSceneNode::SetPropertyValue(int32_t PropertyId, const TPropertyValue& Value,
                                  int32_t WriteMode)
{
    if (WriteMode == kPropertyWriteEvaluation)
        throw EGeneralError("Evaluation cannot write authored node properties");
    if (PropertyId < kNodePropertyPositionX || PropertyId > kNodePropertyVisible)
        throw EGeneralError("Unknown node property id: " + std::to_string(PropertyId));
    const char* name = kPropertyNames[PropertyId - 1];
    if (PropertyId == kNodePropertyVisible) {
        if (Value.Kind != pvkBoolean)
            throw EGeneralError(std::string(name) + " requires a boolean");
        Visible = Value.Bool;
        return;
    }
    if (Value.Kind != pvkFloat)
        throw EGeneralError(std::string(name) + " requires a float");
    // A non-finite transform could never be saved and breaks every matrix below it.
    if (!std::isfinite(Value.Float))
        throw EGeneralError(std::string(name) + " requires a finite value");
    float* const fields[9] = {&Position.X, &Position.Y, &Position.Z, &Rotation.X, &Rotation.Y,
                              &Rotation.Z, &Scale.X,    &Scale.Y,    &Scale.Z};
    float& field = *fields[PropertyId - 1];
    const float old = field;
    field = Value.Float;
    TransformChanged();
    try {
        CheckWorldFinite(std::string("Unable to set ") + name);
    } catch (...) {
        field = old;
        TransformChanged();
        throw;
    }
}
