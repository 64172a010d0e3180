#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "scene/uScene.h"

namespace {

void ExpectVecNear(const TVec3& v, const TVec3& e, float tol = 1e-4f)
{
    EXPECT_NEAR(v.X, e.X, tol);
    EXPECT_NEAR(v.Y, e.Y, tol);
    EXPECT_NEAR(v.Z, e.Z, tol);
}

std::vector<std::string> ChildNames(const TSceneNode* n)
{
    std::vector<std::string> names;
    for (const TSceneNode* c : n->GetChildren())
        names.push_back(c->Name);
    return names;
}

// A scene that counts its notifications.
class HierarchyFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        Scene.OnChange = [this](TScene&, TSceneChangeKind k, uint32_t id) {
            Changes.emplace_back(k, id);
        };
    }

    TSceneGroup* Group(const std::string& name, TSceneNode* parent = nullptr, TVec3 position = {})
    {
        TSceneGroup* g = Scene.CreateGroup(name, parent, 1 << 20);
        g->SetPosition(position);
        return g;
    }

    // Expects the call to raise ESceneHierarchyError with exactly Message.
    template <typename F>
    void ExpectHierarchyError(F&& call, const std::string& Message)
    {
        try {
            call();
            ADD_FAILURE() << "no error, expected: " << Message;
        } catch (const ESceneHierarchyError& e) {
            EXPECT_EQ(std::string(e.what()), Message);
        }
    }

    TScene Scene;
    std::vector<std::pair<TSceneChangeKind, uint32_t>> Changes;
};

}  // namespace

TEST_F(HierarchyFixture, RefusedMovesRaiseAndChangeNothing)
{
    TSceneGroup* a = Group("A");
    TSceneGroup* child = Group("Child", a);
    TSceneGroup* lockedParent = Group("Locked");
    TSceneGroup* underLocked = Group("UnderLocked", lockedParent);
    lockedParent->SetLocked(true);
    TSceneGroup stray;
    Changes.clear();

    const struct {
        const char* What;
        TSceneNode* Node;
        TSceneNode* Target;
    } cases[] = {
        {"under its own child", a, child},
        {"under itself", a, a},
        {"under a node whose ancestor is locked", a, underLocked},
        {"a node inside a locked group", underLocked, a},
        {"the root", Scene.GetRoot(), a},
        {"no node", nullptr, a},
        {"no target", a, nullptr},
        {"an unregistered target", a, &stray},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        EXPECT_FALSE(Scene.CanReparent(c.Node, c.Target));
        ExpectHierarchyError([&] { Scene.ReparentNode(c.Node, c.Target, 0, false); },
                             "Invalid hierarchy operation.");
        ExpectHierarchyError([&] { Scene.ReparentNodes({c.Node}, c.Target, 0, true); },
                             "Invalid hierarchy operation.");
    }
    EXPECT_EQ(a->GetParent(), Scene.GetRoot());
    EXPECT_EQ(child->GetParent(), a);
    EXPECT_TRUE(Changes.empty());
    // A reorder under the current parent is allowed.
    EXPECT_TRUE(Scene.CanReparent(child, a));
}

TEST_F(HierarchyFixture, ReparentKeepsTheWorldPlacementUnlessKeepLocal)
{
    TSceneGroup* parent = Group("Parent", nullptr, {1, 0, 0});
    TSceneGroup* node = Group("Node", nullptr, {2, 0, 0});
    Scene.ReparentNode(node, parent, 0, false);
    EXPECT_EQ(node->GetParent(), parent);
    ExpectVecNear(node->GetPosition(), {1, 0, 0});
    ExpectVecNear(node->GetWorldPosition(), {2, 0, 0});
    EXPECT_EQ(Changes.back(), std::make_pair(sckHierarchyChanged, node->GetId()));

    TSceneGroup* other = Group("Other", nullptr, {2, 0, 0});
    Scene.ReparentNode(other, parent, 0, true);
    ExpectVecNear(other->GetPosition(), {2, 0, 0});
    ExpectVecNear(other->GetWorldPosition(), {3, 0, 0});
}

TEST_F(HierarchyFixture, ReparentUnderRotatedScaledParentKeepsTheWorldMatrix)
{
    TSceneGroup* parent = Group("Parent", nullptr, {1, 2, 3});
    parent->SetTransform({1, 2, 3}, {10, 40, -25}, {2, 2, 2});
    TSceneGroup* node = Group("Node");
    node->SetTransform({-3, 0.5f, 4}, {15, -70, 5}, {0.5f, 0.5f, 0.5f});
    const TMatrix4 before = node->GetWorldMatrix();
    Scene.ReparentNode(node, parent, 0, false);
    const TMatrix4 after = node->GetWorldMatrix();
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(after[i], before[i], 1e-4f) << "element " << i;
}

TEST_F(HierarchyFixture, RefusedWorldPreservationPutsTheNodeBack)
{
    TSceneGroup* shearing = Group("Shearing");
    shearing->SetScaleX(2);
    TSceneGroup* flat = Group("Flat");
    flat->SetScaleX(0);
    TSceneGroup* home = Group("Home");
    Group("Before", home);
    TSceneGroup* node = Group("Node", home, {0.5f, 0, 0});
    Group("After", home);
    node->SetRotationY(45);
    const TVec3 position = node->GetPosition();
    const TVec3 rotation = node->GetRotation();
    Changes.clear();

    ExpectHierarchyError(
        [&] { Scene.ReparentNode(node, shearing, 0, false); },
        "Unable to preserve the exact transform because the new parent creates shear.");
    ExpectHierarchyError([&] { Scene.ReparentNode(node, flat, 0, false); },
                         "Unable to preserve world transform: the new parent matrix is singular.");
    EXPECT_EQ(ChildNames(home), (std::vector<std::string>{"Before", "Node", "After"}));
    EXPECT_EQ(node->GetPosition(), position);
    EXPECT_EQ(node->GetRotation(), rotation);
    EXPECT_EQ(shearing->ChildCount(), 0);
    EXPECT_TRUE(Changes.empty());
    // With KeepLocal the same move needs no decomposition and succeeds.
    Scene.ReparentNode(node, shearing, 0, true);
    EXPECT_EQ(node->GetParent(), shearing);
}

TEST_F(HierarchyFixture, ReparentNodesPlacesThemSideBySideInListOrder)
{
    TSceneGroup* p = Group("P");
    TSceneGroup* a = Group("A", p);
    TSceneGroup* b = Group("B", p);
    Group("X", p);
    Group("Y", p);
    // The index counts the places before the move; A and B were below it.
    Scene.ReparentNodes({a, b}, p, 3, true);
    EXPECT_EQ(ChildNames(p), (std::vector<std::string>{"X", "A", "B", "Y"}));
    EXPECT_EQ(Changes.back(), std::make_pair(sckHierarchyChanged, a->GetId()));

    TSceneGroup* q = Group("Q", nullptr, {10, 0, 0});
    Group("Q0", q);
    Group("Q1", q);
    const size_t before = Changes.size();
    Scene.ReparentNodes({b, a}, q, 1, false);
    EXPECT_EQ(ChildNames(q), (std::vector<std::string>{"Q0", "B", "A", "Q1"}));
    EXPECT_EQ(ChildNames(p), (std::vector<std::string>{"X", "Y"}));
    EXPECT_EQ(Changes.size(), before + 1);  // one notification for the whole move
    EXPECT_EQ(Changes.back(), std::make_pair(sckHierarchyChanged, b->GetId()));
    ExpectVecNear(a->GetPosition(), {-10, 0, 0});
}

TEST_F(HierarchyFixture, ReparentNodesRollsBackSiblingsInTheirOriginalOrder)
{
    TSceneGroup* shearing = Group("Shearing");
    shearing->SetScaleX(2);
    TSceneGroup* p = Group("P");
    TSceneGroup* a = Group("A", p, {1, 0, 0});
    TSceneGroup* b = Group("B", p, {2, 0, 0});
    Group("C", p);
    b->SetRotationY(45);  // only B cannot keep its placement under the scaled parent
    Changes.clear();

    ExpectHierarchyError(
        [&] {
            Scene.ReparentNodes({a, b}, shearing, 0, false);
        },
        "Unable to preserve the exact transform because the new parent creates shear.");
    EXPECT_EQ(ChildNames(p), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(shearing->ChildCount(), 0);
    // A had moved and been given a local transform for the new parent; it is restored.
    EXPECT_EQ(a->GetPosition(), (TVec3{1, 0, 0}));
    EXPECT_EQ(b->GetPosition(), (TVec3{2, 0, 0}));
    ExpectVecNear(a->GetWorldPosition(), {1, 0, 0});
    EXPECT_TRUE(Changes.empty());
}

TEST_F(HierarchyFixture, ReparentNodesWithAnEmptyListDoesNothing)
{
    TSceneGroup* p = Group("P");
    Changes.clear();
    Scene.ReparentNodes({}, p, 0, false);
    EXPECT_TRUE(Changes.empty());
}

TEST_F(HierarchyFixture, RestoreHierarchyUndoesAMove)
{
    TSceneGroup* p = Group("P");
    TSceneGroup* a = Group("A", p, {1, 0, 0});
    Group("B", p);
    TSceneGroup* q = Group("Q", nullptr, {5, 5, 5});
    Scene.ReparentNode(a, q, 0, false);
    Changes.clear();
    Scene.RestoreHierarchy(a->GetId(), p->GetId(), 0, {1, 0, 0}, {0, 0, 0}, {1, 1, 1});
    EXPECT_EQ(ChildNames(p), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(a->GetPosition(), (TVec3{1, 0, 0}));
    ExpectVecNear(a->GetWorldPosition(), {1, 0, 0});
    EXPECT_EQ(Changes, (std::vector<std::pair<TSceneChangeKind, uint32_t>>{
                           {sckHierarchyChanged, a->GetId()}}));

    // Parent id 0 is the root.
    Scene.RestoreHierarchy(a->GetId(), 0, 0, {2, 0, 0}, {0, 0, 0}, {1, 1, 1});
    EXPECT_EQ(a->GetParent(), Scene.GetRoot());
    EXPECT_EQ(Scene.GetRoot()->IndexOfChild(a), 0);
}

TEST_F(HierarchyFixture, RestoreHierarchyIgnoresMissingNodesAndRefusesCycles)
{
    TSceneGroup* a = Group("A");
    TSceneGroup* child = Group("Child", a);
    Changes.clear();
    Scene.RestoreHierarchy(999999, 0, 0, {}, {}, {1, 1, 1});
    Scene.RestoreHierarchy(a->GetId(), 999999, 0, {7, 7, 7}, {}, {1, 1, 1});
    EXPECT_TRUE(Changes.empty());
    EXPECT_EQ(a->GetPosition(), (TVec3{0, 0, 0}));
    ExpectHierarchyError(
        [&] {
            Scene.RestoreHierarchy(a->GetId(), child->GetId(), 0, {}, {}, {1, 1, 1});
        },
        "Unable to restore hierarchy state.");
    EXPECT_EQ(a->GetParent(), Scene.GetRoot());
}

TEST_F(HierarchyFixture, DuplicateNamesTheCopyWithTheNextFreeNumber)
{
    const struct {
        std::string Source;
        std::vector<std::string> Others;
        std::string Expected;
    } cases[] = {
        {"Cube 3", {}, "Cube 4"},
        {"Cube 3", {"cube 4"}, "Cube 5"},  // names compare ignoring case
        {"Group", {}, "Group 1"},
        {"Group", {"Group 1", "GROUP 2"}, "Group 3"},
        {"Wall07", {}, "Wall8"},
        {"42", {}, "43"},
        {"", {}, " 1"},
        {"Node 2147483647", {}, "Node 2147483648"},
        {"Node 2147483648", {}, "Node 2147483648 1"},
        {"Big 99999999999999999999", {}, "Big 99999999999999999999 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Source);
        TScene scene;
        TSceneGroup* source = scene.CreateGroup(c.Source, nullptr, 0);
        for (const auto& name : c.Others)
            scene.CreateGroup(name, nullptr, 9);
        TSceneNode* copy = scene.DuplicateSubtree(source);
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(copy->Name, c.Expected);
    }
}

TEST_F(HierarchyFixture, DuplicatePlacesASelectedCopyRightAfterTheSource)
{
    TSceneGroup* p = Group("P");
    TSceneGroup* g = Group("Group 1", p);
    g->SetTransform({5, 0, 0}, {0, 90, 0}, {2, 2, 2});
    g->Selected = true;
    TSceneGroup* inner = Group("Inner", g, {1, 0, 0});
    Group("Last", p);
    Changes.clear();

    TSceneNode* copy = Scene.DuplicateSubtree(g);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(ChildNames(p), (std::vector<std::string>{"Group 1", "Group 2", "Last"}));
    EXPECT_TRUE(copy->Selected);
    EXPECT_FALSE(g->Selected);
    EXPECT_TRUE(Scene.IsRegistered(copy));
    ASSERT_EQ(copy->ChildCount(), 1);
    EXPECT_TRUE(Scene.IsRegistered(copy->GetChild(0)));
    EXPECT_EQ(copy->GetChild(0)->Name, "Inner");  // only the copy's root is renamed
    EXPECT_EQ(Changes,
              (std::vector<std::pair<TSceneChangeKind, uint32_t>>{{sckNodeAdded, copy->GetId()}}));
    // The copy's root is offset by half a unit; its content keeps its place relative to it.
    EXPECT_EQ(copy->GetPosition(), (TVec3{5.5f, 0, 0}));
    EXPECT_EQ(copy->GetRotation(), g->GetRotation());
    EXPECT_EQ(copy->GetScale(), g->GetScale());
    EXPECT_EQ(copy->GetChild(0)->GetPosition(), inner->GetPosition());
    ExpectVecNear(copy->GetChild(0)->GetWorldPosition(),
                  Vec3Add(inner->GetWorldPosition(), {0.5f, 0, 0}));

    EXPECT_EQ(Scene.DuplicateSubtree(nullptr), nullptr);
    EXPECT_EQ(Scene.DuplicateSubtree(Scene.GetRoot()), nullptr);
}

TEST_F(HierarchyFixture, ValidateAcceptsASoundScene)
{
    TSceneGroup* a = Group("A", nullptr, {1, 2, 3});
    Group("B", a);
    std::string messages = "stale";
    EXPECT_TRUE(Scene.ValidateHierarchy(messages));
    EXPECT_EQ(messages, "");
}

TEST_F(HierarchyFixture, ValidateReportsEveryProblemOnItsOwnLine)
{
    // Two huge scales multiply to infinity in exactly two elements of the child's matrix.
    TSceneGroup* huge = Group("Huge");
    huge->SetTransform({}, {}, {3e38f, 3e38f, 1});
    TSceneGroup* a = Group("A", huge);
    a->SetTransform({}, {}, {3e38f, 3e38f, 1});
    // Two nodes sharing an id; the id prints as a signed number.
    TSceneGroup* big = Group("Big");
    big->SetId(0xFFFFFFFEu);
    auto twin = new TSceneGroup(0xFFFFFFFEu);
    twin->Name = "Twin";
    Scene.RegisterNode(twin);
    Scene.LinkToParent(twin, Scene.GetRoot(), 9);
    // Registered but hanging nowhere; its subtree is not reachable either.
    auto loose = new TSceneGroup();
    loose->Name = "Loose";
    Scene.RegisterNode(loose);
    std::string messages;
    EXPECT_FALSE(Scene.ValidateHierarchy(messages));
    EXPECT_EQ(messages, "Duplicate node id -2.\r\n"
                        "Non-finite world matrix for \"A\".\r\n"
                        "Non-finite world matrix for \"A\".\r\n"
                        "Node \"Loose\" is not reachable from root.");
}

TEST_F(HierarchyFixture, ValidateWantsTheRootFirst)
{
    Group("A");
    Scene.UnregisterNode(Scene.GetRoot());
    Scene.RegisterNode(Scene.GetRoot());
    std::string messages;
    EXPECT_FALSE(Scene.ValidateHierarchy(messages));
    EXPECT_EQ(messages, "Root must be the first registered node.");
}

TEST_F(HierarchyFixture, DuplicatedObjectIsNumberedOnAndOffsetOnce)
{
    TSceneObject* cube = Scene.AddPrimitive(ptCube);
    cube->Name = "Cube 3";
    cube->SetPosition({1, 0, 0});
    TSceneObject* other = Scene.AddPrimitive(ptSphere);
    other->Name = "CUBE 4";
    auto* copy = dynamic_cast<TSceneObject*>(Scene.DuplicateSubtree(cube));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Name, "Cube 5");
    EXPECT_EQ(copy->GetPosition(), (TVec3{1.5f, 0, 0}));
    EXPECT_EQ(copy->PrimType, ptCube);
    EXPECT_EQ(Scene.GetRoot()->IndexOfChild(copy), Scene.GetRoot()->IndexOfChild(cube) + 1);
    EXPECT_EQ(Scene.GetSelectedObject(), copy);
}
