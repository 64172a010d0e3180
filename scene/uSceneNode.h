#pragma once
// The element of the scene hierarchy. A node knows its parent and its ordered children
// but owns none of them: the scene registers and frees every node. The local transform
// is translation, Euler rotation in degrees and scale; local, world and inverse world
// matrices are cached and recomputed on request after a change.
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "base/uDocumentIds.h"
#include "base/uErrors.h"
#include "base/uMath.h"
#include "scene/uPropertyTypes.h"

// Write mode of an evaluation: it must never change authored node properties.
constexpr int32_t kPropertyWriteEvaluation = 3;

class TSceneNode {
public:
    // Id kNoId allocates a fresh scene node id; any other id is stored as given (the
    // caller reserves it).
    explicit TSceneNode(uint32_t Id = kNoId);
    virtual ~TSceneNode();
    TSceneNode(const TSceneNode&) = delete;
    TSceneNode& operator=(const TSceneNode&) = delete;

    // Plain fields: no invariant ties them to anything else.
    std::string Name;
    bool Selected = false;  // written by the editor's selection and the scene reader

    uint32_t GetId() const { return Id; }
    void SetId(uint32_t Value) { Id = Value; }
    TSceneNode* GetParent() const { return Parent; }
    bool GetVisible() const { return Visible; }
    void SetVisible(bool Value) { Visible = Value; }
    bool GetLocked() const { return Locked; }
    void SetLocked(bool Value) { Locked = Value; }

    // Hierarchy. These only link; the scene's operations add registration and
    // notification around them.
    int ChildCount() const { return static_cast<int>(Children.size()); }
    // Throws EArgumentOutOfRangeException outside 0..ChildCount-1.
    TSceneNode* GetChild(int Index) const;
    const std::vector<TSceneNode*>& GetChildren() const { return Children; }
    int IndexOfChild(const TSceneNode* Node) const;
    void RemoveChild(TSceneNode* Child);
    // -1 (and no change) for none, this node or one of its ancestors; otherwise the
    // index, clamped after the child left its old parent, at which it now sits.
    int InsertChild(TSceneNode* Child, int Index);
    // A node is its own ancestor.
    bool IsAncestorOf(const TSceneNode* Node) const;
    bool IsDescendantOf(const TSceneNode* Node) const;

    // Transform.
    const TVec3& GetPosition() const { return Position; }
    const TVec3& GetRotation() const { return Rotation; }
    const TVec3& GetScale() const { return Scale; }
    float GetRotationX() const { return Rotation.X; }
    float GetRotationY() const { return Rotation.Y; }
    float GetRotationZ() const { return Rotation.Z; }
    float GetScaleX() const { return Scale.X; }
    float GetScaleY() const { return Scale.Y; }
    float GetScaleZ() const { return Scale.Z; }
    // These do nothing when the value equals the stored one (a NaN never does).
    void SetPosition(const TVec3& Value);
    void SetRotationX(float Value);
    void SetRotationY(float Value);
    void SetRotationZ(float Value);
    void SetScaleX(float Value);
    void SetScaleY(float Value);
    void SetScaleZ(float Value);
    // Always counts as a change.
    void SetTransform(const TVec3& NewPosition, const TVec3& NewRotation, const TVec3& NewScale);
    void TransformChanged();
    void MarkSubtreeWorldDirty();
    // Tells every ancestor that something below it changed (moved, linked or unlinked),
    // so that nodes whose content depends on their descendants can refresh it. Inside a
    // TSceneNoticeBatch each ancestor hears it once per batch (see there).
    void NotifyAncestorsOfChange();

    const TMatrix4& GetLocalMatrix();
    const TMatrix4& GetWorldMatrix();
    // The all-zero matrix when the world matrix is singular.
    const TMatrix4& GetInverseWorldMatrix();
    TVec3 GetWorldPosition();
    // Elements of the world matrix that are not-a-number or infinite. The scene file
    // reader refuses a hierarchy holding any (TScene::ValidateHierarchy).
    int NonFiniteWorldElements();
    static int NonFiniteElements(const TMatrix4& Matrix);
    // The first node of this subtree, in pre-order, with such an element; none when every
    // world matrix in it is finite.
    TSceneNode* FindNonFiniteWorld();
    // Raises EGeneralError naming that node when the subtree has one: what every edit of
    // a transform or a parent checks before it stands.
    void CheckWorldFinite(const std::string& Refused);

    // Generic access by node property id (1-9 position, rotation, scale X/Y/Z; 10 Visible).
    // A transform value that would leave a world matrix in the subtree non-finite is refused
    // ("Unable to set Position X: the world matrix of "%s" would not be finite.").
    void GetPropertyValue(int32_t PropertyId, TPropertyValue& Value) const;
    void SetPropertyValue(int32_t PropertyId, const TPropertyValue& Value, int32_t WriteMode);

protected:
    // Runs after every change of this node's local transform.
    virtual void DoTransformChanged() {}
    // Runs on every ancestor of a node whose transform or links changed.
    virtual void DoDescendantChanged() {}

    // The kinds of notice an ancestor walk delivers; each keeps its own batch marks.
    enum TAncestorNotice : int { anDescendantChanged = 0, anObjectMoved = 1 };
    // Calls Notice on every ancestor, the parent first. Inside a TSceneNoticeBatch the
    // walk ends at an ancestor that heard the same kind of notice earlier in the batch:
    // it and everything above it have heard it already.
    template <typename F>
    void NotifyAncestors(TAncestorNotice Kind, F&& Notice);
    // Whatever an ancestor did on hearing a notice has been undone somewhere (a mesh was
    // evaluated): the walks of the open batch must reach the root again.
    static void ForgetAncestorNotices();

private:
    friend class TSceneNoticeBatch;
    static constexpr int kNoticeKinds = 2;
    // Inside a batch; the batch's number for each kind of notice.
    static int NoticeBatchDepth;
    static uint64_t NoticeSerial[kNoticeKinds];

    void StoreComponent(float& Field, float Value);
    // A link changed: the ancestors of this subtree are not the ones that heard notices.
    static void ForgetMovedNotices();

    uint32_t Id;
    TSceneNode* Parent = nullptr;
    std::vector<TSceneNode*> Children;
    TVec3 Position{0, 0, 0};
    TVec3 Rotation{0, 0, 0};
    TVec3 Scale{1, 1, 1};
    TMatrix4 LocalMatrix{};
    TMatrix4 WorldMatrix{};
    TMatrix4 InverseWorldMatrix{};
    bool LocalDirty = true;
    bool WorldDirty = true;
    bool InverseDirty = true;
    bool Visible = true;
    bool Locked = false;
    // The batch number of each kind of notice this node and all its ancestors last heard.
    uint64_t NoticeHeard[kNoticeKinds] = {0, 0};
};

// While one is alive, change notices walk up the tree only as far as the first ancestor
// that heard the same kind in this batch, so a pass that changes many nodes of a deep
// tree costs a constant per node instead of a walk to the root each. A mesh evaluated
// meanwhile makes the walks go to the root again, so nothing is missed. Nests.
class TSceneNoticeBatch {
public:
    TSceneNoticeBatch();
    ~TSceneNoticeBatch();
    TSceneNoticeBatch(const TSceneNoticeBatch&) = delete;
    TSceneNoticeBatch& operator=(const TSceneNoticeBatch&) = delete;
};

template <typename F>
void TSceneNode::NotifyAncestors(TAncestorNotice Kind, F&& Notice)
{
    if (NoticeBatchDepth == 0) {
        for (TSceneNode* n = Parent; n != nullptr; n = n->Parent)
            Notice(*n);
        return;
    }
    const uint64_t batch = NoticeSerial[Kind];
    TSceneNode* n = Parent;
    for (; n != nullptr && n->NoticeHeard[Kind] != batch; n = n->Parent)
        Notice(*n);
    // Everything walked over, and everything above where the walk stopped, has heard it.
    for (TSceneNode* m = Parent; m != n; m = m->Parent)
        m->NoticeHeard[Kind] = batch;
}

// The subtree of Root (Root included) in post-order: each child's subtree in order, then
// the node. Without recursion.
std::vector<TSceneNode*> SubtreePostOrder(TSceneNode* Root);

// The subtree of Root (Root included) in pre-order, a node before its children and
// children in order, without recursion. Visit(Node, FromParent, ToChildren) returns False
// to skip the node's subtree; otherwise ToChildren is what its children get as FromParent
// (a world matrix, say).
template <typename TCarried, typename TNode, typename F>
void WalkSubtreePreOrder(TNode* Root, const TCarried& RootCarried, F&& Visit)
{
    using TBase = std::conditional_t<std::is_const_v<TNode>, const TSceneNode, TSceneNode>;
    struct TPending {
        TBase* Node;
        TCarried FromParent;
    };
    std::vector<TPending> pending{{Root, RootCarried}};
    while (!pending.empty()) {
        TPending top = std::move(pending.back());
        pending.pop_back();
        TCarried toChildren = top.FromParent;
        if (!Visit(*top.Node, top.FromParent, toChildren))
            continue;
        const auto& children = top.Node->GetChildren();
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            pending.push_back({*it, toChildren});
    }
}

// A group: a node with nothing else. The scene root is one.
class TSceneGroup : public TSceneNode {
public:
    using TSceneNode::TSceneNode;
};
