#include "floorplan/uFloorPlanBuild.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "document/uProjectDocument.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"

namespace {

std::vector<std::string> ChildNames(const TSceneNode* node)
{
    std::vector<std::string> names;
    for (const TSceneNode* c : node->GetChildren())
        names.push_back(c->Name);
    return names;
}

std::vector<uint32_t> ChildIds(const TSceneNode* node)
{
    std::vector<uint32_t> ids;
    for (const TSceneNode* c : node->GetChildren())
        ids.push_back(c->GetId());
    return ids;
}

const TSceneObject* ChildObject(const TSceneNode* node, const std::string& name)
{
    for (const TSceneNode* c : node->GetChildren())
        if (c->Name == name)
            return dynamic_cast<const TSceneObject*>(c);
    return nullptr;
}

float MaxX(const TMeshData& mesh)
{
    float x = mesh.Vertices.at(0).Position.X;
    for (const TMeshVertex& v : mesh.Vertices)
        x = std::max(x, v.Position.X);
    return x;
}

class FloorPlanBuildTest : public ::testing::Test {
protected:
    TProjectDocument Doc;
    TScene& Scene = Doc.GetScene();
    TFloorPlanDocument& Plans = Doc.GetFloorPlans();

    // A closed W by D rectangle centred on the origin, drawn counter-clockwise.
    TFloorPlan* AddRectangle(const std::string& name, float w = 4, float d = 3)
    {
        TFloorPlan* plan = Plans.AddPlan(name);
        plan->SetPoints(
            {{-w / 2, -d / 2}, {w / 2, -d / 2}, {w / 2, d / 2}, {-w / 2, d / 2}, {-w / 2, -d / 2}});
        return plan;
    }

    TSceneGroup* Build(uint32_t planId, TSceneNode* parent = nullptr)
    {
        TSceneGroup* group = nullptr;
        std::string message;
        EXPECT_TRUE(
            BuildFloorGroup(Doc.FloorPlanTarget(), planId, parent, kNoId, kNoId, group, message))
            << message;
        return group;
    }

    // A floor's own settings with the given height.
    static TFloorSettings Height(float h)
    {
        TFloorSettings s = DefaultFloorSettings();
        s.Height = h;
        return s;
    }

    TBuildingDefinition* AddBuilding(const std::vector<std::pair<uint32_t, float>>& floors)
    {
        TBuildingDefinition* building = Plans.AddBuilding("Tower");
        for (size_t i = 0; i < floors.size(); ++i) {
            TFloorDefinition* f = building->AddFloor(floors[i].first, "Level " + std::to_string(i));
            f->SetOverrideSettings(true);
            f->SetSettings(Height(floors[i].second));
        }
        return building;
    }

    TSceneGroup* BuildBuilding(uint32_t buildingId)
    {
        TSceneGroup* group = nullptr;
        std::string message;
        EXPECT_TRUE(BuildBuildingGroup(Doc.FloorPlanTarget(), buildingId, nullptr, group, message))
            << message;
        return group;
    }

    TSceneObject* AddUserCube(TSceneNode* under)
    {
        TSceneObject* cube = Scene.AddPrimitive(ptCube);
        Scene.ReparentNode(cube, under, under->ChildCount(), true);
        return cube;
    }
};

TEST_F(FloorPlanBuildTest, PlanBuildMakesLockedGeneratedObjectsPerRoofType)
{
    struct Case {
        TRoofType Roof;
        std::vector<std::string> Children;
    };
    const Case cases[] = {
        {rtNone, {"Slab", "Walls"}},
        {rtFlat, {"Slab", "Walls", "Roof"}},
        {rtTruncatedPyramid, {"Slab", "Walls", "Roof"}},
    };
    for (const Case& c : cases) {
        TFloorPlan* plan = AddRectangle("Plan 1");
        TFloorSettings s = DefaultFloorSettings();
        s.RoofType = c.Roof;
        plan->SetSettings(s);
        TSceneNode* other = Scene.AddPrimitive(ptSphere);

        TSceneGroup* group = Build(plan->Id());
        ASSERT_NE(group, nullptr);
        EXPECT_EQ(group->Name, "Floor - Plan 1");
        EXPECT_EQ(group->GetParent(), Scene.GetRoot());
        EXPECT_EQ(Scene.GetRoot()->IndexOfChild(group), Scene.GetRoot()->IndexOfChild(other) + 1);
        EXPECT_EQ(ChildNames(group), c.Children);
        for (const TSceneNode* child : group->GetChildren()) {
            const auto* object = dynamic_cast<const TSceneObject*>(child);
            ASSERT_NE(object, nullptr);
            EXPECT_EQ(object->PrimType, ptGenerated);
            EXPECT_TRUE(object->GetLocked());
            EXPECT_FALSE(object->GetBaseMesh()->Vertices.empty());
        }
        EXPECT_EQ(ChildObject(group, "Slab")->GetBaseMesh()->Vertices.size(), 24u);

        const TFloorPlanBuildBinding* b = Plans.FindBinding(group->GetId());
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->PlanId, plan->Id());
        EXPECT_EQ(b->FloorId, kNoId);
        EXPECT_EQ(b->BuildingId, kNoId);
        EXPECT_EQ(b->SourceHash, static_cast<uint64_t>(plan->Revision()));
        EXPECT_FALSE(Plans.IsBindingStale(b));
        EXPECT_EQ(Doc.FindBindingForNode(ChildObject(group, "Walls")->GetId()), b);
    }
}

TEST_F(FloorPlanBuildTest, FailedBuildsLeaveSceneAndBindingsUntouched)
{
    TFloorPlan* open = Plans.AddPlan("Open");
    open->InsertPoint({0, 0}, -1);
    TFloorPlan* thick = AddRectangle("Thick", 1, 1);
    TFloorSettings s = DefaultFloorSettings();
    s.WallThickness = 2;
    thick->SetSettings(s);

    struct Case {
        TFloorPlanTarget* Project;
        uint32_t PlanId;
        const char* Message;
    };
    const Case cases[] = {
        {nullptr, open->Id(), "Project document is nil"},
        {Doc.FloorPlanTarget(), 999999, "Floor plan was not found"},
        {Doc.FloorPlanTarget(), open->Id(), "Floor-plan polygon needs at least three points"},
    };
    Scene.AddPrimitive(ptCube);
    const int64_t revision = Doc.GetRevision();
    for (const Case& c : cases) {
        TSceneGroup* group = Scene.GetRoot();
        std::string message;
        EXPECT_FALSE(BuildFloorGroup(c.Project, c.PlanId, nullptr, kNoId, kNoId, group, message));
        EXPECT_EQ(message, c.Message);
        EXPECT_EQ(group, nullptr);
    }
    TSceneGroup* group = nullptr;
    std::string message;
    EXPECT_FALSE(
        BuildFloorGroup(Doc.FloorPlanTarget(), thick->Id(), nullptr, kNoId, kNoId, group, message));
    EXPECT_NE(message.find("Inset"), std::string::npos) << message;

    EXPECT_EQ(Scene.NodeCount(), 1);
    EXPECT_EQ(Plans.BindingCount(), 0);
    EXPECT_EQ(Doc.GetRevision(), revision);
}

TEST_F(FloorPlanBuildTest, BuildingStacksFloorsAndBindsEveryRoot)
{
    const uint32_t a = AddRectangle("A")->Id();
    const uint32_t b = AddRectangle("B", 3, 3)->Id();
    TBuildingDefinition* building = AddBuilding({{a, 3.0f}, {b, 2.5f}, {a, 4.0f}});

    TSceneGroup* root = BuildBuilding(building->Id());
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->Name, "Tower");
    ASSERT_EQ(root->ChildCount(), 3);
    const float elevations[] = {0.0f, 3.0f, 5.5f};
    for (int i = 0; i < 3; ++i) {
        const TSceneNode* floorGroup = root->GetChild(i);
        EXPECT_EQ(floorGroup->Name, "Level " + std::to_string(i));
        EXPECT_EQ(floorGroup->GetPosition().Y, elevations[i]);
        EXPECT_EQ(ChildNames(floorGroup), (std::vector<std::string>{"Slab", "Walls"}));
        const TFloorPlanBuildBinding* fb = Plans.FindBinding(floorGroup->GetId());
        ASSERT_NE(fb, nullptr);
        EXPECT_EQ(fb->FloorId, building->GetFloor(i)->Id());
        EXPECT_EQ(fb->BuildingId, building->Id());
        EXPECT_EQ(fb->PlanId, building->GetFloor(i)->PlanId());
        EXPECT_FALSE(Plans.IsBindingStale(fb));
    }
    // The floor's own height reaches the walls: level 2 stands 4 high.
    const TMeshData* walls = ChildObject(root->GetChild(2), "Walls")->GetBaseMesh();
    float top = 0;
    for (const TMeshVertex& v : walls->Vertices)
        top = std::max(top, v.Position.Y);
    EXPECT_EQ(top, 4.0f);

    const TFloorPlanBuildBinding* rb = Plans.FindBinding(root->GetId());
    ASSERT_NE(rb, nullptr);
    EXPECT_EQ(rb->PlanId, kNoId);
    EXPECT_EQ(rb->FloorId, kNoId);
    EXPECT_EQ(rb->SourceHash, Plans.BuildingSourceHash(building));
    EXPECT_EQ(BuildingRootNodeId(Doc.FloorPlanTarget(), building->Id()), root->GetId());
    EXPECT_EQ(FindBuildingOfFloor(Doc.FloorPlanTarget(), building->GetFloor(1)->Id()),
              building->Id());
}

TEST_F(FloorPlanBuildTest, BuildingBuildFailuresLeaveSceneUntouched)
{
    const uint32_t a = AddRectangle("A")->Id();
    TBuildingDefinition* empty = Plans.AddBuilding("Empty");
    TBuildingDefinition* gap = AddBuilding({{a, 3.0f}, {kNoId, 3.0f}, {a, 3.0f}});
    EXPECT_EQ(FloorElevation(&Plans, gap, 3), 6.0f);  // the planless floor adds nothing

    struct Case {
        uint32_t BuildingId;
        const char* Message;
    };
    const Case cases[] = {
        {999999, "Building was not found"},
        {empty->Id(), "Building has no floors"},
        {gap->Id(), "Floor 2 references a missing plan"},
    };
    for (const Case& c : cases) {
        TSceneGroup* group = nullptr;
        std::string message;
        EXPECT_FALSE(
            BuildBuildingGroup(Doc.FloorPlanTarget(), c.BuildingId, nullptr, group, message));
        EXPECT_EQ(message, c.Message);
        EXPECT_EQ(group, nullptr);
    }
    EXPECT_EQ(Scene.NodeCount(), 0);
    EXPECT_EQ(Plans.BindingCount(), 0);
}

TEST_F(FloorPlanBuildTest, UpdateAfterPointEditReplacesOnlyGeneratedObjects)
{
    TFloorPlan* plan = AddRectangle("Plan 1");
    TSceneGroup* group = Build(plan->Id());
    group->SetPosition({5, 0, 1});
    TSceneObject* cube = AddUserCube(group);
    const uint32_t oldWalls = ChildObject(group, "Walls")->GetId();

    ASSERT_TRUE(plan->MovePoint(1, {3, -1.5f}));
    ASSERT_TRUE(plan->MovePoint(2, {3, 1.5f}));
    EXPECT_TRUE(Plans.IsBindingStale(Plans.FindBinding(group->GetId())));

    std::string message;
    ASSERT_TRUE(UpdateGeneratedFloor(Doc.FloorPlanTarget(), oldWalls, message)) << message;
    EXPECT_EQ(message, "");
    EXPECT_EQ(Scene.FindNodeById(oldWalls), nullptr);
    EXPECT_EQ(group->Name, "Floor - Plan 1");
    EXPECT_EQ(group->GetPosition().X, 5.0f);
    EXPECT_EQ(cube->GetParent(), group);  // the user's node stays
    EXPECT_EQ(ChildNames(group), (std::vector<std::string>{cube->Name, "Slab", "Walls"}));
    EXPECT_EQ(MaxX(*ChildObject(group, "Slab")->GetBaseMesh()), 3.0f);
    const TFloorPlanBuildBinding* b = Plans.FindBinding(group->GetId());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->SourceHash, static_cast<uint64_t>(plan->Revision()));
    EXPECT_FALSE(Plans.IsBindingStale(b));
}

TEST_F(FloorPlanBuildTest, UpdateFailuresKeepTheOldContent)
{
    TFloorPlan* plan = AddRectangle("Plan 1");
    TSceneGroup* group = Build(plan->Id());
    const std::vector<uint32_t> before = ChildIds(group);
    TSceneObject* loose = Scene.AddPrimitive(ptCube);

    std::string message;
    EXPECT_FALSE(UpdateGeneratedFloor(Doc.FloorPlanTarget(), loose->GetId(), message));
    EXPECT_EQ(message, "Selected node is not a generated floor plan");
    EXPECT_FALSE(UpdateGeneratedBuilding(Doc.FloorPlanTarget(), group->GetId(), message));
    EXPECT_EQ(message, "Selected node is not a generated building");
    EXPECT_FALSE(UpdateGeneratedFloor(nullptr, group->GetId(), message));
    EXPECT_EQ(message, "Project document is nil");

    // An outline that runs back along its own edge no longer validates.
    plan->InsertPoint({3, -1.5f}, 1);
    EXPECT_FALSE(UpdateGeneratedFloor(Doc.FloorPlanTarget(), group->GetId(), message));
    EXPECT_EQ(message, "Floor-plan boundary reverses at point 1");
    EXPECT_FALSE(UpdateBuildsOfPlan(Doc.FloorPlanTarget(), plan->Id(), message));
    EXPECT_EQ(ChildIds(group), before);
}

TEST_F(FloorPlanBuildTest, BindingOnTheSceneRootIsRefused)
{
    TFloorPlan* plan = AddRectangle("Plan 1");
    TSceneGroup* group = Build(plan->Id());
    TSceneObject* loose = Scene.AddPrimitive(ptCube);
    EXPECT_EQ(Plans.SetBinding(0, plan->Id(), kNoId, kNoId, 0), nullptr);
    // A binding that names the root anyway (a damaged document) makes every node look
    // generated; an update must not clear the scene.
    Plans.FindBinding(group->GetId())->RootNodeId = 0;
    const int nodes = Scene.NodeCount();

    std::string message;
    EXPECT_FALSE(UpdateGeneratedFloor(Doc.FloorPlanTarget(), loose->GetId(), message));
    EXPECT_EQ(message, "Generated floor root is missing");
    EXPECT_TRUE(UpdateBuildsOfPlan(Doc.FloorPlanTarget(), plan->Id(), message)) << message;
    EXPECT_EQ(Scene.NodeCount(), nodes);
    EXPECT_EQ(loose->GetParent(), Scene.GetRoot());
}

TEST_F(FloorPlanBuildTest, BuildingUpdateReusesFloorGroupsAndKeepsUserNodes)
{
    const uint32_t a = AddRectangle("A")->Id();
    const uint32_t b = AddRectangle("B", 3, 3)->Id();
    TBuildingDefinition* building = AddBuilding({{a, 3.0f}, {b, 2.5f}, {a, 4.0f}});
    TSceneGroup* root = BuildBuilding(building->Id());
    const uint32_t g0 = root->GetChild(0)->GetId();
    const uint32_t g1 = root->GetChild(1)->GetId();
    const uint32_t g2 = root->GetChild(2)->GetId();
    TSceneObject* inBuilding = AddUserCube(root);
    TSceneObject* inFloor = AddUserCube(Scene.FindNodeById(g2));

    // Swap the first two floors and delete the third.
    building->MoveFloor(1, 0);
    building->DeleteFloor(2);
    EXPECT_TRUE(Plans.IsBindingStale(Plans.FindBinding(root->GetId())));

    std::string message;
    ASSERT_TRUE(UpdateGeneratedBuilding(
        Doc.FloorPlanTarget(), ChildObject(Scene.FindNodeById(g0), "Slab")->GetId(), message))
        << message;
    EXPECT_EQ(ChildIds(root), (std::vector<uint32_t>{g2, inBuilding->GetId(), g1, g0}));
    EXPECT_EQ(Scene.FindNodeById(g1)->GetPosition().Y, 0.0f);
    EXPECT_EQ(Scene.FindNodeById(g0)->GetPosition().Y, 2.5f);
    EXPECT_EQ(Scene.FindNodeById(g1)->Name, "Level 1");
    // The group of the deleted floor keeps the user's cube, without its meshes or binding.
    EXPECT_EQ(ChildNames(Scene.FindNodeById(g2)), (std::vector<std::string>{inFloor->Name}));
    EXPECT_EQ(Plans.FindBinding(g2), nullptr);
    EXPECT_EQ(Plans.FindBinding(g0)->FloorId, building->GetFloor(1)->Id());
    EXPECT_FALSE(Plans.IsBindingStale(Plans.FindBinding(root->GetId())));
    EXPECT_FALSE(Plans.IsBindingStale(Plans.FindBinding(g0)));
    EXPECT_FALSE(Plans.IsBindingStale(Plans.FindBinding(g1)));
}

TEST_F(FloorPlanBuildTest, PlanUpdateRebuildsEachBuildOnce)
{
    TFloorPlan* shared = AddRectangle("Shared");
    TBuildingDefinition* building = AddBuilding({{shared->Id(), 3.0f}, {shared->Id(), 3.0f}});
    TSceneGroup* root = BuildBuilding(building->Id());
    TSceneGroup* alone = Build(shared->Id());
    const std::vector<uint32_t> floorGroups = ChildIds(root);
    int added = 0;
    Scene.AddChangeListener(
        [&](TScene&, TSceneChangeKind kind, uint32_t) { added += kind == sckNodeAdded; });

    ASSERT_TRUE(shared->MovePoint(1, {3, -1.5f}));
    std::string message;
    ASSERT_TRUE(UpdateBuildsOfPlan(Doc.FloorPlanTarget(), shared->Id(), message)) << message;
    EXPECT_EQ(added, 6);  // slab and walls of two floors and of the plan build, once each
    EXPECT_EQ(ChildIds(root), floorGroups);
    for (uint32_t id : floorGroups) {
        EXPECT_EQ(ChildNames(Scene.FindNodeById(id)), (std::vector<std::string>{"Slab", "Walls"}));
        EXPECT_EQ(MaxX(*ChildObject(Scene.FindNodeById(id), "Slab")->GetBaseMesh()), 3.0f);
        EXPECT_FALSE(Plans.IsBindingStale(Plans.FindBinding(id)));
    }
    EXPECT_EQ(MaxX(*ChildObject(alone, "Slab")->GetBaseMesh()), 3.0f);
    EXPECT_FALSE(Plans.IsBindingStale(Plans.FindBinding(root->GetId())));
    EXPECT_FALSE(Plans.IsBindingStale(Plans.FindBinding(alone->GetId())));
}

TEST_F(FloorPlanBuildTest, FloorGroupOutsideItsBuildingDoesNotBlockPlanUpdates)
{
    TFloorPlan* plan = AddRectangle("Plan 1");
    TBuildingDefinition* building = AddBuilding({{plan->Id(), 3.0f}});
    TSceneGroup* root = BuildBuilding(building->Id());
    TSceneNode* floorGroup = root->GetChild(0);
    Scene.ReparentNode(floorGroup, Scene.GetRoot(), 0, false);
    Scene.DeleteNode(root);
    ASSERT_NE(Plans.FindBinding(floorGroup->GetId()), nullptr);

    ASSERT_TRUE(plan->MovePoint(1, {3, -1.5f}));
    std::string message;
    ASSERT_TRUE(UpdateBuildsOfPlan(Doc.FloorPlanTarget(), plan->Id(), message)) << message;
    EXPECT_EQ(MaxX(*ChildObject(floorGroup, "Slab")->GetBaseMesh()), 3.0f);
    EXPECT_FALSE(Plans.IsBindingStale(Plans.FindBinding(floorGroup->GetId())));
}

TEST_F(FloorPlanBuildTest, FloorUpdatesFindTheirBuilding)
{
    TFloorPlan* plan = AddRectangle("Plan 1");
    TBuildingDefinition* building = AddBuilding({{plan->Id(), 3.0f}, {plan->Id(), 3.0f}});
    TFloorDefinition* ground = building->GetFloor(0);
    std::string message;
    EXPECT_FALSE(UpdateBuildsOfFloor(Doc.FloorPlanTarget(), 999999, message));
    EXPECT_EQ(message, "Floor was not found in a building");
    // Never built: nothing to do.
    EXPECT_TRUE(UpdateBuildsOfFloor(Doc.FloorPlanTarget(), ground->Id(), message)) << message;
    EXPECT_EQ(Scene.NodeCount(), 0);

    TSceneGroup* root = BuildBuilding(building->Id());
    ground->SetSettings(Height(5.0f));
    ASSERT_TRUE(UpdateBuildsOfFloor(Doc.FloorPlanTarget(), ground->Id(), message)) << message;
    EXPECT_EQ(root->GetChild(1)->GetPosition().Y, 5.0f);
    EXPECT_FALSE(Plans.IsBindingStale(Plans.FindBinding(root->GetId())));
}

TEST(FloorPlanBuildHelpers, AppendUniqueIdSkipsNoneAndRepeats)
{
    TSceneNodeIdArray ids;
    for (uint32_t id : {4u, kNoId, 7u, 4u, 0u, 7u})
        AppendUniqueId(ids, id);
    EXPECT_EQ(ids, (TSceneNodeIdArray{4, 7, 0}));
}

TEST(FloorPlanBuildHelpers, EffectivePlanTakesTheFloorsOwnSettings)
{
    TProjectDocument doc;
    TFloorPlan* plan = doc.GetFloorPlans().AddPlan("P");
    TFloorDefinition* floor = doc.GetFloorPlans().AddBuilding("B")->AddFloor(plan->Id(), "");
    TFloorSettings own = DefaultFloorSettings();
    own.Height = 7;
    floor->SetSettings(own);

    EXPECT_EQ(MakeEffectivePlan(doc.FloorPlanTarget(), nullptr, floor->Id()), nullptr);
    EXPECT_EQ(MakeEffectivePlan(doc.FloorPlanTarget(), plan, floor->Id())->Settings().Height, 3.0f);
    floor->SetOverrideSettings(true);
    const auto effective = MakeEffectivePlan(doc.FloorPlanTarget(), plan, floor->Id());
    EXPECT_EQ(effective->Settings().Height, 7.0f);
    EXPECT_EQ(effective->Id(), plan->Id());
    EXPECT_EQ(plan->Settings().Height, 3.0f);
    EXPECT_EQ(MakeEffectivePlan(nullptr, plan, floor->Id())->Settings().Height, 3.0f);
}

}  // namespace
