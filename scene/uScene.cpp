#include "scene/uScene.h"

#include <algorithm>

#include "base/uMesh.h"
#include "scene/uCinematicEnvironment.h"
#include "scene/uSceneStatistics.h"

TScene* CurrentScene = nullptr;

namespace {
char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameTextIgnoringAsciiCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

// Pre-order list of a subtree (children in order), without recursion.
template <typename TNode>
std::vector<TNode*> PreOrder(TNode* Node)
{
    std::vector<TNode*> order;
    std::vector<TNode*> stack{Node};
    while (!stack.empty()) {
        TNode* n = stack.back();
        stack.pop_back();
        order.push_back(n);
        const auto& children = n->GetChildren();
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.push_back(*it);
    }
    return order;
}
}  // namespace

void TSubtreeDeleter::operator()(TSceneNode* Node) const
{
    if (Node == nullptr)
        return;
    std::vector<TSceneNode*> all = PreOrder(Node);
    for (auto it = all.rbegin(); it != all.rend(); ++it)
        delete *it;
}

TScene::TScene() : ContactCache(std::make_unique<TContactLightingCache>())
{
    DefaultContactLightRig(LightRig);
    Palette.fill(TVec3{1, 1, 1});
    Root = new TSceneGroup(0);
    RegisterNode(Root);
}

TScene::~TScene()
{
    // Receivers may already be gone when the owner tears the scene down.
    OnChange = nullptr;
    OnNodeRemoving = nullptr;
    Listeners.clear();
    while (Root->ChildCount() > 0)
        DeleteSubtreeKeepingHoles(Root->GetChild(0));
    // Nodes registered but not linked under the root.
    for (size_t i = Nodes.size(); i-- > 0;) {
        TSceneNode* n = i < Nodes.size() ? Nodes[i] : nullptr;
        if (n != nullptr && n != Root)
            DeleteSubtreeKeepingHoles(n);
    }
    delete Root;
}

bool TScene::IsRegistered(const TSceneNode* Node) const
{
    return Node != nullptr && Slots.contains(Node);
}

void TScene::RegisterNode(TSceneNode* Node)
{
    if (Node == nullptr || IsRegistered(Node))
        return;
    Slots.emplace(Node, Nodes.size());
    Nodes.push_back(Node);
    auto [it, inserted] = IdIndex.try_emplace(Node->GetId(), TIdSlot{Node, 1});
    if (!inserted)
        ++it->second.Count;
}

void TScene::RegisterSubtree(TSceneNode* Node)
{
    if (Node == nullptr)
        return;
    for (TSceneNode* n : PreOrder(Node))
        RegisterNode(n);
}

void TScene::UnregisterKeepingHole(TSceneNode* Node)
{
    auto slot = Slots.find(Node);
    if (Node == nullptr || slot == Slots.end())
        return;
    Nodes[slot->second] = nullptr;
    Slots.erase(slot);
    ++Holes;
    auto id = IdIndex.find(Node->GetId());
    if (id == IdIndex.end() || id->second.First != Node) {
        // The node's id changed after it was registered, or another node holds the slot.
        RebuildIdIndex();
        return;
    }
    if (--id->second.Count == 0) {
        IdIndex.erase(id);
        return;
    }
    // Another node shares the id: the next one in registration order takes over.
    id->second.First = nullptr;
    for (TSceneNode* n : Nodes)
        if (n != nullptr && n->GetId() == Node->GetId()) {
            id->second.First = n;
            break;
        }
}

void TScene::CompactRegistry()
{
    if (Holes == 0)
        return;
    std::erase(Nodes, nullptr);
    for (size_t i = 0; i < Nodes.size(); ++i)
        Slots[Nodes[i]] = i;
    Holes = 0;
}

void TScene::RebuildIdIndex() const
{
    IdIndex.clear();
    for (TSceneNode* n : Nodes) {
        if (n == nullptr)
            continue;
        auto [it, inserted] = IdIndex.try_emplace(n->GetId(), TIdSlot{n, 1});
        if (!inserted)
            ++it->second.Count;
    }
}

void TScene::UnregisterNode(TSceneNode* Node)
{
    UnregisterKeepingHole(Node);
    CompactRegistry();
}

void TScene::UnregisterSubtree(TSceneNode* Node)
{
    if (Node == nullptr)
        return;
    // Post-order: each child's subtree in order, then the node. (Reversing the pre-order
    // would visit the children last to first.)
    for (TSceneNode* n : SubtreePostOrder(Node))
        UnregisterKeepingHole(n);
    CompactRegistry();
}

void TScene::LinkToParent(TSceneNode* Node, TSceneNode* Parent, int Index)
{
    if (Node == nullptr || Parent == nullptr)
        return;
    Parent->InsertChild(Node, Index);
}

void TScene::UnlinkFromParent(TSceneNode* Node)
{
    if (Node == nullptr || Node->GetParent() == nullptr)
        return;
    Node->GetParent()->RemoveChild(Node);
}

namespace {
// The defaults every new object of the scene gets.
std::unique_ptr<TSceneObject> NewObject(TPrimitiveType PrimType)
{
    auto object = std::make_unique<TSceneObject>();
    object->PrimType = PrimType;
    object->SetPosition({0, 0, 0});
    object->SetScaleX(1);
    object->SetScaleY(1);
    object->SetScaleZ(1);
    object->SetRotationX(0);
    object->SetRotationY(0);
    object->SetRotationZ(0);
    object->Color = {0.7f, 0.7f, 0.75f};
    object->DisplayColor = RandomDisplayColor();
    object->Selected = false;
    object->SetVisible(true);
    object->TexId = 0;
    object->Blend = vcbMultiply;
    return object;
}
}  // namespace

TSceneObject* TScene::AddPrimitive(TPrimitiveType PrimType)
{
    if (PrimType < 0 || PrimType >= kPrimitiveTypeCount)
        PrimType = ptGenerated;
    std::unique_ptr<TSceneObject> object = NewObject(PrimType);
    object->RebuildPrimitiveMesh();
    object->Name = PrimitiveTypeName(PrimType) + " " + std::to_string(NextPrimitiveNumber());
    TSceneObject* o = object.release();
    RegisterNode(o);
    LinkToParent(o, Root, Root->ChildCount());
    NotifyChange(sckNodeAdded, o->GetId());
    return o;
}

TSceneObject* TScene::AddMeshObject(const std::string& Name, std::unique_ptr<TMeshData> Mesh,
                                    TSceneNode* Parent)
{
    std::unique_ptr<TSceneObject> object = NewObject(ptGenerated);
    object->SetBaseMesh(Mesh != nullptr ? std::move(Mesh) : std::make_unique<TMeshData>());
    object->Name = Name;
    TSceneObject* o = object.release();
    RegisterNode(o);
    TSceneNode* parent = Parent != nullptr ? Parent : Root;
    LinkToParent(o, parent, parent->ChildCount());
    NotifyChange(sckNodeAdded, o->GetId());
    return o;
}

TSceneGroup* TScene::CreateGroup(const std::string& Name, TSceneNode* Parent, int Index)
{
    auto group = std::make_unique<TSceneGroup>();
    group->Name = Name;
    TSceneGroup* g = group.release();
    RegisterNode(g);
    LinkToParent(g, Parent != nullptr ? Parent : Root, Index);
    NotifyChange(sckNodeAdded, g->GetId());
    return g;
}

void TScene::DeleteSubtreeKeepingHoles(TSceneNode* Node)
{
    if (Node == nullptr || Node == Root)
        return;
    UnlinkFromParent(Node);
    if (OnNodeRemoving)
        OnNodeRemoving(*this, *Node);
    // The explicit stack does what the recursion "unlink, report, delete the children
    // from the last to the first, unregister, free" does, without its depth limit; in one
    // batch, unlinking each node does not tell every ancestor inside the subtree again.
    TSceneNoticeBatch batch;
    std::vector<TSceneNode*> stack{Node};
    while (!stack.empty()) {
        TSceneNode* top = stack.back();
        if (top->ChildCount() > 0) {
            TSceneNode* child = top->GetChild(top->ChildCount() - 1);
            top->RemoveChild(child);
            if (OnNodeRemoving)
                OnNodeRemoving(*this, *child);
            stack.push_back(child);
        } else {
            stack.pop_back();
            UnregisterKeepingHole(top);
            delete top;
        }
    }
}

void TScene::DeleteSubtree(TSceneNode* Node)
{
    DeleteSubtreeKeepingHoles(Node);
    CompactRegistry();
}

void TScene::DeleteNode(TSceneNode* Node)
{
    if (Node == nullptr || Node == Root)
        return;
    const uint32_t id = Node->GetId();
    DeleteSubtree(Node);
    NotifyChange(sckNodeRemoved, id);
}

TDetachedSubtree TScene::DetachSubtree(TSceneNode* Node)
{
    if (Node == nullptr || Node == Root)
        return nullptr;
    UnlinkFromParent(Node);
    UnregisterSubtree(Node);
    TDetachedSubtree detached(Node);
    NotifyChange(sckNodeRemoved, Node->GetId());
    return detached;
}

bool TScene::InsertSubtree(TDetachedSubtree& Subtree, TSceneNode* Parent, int Index)
{
    TSceneNode* node = Subtree.get();
    if (node == nullptr || Parent == nullptr || !IsRegistered(Parent) || node->IsAncestorOf(Parent))
        return false;
    Subtree.release();
    RegisterSubtree(node);
    LinkToParent(node, Parent, Index);
    node->MarkSubtreeWorldDirty();
    NotifyChange(sckNodeAdded, node->GetId());
    return true;
}

void TScene::Clear()
{
    while (Root->ChildCount() > 0)
        DeleteSubtreeKeepingHoles(Root->GetChild(0));
    CompactRegistry();
    NotifyChange(sckNodeRemoved, 0);
}

TSceneNode* TScene::FindNodeById(uint32_t Id) const
{
    auto it = IdIndex.find(Id);
    if (it == IdIndex.end())
        return nullptr;
    if (it->second.First->GetId() != Id) {
        RebuildIdIndex();
        it = IdIndex.find(Id);
        return it == IdIndex.end() ? nullptr : it->second.First;
    }
    return it->second.First;
}

TSceneObject* TScene::GetSelectedObject() const
{
    for (TSceneNode* n : PreOrder<TSceneNode>(Root))
        if (auto* o = dynamic_cast<TSceneObject*>(n); o != nullptr && o->Selected)
            return o;
    return nullptr;
}

TSceneObject* TScene::GetFirstObject() const
{
    for (TSceneNode* n : PreOrder<TSceneNode>(Root))
        if (auto* o = dynamic_cast<TSceneObject*>(n))
            return o;
    return nullptr;
}

bool TScene::IsLockedInHierarchy(const TSceneNode* Node) const
{
    // Bounded by the registry size, so a corrupt parent chain cannot loop.
    size_t steps = 0;
    for (const TSceneNode* n = Node; n != nullptr && steps <= Nodes.size();
         n = n->GetParent(), ++steps)
        if (n->GetLocked())
            return true;
    return false;
}

bool TScene::NodeExistsWithName(const std::string& Name) const
{
    for (const TSceneNode* n : Nodes)
        if (n != nullptr && SameTextIgnoringAsciiCase(n->Name, Name))
            return true;
    return false;
}

void TScene::NotifyChange(TSceneChangeKind Kind, uint32_t NodeId)
{
    if (OnChange) {
        // A copy, so that a handler may replace OnChange while it runs.
        TSceneChangeEvent handler = OnChange;
        handler(*this, Kind, NodeId);
    }
    // Receivers may add or remove listeners while being called: walk a snapshot and skip
    // entries removed in the meantime.
    const auto snapshot = Listeners;
    for (const auto& entry : snapshot) {
        if (std::find(Listeners.begin(), Listeners.end(), entry) == Listeners.end())
            continue;
        if (entry->Handler)
            entry->Handler(*this, Kind, NodeId);
    }
}

TSceneChangeListenerId TScene::AddChangeListener(TSceneChangeEvent Handler)
{
    if (!Handler)
        return 0;
    const TSceneChangeListenerId id = NextListenerId++;
    Listeners.push_back(std::make_shared<TListenerEntry>(TListenerEntry{id, std::move(Handler)}));
    return id;
}

void TScene::RemoveChangeListener(TSceneChangeListenerId Id)
{
    auto it = std::find_if(Listeners.begin(), Listeners.end(),
                           [Id](const auto& e) { return e->Id == Id; });
    if (it != Listeners.end())
        Listeners.erase(it);
}

namespace {
// A copy of one node with a fresh id and the source's name, transform and flags.
TSceneNode* CloneOneNode(const TSceneNode& Source)
{
    TSceneNode* copy;
    if (auto* object = dynamic_cast<const TSceneObject*>(&Source))
        copy = object->Duplicate().release();  // mesh, modifiers, colours; transform below
    else if (dynamic_cast<const TSceneGroup*>(&Source) != nullptr)
        copy = new TSceneGroup();
    else
        copy = new TSceneNode();
    copy->Name = Source.Name;
    copy->SetTransform(Source.GetPosition(), Source.GetRotation(), Source.GetScale());
    copy->SetVisible(Source.GetVisible());
    copy->SetLocked(Source.GetLocked());
    copy->Selected = false;
    return copy;
}
}  // namespace

TDetachedSubtree TScene::CloneSubtree(const TSceneNode* Node) const
{
    if (Node == nullptr)
        return nullptr;
    TDetachedSubtree result(CloneOneNode(*Node));
    // Depth first, children in order: ids are handed out in pre-order. Each link tells
    // the copies above once per batch, not every copy up to the top.
    TSceneNoticeBatch batch;
    struct TFrame {
        const TSceneNode* Source;
        TSceneNode* Copy;
        size_t Next;
    };
    std::vector<TFrame> stack{{Node, result.get(), 0}};
    while (!stack.empty()) {
        TFrame& top = stack.back();
        if (top.Next >= top.Source->GetChildren().size()) {
            stack.pop_back();
            continue;
        }
        const TSceneNode* child = top.Source->GetChildren()[top.Next++];
        TSceneNode* childCopy = CloneOneNode(*child);
        top.Copy->InsertChild(childCopy, top.Copy->ChildCount());
        stack.push_back({child, childCopy, 0});
    }
    return result;
}

void TScene::SwapContents(TScene& Other)
{
    if (&Other == this)
        return;
    ContactCache->Clear();
    Other.ContactCache->Clear();
    std::swap(Root, Other.Root);
    std::swap(Nodes, Other.Nodes);
    std::swap(Slots, Other.Slots);
    std::swap(IdIndex, Other.IdIndex);
    std::swap(Holes, Other.Holes);
    std::swap(LoadVersion, Other.LoadVersion);
    std::swap(PaletteCount, Other.PaletteCount);
    std::swap(Palette, Other.Palette);
    std::swap(CameraPosition, Other.CameraPosition);
    std::swap(CameraYaw, Other.CameraYaw);
    std::swap(CameraPitch, Other.CameraPitch);
    LightRig = Other.LightRig;
}

void TScene::GetContactLightingSettings(TContactLightingSettings& Settings) const
{
    DefaultContactLightingSettings(Settings);
    if (const TCinematicEnvironment* env = Environment) {
        Settings.Enabled = env->ContactLightingOn;
        Settings.Radius = env->ContactRadius;
        Settings.ContactStrength = env->ContactStrength;
        Settings.SunShadow = env->SunShadow;
        Settings.ColorBleed = env->ColorBleed;
        Settings.MinimumShade = env->MinimumShade;
        Settings.RayCount = env->ContactRayCount;
    }
}

bool TScene::ContactLightingNeedsRefresh() const
{
    return Environment != nullptr && Environment->ContactLightingOn && !ContactCache->IsBuilt();
}

void TScene::RefreshContactLighting()
{
    if (!ContactLightingOn)
        return;
    TContactLightingSettings settings;
    GetContactLightingSettings(settings);
    ContactCache->SetEnabled(settings.Enabled);
    if (settings.Enabled && !ContactCache->IsBuilt()) {
        ContactCache->Build(GatherContactInputs(*this), settings);
        ContactCache->ApplyLightRig(LightRig);
    }
}
