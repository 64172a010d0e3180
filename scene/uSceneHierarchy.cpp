// Structural edits of the scene tree that must keep it consistent: reparenting with or
// without keeping the world placement (rolled back when impossible), restoring a
// recorded place, duplicating a subtree under a fresh name, and validating a whole
// hierarchy after a load.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "base/uErrors.h"
#include "base/uTextFile.h"
#include "scene/uScene.h"

namespace {
constexpr const char* kInvalidOperation = "Invalid hierarchy operation.";
constexpr const char* kSingularParent =
    "Unable to preserve world transform: the new parent matrix is singular.";
constexpr const char* kCannotPreserve = "Unable to preserve world transform.";
constexpr const char* kShear =
    "Unable to preserve the exact transform because the new parent creates shear.";
constexpr const char* kCannotRestore = "Unable to restore hierarchy state.";

struct TLocalTransform {
    TVec3 Position, Rotation, Scale;
};

// The local transform under NewParent that keeps the world matrix World; null on success,
// else the refusal message.
const char* LocalTransformKeepingWorld(TSceneNode& NewParent, const TMatrix4& World,
                                       TLocalTransform& Local)
{
    TMatrix4 parentInverse;
    if (!MatInverse(NewParent.GetWorldMatrix(), parentInverse))
        return kSingularParent;
    TMatrix4 L;
    MatMultiply(parentInverse, World, L);
    bool shear = false;
    if (!MatDecompose(L, Local.Position, Local.Rotation, Local.Scale, shear))
        return kCannotPreserve;
    if (shear)
        return kShear;
    return nullptr;
}

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string AsciiLowerText(std::string s)
{
    for (char& c : s)
        c = AsciiLower(c);
    return s;
}

// Name for a copy of Source: the trailing number plus one (or " 1" without one), then the
// first number no name in Taken (lower-cased) bears.
std::string FreeCopyName(const std::string& Source, const std::unordered_set<std::string>& Taken)
{
    size_t digitsStart = Source.size();
    while (digitsStart > 0 && Source[digitsStart - 1] >= '0' && Source[digitsStart - 1] <= '9')
        --digitsStart;
    std::string base = Source + " ";
    int64_t next = 1;
    if (digitsStart < Source.size()) {
        // A run that does not fit a signed 32-bit integer counts as no number.
        int64_t n = 0;
        bool fits = true;
        for (size_t i = digitsStart; i < Source.size() && fits; ++i) {
            n = n * 10 + (Source[i] - '0');
            fits = n <= INT32_MAX;
        }
        if (fits) {
            base = Source.substr(0, digitsStart);
            next = n + 1;  // 64-bit: 2147483647 + 1 does not wrap
        }
    }
    for (;; ++next) {
        std::string candidate = base + std::to_string(next);
        if (!Taken.contains(AsciiLowerText(candidate)))
            return candidate;
    }
}

// A move that would leave a world matrix below it non-finite makes a scene that no file
// can hold: it is refused like the other impossible moves.
void CheckWorldStaysFinite(TSceneNode& Node)
{
    if (const TSceneNode* bad = Node.FindNonFiniteWorld())
        throw ESceneHierarchyError("Unable to move \"" + TextExcerpt(Node.Name) +
                                   "\": the world matrix of \"" + TextExcerpt(bad->Name) +
                                   "\" would not be finite.");
}

std::string Quoted(const std::string& Name)
{
    return "\"" + Name + "\"";
}
}  // namespace

bool TScene::CanReparent(const TSceneNode* Node, const TSceneNode* NewParent) const
{
    if (Node == nullptr || NewParent == nullptr || Node == Root || Node == NewParent)
        return false;
    if (!IsRegistered(Node) || !IsRegistered(NewParent))
        return false;
    if (IsLockedInHierarchy(Node) || IsLockedInHierarchy(NewParent))
        return false;
    // Walking up from the new parent must not reach the node (bounded against corrupt
    // parent chains).
    size_t steps = 0;
    for (const TSceneNode* n = NewParent; n != nullptr; n = n->GetParent()) {
        if (n == Node || ++steps > Nodes.size())
            return false;
    }
    return true;
}

void TScene::ReparentNode(TSceneNode* Node, TSceneNode* NewParent, int Index, bool KeepLocal)
{
    if (!CanReparent(Node, NewParent))
        throw ESceneHierarchyError(kInvalidOperation);
    TSceneNode* oldParent = Node->GetParent();
    const int oldIndex = oldParent != nullptr ? oldParent->IndexOfChild(Node) : -1;
    TMatrix4 world{};
    if (!KeepLocal)
        world = Node->GetWorldMatrix();
    const TVec3 position = Node->GetPosition(), rotation = Node->GetRotation(),
                scale = Node->GetScale();

    LinkToParent(Node, NewParent, Index);
    if (!KeepLocal) {
        TLocalTransform local;
        if (const char* refusal = LocalTransformKeepingWorld(*NewParent, world, local)) {
            if (oldParent != nullptr)
                LinkToParent(Node, oldParent, oldIndex);
            else
                UnlinkFromParent(Node);
            throw ESceneHierarchyError(refusal);
        }
        Node->SetTransform(local.Position, local.Rotation, local.Scale);
    }
    Node->MarkSubtreeWorldDirty();
    try {
        CheckWorldStaysFinite(*Node);
    } catch (...) {
        if (oldParent != nullptr)
            LinkToParent(Node, oldParent, oldIndex);
        else
            UnlinkFromParent(Node);
        Node->SetTransform(position, rotation, scale);
        Node->MarkSubtreeWorldDirty();
        throw;
    }
    NotifyChange(sckHierarchyChanged, Node->GetId());
}

void TScene::ReparentNodes(const std::vector<TSceneNode*>& MovedNodes, TSceneNode* NewParent,
                           int Index, bool KeepLocal)
{
    if (MovedNodes.empty())
        return;
    for (TSceneNode* node : MovedNodes)
        if (!CanReparent(node, NewParent))
            throw ESceneHierarchyError(kInvalidOperation);

    struct TRemembered {
        TSceneNode* Node;
        TSceneNode* OldParent;
        int OldIndex;
        TVec3 Position, Rotation, Scale;
        TMatrix4 World;
    };
    std::vector<TRemembered> remembered;
    remembered.reserve(MovedNodes.size());
    for (TSceneNode* node : MovedNodes) {
        TSceneNode* parent = node->GetParent();
        remembered.push_back({node, parent, parent != nullptr ? parent->IndexOfChild(node) : -1,
                              node->GetPosition(), node->GetRotation(), node->GetScale(),
                              KeepLocal ? TMatrix4{} : node->GetWorldMatrix()});
    }

    try {
        int at = std::clamp(Index, 0, NewParent->ChildCount());
        for (const TRemembered& r : remembered) {
            const int current = NewParent->IndexOfChild(r.Node);
            if (current >= 0 && current < at)
                --at;
            LinkToParent(r.Node, NewParent, at);
            if (!KeepLocal) {
                TLocalTransform local;
                if (const char* refusal = LocalTransformKeepingWorld(*NewParent, r.World, local))
                    throw ESceneHierarchyError(refusal);
                r.Node->SetTransform(local.Position, local.Rotation, local.Scale);
            }
            ++at;
            r.Node->MarkSubtreeWorldDirty();
            CheckWorldStaysFinite(*r.Node);
        }
    } catch (...) {
        // Put every node that left its old parent back. Siblings of one old parent go
        // back in ascending remembered index, which rebuilds their original order.
        std::vector<const TRemembered*> order;
        std::vector<TSceneNode*> oldParents;
        for (const TRemembered& r : remembered)
            if (std::find(oldParents.begin(), oldParents.end(), r.OldParent) == oldParents.end())
                oldParents.push_back(r.OldParent);
        for (TSceneNode* p : oldParents) {
            const size_t first = order.size();
            for (const TRemembered& r : remembered)
                if (r.OldParent == p)
                    order.push_back(&r);
            std::stable_sort(order.begin() + first, order.end(),
                             [](const TRemembered* a, const TRemembered* b) {
                                 return a->OldIndex < b->OldIndex;
                             });
        }
        for (const TRemembered* r : order) {
            if (r->Node->GetParent() != r->OldParent) {
                if (r->OldParent != nullptr)
                    LinkToParent(r->Node, r->OldParent, r->OldIndex);
                else
                    UnlinkFromParent(r->Node);
            }
        }
        for (const TRemembered& r : remembered) {
            r.Node->SetTransform(r.Position, r.Rotation, r.Scale);
            r.Node->MarkSubtreeWorldDirty();
        }
        throw;
    }
    NotifyChange(sckHierarchyChanged, MovedNodes.front()->GetId());
}

void TScene::RestoreHierarchy(uint32_t NodeId, uint32_t ParentId, int Index, const TVec3& Position,
                              const TVec3& Rotation, const TVec3& Scale)
{
    TSceneNode* node = FindNodeById(NodeId);
    if (node == nullptr)
        return;
    TSceneNode* parent = FindNodeById(ParentId);
    if (parent == nullptr) {
        if (ParentId != 0)
            return;
        parent = Root;
    }
    if (node->GetParent() != parent || parent->IndexOfChild(node) != Index) {
        if (!CanReparent(node, parent))
            throw ESceneHierarchyError(kCannotRestore);
        LinkToParent(node, parent, Index);
    }
    node->SetTransform(Position, Rotation, Scale);
    node->MarkSubtreeWorldDirty();
    NotifyChange(sckHierarchyChanged, node->GetId());
}

TSceneNode* TScene::DuplicateSubtree(TSceneNode* Node)
{
    if (Node == nullptr || Node == Root)
        return nullptr;
    TSceneNode* parent = Node->GetParent();
    const int index = parent != nullptr ? parent->IndexOfChild(Node) : -1;

    TDetachedSubtree copy = CloneSubtree(Node);
    std::unordered_set<std::string> taken;
    taken.reserve(Nodes.size());
    for (const TSceneNode* n : Nodes)
        if (n != nullptr)
            taken.insert(AsciiLowerText(n->Name));
    copy->Name = FreeCopyName(Node->Name, taken);
    // Only the copy's root moves, so its descendants keep their places relative to it.
    copy->SetPosition(Vec3Add(copy->GetPosition(), TVec3{0.5f, 0, 0}));

    TSceneNode* result = copy.release();
    RegisterSubtree(result);
    if (parent != nullptr)
        LinkToParent(result, parent, index + 1);
    Node->Selected = false;
    result->Selected = true;
    NotifyChange(sckNodeAdded, result->GetId());
    return result;
}

bool TScene::ValidateHierarchy(std::string& Messages,
                               const std::function<const TMatrix4&(TSceneNode&)>& World)
{
    Messages.clear();
    bool ok = true;
    auto report = [&](const std::string& message) {
        if (!ok)
            Messages += "\r\n";
        Messages += message;
        ok = false;
    };

    // 1. The tree from the root, pre-order. A node reached a second time (two parents
    // list it) is reported by its id but not walked again, so the walk stays linear.
    std::unordered_set<uint32_t> seenIds;
    std::unordered_set<const TSceneNode*> visited;
    std::unordered_set<const TSceneNode*> onPath;
    struct TFrame {
        TSceneNode* Node;
        size_t Next;
    };
    std::vector<TFrame> stack;
    auto enter = [&](TSceneNode* n) {
        if (!seenIds.insert(n->GetId()).second)
            report("Duplicate node id " + std::to_string(static_cast<int32_t>(n->GetId())) + ".");
        if (!visited.insert(n).second)
            return;
        onPath.insert(n);
        stack.push_back({n, 0});
    };
    enter(Root);
    while (!stack.empty()) {
        TFrame& top = stack.back();
        TSceneNode* n = top.Node;
        if (top.Next >= n->GetChildren().size()) {
            onPath.erase(n);
            stack.pop_back();
            continue;
        }
        TSceneNode* c = n->GetChildren()[top.Next++];
        if (c->GetParent() != n)
            report("Parent/child mismatch for " + Quoted(c->Name) + ".");
        if (c == n)
            report("Self-parenting detected.");
        if (onPath.contains(c)) {
            report("Cycle detected at " + Quoted(c->Name) + ".");
            continue;
        }
        enter(c);
    }

    // 2. Every registered node: the root first, every other node reaching the root through
    // its parents, and a finite world matrix. The upward walk is bounded by the registry
    // size, and nodes that do not reach the root are not asked for their world matrix (a
    // parent cycle would never end it).
    if (Nodes.empty() || Nodes.front() != Root)
        report("Root must be the first registered node.");
    // What each walk learns is kept, so every node is walked over once (a deep chain
    // costs no more than a flat list).
    std::unordered_map<const TSceneNode*, bool> reaches{{Root, true}};
    std::vector<const TSceneNode*> path;
    for (TSceneNode* node : Nodes) {
        if (node == nullptr)
            continue;
        bool reachable = node == Root;
        if (!reachable) {
            path.clear();
            const TSceneNode* p = node;
            auto known = reaches.find(p);
            while (known == reaches.end() && p != nullptr && path.size() <= Nodes.size()) {
                path.push_back(p);
                p = p->GetParent();
                known = p != nullptr ? reaches.find(p) : reaches.end();
            }
            reachable = known != reaches.end() && known->second;
            for (const TSceneNode* walked : path)
                reaches.emplace(walked, reachable);
            if (!reachable) {
                report("Node " + Quoted(node->Name) + " is not reachable from root.");
                continue;
            }
        }
        if (Root->GetParent() != nullptr)
            continue;
        const int nonFinite =
            World ? TSceneNode::NonFiniteElements(World(*node)) : node->NonFiniteWorldElements();
        for (int i = nonFinite; i > 0; --i)
            report("Non-finite world matrix for " + Quoted(node->Name) + ".");
    }
    return ok;
}
