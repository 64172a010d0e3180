#include "floorplan/uFloorPlanBuild.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "floorplan/uFloorPlanMesh.h"
#include "floorplan/uFloorPlanTarget.h"
#include "scene/uScene.h"
#include "scene/uSceneNode.h"
#include "scene/uSceneObject.h"

namespace {

const char* const kSlabName = "Slab";
const char* const kWallsName = "Walls";
const char* const kRoofName = "Roof";

const char* const kNoProject = "Project document is nil";
const char* const kPlanNotFound = "Floor plan was not found";
const char* const kNotAFloor = "Selected node is not a generated floor plan";
const char* const kFloorRootMissing = "Generated floor root is missing";
const char* const kSourcePlanMissing = "Source floor plan is missing";
const char* const kNotABuilding = "Selected node is not a generated building";
const char* const kBuildingRootMissing = "Generated building root is missing";

bool Fail(std::string& Message, std::string Text)
{
    Message = std::move(Text);
    return false;
}

bool IsBuildingBinding(const TFloorPlanBuildBinding* b)
{
    return b && b->BuildingId != kNoId && b->FloorId == kNoId && b->PlanId == kNoId;
}

bool IsFloorOfBuilding(const TFloorPlanBuildBinding* b, uint32_t BuildingId)
{
    return b && b->BuildingId == BuildingId && b->FloorId != kNoId;
}

// Whether Node is one of the objects a floor build makes: a generated object named "Slab",
// "Walls" or "Roof". Anything else under a generated group is the user's and survives an
// update.
bool IsGeneratedFloorPart(const TSceneNode* Node)
{
    const auto* object = dynamic_cast<const TSceneObject*>(Node);
    if (!object || object->PrimType != ptGenerated)
        return false;
    return object->Name == kSlabName || object->Name == kWallsName || object->Name == kRoofName;
}

// The generated group a binding names, or nullptr. The scene root never counts: updating
// it would replace the whole scene.
TSceneGroup* BoundGroup(const TFloorPlanTarget& Project, uint32_t RootNodeId)
{
    if (!IsValidBindingRoot(RootNodeId))
        return nullptr;
    return dynamic_cast<TSceneGroup*>(Project.GetScene().FindNodeById(RootNodeId));
}

// The effective plan of one floor with its three meshes, built and checked before the
// scene is touched.
struct TPreparedFloor {
    std::unique_ptr<TFloorPlan> Effective;
    std::unique_ptr<TMeshData> Slab, Walls, Roof;
};

bool PrepareFloor(const TFloorPlanTarget* Project, const TFloorPlan* Plan, uint32_t FloorId,
                  TPreparedFloor& Floor, std::string& Message)
{
    Floor.Effective = MakeEffectivePlan(Project, Plan, FloorId);
    return BuildFloorMeshes(Floor.Effective.get(), Floor.Slab, Floor.Walls, Floor.Roof, Message);
}

uint64_t FloorHash(const TFloorPlanDocument& Doc, const TFloorPlan& Plan, uint32_t FloorId)
{
    return FloorId != kNoId ? Doc.FloorSourceHash(FloorId) : static_cast<uint64_t>(Plan.Revision());
}

// A new group "Floor - <plan name>" appended under Parent, holding the prepared meshes,
// and its binding.
TSceneGroup* CreateFloorGroup(TFloorPlanTarget& Project, TPreparedFloor& Floor,
                              const TFloorPlan& Plan, TSceneNode* Parent, uint32_t FloorId,
                              uint32_t BuildingId)
{
    TScene& scene = Project.GetScene();
    TSceneNode* parent = Parent ? Parent : scene.GetRoot();
    TSceneGroup* group = scene.CreateGroup("Floor - " + Plan.Name(), parent, parent->ChildCount());
    AddFloorMeshObjects(&Project, group, Floor.Slab, Floor.Walls, Floor.Roof,
                        Floor.Effective.get());
    TFloorPlanDocument& doc = Project.GetFloorPlans();
    doc.SetBinding(group->GetId(), Plan.Id(), FloorId, BuildingId, FloorHash(doc, Plan, FloorId));
    return group;
}

// Deletes the objects a floor build made under Group, keeping every other child.
void DeleteGeneratedFloorParts(TScene& Scene, TSceneNode& Group)
{
    std::vector<uint32_t> parts;
    for (const TSceneNode* child : Group.GetChildren())
        if (IsGeneratedFloorPart(child))
            parts.push_back(child->GetId());
    for (uint32_t id : parts)
        Scene.DeleteNode(Scene.FindNodeById(id));
}

// Every floor of the building built into memory. Nothing in the scene changes.
bool PrepareBuilding(const TFloorPlanTarget& Project, const TBuildingDefinition& Building,
                     std::vector<TPreparedFloor>& Floors, const char* MissingPlanFormat,
                     std::string& Message)
{
    const TFloorPlanDocument& doc = Project.GetFloorPlans();
    Floors.clear();
    Floors.resize(Building.FloorCount());
    for (int i = 0; i < Building.FloorCount(); ++i) {
        const TFloorDefinition* floor = Building.GetFloor(i);
        const TFloorPlan* plan = doc.FindPlan(floor->PlanId());
        if (!plan) {
            std::string text = MissingPlanFormat;
            const size_t at = text.find("%d");
            if (at != std::string::npos)
                text.replace(at, 2, std::to_string(i + 1));
            return Fail(Message, text);
        }
        if (!PrepareFloor(&Project, plan, floor->Id(), Floors[i], Message))
            return false;
        // Each height is finite, their sum need not be: a floor group placed past the float
        // range could not be saved.
        if (!std::isfinite(FloorElevation(&doc, &Building, i)))
            return Fail(Message, "Floor " + std::to_string(i + 1) +
                                     " stands too high: its elevation is beyond the float range");
    }
    return true;
}

// Names, places and binds floor group Index of a building.
void StampBuildingFloor(TFloorPlanTarget& Project, const TBuildingDefinition& Building, int Index,
                        TSceneNode& Group)
{
    TFloorPlanDocument& doc = Project.GetFloorPlans();
    const TFloorDefinition* floor = Building.GetFloor(Index);
    Group.Name = floor->Name();
    Group.SetPosition({0, FloorElevation(&doc, &Building, Index), 0});
    doc.SetBinding(Group.GetId(), floor->PlanId(), floor->Id(), Building.Id(),
                   doc.FloorSourceHash(floor->Id()));
}

// The building group a node belongs to: the nearest ancestor of Start bound as a building
// group of BuildingId, else the first such binding of the document.
TFloorPlanBuildBinding* NearestBuildingBinding(const TFloorPlanTarget& Project, uint32_t Start,
                                               uint32_t BuildingId)
{
    const TFloorPlanDocument& doc = Project.GetFloorPlans();
    for (const TSceneNode* n = Project.GetScene().FindNodeById(Start); n; n = n->GetParent()) {
        TFloorPlanBuildBinding* b = doc.FindBinding(n->GetId());
        if (IsBuildingBinding(b) && b->BuildingId == BuildingId)
            return b;
    }
    return FindBuildingBinding(&Project, BuildingId);
}

// Sorts the root of a binding into the roots to update: a building group, or the building
// group holding a floor group, goes to BuildingRoots; a plan root, or a floor group that
// was moved out of its building group, is updated on its own. Bindings whose root is not
// in the scene, and building groups whose building is gone, are skipped: there is nothing
// to rebuild, and they must not block the edit of a plan.
void CollectBuildRoot(const TFloorPlanTarget& Project, const TFloorPlanBuildBinding& b,
                      TSceneNodeIdArray& BuildingRoots, TSceneNodeIdArray& PlanRoots)
{
    const TSceneNode* node = BoundGroup(Project, b.RootNodeId);
    if (!node)
        return;
    const TFloorPlanDocument& doc = Project.GetFloorPlans();
    const bool buildingExists = b.BuildingId != kNoId && doc.FindBuilding(b.BuildingId);
    if (IsBuildingBinding(&b)) {
        if (buildingExists)
            AppendUniqueId(BuildingRoots, b.RootNodeId);
        return;
    }
    if (buildingExists) {
        const TSceneNode* parent = node->GetParent();
        const TFloorPlanBuildBinding* pb = parent ? doc.FindBinding(parent->GetId()) : nullptr;
        if (IsBuildingBinding(pb) && pb->BuildingId == b.BuildingId) {
            AppendUniqueId(BuildingRoots, pb->RootNodeId);
            return;
        }
    }
    AppendUniqueId(PlanRoots, b.RootNodeId);
}

bool UpdateRoots(TFloorPlanTarget* Project, const TSceneNodeIdArray& BuildingRoots,
                 const TSceneNodeIdArray& PlanRoots, std::string& Message)
{
    for (uint32_t id : BuildingRoots)
        if (!UpdateGeneratedBuilding(Project, id, Message))
            return false;
    for (uint32_t id : PlanRoots)
        if (!UpdateGeneratedFloor(Project, id, Message))
            return false;
    Message.clear();
    return true;
}

}  // namespace

std::unique_ptr<TFloorPlan> MakeEffectivePlan(const TFloorPlanTarget* Project,
                                              const TFloorPlan* Plan, uint32_t FloorId)
{
    if (!Plan)
        return nullptr;
    std::unique_ptr<TFloorPlan> effective = Plan->Clone();
    if (Project && FloorId != kNoId) {
        TFloorSettings settings;
        Project->GetFloorPlans().GetEffectiveSettings(FloorId, Plan, settings);
        effective->SetSettings(settings);
    }
    return effective;
}

float FloorElevation(const TFloorPlanDocument* Document, const TBuildingDefinition* Building,
                     int Index)
{
    if (!Document || !Building || Index < 0)
        return 0;
    Index = std::min(Index, Building->FloorCount());
    float elevation = 0;
    for (int i = 0; i < Index; ++i) {
        const TFloorDefinition* floor = Building->GetFloor(i);
        const TFloorPlan* plan = Document->FindPlan(floor->PlanId());
        if (!plan)
            continue;
        TFloorSettings settings;
        Document->GetEffectiveSettings(floor->Id(), plan, settings);
        elevation += settings.Height;
    }
    return elevation;
}

bool BuildFloorMeshes(const TFloorPlan* Plan, std::unique_ptr<TMeshData>& Slab,
                      std::unique_ptr<TMeshData>& Walls, std::unique_ptr<TMeshData>& Roof,
                      std::string& Message)
{
    FreeFloorMeshes(Slab, Walls, Roof);
    Message.clear();
    if (!Plan)
        return false;
    if (!Plan->Validate(Message))
        return false;
    Slab = std::make_unique<TMeshData>();
    Walls = std::make_unique<TMeshData>();
    Roof = std::make_unique<TMeshData>();
    if (BuildFloorPlanSlabMesh(Slab.get(), Plan, Message) &&
        BuildFloorPlanWallMesh(Walls.get(), Plan, Message) &&
        BuildFloorPlanRoofMesh(Roof.get(), Plan, Message))
        return true;
    FreeFloorMeshes(Slab, Walls, Roof);
    return false;
}

void FreeFloorMeshes(std::unique_ptr<TMeshData>& Slab, std::unique_ptr<TMeshData>& Walls,
                     std::unique_ptr<TMeshData>& Roof)
{
    Slab.reset();
    Walls.reset();
    Roof.reset();
}

bool AddFloorMeshObjects(TFloorPlanTarget* Project, TSceneNode* Group,
                         std::unique_ptr<TMeshData>& Slab, std::unique_ptr<TMeshData>& Walls,
                         std::unique_ptr<TMeshData>& Roof, const TFloorPlan* Plan)
{
    if (!Project || !Group || !Plan)
        return false;
    TScene& scene = Project->GetScene();
    scene.AddMeshObject(kSlabName, std::move(Slab), Group)->SetLocked(true);
    scene.AddMeshObject(kWallsName, std::move(Walls), Group)->SetLocked(true);
    if (Plan->Settings().RoofType != rtNone)
        scene.AddMeshObject(kRoofName, std::move(Roof), Group)->SetLocked(true);
    Roof.reset();
    return true;
}

bool BuildFloorIntoGroup(TFloorPlanTarget* Project, const TFloorPlan* Plan, TSceneNode* Group,
                         std::string& Message)
{
    if (!Project || !Plan || !Group)
        return Fail(Message, "Floor-plan build target is missing");
    std::unique_ptr<TMeshData> slab, walls, roof;
    if (!BuildFloorMeshes(Plan, slab, walls, roof, Message))
        return false;
    AddFloorMeshObjects(Project, Group, slab, walls, roof, Plan);
    Message.clear();
    return true;
}

bool BuildFloorGroup(TFloorPlanTarget* Project, uint32_t PlanId, TSceneNode* Parent,
                     uint32_t FloorId, uint32_t BuildingId, TSceneGroup*& Group,
                     std::string& Message)
{
    Group = nullptr;
    if (!Project)
        return Fail(Message, kNoProject);
    const TFloorPlan* plan = Project->GetFloorPlans().FindPlan(PlanId);
    if (!plan)
        return Fail(Message, kPlanNotFound);
    // The meshes are made before the group, so a failure leaves the scene untouched.
    TPreparedFloor floor;
    if (!PrepareFloor(Project, plan, FloorId, floor, Message))
        return false;
    Group = CreateFloorGroup(*Project, floor, *plan, Parent, FloorId, BuildingId);
    Message.clear();
    return true;
}

bool BuildBuildingGroup(TFloorPlanTarget* Project, uint32_t BuildingId, TSceneNode* Parent,
                        TSceneGroup*& Group, std::string& Message)
{
    Group = nullptr;
    if (!Project)
        return Fail(Message, kNoProject);
    TFloorPlanDocument& doc = Project->GetFloorPlans();
    const TBuildingDefinition* building = doc.FindBuilding(BuildingId);
    if (!building)
        return Fail(Message, "Building was not found");
    if (building->FloorCount() == 0)
        return Fail(Message, "Building has no floors");
    std::vector<TPreparedFloor> floors;
    if (!PrepareBuilding(*Project, *building, floors, "Floor %d references a missing plan",
                         Message))
        return false;

    TScene& scene = Project->GetScene();
    TSceneNode* parent = Parent ? Parent : scene.GetRoot();
    TSceneGroup* group = scene.CreateGroup(building->Name(), parent, parent->ChildCount());
    for (int i = 0; i < building->FloorCount(); ++i) {
        const TFloorDefinition* def = building->GetFloor(i);
        TSceneGroup* floorGroup = CreateFloorGroup(
            *Project, floors[i], *doc.FindPlan(def->PlanId()), group, def->Id(), building->Id());
        StampBuildingFloor(*Project, *building, i, *floorGroup);
    }
    doc.SetBinding(group->GetId(), kNoId, kNoId, building->Id(), doc.BuildingSourceHash(building));
    Group = group;
    Message.clear();
    return true;
}

bool UpdateGeneratedFloor(TFloorPlanTarget* Project, uint32_t NodeId, std::string& Message)
{
    if (!Project)
        return Fail(Message, kNoProject);
    const TFloorPlanBuildBinding* binding = Project->FindBindingForNode(NodeId);
    if (!binding)
        return Fail(Message, kNotAFloor);
    const uint32_t rootId = binding->RootNodeId;
    const uint32_t floorId = binding->FloorId;
    TSceneGroup* root = BoundGroup(*Project, rootId);
    if (!root)
        return Fail(Message, kFloorRootMissing);
    TFloorPlanDocument& doc = Project->GetFloorPlans();
    const TFloorPlan* plan = doc.FindPlan(binding->PlanId);
    if (!plan)
        return Fail(Message, kSourcePlanMissing);

    TPreparedFloor floor;
    if (!PrepareFloor(Project, plan, floorId, floor, Message))
        return false;
    TScene& scene = Project->GetScene();
    DeleteGeneratedFloorParts(scene, *root);
    if (!AddFloorMeshObjects(Project, root, floor.Slab, floor.Walls, floor.Roof,
                             floor.Effective.get()))
        return Fail(Message, "Unable to create generated floor meshes");
    // Look the binding up again: the deletions above ran the document's listener.
    if (TFloorPlanBuildBinding* b = doc.FindBinding(rootId))
        b->SourceHash = FloorHash(doc, *plan, floorId);
    Message.clear();
    return true;
}

bool UpdateGeneratedBuilding(TFloorPlanTarget* Project, uint32_t NodeId, std::string& Message)
{
    if (!Project)
        return Fail(Message, kNoProject);
    const TFloorPlanBuildBinding* binding = Project->FindBindingForNode(NodeId);
    if (!binding || binding->BuildingId == kNoId)
        return Fail(Message, kNotABuilding);
    const uint32_t buildingId = binding->BuildingId;
    const TFloorPlanBuildBinding* own =
        NearestBuildingBinding(*Project, binding->RootNodeId, buildingId);
    if (!own || !IsValidBindingRoot(own->RootNodeId))
        return Fail(Message, kBuildingRootMissing);
    const uint32_t rootId = own->RootNodeId;
    TFloorPlanDocument& doc = Project->GetFloorPlans();
    TSceneGroup* root = BoundGroup(*Project, rootId);
    const TBuildingDefinition* building = doc.FindBuilding(buildingId);
    if (!root || !building)
        return Fail(Message, "Generated building or source definition is missing");

    std::vector<TPreparedFloor> floors;
    if (!PrepareBuilding(*Project, *building, floors, "Building floor references a missing plan",
                         Message))
        return false;

    // The floor groups this build made, in child order; each is reused for its floor.
    TScene& scene = Project->GetScene();
    TSceneNodeIdArray oldGroups;
    for (const TSceneNode* child : root->GetChildren())
        if (IsFloorOfBuilding(doc.FindBinding(child->GetId()), buildingId))
            oldGroups.push_back(child->GetId());

    TSceneNodeIdArray newGroups;
    for (int i = 0; i < building->FloorCount(); ++i) {
        const TFloorDefinition* def = building->GetFloor(i);
        TSceneNode* group = nullptr;
        for (uint32_t& id : oldGroups) {
            const TFloorPlanBuildBinding* b = doc.FindBinding(id);
            if (id != kNoId && b && b->FloorId == def->Id()) {
                group = scene.FindNodeById(id);
                id = kNoId;  // claimed
                break;
            }
        }
        if (group) {
            DeleteGeneratedFloorParts(scene, *group);
            AddFloorMeshObjects(Project, group, floors[i].Slab, floors[i].Walls, floors[i].Roof,
                                floors[i].Effective.get());
        } else {
            group = CreateFloorGroup(*Project, floors[i], *doc.FindPlan(def->PlanId()), root,
                                     def->Id(), buildingId);
        }
        StampBuildingFloor(*Project, *building, i, *group);
        newGroups.push_back(group->GetId());
    }

    // Groups of floors that left the building lose what the build made; a group still
    // holding the user's nodes stays, unbound.
    for (uint32_t id : oldGroups) {
        TSceneNode* group = id != kNoId ? scene.FindNodeById(id) : nullptr;
        if (!group)
            continue;
        DeleteGeneratedFloorParts(scene, *group);
        doc.DeleteBinding(id);
        if (group->ChildCount() == 0)
            scene.DeleteNode(group);
    }

    // Floor groups follow the floor order, after the user's nodes.
    std::vector<TSceneNode*> ordered;
    for (uint32_t id : newGroups)
        ordered.push_back(scene.FindNodeById(id));
    const std::vector<TSceneNode*>& children = root->GetChildren();
    if (!std::equal(ordered.begin(), ordered.end(), children.end() - ordered.size())) {
        for (TSceneNode* group : ordered)
            scene.LinkToParent(group, root, root->ChildCount());
        scene.NotifyChange(sckHierarchyChanged, rootId);
    }

    if (TFloorPlanBuildBinding* b = doc.FindBinding(rootId))
        b->SourceHash = doc.BuildingSourceHash(building);
    Message.clear();
    return true;
}

bool UpdateBuildsOfPlan(TFloorPlanTarget* Project, uint32_t PlanId, std::string& Message)
{
    if (!Project)
        return Fail(Message, kNoProject);
    const TFloorPlanDocument& doc = Project->GetFloorPlans();
    TSceneNodeIdArray buildingRoots, planRoots;
    for (int i = 0; i < doc.BindingCount(); ++i)
        if (doc.GetBinding(i)->PlanId == PlanId)
            CollectBuildRoot(*Project, *doc.GetBinding(i), buildingRoots, planRoots);
    return UpdateRoots(Project, buildingRoots, planRoots, Message);
}

bool UpdateBuildsOfFloor(TFloorPlanTarget* Project, uint32_t FloorId, std::string& Message)
{
    if (!Project)
        return Fail(Message, kNoProject);
    const uint32_t buildingId = FindBuildingOfFloor(Project, FloorId);
    if (buildingId == kNoId)
        return Fail(Message, "Floor was not found in a building");
    const TFloorPlanDocument& doc = Project->GetFloorPlans();
    TSceneNodeIdArray buildingRoots, planRoots;
    for (int i = 0; i < doc.BindingCount(); ++i) {
        const TFloorPlanBuildBinding* b = doc.GetBinding(i);
        if ((IsBuildingBinding(b) && b->BuildingId == buildingId) || b->FloorId == FloorId)
            CollectBuildRoot(*Project, *b, buildingRoots, planRoots);
    }
    return UpdateRoots(Project, buildingRoots, planRoots, Message);
}

uint32_t FindBuildingOfFloor(const TFloorPlanTarget* Project, uint32_t FloorId)
{
    if (!Project)
        return kNoId;
    const TFloorPlanDocument& doc = Project->GetFloorPlans();
    for (int i = 0; i < doc.BuildingCount(); ++i) {
        const TBuildingDefinition* building = doc.GetBuilding(i);
        for (int f = 0; f < building->FloorCount(); ++f)
            if (building->GetFloor(f)->Id() == FloorId)
                return building->Id();
    }
    return kNoId;
}

TFloorPlanBuildBinding* FindBuildingBinding(const TFloorPlanTarget* Project, uint32_t BuildingId)
{
    if (!Project || BuildingId == kNoId)
        return nullptr;
    const TFloorPlanDocument& doc = Project->GetFloorPlans();
    for (int i = 0; i < doc.BindingCount(); ++i) {
        TFloorPlanBuildBinding* b = doc.GetBinding(i);
        if (IsBuildingBinding(b) && b->BuildingId == BuildingId)
            return b;
    }
    return nullptr;
}

uint32_t BuildingRootNodeId(const TFloorPlanTarget* Project, uint32_t BuildingId)
{
    const TFloorPlanBuildBinding* b = FindBuildingBinding(Project, BuildingId);
    return b ? b->RootNodeId : kNoId;
}

void AppendUniqueId(TSceneNodeIdArray& Ids, uint32_t Id)
{
    if (Id != kNoId && std::find(Ids.begin(), Ids.end(), Id) == Ids.end())
        Ids.push_back(Id);
}
