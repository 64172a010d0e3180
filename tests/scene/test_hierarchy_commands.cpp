#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/uCommandHistory.h"
#include "base/uMesh.h"
#include "scene/uHierarchyCommands.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"

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

std::vector<uint32_t> SubtreeIds(const TSceneNode* n)
{
    std::vector<uint32_t> ids{n->GetId()};
    for (const TSceneNode* c : n->GetChildren()) {
        const std::vector<uint32_t> below = SubtreeIds(c);
        ids.insert(ids.end(), below.begin(), below.end());
    }
    return ids;
}

class HierarchyCommandsFixture : public ::testing::Test {
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

    void Run(std::unique_ptr<TEditorCommand> command) { History.Execute(std::move(command)); }

    TScene Scene;
    TCommandHistory History{1000};
    std::vector<std::pair<TSceneChangeKind, uint32_t>> Changes;
};

}  // namespace

TEST_F(HierarchyCommandsFixture, DeleteUndoRedoBringsBackTheSameNodes)
{
    Group("A");
    TSceneGroup* g = Group("G", nullptr, {5, 0, 0});
    TSceneGroup* b = Group("B", g, {1, 2, 3});
    b->SetRotationY(30);
    Group("C", g);
    Group("D");
    const std::vector<uint32_t> ids = SubtreeIds(g);
    const int count = Scene.NodeCount();

    Run(std::make_unique<TDeleteSubtreeCommand>(Scene, g));
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        EXPECT_EQ(Scene.FindNodeById(ids[0]), nullptr);
        EXPECT_EQ(Scene.NodeCount(), count - 3);
        EXPECT_EQ(ChildNames(Scene.GetRoot()), (std::vector<std::string>{"A", "D"}));

        ASSERT_TRUE(History.Undo());
        // The very nodes come back: same objects, ids, transforms and place.
        EXPECT_EQ(Scene.FindNodeById(ids[0]), g);
        EXPECT_EQ(Scene.FindNodeById(ids[1]), b);
        EXPECT_EQ(SubtreeIds(g), ids);
        EXPECT_EQ(ChildNames(Scene.GetRoot()), (std::vector<std::string>{"A", "G", "D"}));
        ExpectVecNear(g->GetPosition(), {5, 0, 0});
        ExpectVecNear(b->GetPosition(), {1, 2, 3});
        EXPECT_FLOAT_EQ(b->GetRotationY(), 30);
        ExpectVecNear(b->GetWorldPosition(), {6, 2, 3});
        EXPECT_EQ(Scene.NodeCount(), count);
        if (round < 2) {
            ASSERT_TRUE(History.Redo());
        }
    }
    // Destroying the history now (the scene holds the nodes) and then the scene frees
    // everything exactly once; AddressSanitizer checks.
}

TEST_F(HierarchyCommandsFixture, UndoOfDeleteBringsBackObjectsWithTheirOwnMeshes)
{
    TSceneGroup* g = Group("G", nullptr, {3, 0, 0});
    TSceneObject* cube = Scene.AddPrimitive(ptCube);
    Scene.ReparentNode(cube, g, 0, true);
    cube->SetPosition({0, 1, 0});
    const TMeshData* mesh = cube->GetBaseMesh();
    const size_t vertices = mesh->Vertices.size();
    const uint32_t id = cube->GetId();

    Run(std::make_unique<TDeleteSubtreeCommand>(Scene, g));
    History.Undo();
    ASSERT_EQ(Scene.FindNodeById(id), cube);
    EXPECT_EQ(cube->GetBaseMesh(), mesh);
    EXPECT_EQ(mesh->Vertices.size(), vertices);
    ExpectVecNear(cube->GetWorldPosition(), {3, 1, 0});
}

TEST_F(HierarchyCommandsFixture, DeleteCommandFreesItsSubtreeWhenDestroyedWhileHoldingIt)
{
    TSceneGroup* g = Group("G");
    Group("C", g);
    auto command = std::make_unique<TDeleteSubtreeCommand>(Scene, g);
    command->Execute();
    EXPECT_TRUE(command->HoldsSubtree());
    command->Undo();
    EXPECT_FALSE(command->HoldsSubtree());
    command->Execute();
    command->Execute();  // already out: nothing more
    EXPECT_TRUE(command->HoldsSubtree());
    EXPECT_EQ(Scene.NodeCount(), 0);
    command.reset();  // frees the detached subtree (checked by the sanitizer build)
    EXPECT_EQ(Scene.NodeCount(), 0);
}

TEST_F(HierarchyCommandsFixture, DeleteReportsEveryRemovedNodeAndOneRemoval)
{
    TSceneGroup* g = Group("G");
    Group("C1", g);
    Group("C2", g);
    std::vector<std::string> removing;
    Scene.OnNodeRemoving = [&](TScene&, TSceneNode& n) { removing.push_back(n.Name); };
    const uint32_t id = g->GetId();
    Changes.clear();
    Run(std::make_unique<TDeleteSubtreeCommand>(Scene, g));
    EXPECT_EQ(removing, (std::vector<std::string>{"G", "C2", "C1"}));
    ASSERT_EQ(Changes.size(), 1u);
    EXPECT_EQ(Changes[0], std::make_pair(sckNodeRemoved, id));
    History.Undo();
    ASSERT_EQ(Changes.size(), 2u);
    EXPECT_EQ(Changes[1], std::make_pair(sckNodeAdded, id));
}

TEST_F(HierarchyCommandsFixture, UndoOfDeleteWhoseParentIsGoneInsertsUnderTheRoot)
{
    TSceneGroup* p = Group("P");
    Group("X", p);
    TSceneGroup* child = Group("Child", p, {1, 0, 0});
    Run(std::make_unique<TDeleteSubtreeCommand>(Scene, child));
    Scene.DeleteNode(p);  // not a command
    History.Undo();
    EXPECT_EQ(child->GetParent(), Scene.GetRoot());
    EXPECT_EQ(ChildNames(Scene.GetRoot()), (std::vector<std::string>{"Child"}));
    ExpectVecNear(child->GetPosition(), {1, 0, 0});
}

TEST_F(HierarchyCommandsFixture, DeletingTheRootOrAMissingNodeDoesNothing)
{
    Group("A");
    Group("B");
    for (const TSceneNode* node : {static_cast<const TSceneNode*>(Scene.GetRoot()),
                                   static_cast<const TSceneNode*>(nullptr)}) {
        Changes.clear();
        auto command = std::make_unique<TDeleteSubtreeCommand>(Scene, node);
        TDeleteSubtreeCommand* raw = command.get();
        Run(std::move(command));
        EXPECT_FALSE(raw->HoldsSubtree());
        EXPECT_TRUE(Changes.empty());
        History.Undo();
        EXPECT_TRUE(Changes.empty());
        EXPECT_EQ(ChildNames(Scene.GetRoot()), (std::vector<std::string>{"A", "B"}));
    }
}

TEST_F(HierarchyCommandsFixture, DuplicateRedoBringsBackTheSameCopy)
{
    Group("A");
    TSceneGroup* g = Group("Group", nullptr, {1, 0, 0});
    Group("Inner", g, {0, 1, 0});
    Group("Z");
    auto command = std::make_unique<TDuplicateSubtreeCommand>(Scene, g);
    TDuplicateSubtreeCommand* raw = command.get();
    Run(std::move(command));
    const uint32_t copyId = raw->GetCopyRootId();
    TSceneNode* copy = Scene.FindNodeById(copyId);
    ASSERT_NE(copy, nullptr);
    const std::vector<uint32_t> ids = SubtreeIds(copy);
    EXPECT_EQ(raw->GetRecordedIds(), ids);
    EXPECT_EQ(ChildNames(Scene.GetRoot()),
              (std::vector<std::string>{"A", "Group", "Group 1", "Z"}));

    History.Undo();
    EXPECT_EQ(Scene.FindNodeById(copyId), nullptr);
    EXPECT_EQ(ChildNames(Scene.GetRoot()), (std::vector<std::string>{"A", "Group", "Z"}));

    g->Selected = true;
    History.Redo();
    TSceneNode* again = Scene.FindNodeById(copyId);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(SubtreeIds(again), ids);
    EXPECT_EQ(ChildNames(Scene.GetRoot()),
              (std::vector<std::string>{"A", "Group", "Group 1", "Z"}));
    EXPECT_TRUE(again->Selected);
    EXPECT_FALSE(g->Selected);
    ExpectVecNear(again->GetPosition(), {1.5f, 0, 0});
}

TEST_F(HierarchyCommandsFixture, UndoOfDuplicateKeepsNodesAddedInsideTheCopy)
{
    TSceneGroup* g = Group("G", nullptr, {2, 0, 0});
    Group("Inner", g);
    auto command = std::make_unique<TDuplicateSubtreeCommand>(Scene, g);
    TDuplicateSubtreeCommand* raw = command.get();
    Run(std::move(command));
    TSceneNode* copy = Scene.FindNodeById(raw->GetCopyRootId());
    TSceneNode* copyInner = copy->GetChild(0);
    // Added by hand (no command) inside the copy, two levels down.
    TSceneGroup* added = Group("Added", copyInner, {0, 0, 1});
    const TVec3 world = added->GetWorldPosition();

    History.Undo();
    EXPECT_EQ(Scene.FindNodeById(raw->GetCopyRootId()), nullptr);
    ASSERT_EQ(Scene.FindNodeById(added->GetId()), added);
    EXPECT_EQ(added->GetParent(), Scene.GetRoot());
    EXPECT_EQ(ChildNames(Scene.GetRoot()), (std::vector<std::string>{"G", "Added"}));
    ExpectVecNear(added->GetWorldPosition(), world);
}

TEST_F(HierarchyCommandsFixture, DuplicateOfTheRootOrAMissingNodeDoesNothing)
{
    Group("A");
    for (const TSceneNode* node : {static_cast<const TSceneNode*>(Scene.GetRoot()),
                                   static_cast<const TSceneNode*>(nullptr)}) {
        Run(std::make_unique<TDuplicateSubtreeCommand>(Scene, node));
        EXPECT_EQ(Scene.NodeCount(), 1);
        History.Undo();
        EXPECT_EQ(Scene.NodeCount(), 1);
    }
}

TEST_F(HierarchyCommandsFixture, CreateGroupUndoRedoKeepsItsIdAndItsPlace)
{
    TSceneGroup* p = Group("P");
    Group("X", p);
    Group("Y", p);
    auto command = std::make_unique<TCreateGroupCommand>(Scene, "New", p, 1);
    TCreateGroupCommand* raw = command.get();
    Run(std::move(command));
    const uint32_t id = raw->GetGroupId();
    EXPECT_EQ(ChildNames(p), (std::vector<std::string>{"X", "New", "Y"}));
    History.Undo();
    EXPECT_EQ(Scene.FindNodeById(id), nullptr);
    EXPECT_EQ(ChildNames(p), (std::vector<std::string>{"X", "Y"}));
    History.Redo();
    ASSERT_NE(Scene.FindNodeById(id), nullptr);
    EXPECT_EQ(Scene.FindNodeById(id)->GetParent(), p);
    EXPECT_EQ(ChildNames(p), (std::vector<std::string>{"X", "New", "Y"}));

    // Executing again while the group exists does nothing.
    const int count = Scene.NodeCount();
    TCreateGroupCommand direct(Scene, "Other", nullptr, 0);
    direct.Execute();
    direct.Execute();
    EXPECT_EQ(Scene.NodeCount(), count + 1);
}

TEST_F(HierarchyCommandsFixture, UndoOfCreateGroupMovesForeignChildrenOut)
{
    TSceneGroup* p = Group("P", nullptr, {1, 0, 0});
    Group("Before", p);
    auto command = std::make_unique<TCreateGroupCommand>(Scene, "New", p, 1);
    TCreateGroupCommand* raw = command.get();
    Run(std::move(command));
    TSceneNode* group = Scene.FindNodeById(raw->GetGroupId());
    group->SetPosition({0, 3, 0});  // a keyboard move: not a command
    TSceneGroup* cube = Group("Cube", group, {0, 0, 2});
    Group("Cube child", cube);

    History.Undo();
    EXPECT_EQ(Scene.FindNodeById(raw->GetGroupId()), nullptr);
    EXPECT_EQ(ChildNames(p), (std::vector<std::string>{"Before", "Cube"}));
    EXPECT_EQ(ChildNames(cube), (std::vector<std::string>{"Cube child"}));
    ExpectVecNear(cube->GetWorldPosition(), {1, 3, 2});
}

TEST_F(HierarchyCommandsFixture, RenameUndoesAndSendsNothing)
{
    TSceneGroup* a = Group("A");
    Changes.clear();
    int counted = 0;
    Run(std::make_unique<TRenameNodeCommand>(Scene, "Renamed", a, [&] { ++counted; }));
    EXPECT_EQ(a->Name, "Renamed");
    History.Undo();
    EXPECT_EQ(a->Name, "A");
    History.Redo();
    EXPECT_EQ(a->Name, "Renamed");
    EXPECT_TRUE(Changes.empty());
    // No notification, but every write of the name counts as a change of the project.
    EXPECT_EQ(counted, 3);
    // A missing node: nothing to rename.
    Run(std::make_unique<TRenameNodeCommand>(Scene, "X", nullptr));
    EXPECT_EQ(a->Name, "Renamed");
}

TEST_F(HierarchyCommandsFixture, ReparentTwoNodesToTheEndOfAGroupAndBack)
{
    TSceneGroup* p1 = Group("P1", nullptr, {1, 0, 0});
    TSceneGroup* a = Group("A", p1, {0, 1, 0});
    Group("After A", p1);
    TSceneGroup* p2 = Group("P2");
    Group("Before B", p2);
    TSceneGroup* b = Group("B", p2, {0, 0, 1});
    b->SetRotationZ(90);
    TSceneGroup* target = Group("T", nullptr, {0, 5, 0});
    Group("T0", target);

    Run(std::make_unique<TReparentNodesCommand>(Scene, false, target->ChildCount(), target->GetId(),
                                                TSceneNodeIdArray{a->GetId(), b->GetId()}));
    EXPECT_EQ(ChildNames(target), (std::vector<std::string>{"T0", "A", "B"}));
    ExpectVecNear(a->GetWorldPosition(), {1, 1, 0});
    ExpectVecNear(a->GetPosition(), {1, -4, 0});
    const TVec3 aMoved = a->GetPosition();

    History.Undo();
    EXPECT_EQ(ChildNames(p1), (std::vector<std::string>{"A", "After A"}));
    EXPECT_EQ(ChildNames(p2), (std::vector<std::string>{"Before B", "B"}));
    EXPECT_EQ(ChildNames(target), (std::vector<std::string>{"T0"}));
    EXPECT_EQ(a->GetPosition().Y, 1.0f);
    EXPECT_EQ(b->GetRotationZ(), 90.0f);

    History.Redo();
    EXPECT_EQ(ChildNames(target), (std::vector<std::string>{"T0", "A", "B"}));
    EXPECT_EQ(a->GetPosition().Y, aMoved.Y);
}

// Siblings moved within their own parent: redo and undo must reproduce the orders exactly.
TEST_F(HierarchyCommandsFixture, ReparentWithinOneParentReplaysExactly)
{
    struct TCase {
        std::vector<std::string> Start;
        int Index;
        std::vector<std::string> Moved;
    };
    const TCase cases[] = {
        {{"A", "B", "C", "D"}, 3, {"A", "B"}},
        {{"C", "D", "A", "B"}, 0, {"A", "B"}},
        {{"A", "B", "C", "D"}, 4, {"B", "A"}},
        {{"A", "B", "C", "D"}, 1, {"D", "A"}},
    };
    for (const TCase& c : cases) {
        TScene scene;
        TCommandHistory history(10);
        TSceneGroup* p = scene.CreateGroup("P", nullptr, 0);
        TSceneNodeIdArray ids;
        for (const std::string& name : c.Start)
            scene.CreateGroup(name, p, 99);
        for (const std::string& name : c.Moved)
            for (TSceneNode* n : p->GetChildren())
                if (n->Name == name)
                    ids.push_back(n->GetId());
        history.Execute(
            std::make_unique<TReparentNodesCommand>(scene, true, c.Index, p->GetId(), ids));
        const std::vector<std::string> after = ChildNames(p);
        history.Undo();
        EXPECT_EQ(ChildNames(p), c.Start) << "undo, index " << c.Index;
        history.Redo();
        EXPECT_EQ(ChildNames(p), after) << "redo, index " << c.Index;
    }
}

TEST_F(HierarchyCommandsFixture, ReparentSkipsMissingNodesAndRepeatedIds)
{
    TSceneGroup* a = Group("A");
    TSceneGroup* t = Group("T");
    TSceneGroup* gone = Group("Gone");
    const uint32_t goneId = gone->GetId();
    Scene.DeleteNode(gone);

    Run(std::make_unique<TReparentNodesCommand>(Scene, true, 0, t->GetId(),
                                                TSceneNodeIdArray{goneId, a->GetId(), a->GetId()}));
    EXPECT_EQ(a->GetParent(), t);
    History.Undo();
    EXPECT_EQ(ChildNames(Scene.GetRoot()), (std::vector<std::string>{"A", "T"}));

    // Only missing nodes: nothing moves and nothing is raised.
    Changes.clear();
    Run(std::make_unique<TReparentNodesCommand>(Scene, true, 0, t->GetId(),
                                                TSceneNodeIdArray{goneId}));
    EXPECT_TRUE(Changes.empty());
    EXPECT_TRUE(History.Undo());
    EXPECT_TRUE(Changes.empty());
}

TEST_F(HierarchyCommandsFixture, ReparentToAMissingParentGoesToTheRoot)
{
    TSceneGroup* p = Group("P");
    TSceneGroup* a = Group("A", p);
    Run(std::make_unique<TReparentNodesCommand>(Scene, true, 99, 987654u,
                                                TSceneNodeIdArray{a->GetId()}));
    EXPECT_EQ(ChildNames(Scene.GetRoot()), (std::vector<std::string>{"P", "A"}));
    History.Undo();
    EXPECT_EQ(a->GetParent(), p);
}

TEST_F(HierarchyCommandsFixture, RefusedReparentLeavesTheTreeExactlyAsItWas)
{
    // P scales X by 2; R is turned about Y, so keeping R's world placement under P needs
    // shear and is refused after A has already been reordered inside P.
    TSceneGroup* p = Group("P");
    p->SetScaleX(2);
    TSceneGroup* a = Group("A", p);
    Group("B", p);
    Group("C", p);
    TSceneGroup* r = Group("R");
    r->SetRotationY(45);

    try {
        Run(std::make_unique<TReparentNodesCommand>(Scene, false, 3, p->GetId(),
                                                    TSceneNodeIdArray{a->GetId(), r->GetId()}));
        ADD_FAILURE() << "expected a refusal";
    } catch (const ESceneHierarchyError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Unable to preserve the exact transform because the new parent creates shear.");
    }
    EXPECT_EQ(ChildNames(p), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(r->GetParent(), Scene.GetRoot());
    EXPECT_EQ(r->GetRotationY(), 45.0f);
    EXPECT_FALSE(History.CanUndo());

    // Into its own subtree.
    EXPECT_THROW(Run(std::make_unique<TReparentNodesCommand>(Scene, true, 0, a->GetId(),
                                                             TSceneNodeIdArray{p->GetId()})),
                 ESceneHierarchyError);
    EXPECT_EQ(p->GetParent(), Scene.GetRoot());
}

TEST_F(HierarchyCommandsFixture, UndoOfReparentThatTheSceneRefusesChangesNothing)
{
    TSceneGroup* p1 = Group("P1");
    TSceneGroup* a = Group("A", p1);
    TSceneGroup* p2 = Group("P2");
    TSceneGroup* b = Group("B", p2);
    TSceneGroup* t = Group("T");
    Run(std::make_unique<TReparentNodesCommand>(Scene, true, 0, t->GetId(),
                                                TSceneNodeIdArray{a->GetId(), b->GetId()}));
    p2->SetLocked(true);  // B can no longer go back into P2
    Changes.clear();
    try {
        History.Undo();
        ADD_FAILURE() << "expected a refusal";
    } catch (const ESceneHierarchyError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to restore hierarchy state.");
    }
    // All or nothing: A did not go back either.
    EXPECT_EQ(ChildNames(t), (std::vector<std::string>{"A", "B"}));
    EXPECT_TRUE(Changes.empty());
}
