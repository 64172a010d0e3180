#include "floorplan/uFloorPlanCommands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "base/uCommandHistory.h"
#include "base/uErrors.h"
#include "document/uProjectDocument.h"
#include "floorplan/uFloorPlanBuild.h"
#include "scene/uHierarchyCommands.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"

namespace {

std::vector<uint32_t> ChildIds(const TSceneNode* node)
{
    std::vector<uint32_t> ids;
    for (const TSceneNode* c : node->GetChildren())
        ids.push_back(c->GetId());
    return ids;
}

float SlabMaxX(const TSceneNode* group)
{
    for (const TSceneNode* c : group->GetChildren())
        if (c->Name == "Slab") {
            const TMeshData* mesh = dynamic_cast<const TSceneObject*>(c)->GetBaseMesh();
            float x = mesh->Vertices.at(0).Position.X;
            for (const TMeshVertex& v : mesh->Vertices)
                x = std::max(x, v.Position.X);
            return x;
        }
    ADD_FAILURE() << "no slab under " << group->Name;
    return 0;
}

class FloorPlanCommandTest : public ::testing::Test {
protected:
    TProjectDocument Doc;
    TScene& Scene = Doc.GetScene();
    TFloorPlanDocument& Plans = Doc.GetFloorPlans();
    TCommandHistory& History = Doc.GetHistory();

    TFloorPlan* AddRectangle(const std::string& name)
    {
        TFloorPlan* plan = Plans.AddPlan(name);
        plan->SetPoints({{-2, -1.5f}, {2, -1.5f}, {2, 1.5f}, {-2, 1.5f}, {-2, -1.5f}});
        return plan;
    }

    // Builds the plan through the history; the new root.
    TSceneNode* BuildPlan(uint32_t planId)
    {
        History.Execute(TBuildFloorPlanCommand::CreateForPlan(Doc.FloorPlanTarget(), planId, 0));
        return Scene.GetRoot()->GetChild(Scene.GetRoot()->ChildCount() - 1);
    }

    // Edits the plan as the builder window does: the edit is made on the plan, which is
    // then set back before the command applies it.
    void EditPlan(TFloorPlan* plan, const std::function<void(TFloorPlan&)>& edit)
    {
        const std::unique_ptr<TFloorPlan> before = plan->Clone();
        edit(*plan);
        const std::unique_ptr<TFloorPlan> after = plan->Clone();
        plan->Assign(before.get());
        try {
            History.Execute(std::make_unique<TEditFloorPlanCommand>(
                Doc.FloorPlanTarget(), plan->Id(), before.get(), after.get()));
        } catch (...) {
            plan->Assign(before.get());
            throw;
        }
    }

    bool Stale(const TSceneNode* root) const
    {
        return Plans.IsBindingStale(Plans.FindBinding(root->GetId()));
    }
};

TEST_F(FloorPlanCommandTest, PlanBuildUndoRedoBringsBackTheSameTree)
{
    TFloorPlan* plan = AddRectangle("Plan 1");
    Scene.AddPrimitive(ptCube);
    TSceneNode* root = BuildPlan(plan->Id());
    Scene.AddPrimitive(ptSphere);  // the root is no longer the last child
    const uint32_t rootId = root->GetId();
    const std::vector<uint32_t> parts = ChildIds(root);
    EXPECT_EQ(History.NextUndo()->GetDescription(), "Build floor plan");
    const auto* command = dynamic_cast<const TBuildFloorPlanCommand*>(History.NextUndo());
    EXPECT_EQ(command->GetRootNodeId(), rootId);
    EXPECT_EQ(command->GetSiblingIndex(), 1);

    ASSERT_TRUE(History.Undo());
    EXPECT_EQ(Scene.FindNodeById(rootId), nullptr);
    EXPECT_EQ(Scene.FindNodeById(parts[0]), nullptr);
    EXPECT_EQ(Plans.BindingCount(), 0);
    EXPECT_TRUE(command->HoldsTree());
    EXPECT_FALSE(command->IsAttached());

    ASSERT_TRUE(History.Redo());
    root = Scene.FindNodeById(rootId);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(Scene.GetRoot()->IndexOfChild(root), 1);
    EXPECT_EQ(ChildIds(root), parts);
    ASSERT_NE(Plans.FindBinding(rootId), nullptr);
    EXPECT_EQ(Plans.FindBinding(rootId)->PlanId, plan->Id());
    EXPECT_FALSE(Stale(root));
    EXPECT_FALSE(command->HoldsTree());

    // Dropping the command while it holds the tree frees the tree.
    ASSERT_TRUE(History.Undo());
    History.Clear();
    EXPECT_EQ(Scene.NodeCount(), 2);
}

TEST_F(FloorPlanCommandTest, FailingBuildRaisesAndIsNotRecorded)
{
    TFloorPlan* open = Plans.AddPlan("Open");
    open->InsertPoint({0, 0}, -1);
    struct Case {
        std::function<std::unique_ptr<TEditorCommand>()> Make;
        const char* Message;
    };
    TBuildingDefinition* empty = Plans.AddBuilding("Empty");
    const Case cases[] = {
        {[&] {
             return TBuildFloorPlanCommand::CreateForPlan(Doc.FloorPlanTarget(), open->Id(), 0);
         },
         "Floor-plan polygon needs at least three points"},
        {[&] { return TBuildFloorPlanCommand::CreateForPlan(Doc.FloorPlanTarget(), 999999, 0); },
         "Floor plan was not found"},
        {[&] {
             return std::make_unique<TBuildBuildingCommand>(Doc.FloorPlanTarget(), empty->Id(), 0);
         },
         "Building has no floors"},
    };
    for (const Case& c : cases) {
        try {
            History.Execute(c.Make());
            ADD_FAILURE() << "no error for " << c.Message;
        } catch (const EGeneralError& e) {
            EXPECT_STREQ(e.what(), c.Message);
        }
    }
    EXPECT_EQ(History.UndoCount(), 0u);
    EXPECT_EQ(Scene.NodeCount(), 0);
}

TEST_F(FloorPlanCommandTest, ConstructionRefusesMissingDocumentOrSnapshots)
{
    TFloorPlan plan(1, "P");
    TFloorDefinition floor(0, "F");
    const std::pair<std::function<void()>, const char*> cases[] = {
        {[] { TBuildFloorPlanCommand(nullptr, 1, 0, kNoId, kNoId); }, "Build requires a document"},
        {[] { TBuildBuildingCommand(nullptr, 1, 0); }, "Build requires a document"},
        {[&] { TEditFloorPlanCommand(nullptr, 1, &plan, &plan); },
         "Floor-plan edit requires a document"},
        {[&] { TEditFloorPlanCommand(Doc.FloorPlanTarget(), 1, &plan, nullptr); },
         "Floor-plan edit snapshots are missing"},
        {[&] { TEditFloorSettingsCommand(nullptr, 1, &floor, &floor); },
         "Floor settings edit requires a document"},
        {[&] { TEditFloorSettingsCommand(Doc.FloorPlanTarget(), 1, nullptr, &floor); },
         "Floor settings snapshots are missing"},
    };
    for (const auto& [make, text] : cases) {
        try {
            make();
            ADD_FAILURE() << "no error for " << text;
        } catch (const EArgumentError& e) {
            EXPECT_STREQ(e.what(), text);
        }
    }
}

TEST_F(FloorPlanCommandTest, RedoOfPlanBuildWithoutItsPlanFailsBeforeInserting)
{
    TFloorPlan* plan = AddRectangle("Plan 1");
    const uint32_t planId = plan->Id();
    const uint32_t rootId = BuildPlan(planId)->GetId();
    ASSERT_TRUE(History.Undo());
    ASSERT_TRUE(Plans.DeletePlan(planId));

    try {
        History.Redo();
        ADD_FAILURE() << "redo without the plan succeeded";
    } catch (const EGeneralError& e) {
        EXPECT_STREQ(e.what(), "Source floor plan is missing");
    }
    EXPECT_EQ(Scene.FindNodeById(rootId), nullptr);
    EXPECT_EQ(Scene.NodeCount(), 0);
    EXPECT_EQ(Plans.BindingCount(), 0);
    EXPECT_FALSE(History.CanRedo());
}

TEST_F(FloorPlanCommandTest, RedoShowsTreeStaleOnlyWhenItsSourceChanged)
{
    TFloorPlan* plan = AddRectangle("Plan 1");
    const uint32_t rootId = BuildPlan(plan->Id())->GetId();

    ASSERT_TRUE(History.Undo());
    ASSERT_TRUE(History.Redo());
    EXPECT_FALSE(Stale(Scene.FindNodeById(rootId)));

    ASSERT_TRUE(History.Undo());
    plan->SetName("Renamed");  // not an undoable edit: the redo list survives
    ASSERT_TRUE(History.Redo());
    EXPECT_TRUE(Stale(Scene.FindNodeById(rootId)));
}

TEST_F(FloorPlanCommandTest, BuildingUndoDropsAllBindingsAndRedoRestoresThemByFloor)
{
    TFloorPlan* a = AddRectangle("A");
    TFloorPlan* b = AddRectangle("B");
    TBuildingDefinition* building = Plans.AddBuilding("Tower");
    building->AddFloor(a->Id(), "Ground");
    building->AddFloor(b->Id(), "Upper");
    History.Execute(
        std::make_unique<TBuildBuildingCommand>(Doc.FloorPlanTarget(), building->Id(), 0));
    EXPECT_EQ(History.NextUndo()->GetDescription(), "Build building");
    TSceneNode* root = Scene.GetRoot()->GetChild(0);
    const uint32_t rootId = root->GetId();
    const std::vector<uint32_t> floors = ChildIds(root);
    ASSERT_EQ(Plans.BindingCount(), 3);

    ASSERT_TRUE(History.Undo());
    EXPECT_EQ(Plans.BindingCount(), 0);
    EXPECT_EQ(Scene.NodeCount(), 0);

    ASSERT_TRUE(History.Redo());
    EXPECT_EQ(ChildIds(Scene.FindNodeById(rootId)), floors);
    ASSERT_EQ(Plans.BindingCount(), 3);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(Plans.FindBinding(floors[i])->FloorId, building->GetFloor(i)->Id());
        EXPECT_FALSE(Stale(Scene.FindNodeById(floors[i])));
    }
    EXPECT_FALSE(Stale(Scene.FindNodeById(rootId)));

    // Floors reordered while the build is undone: each group keeps the floor it was built
    // from, and the building shows as stale rather than current.
    ASSERT_TRUE(History.Undo());
    building->MoveFloor(1, 0);
    ASSERT_TRUE(History.Redo());
    EXPECT_EQ(Plans.FindBinding(floors[0])->FloorId, building->GetFloor(1)->Id());
    EXPECT_TRUE(Stale(Scene.FindNodeById(rootId)));
}

TEST_F(FloorPlanCommandTest, PointEditRebuildsAndUndoRedoFollow)
{
    TFloorPlan* plan = AddRectangle("Plan 1");
    TSceneNode* root = BuildPlan(plan->Id());
    const int64_t builtRevision = plan->Revision();
    const int64_t docRevision = Doc.GetRevision();

    EditPlan(plan, [](TFloorPlan& p) {
        p.MovePoint(1, {3, -1.5f});
        p.MovePoint(2, {3, 1.5f});
    });
    EXPECT_EQ(History.NextUndo()->GetDescription(), "Edit floor plan");
    EXPECT_EQ(plan->GetPoint(1).X, 3.0f);
    EXPECT_EQ(SlabMaxX(root), 3.0f);
    EXPECT_FALSE(Stale(root));
    EXPECT_GT(Doc.GetRevision(), docRevision);
    const int64_t editedRevision = plan->Revision();

    ASSERT_TRUE(History.Undo());
    EXPECT_EQ(plan->GetPoint(1).X, 2.0f);
    EXPECT_EQ(plan->Revision(), builtRevision);
    EXPECT_EQ(SlabMaxX(root), 2.0f);
    EXPECT_FALSE(Stale(root));

    ASSERT_TRUE(History.Redo());
    EXPECT_EQ(plan->Revision(), editedRevision);
    EXPECT_EQ(SlabMaxX(root), 3.0f);
    EXPECT_FALSE(Stale(root));
}

TEST_F(FloorPlanCommandTest, InvalidOutlineIsStoredWithoutRebuilding)
{
    TFloorPlan* plan = AddRectangle("Plan 1");
    TSceneNode* root = BuildPlan(plan->Id());
    const std::vector<uint32_t> parts = ChildIds(root);

    EditPlan(plan, [](TFloorPlan& p) { p.InsertPoint({3, -1.5f}, 1); });
    EXPECT_EQ(plan->PointCount(), 5);
    EXPECT_EQ(ChildIds(root), parts);
    EXPECT_TRUE(Stale(root));

    ASSERT_TRUE(History.Undo());
    EXPECT_EQ(plan->PointCount(), 4);
    EXPECT_FALSE(Stale(root));
}

TEST_F(FloorPlanCommandTest, RedoAfterAnOutsideChangeDoesNotReuseARevision)
{
    TFloorPlan* plan = AddRectangle("Plan 1");
    TSceneNode* root = BuildPlan(plan->Id());
    EditPlan(plan, [](TFloorPlan& p) { p.InsertPoint({3, -1.5f}, 1); });  // invalid
    ASSERT_TRUE(History.Undo());

    // Outside the history: a rename, then an update of the build from the valid outline.
    plan->SetName("Renamed");
    std::string message;
    ASSERT_TRUE(UpdateGeneratedFloor(Doc.FloorPlanTarget(), root->GetId(), message)) << message;
    EXPECT_FALSE(Stale(root));

    // The redo brings back the invalid outline, which cannot be rebuilt: the build made
    // from the valid outline must not count as current.
    ASSERT_TRUE(History.Redo());
    EXPECT_EQ(plan->PointCount(), 5);
    EXPECT_TRUE(Stale(root));
}

TEST_F(FloorPlanCommandTest, FloorSettingsEditRebuildsOrFailsWithoutEnteringHistory)
{
    TFloorPlan* plan = AddRectangle("Plan 1");
    TBuildingDefinition* building = Plans.AddBuilding("Tower");
    TFloorDefinition* ground = building->AddFloor(plan->Id(), "Ground");
    building->AddFloor(plan->Id(), "Upper");
    History.Execute(
        std::make_unique<TBuildBuildingCommand>(Doc.FloorPlanTarget(), building->Id(), 0));
    TSceneNode* root = Scene.GetRoot()->GetChild(0);

    auto edit = [&](float height, float wall) {
        const std::unique_ptr<TFloorDefinition> before = ground->Clone();
        std::unique_ptr<TFloorDefinition> after = ground->Clone();
        TFloorSettings s = after->Settings();
        s.Height = height;
        s.WallThickness = wall;
        after->SetOverrideSettings(true);
        after->SetSettings(s);
        History.Execute(std::make_unique<TEditFloorSettingsCommand>(
            Doc.FloorPlanTarget(), ground->Id(), before.get(), after.get()));
    };

    edit(4.5f, 0.2f);
    EXPECT_EQ(History.NextUndo()->GetDescription(), "Edit floor settings");
    EXPECT_EQ(root->GetChild(1)->GetPosition().Y, 4.5f);
    EXPECT_FALSE(Stale(root));

    const size_t depth = History.UndoCount();
    try {
        edit(3.0f, 5.0f);
        ADD_FAILURE() << "an unbuildable floor was accepted";
    } catch (const EGeneralError& e) {
        EXPECT_NE(std::string(e.what()).find("Inset"), std::string::npos) << e.what();
    }
    EXPECT_EQ(History.UndoCount(), depth);
    EXPECT_EQ(ground->Settings().WallThickness, 0.2f);  // the floor is as it was
    EXPECT_EQ(ground->Settings().Height, 4.5f);

    ASSERT_TRUE(History.Undo());
    EXPECT_FALSE(ground->OverrideSettings());
    EXPECT_EQ(root->GetChild(1)->GetPosition().Y, 3.0f);
    EXPECT_FALSE(Stale(root));
}

TEST_F(FloorPlanCommandTest, EditOfAMissingSourceRaises)
{
    TFloorPlan ghost(999999, "Ghost");
    TFloorDefinition ghostFloor(999999, "Ghost");
    try {
        History.Execute(
            std::make_unique<TEditFloorPlanCommand>(Doc.FloorPlanTarget(), 999999, &ghost, &ghost));
        ADD_FAILURE();
    } catch (const EGeneralError& e) {
        EXPECT_STREQ(e.what(), "Source floor plan is missing");
    }
    try {
        History.Execute(std::make_unique<TEditFloorSettingsCommand>(Doc.FloorPlanTarget(), 999999,
                                                                    &ghostFloor, &ghostFloor));
        ADD_FAILURE();
    } catch (const EGeneralError& e) {
        EXPECT_STREQ(e.what(), "Source floor is missing");
    }
}

}  // namespace

TEST_F(FloorPlanCommandTest, UndoOfDeletingAGeneratedRootBindsItAgain)
{
    // A building (three bindings) and a plan build (one), each deleted and brought back.
    TFloorPlan* a = AddRectangle("A");
    TFloorPlan* b = AddRectangle("B");
    TBuildingDefinition* building = Plans.AddBuilding("Tower");
    building->AddFloor(a->Id(), "Ground");
    History.Execute(
        std::make_unique<TBuildBuildingCommand>(Doc.FloorPlanTarget(), building->Id(), 0));
    TSceneNode* tower = Scene.GetRoot()->GetChild(0);
    const uint32_t towerId = tower->GetId();
    const uint32_t floorId = tower->GetChild(0)->GetId();
    TSceneNode* planRoot = BuildPlan(b->Id());
    const uint32_t planRootId = planRoot->GetId();
    ASSERT_EQ(Plans.BindingCount(), 3);

    History.Execute(std::make_unique<TDeleteSubtreeCommand>(Scene, tower));
    History.Execute(std::make_unique<TDeleteSubtreeCommand>(Scene, planRoot));
    EXPECT_EQ(Plans.BindingCount(), 0);

    ASSERT_TRUE(History.Undo());
    ASSERT_TRUE(History.Undo());
    ASSERT_EQ(Plans.BindingCount(), 3);
    EXPECT_EQ(Plans.FindBinding(planRootId)->PlanId, b->Id());
    EXPECT_EQ(Plans.FindBinding(floorId)->FloorId, building->GetFloor(0)->Id());
    EXPECT_EQ(Plans.FindBinding(towerId)->BuildingId, building->Id());
    EXPECT_FALSE(Stale(Scene.FindNodeById(towerId)));
    EXPECT_FALSE(Stale(Scene.FindNodeById(planRootId)));
    // Bound again, an edit of the plan rebuilds the group instead of leaving it behind.
    EditPlan(b, [](TFloorPlan& p) { p.MovePoint(1, {3, -1.5f}); });
    EXPECT_EQ(SlabMaxX(Scene.FindNodeById(planRootId)), 3);

    // Redo deletes again; a source that went meanwhile leaves the root unbound on undo.
    ASSERT_TRUE(History.Undo());  // the edit
    ASSERT_TRUE(History.Redo());
    History.Execute(std::make_unique<TDeleteSubtreeCommand>(Scene, Scene.FindNodeById(planRootId)));
    ASSERT_TRUE(Plans.DeletePlan(b->Id()));
    ASSERT_TRUE(History.Undo());
    EXPECT_NE(Scene.FindNodeById(planRootId), nullptr);
    EXPECT_EQ(Plans.FindBinding(planRootId), nullptr);

    // File > New forgets what was kept aside.
    Doc.Clear();
    EXPECT_EQ(Plans.SetAsideBindingCount(), 0);
}
