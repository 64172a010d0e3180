#include "scene/uScene.h"

#include "base/uMesh.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct TEvent {
    std::string Receiver;
    TSceneChangeKind Kind;
    uint32_t NodeId;
    friend bool operator==(const TEvent&, const TEvent&) = default;
};

std::ostream& operator<<(std::ostream& os, const TEvent& e)
{
    return os << e.Receiver << ":" << e.Kind << ":" << e.NodeId;
}

// A scene whose OnChange and one listener record every notification.
class SceneFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        Scene.OnChange = [this](TScene&, TSceneChangeKind k, uint32_t id) {
            Events.push_back({"change", k, id});
        };
        Scene.AddChangeListener([this](TScene&, TSceneChangeKind k, uint32_t id) {
            Events.push_back({"listener", k, id});
        });
    }

    // Only what OnChange saw.
    std::vector<std::pair<TSceneChangeKind, uint32_t>> Changes() const
    {
        std::vector<std::pair<TSceneChangeKind, uint32_t>> out;
        for (const auto& e : Events)
            if (e.Receiver == "change")
                out.emplace_back(e.Kind, e.NodeId);
        return out;
    }

    std::vector<std::string> RegisteredNames() const
    {
        std::vector<std::string> names;
        for (const TSceneNode* n : Scene.GetNodes())
            names.push_back(n->Name);
        return names;
    }

    TScene Scene;
    std::vector<TEvent> Events;
};

std::vector<std::string> ChildNames(const TSceneNode* n)
{
    std::vector<std::string> names;
    for (const TSceneNode* c : n->GetChildren())
        names.push_back(c->Name);
    return names;
}

}  // namespace

TEST_F(SceneFixture, NewSceneHoldsOnlyTheRoot)
{
    EXPECT_EQ(Scene.NodeCount(), 0);
    ASSERT_EQ(Scene.GetNodes().size(), 1u);
    EXPECT_EQ(Scene.GetNodes()[0], Scene.GetRoot());
    EXPECT_EQ(Scene.FindNodeById(0), Scene.GetRoot());
    EXPECT_EQ(Scene.GetRoot()->Name, "");
    EXPECT_EQ(Scene.PaletteCount, 0);
    for (const TVec3& c : Scene.Palette)
        EXPECT_EQ(c, (TVec3{1, 1, 1}));
    EXPECT_TRUE(Scene.ContactLightingOn);
    EXPECT_EQ(Scene.Environment, nullptr);
}

TEST_F(SceneFixture, CreateGroupRegistersLinksAndNotifiesOnce)
{
    TSceneGroup* a = Scene.CreateGroup("A", nullptr, 0);
    TSceneGroup* b = Scene.CreateGroup("B", nullptr, 99);  // clamped to the end
    TSceneGroup* c = Scene.CreateGroup("C", a, 0);
    TSceneGroup* d = Scene.CreateGroup("D", nullptr, 0);
    EXPECT_EQ(ChildNames(Scene.GetRoot()), (std::vector<std::string>{"D", "A", "B"}));
    EXPECT_EQ(c->GetParent(), a);
    EXPECT_EQ(Scene.NodeCount(), 4);
    EXPECT_EQ(Scene.FindNodeById(b->GetId()), b);
    EXPECT_EQ(Scene.FindNodeById(c->GetId()), c);
    EXPECT_EQ(Changes(),
              (std::vector<std::pair<TSceneChangeKind, uint32_t>>{{sckNodeAdded, a->GetId()},
                                                                  {sckNodeAdded, b->GetId()},
                                                                  {sckNodeAdded, c->GetId()},
                                                                  {sckNodeAdded, d->GetId()}}));
}

TEST_F(SceneFixture, OnChangeRunsBeforeListenersInTheOrderAdded)
{
    Scene.AddChangeListener([this](TScene&, TSceneChangeKind k, uint32_t id) {
        Events.push_back({"second", k, id});
    });
    TSceneGroup* g = Scene.CreateGroup("G", nullptr, 0);
    EXPECT_EQ(Events, (std::vector<TEvent>{{"change", sckNodeAdded, g->GetId()},
                                           {"listener", sckNodeAdded, g->GetId()},
                                           {"second", sckNodeAdded, g->GetId()}}));
}

TEST(SceneListeners, AddedTwiceCalledTwiceAndRemovalTakesOneEntry)
{
    TScene scene;
    int calls = 0;
    auto handler = [&calls](TScene&, TSceneChangeKind, uint32_t) { ++calls; };
    const TSceneChangeListenerId first = scene.AddChangeListener(handler);
    const TSceneChangeListenerId second = scene.AddChangeListener(handler);
    EXPECT_NE(first, second);
    scene.NotifyChange(sckNodeAdded, 1);
    EXPECT_EQ(calls, 2);
    scene.RemoveChangeListener(second);
    scene.NotifyChange(sckNodeAdded, 1);
    EXPECT_EQ(calls, 3);
    scene.RemoveChangeListener(first);
    scene.RemoveChangeListener(first);  // already gone: nothing
    scene.NotifyChange(sckNodeAdded, 1);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(scene.AddChangeListener(nullptr), 0u);
}

TEST(SceneListeners, ListenerMayRemoveItselfOrALaterOneWhileCalled)
{
    TScene scene;
    std::vector<std::string> calls;
    TSceneChangeListenerId self = 0, later = 0;
    self = scene.AddChangeListener([&](TScene& s, TSceneChangeKind, uint32_t) {
        calls.push_back("self");
        s.RemoveChangeListener(self);
        s.RemoveChangeListener(later);
    });
    later = scene.AddChangeListener(
        [&](TScene&, TSceneChangeKind, uint32_t) { calls.push_back("later"); });
    scene.AddChangeListener([&](TScene&, TSceneChangeKind, uint32_t) { calls.push_back("last"); });
    scene.NotifyChange(sckHierarchyChanged, 5);
    scene.NotifyChange(sckHierarchyChanged, 5);
    EXPECT_EQ(calls, (std::vector<std::string>{"self", "last", "last"}));
}

TEST_F(SceneFixture, DeleteNodeReportsParentThenChildrenLastToFirst)
{
    TSceneGroup* g = Scene.CreateGroup("G", nullptr, 0);
    TSceneGroup* c1 = Scene.CreateGroup("C1", g, 0);
    Scene.CreateGroup("C2", g, 1);
    Scene.CreateGroup("C1a", c1, 0);
    TSceneGroup* keep = Scene.CreateGroup("Keep", nullptr, 1);
    std::vector<std::string> removing;
    Scene.OnNodeRemoving = [&](TScene& s, TSceneNode& n) {
        // Still findable while it is being reported.
        EXPECT_EQ(s.FindNodeById(n.GetId()), &n);
        removing.push_back(n.Name);
    };
    const uint32_t gid = g->GetId();
    const uint32_t c1id = c1->GetId();
    Events.clear();
    Scene.DeleteNode(g);
    EXPECT_EQ(removing, (std::vector<std::string>{"G", "C2", "C1", "C1a"}));
    EXPECT_EQ(Changes(),
              (std::vector<std::pair<TSceneChangeKind, uint32_t>>{{sckNodeRemoved, gid}}));
    EXPECT_EQ(Scene.FindNodeById(gid), nullptr);
    EXPECT_EQ(Scene.FindNodeById(c1id), nullptr);
    EXPECT_EQ(RegisteredNames(), (std::vector<std::string>{"", "Keep"}));
    EXPECT_EQ(Scene.FindNodeById(keep->GetId()), keep);
}

TEST_F(SceneFixture, DeletingNothingOrTheRootDoesNothing)
{
    Scene.CreateGroup("G", nullptr, 0);
    Events.clear();
    Scene.DeleteNode(nullptr);
    Scene.DeleteNode(Scene.GetRoot());
    Scene.DeleteSubtree(Scene.GetRoot());
    EXPECT_TRUE(Events.empty());
    EXPECT_EQ(Scene.NodeCount(), 1);
    EXPECT_EQ(Scene.DetachSubtree(Scene.GetRoot()), nullptr);
}

TEST_F(SceneFixture, ClearEmptiesTheTreeAndSendsOneRemovalOfZero)
{
    TSceneGroup* a = Scene.CreateGroup("A", nullptr, 0);
    Scene.CreateGroup("A1", a, 0);
    Scene.CreateGroup("B", nullptr, 1);
    Scene.Palette[0] = {0.1f, 0.2f, 0.3f};
    Scene.CameraYaw = 30;
    int removing = 0;
    Scene.OnNodeRemoving = [&](TScene&, TSceneNode&) { ++removing; };
    Events.clear();
    Scene.Clear();
    EXPECT_EQ(removing, 3);
    EXPECT_EQ(Scene.NodeCount(), 0);
    EXPECT_EQ(Scene.GetRoot()->ChildCount(), 0);
    EXPECT_EQ(Changes(), (std::vector<std::pair<TSceneChangeKind, uint32_t>>{{sckNodeRemoved, 0}}));
    EXPECT_EQ(Scene.Palette[0], (TVec3{0.1f, 0.2f, 0.3f}));
    EXPECT_EQ(Scene.CameraYaw, 30);
}

TEST_F(SceneFixture, DetachAndInsertMoveOwnershipAndKeepIds)
{
    TSceneGroup* a = Scene.CreateGroup("A", nullptr, 0);
    TSceneGroup* a1 = Scene.CreateGroup("A1", a, 0);
    TSceneGroup* a2 = Scene.CreateGroup("A2", a, 1);
    TSceneGroup* b = Scene.CreateGroup("B", nullptr, 1);
    const uint32_t aid = a->GetId();
    int removing = 0;
    Scene.OnNodeRemoving = [&](TScene&, TSceneNode&) { ++removing; };
    Events.clear();

    TDetachedSubtree detached = Scene.DetachSubtree(a);
    ASSERT_EQ(detached.get(), a);
    EXPECT_EQ(removing, 0);  // nothing is freed
    EXPECT_EQ(a->GetParent(), nullptr);
    EXPECT_EQ(Scene.FindNodeById(aid), nullptr);
    EXPECT_FALSE(Scene.IsRegistered(a1));
    EXPECT_EQ(RegisteredNames(), (std::vector<std::string>{"", "B"}));

    TDetachedSubtree none;
    EXPECT_FALSE(Scene.InsertSubtree(none, b, 0));
    EXPECT_FALSE(Scene.InsertSubtree(detached, nullptr, 0));
    ASSERT_NE(detached, nullptr);  // a refused insert leaves the subtree with the caller

    ASSERT_TRUE(Scene.InsertSubtree(detached, b, 0));
    EXPECT_EQ(detached, nullptr);
    EXPECT_EQ(a->GetParent(), b);
    EXPECT_EQ(Scene.FindNodeById(aid), a);
    EXPECT_EQ(RegisteredNames(), (std::vector<std::string>{"", "B", "A", "A1", "A2"}));
    EXPECT_EQ(Scene.FindNodeById(a2->GetId()), a2);
    EXPECT_EQ(Changes(), (std::vector<std::pair<TSceneChangeKind, uint32_t>>{{sckNodeRemoved, aid},
                                                                             {sckNodeAdded, aid}}));
}

TEST_F(SceneFixture, InsertRefusesAParentInsideTheSubtreeOrOutsideTheScene)
{
    TSceneGroup* a = Scene.CreateGroup("A", nullptr, 0);
    TSceneGroup* a1 = Scene.CreateGroup("A1", a, 0);
    TDetachedSubtree detached = Scene.DetachSubtree(a);
    EXPECT_FALSE(Scene.InsertSubtree(detached, a1, 0));
    TSceneGroup stray;
    EXPECT_FALSE(Scene.InsertSubtree(detached, &stray, 0));
    EXPECT_EQ(detached.get(), a);
}

TEST_F(SceneFixture, CloneCopiesEveryTransformExactlyWithFreshIds)
{
    TSceneGroup* g = Scene.CreateGroup("Group", nullptr, 0);
    g->SetTransform({5, 0, 0}, {0, 30, 0}, {2, 2, 2});
    TSceneGroup* child = Scene.CreateGroup("Child", g, 0);
    child->SetTransform({1, 2, 3}, {10, 0, 0}, {1, 1, 0.5f});
    child->SetLocked(true);
    child->SetVisible(false);
    child->Selected = true;
    TSceneGroup* grandchild = Scene.CreateGroup("Grandchild", child, 0);
    Events.clear();

    TDetachedSubtree copy = Scene.CloneSubtree(g);
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(Events.empty());
    EXPECT_FALSE(Scene.IsRegistered(copy.get()));
    EXPECT_EQ(copy->GetParent(), nullptr);
    EXPECT_NE(dynamic_cast<TSceneGroup*>(copy.get()), nullptr);
    EXPECT_EQ(copy->Name, "Group");
    EXPECT_NE(copy->GetId(), g->GetId());
    EXPECT_EQ(copy->GetPosition(), (TVec3{5, 0, 0}));
    EXPECT_EQ(copy->GetRotation(), (TVec3{0, 30, 0}));
    EXPECT_EQ(copy->GetScale(), (TVec3{2, 2, 2}));
    ASSERT_EQ(copy->ChildCount(), 1);
    TSceneNode* c = copy->GetChild(0);
    EXPECT_EQ(c->Name, "Child");
    EXPECT_EQ(c->GetPosition(), (TVec3{1, 2, 3}));
    EXPECT_EQ(c->GetScale(), (TVec3{1, 1, 0.5f}));
    EXPECT_TRUE(c->GetLocked());
    EXPECT_FALSE(c->GetVisible());
    EXPECT_FALSE(c->Selected);
    // Ids are handed out depth first: the copy's child before the grandchild.
    ASSERT_EQ(c->ChildCount(), 1);
    EXPECT_EQ(c->GetChild(0)->Name, "Grandchild");
    EXPECT_EQ(c->GetId(), copy->GetId() + 1);
    EXPECT_EQ(c->GetChild(0)->GetId(), copy->GetId() + 2);
    EXPECT_NE(c->GetChild(0)->GetId(), grandchild->GetId());
    // The world placement of the copy equals the source's.
    const TVec3 src = grandchild->GetWorldPosition();
    const TVec3 dst = c->GetChild(0)->GetWorldPosition();
    EXPECT_NEAR(src.X, dst.X, 1e-5f);
    EXPECT_NEAR(src.Y, dst.Y, 1e-5f);
    EXPECT_NEAR(src.Z, dst.Z, 1e-5f);
}

TEST_F(SceneFixture, QueriesOnNamesAndLocks)
{
    TSceneGroup* a = Scene.CreateGroup("Wall North", nullptr, 0);
    TSceneGroup* b = Scene.CreateGroup("Door", a, 0);
    EXPECT_TRUE(Scene.NodeExistsWithName("wall NORTH"));
    EXPECT_FALSE(Scene.NodeExistsWithName("Wall"));
    EXPECT_FALSE(Scene.IsLockedInHierarchy(b));
    a->SetLocked(true);
    EXPECT_TRUE(Scene.IsLockedInHierarchy(b));
    EXPECT_TRUE(Scene.IsLockedInHierarchy(a));
    EXPECT_FALSE(Scene.IsLockedInHierarchy(Scene.GetRoot()));
    EXPECT_FALSE(Scene.IsLockedInHierarchy(nullptr));
}

TEST(SceneRegistry, RegistrationOrderSurvivesRemovalsInTheMiddle)
{
    TScene scene;
    std::vector<TSceneGroup*> groups;
    for (int i = 0; i < 10; ++i)
        groups.push_back(scene.CreateGroup("N" + std::to_string(i), nullptr, i));
    scene.DeleteNode(groups[3]);
    scene.DeleteNode(groups[7]);
    scene.UnregisterNode(groups[5]);
    std::vector<std::string> names;
    for (const TSceneNode* n : scene.GetNodes())
        names.push_back(n->Name);
    EXPECT_EQ(names, (std::vector<std::string>{"", "N0", "N1", "N2", "N4", "N6", "N8", "N9"}));
    for (int i : {0, 1, 2, 4, 6, 8, 9})
        EXPECT_EQ(scene.FindNodeById(groups[i]->GetId()), groups[i]);
    EXPECT_EQ(scene.FindNodeById(groups[5]->GetId()), nullptr);
    // Registering again appends at the end and never twice.
    scene.RegisterNode(groups[5]);
    scene.RegisterNode(groups[5]);
    EXPECT_EQ(scene.GetNodes().back(), groups[5]);
    EXPECT_EQ(scene.NodeCount(), 8);
}

TEST(SceneRegistry, SharedIdFindsTheFirstRegisteredUntilItLeaves)
{
    TScene scene;
    TSceneGroup* first = scene.CreateGroup("First", nullptr, 0);
    auto twin = std::make_unique<TSceneGroup>(first->GetId());
    twin->Name = "Twin";
    scene.RegisterNode(twin.get());
    scene.LinkToParent(twin.get(), scene.GetRoot(), 1);
    EXPECT_EQ(scene.FindNodeById(first->GetId()), first);
    scene.DeleteNode(first);
    EXPECT_EQ(scene.FindNodeById(twin->GetId()), twin.get());
    scene.UnlinkFromParent(twin.get());
    scene.UnregisterNode(twin.get());
    EXPECT_EQ(scene.FindNodeById(twin->GetId()), nullptr);
}

TEST(SceneLifetime, DestructionCallsNoReceiver)
{
    bool receiverAlive = true;
    int callsAfterDeath = 0;
    {
        TScene scene;
        TSceneGroup* g = scene.CreateGroup("G", nullptr, 0);
        scene.CreateGroup("Child", g, 0);
        // A registered node that is not linked: freed with the scene as well.
        scene.RegisterNode(new TSceneGroup());
        auto check = [&](auto&&...) {
            if (!receiverAlive)
                ++callsAfterDeath;
        };
        scene.OnChange = check;
        scene.OnNodeRemoving = check;
        scene.AddChangeListener(check);
        // The window that received these is gone before its document frees the scene.
        receiverAlive = false;
    }
    EXPECT_EQ(callsAfterDeath, 0);
}

namespace {
// The number at the end of a primitive's name.
int TrailingNumber(const std::string& name)
{
    return std::stoi(name.substr(name.rfind(' ') + 1));
}
}  // namespace

TEST_F(SceneFixture, PrimitivesShareOneCounterThatClearDoesNotReset)
{
    TSceneObject* sphere = Scene.AddPrimitive(ptSphere);
    const int n = TrailingNumber(sphere->Name);
    EXPECT_EQ(sphere->Name, "Sphere " + std::to_string(n));
    TSceneObject* cube = Scene.AddPrimitive(ptCube);
    EXPECT_EQ(cube->Name, "Cube " + std::to_string(n + 1));
    Scene.Clear();
    TSceneObject* cone = Scene.AddPrimitive(ptCone);
    EXPECT_EQ(cone->Name, "Cone " + std::to_string(n + 2));
    EXPECT_EQ(Changes().back(), std::make_pair(sckNodeAdded, cone->GetId()));
}

TEST_F(SceneFixture, AddPrimitiveGivesTheDefaultsAndAppendsUnderTheRoot)
{
    Scene.CreateGroup("First", nullptr, 0);
    TSceneObject* cube = Scene.AddPrimitive(ptCube);
    EXPECT_EQ(Scene.GetRoot()->GetChildren().back(), cube);
    EXPECT_TRUE(Scene.IsRegistered(cube));
    EXPECT_EQ(cube->PrimType, ptCube);
    EXPECT_EQ(cube->GetPosition(), (TVec3{0, 0, 0}));
    EXPECT_EQ(cube->GetScale(), (TVec3{1, 1, 1}));
    EXPECT_EQ(cube->Color, (TVec3{0.7f, 0.7f, 0.75f}));
    EXPECT_EQ(cube->TexId, 0);
    EXPECT_EQ(cube->Blend, vcbMultiply);
    EXPECT_FALSE(cube->Selected);
    EXPECT_TRUE(cube->GetVisible());
    for (float c : {cube->DisplayColor.X, cube->DisplayColor.Y, cube->DisplayColor.Z}) {
        EXPECT_GE(c, 0);
        EXPECT_LT(c, 1);
    }
    ASSERT_NE(cube->GetBaseMesh(), nullptr);
    EXPECT_EQ(cube->GetBaseMesh()->Vertices.size(), 24u);
    EXPECT_EQ(cube->GetBaseMesh()->Vertices[0].Color, (TVec3{0.7f, 0.7f, 0.75f}));

    // A type outside the enumeration cannot index the name table: an empty generated object.
    TSceneObject* odd = Scene.AddPrimitive(static_cast<TPrimitiveType>(42));
    EXPECT_EQ(odd->PrimType, ptGenerated);
    EXPECT_EQ(odd->Name.rfind("Generated ", 0), 0u);
}

TEST_F(SceneFixture, AddMeshObjectTakesTheMeshUnderTheGivenParent)
{
    TSceneGroup* g = Scene.CreateGroup("G", nullptr, 0);
    auto mesh = std::make_unique<TMeshData>();
    mesh->BuildPlane();
    const TMeshData* raw = mesh.get();
    TSceneObject* o = Scene.AddMeshObject("Slab", std::move(mesh), g);
    EXPECT_EQ(o->Name, "Slab");
    EXPECT_EQ(o->PrimType, ptGenerated);
    EXPECT_EQ(o->GetParent(), g);
    EXPECT_EQ(o->GetBaseMesh(), raw);
    TSceneObject* empty = Scene.AddMeshObject("Empty", nullptr, nullptr);
    EXPECT_EQ(empty->GetParent(), Scene.GetRoot());
    ASSERT_NE(empty->GetBaseMesh(), nullptr);
    EXPECT_TRUE(empty->GetBaseMesh()->Vertices.empty());
    EXPECT_EQ(Changes().back(), std::make_pair(sckNodeAdded, empty->GetId()));
}

TEST_F(SceneFixture, SelectedAndFirstObjectFollowPreOrder)
{
    EXPECT_EQ(Scene.GetFirstObject(), nullptr);
    EXPECT_EQ(Scene.GetSelectedObject(), nullptr);
    TSceneGroup* g = Scene.CreateGroup("G", nullptr, 0);
    TSceneObject* late = Scene.AddPrimitive(ptCube);
    TSceneObject* nested = Scene.AddMeshObject("Nested", nullptr, g);
    EXPECT_EQ(Scene.GetFirstObject(), nested);
    late->Selected = true;
    EXPECT_EQ(Scene.GetSelectedObject(), late);
    nested->Selected = true;
    EXPECT_EQ(Scene.GetSelectedObject(), nested);
    g->Selected = true;  // a selected group is not an object
    EXPECT_EQ(Scene.GetSelectedObject(), nested);
}

TEST_F(SceneFixture, ClonedObjectKeepsNameTransformAndMesh)
{
    TSceneGroup* g = Scene.CreateGroup("Group", nullptr, 0);
    g->SetPosition({5, 0, 0});
    TSceneObject* cube = Scene.AddPrimitive(ptCube);
    Scene.ReparentNode(cube, g, 0, true);
    cube->SetPosition({1, 0, 0});
    cube->Color = {0.1f, 0.2f, 0.3f};
    cube->TexId = 4;
    TDetachedSubtree copy = Scene.CloneSubtree(g);
    ASSERT_EQ(copy->ChildCount(), 1);
    auto* c = dynamic_cast<TSceneObject*>(copy->GetChild(0));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Name, cube->Name);                 // not "... copy"
    EXPECT_EQ(c->GetPosition(), (TVec3{1, 0, 0}));  // no offset inside a clone
    EXPECT_EQ(copy->GetPosition(), (TVec3{5, 0, 0}));
    EXPECT_EQ(c->Color, cube->Color);
    EXPECT_EQ(c->TexId, 4);
    ASSERT_NE(c->GetBaseMesh(), nullptr);
    EXPECT_NE(c->GetBaseMesh(), cube->GetBaseMesh());
    EXPECT_EQ(c->GetBaseMesh()->Vertices, cube->GetBaseMesh()->Vertices);
}
