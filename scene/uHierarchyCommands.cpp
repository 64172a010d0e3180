#include "scene/uHierarchyCommands.h"

#include <algorithm>
#include <unordered_set>

#include "base/uErrors.h"
#include "base/uTextFile.h"

namespace {
constexpr const char* kCannotRestore = "Unable to restore hierarchy state.";

// The parent an id names: 0 is the root; none when no node has the id.
TSceneNode* FindParent(const TScene& Scene, uint32_t ParentId)
{
    return ParentId == 0 ? Scene.GetRoot() : Scene.FindNodeById(ParentId);
}

// An id the commands can look up: none for a missing node.
uint32_t IdOf(const TSceneNode* Node)
{
    return Node != nullptr ? Node->GetId() : kNoId;
}

TNodePlacement PlacementOf(const TSceneNode& Node)
{
    TNodePlacement place;
    place.NodeId = Node.GetId();
    const TSceneNode* parent = Node.GetParent();
    place.ParentId = parent != nullptr ? parent->GetId() : kNoId;
    place.Index = parent != nullptr ? parent->IndexOfChild(&Node) : 0;
    place.Position = Node.GetPosition();
    place.Rotation = Node.GetRotation();
    place.Scale = Node.GetScale();
    return place;
}

struct TLink {
    TSceneNode* Node;
    TSceneNode* Parent;  // none: the node stays unlinked
    int Index;
};

// Links every node under its parent at its index. All of them leave their parents first
// and then go in in ascending index, so the children that stay keep their order in front
// and every index means what it meant in the state it was taken from, however many of the
// nodes shared a parent before or after. False when the scene refuses a link (the node
// would become its own ancestor); the tree is then half done.
bool LinkAll(TScene& Scene, std::vector<TLink> Links)
{
    for (const TLink& link : Links)
        Scene.UnlinkFromParent(link.Node);
    std::stable_sort(Links.begin(), Links.end(),
                     [](const TLink& a, const TLink& b) { return a.Index < b.Index; });
    bool linked = true;
    for (const TLink& link : Links) {
        if (link.Parent != nullptr) {
            Scene.LinkToParent(link.Node, link.Parent, link.Index);
            linked = linked && link.Node->GetParent() == link.Parent;
        }
        link.Node->MarkSubtreeWorldDirty();
    }
    return linked;
}

std::vector<TLink> CurrentLinks(const std::vector<TLink>& Links)
{
    std::vector<TLink> current;
    current.reserve(Links.size());
    for (const TLink& link : Links) {
        TSceneNode* parent = link.Node->GetParent();
        current.push_back(
            {link.Node, parent, parent != nullptr ? parent->IndexOfChild(link.Node) : 0});
    }
    return current;
}

// Puts the nodes where Places says, with their transforms, as one change: either every
// node that still exists goes (each notified) or nothing changes and ESceneHierarchyError
// "Unable to restore hierarchy state." is raised. Nodes that are gone, and nodes whose
// parent is gone, are skipped.
void RestorePlaces(TScene& Scene, const std::vector<TNodePlacement>& Places)
{
    std::vector<TLink> links;
    std::vector<const TNodePlacement*> used;
    for (const TNodePlacement& place : Places) {
        TSceneNode* node = Scene.FindNodeById(place.NodeId);
        TSceneNode* parent = FindParent(Scene, place.ParentId);
        if (node == nullptr || node == Scene.GetRoot() || parent == nullptr)
            continue;
        const bool inPlace =
            node->GetParent() == parent && parent->IndexOfChild(node) == place.Index;
        if (!inPlace && !Scene.CanReparent(node, parent))
            throw ESceneHierarchyError(kCannotRestore);
        links.push_back({node, parent, place.Index});
        used.push_back(&place);
    }
    if (links.empty())
        return;
    const std::vector<TLink> before = CurrentLinks(links);
    std::vector<TNodePlacement> transforms;
    for (const TLink& link : links)
        transforms.push_back(PlacementOf(*link.Node));
    if (!LinkAll(Scene, links)) {
        LinkAll(Scene, before);
        throw ESceneHierarchyError(kCannotRestore);
    }
    for (size_t i = 0; i < links.size(); ++i) {
        links[i].Node->SetTransform(used[i]->Position, used[i]->Rotation, used[i]->Scale);
        links[i].Node->MarkSubtreeWorldDirty();
    }
    // A parent moved since (a transform is not a step of the history) may put a restored
    // node past the float range: then nothing is restored.
    for (const TLink& link : links)
        if (const TSceneNode* bad = link.Node->FindNonFiniteWorld()) {
            const std::string name = bad->Name;
            LinkAll(Scene, before);
            for (size_t i = 0; i < links.size(); ++i)
                links[i].Node->SetTransform(transforms[i].Position, transforms[i].Rotation,
                                            transforms[i].Scale);
            throw ESceneHierarchyError("Unable to restore hierarchy state: the world matrix of \"" +
                                       TextExcerpt(name) + "\" would not be finite.");
        }
    for (const TLink& link : links)
        Scene.NotifyChange(sckHierarchyChanged, link.Node->GetId());
}

// Ids of a subtree in pre-order: a node before its children, children in order.
TSceneNodeIdArray PreOrderIds(const TSceneNode& Top)
{
    TSceneNodeIdArray ids;
    ids.reserve(64);
    std::vector<const TSceneNode*> stack{&Top};
    while (!stack.empty()) {
        const TSceneNode* node = stack.back();
        stack.pop_back();
        ids.push_back(node->GetId());
        const auto& children = node->GetChildren();
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.push_back(*it);
    }
    return ids;
}

// Tells the scene's node-removing receiver (which closes the node's editors) about every
// node of a subtree about to leave the scene, in the order a deletion would: a node
// before its children, children from the last to the first.
void ReportRemoving(TScene& Scene, TSceneNode& Top)
{
    if (!Scene.OnNodeRemoving)
        return;
    std::vector<TSceneNode*> stack{&Top};
    while (!stack.empty()) {
        TSceneNode* node = stack.back();
        stack.pop_back();
        Scene.OnNodeRemoving(Scene, *node);
        for (TSceneNode* child : node->GetChildren())
            stack.push_back(child);
    }
}

// Moves every node below Top that a command did not create (its id is not in Created)
// out to Top's parent, just before Top, keeping its world placement where the parent
// allows it (its local transform otherwise). Taking Top out of the scene then takes only
// what the command made.
void MoveOutForeignNodes(TScene& Scene, TSceneNode& Top, const TSceneNodeIdArray& Created)
{
    TSceneNode* parent = Top.GetParent();
    if (parent == nullptr)
        return;
    const std::unordered_set<uint32_t> created(Created.begin(), Created.end());
    std::vector<TSceneNode*> foreign;
    std::vector<TSceneNode*> stack{&Top};
    while (!stack.empty()) {
        TSceneNode* node = stack.back();
        stack.pop_back();
        if (node != &Top && !created.contains(node->GetId())) {
            foreign.push_back(node);  // it moves with its own subtree
            continue;
        }
        const auto& children = node->GetChildren();
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.push_back(*it);
    }
    for (TSceneNode* node : foreign) {
        const TMatrix4 world = node->GetWorldMatrix();
        Scene.LinkToParent(node, parent, parent->IndexOfChild(&Top));
        TMatrix4 parentInverse, local;
        TVec3 position, rotation, scale;
        bool shear = false;
        if (MatInverse(parent->GetWorldMatrix(), parentInverse)) {
            MatMultiply(parentInverse, world, local);
            if (MatDecompose(local, position, rotation, scale, shear) && !shear)
                node->SetTransform(position, rotation, scale);
        }
        node->MarkSubtreeWorldDirty();
        Scene.NotifyChange(sckHierarchyChanged, node->GetId());
    }
}
}  // namespace

// --- Reparent ---

TReparentNodesCommand::TReparentNodesCommand(TScene& Scene, bool KeepLocal, int32_t Index,
                                             uint32_t NewParentId, const TSceneNodeIdArray& NodeIds)
    : Scene(Scene), NodeIds(NodeIds), NewParentId(NewParentId), Index(Index), KeepLocal(KeepLocal)
{
}

void TReparentNodesCommand::Execute()
{
    if (Executed) {
        RestorePlaces(Scene, NewPlaces);
        return;
    }
    // Nodes that are gone are left out; a node named twice moves once.
    std::vector<TSceneNode*> nodes;
    std::unordered_set<uint32_t> seen;
    for (uint32_t id : NodeIds) {
        if (!seen.insert(id).second)
            continue;
        if (TSceneNode* node = Scene.FindNodeById(id))
            nodes.push_back(node);
    }
    TSceneNode* target = FindParent(Scene, NewParentId);
    if (target == nullptr)
        target = Scene.GetRoot();

    std::vector<TNodePlacement> before;
    std::vector<TLink> beforeLinks;
    for (TSceneNode* node : nodes) {
        before.push_back(PlacementOf(*node));
        TSceneNode* parent = node->GetParent();
        beforeLinks.push_back({node, parent, before.back().Index});
    }
    try {
        Scene.ReparentNodes(nodes, target, Index, KeepLocal);
    } catch (...) {
        // The scene puts back the nodes that changed parent; this also puts back the ones
        // it only reordered, so a refused move leaves the tree exactly as it was.
        LinkAll(Scene, beforeLinks);
        for (size_t i = 0; i < nodes.size(); ++i)
            nodes[i]->SetTransform(before[i].Position, before[i].Rotation, before[i].Scale);
        throw;
    }
    OldPlaces = std::move(before);
    NewPlaces.clear();
    for (TSceneNode* node : nodes)
        NewPlaces.push_back(PlacementOf(*node));
    Executed = true;
}

void TReparentNodesCommand::Undo()
{
    if (Executed)
        RestorePlaces(Scene, OldPlaces);
}

// --- Delete ---

TDeleteSubtreeCommand::TDeleteSubtreeCommand(TScene& Scene, const TSceneNode* Node)
    : Scene(Scene), NodeId(IdOf(Node))
{
    if (Node != nullptr && Node->GetParent() != nullptr) {
        ParentId = Node->GetParent()->GetId();
        Index = Node->GetParent()->IndexOfChild(Node);
    }
}

void TDeleteSubtreeCommand::Execute()
{
    if (Snapshot != nullptr)
        return;  // already out of the scene
    TSceneNode* node = Scene.FindNodeById(NodeId);
    // The root is never deleted: there would be no scene left to undo into.
    if (node == nullptr || node == Scene.GetRoot() || node->GetParent() == nullptr)
        return;
    ParentId = node->GetParent()->GetId();
    Index = node->GetParent()->IndexOfChild(node);
    ReportRemoving(Scene, *node);
    Snapshot = Scene.DetachSubtree(node);
}

void TDeleteSubtreeCommand::Undo()
{
    if (Snapshot == nullptr)
        return;
    TSceneNode* parent = FindParent(Scene, ParentId);
    if (parent == nullptr || !Scene.InsertSubtree(Snapshot, parent, Index)) {
        Scene.InsertSubtree(Snapshot, Scene.GetRoot(), Index);
        return;
    }
    // Its parent moved since (a transform is not a step of the history) so far that the
    // subtree would leave the float range there: it comes back under the root instead, as
    // when its parent is gone, rather than be lost or make the project unsaveable.
    TSceneNode* node = Scene.FindNodeById(NodeId);
    if (node != nullptr && node->FindNonFiniteWorld() != nullptr) {
        Scene.LinkToParent(node, Scene.GetRoot(), Index);
        node->MarkSubtreeWorldDirty();
        Scene.NotifyChange(sckHierarchyChanged, node->GetId());
    }
}

// --- Duplicate ---

TDuplicateSubtreeCommand::TDuplicateSubtreeCommand(TScene& Scene, const TSceneNode* Node)
    : Scene(Scene), SourceId(IdOf(Node)), ParentId(kNoId), Index(0)
{
    if (Node != nullptr && Node->GetParent() != nullptr) {
        ParentId = Node->GetParent()->GetId();
        Index = Node->GetParent()->IndexOfChild(Node);
    }
}

void TDuplicateSubtreeCommand::Execute()
{
    if (KeptCopy != nullptr) {
        TSceneNode* parent = FindParent(Scene, CopyParentId);
        if (parent == nullptr)
            return;
        TSceneNode* copy = KeptCopy.get();
        TSceneNode* source = Scene.FindNodeById(SourceId);
        const bool sourceSelected = source != nullptr && source->Selected;
        // Selected before the scene reports the copy, as a fresh duplicate is.
        if (source != nullptr)
            source->Selected = false;
        copy->Selected = true;
        if (!Scene.InsertSubtree(KeptCopy, parent, CopyIndex)) {
            copy->Selected = false;
            if (source != nullptr)
                source->Selected = sourceSelected;
            return;
        }
        SourceWasSelected = sourceSelected;
        return;
    }
    if (CopyRootId != kNoId)
        return;  // the copy is in the scene (or was removed by other means)
    TSceneNode* source = Scene.FindNodeById(SourceId);
    if (source == nullptr || source == Scene.GetRoot() || FindParent(Scene, ParentId) == nullptr)
        return;
    const bool sourceSelected = source->Selected;
    TSceneNode* copy = Scene.DuplicateSubtree(source);
    if (copy == nullptr)
        return;
    SourceWasSelected = sourceSelected;
    CopyRootId = copy->GetId();
    RecordedIds = PreOrderIds(*copy);
}

void TDuplicateSubtreeCommand::Undo()
{
    if (KeptCopy != nullptr || CopyRootId == kNoId)
        return;
    TSceneNode* copy = Scene.FindNodeById(CopyRootId);
    if (copy == nullptr || copy->GetParent() == nullptr)
        return;
    MoveOutForeignNodes(Scene, *copy, RecordedIds);
    CopyParentId = copy->GetParent()->GetId();
    CopyIndex = copy->GetParent()->IndexOfChild(copy);
    ReportRemoving(Scene, *copy);
    // The duplicate took the source's selection; it goes back before the scene reports.
    if (TSceneNode* source = Scene.FindNodeById(SourceId))
        source->Selected = SourceWasSelected;
    KeptCopy = Scene.DetachSubtree(copy);
}

// --- Create group ---

TCreateGroupCommand::TCreateGroupCommand(TScene& Scene, const std::string& Name,
                                         const TSceneNode* Parent, int32_t Index)
    : Scene(Scene), Name(Name), ParentId(Parent != nullptr ? Parent->GetId() : 0), Index(Index)
{
}

void TCreateGroupCommand::Execute()
{
    if (KeptGroup != nullptr) {
        TSceneNode* parent = FindParent(Scene, GroupParentId);
        if (parent == nullptr || !Scene.InsertSubtree(KeptGroup, parent, GroupIndex))
            Scene.InsertSubtree(KeptGroup, Scene.GetRoot(), GroupIndex);
        return;
    }
    if (GroupId != kNoId)
        return;  // the group is in the scene (or was removed by other means)
    TSceneNode* parent = FindParent(Scene, ParentId);
    TSceneGroup* group =
        Scene.CreateGroup(Name, parent != nullptr ? parent : Scene.GetRoot(), Index);
    GroupId = group->GetId();
}

void TCreateGroupCommand::Undo()
{
    if (KeptGroup != nullptr || GroupId == kNoId)
        return;
    TSceneNode* group = Scene.FindNodeById(GroupId);
    if (group == nullptr || group->GetParent() == nullptr)
        return;
    MoveOutForeignNodes(Scene, *group, TSceneNodeIdArray{GroupId});
    GroupParentId = group->GetParent()->GetId();
    GroupIndex = group->GetParent()->IndexOfChild(group);
    ReportRemoving(Scene, *group);
    KeptGroup = Scene.DetachSubtree(group);
}

// --- Rename ---

TRenameNodeCommand::TRenameNodeCommand(TScene& Scene, const std::string& NewName,
                                       const TSceneNode* Node, std::function<void()> Changed)
    : Scene(Scene), NodeId(IdOf(Node)), OldName(Node != nullptr ? Node->Name : std::string()),
      NewName(NewName), Changed(std::move(Changed))
{
}

void TRenameNodeCommand::WriteName(const std::string& Name)
{
    TSceneNode* node = Scene.FindNodeById(NodeId);
    if (node == nullptr)
        return;
    node->Name = Name;
    if (Changed)
        Changed();
}

void TRenameNodeCommand::Execute()
{
    // A name far longer than anyone types (a paste gone wrong) could not be read back.
    CheckNameLength(NewName);
    WriteName(NewName);
}

void TRenameNodeCommand::Undo()
{
    WriteName(OldName);
}
