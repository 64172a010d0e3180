#pragma once
// Turning floor-plan sources into scene content and keeping that content tied to its
// source. A plan, or one floor of a building, becomes a group holding up to three locked
// generated objects "Slab", "Walls" and "Roof"; a building becomes a group holding one
// such floor group per floor, stacked at the heights of the floors below. Every generated
// root gets a build binding with the fingerprint of its source, so that a later edit can
// rebuild exactly what was built from it, in place.
//
// These routines change the scene directly (the commands in uFloorPlanCommands make them
// undoable). Each returns False with an English message on failure and never raises.
//
// An update replaces only what a build generated: the "Slab", "Walls" and "Roof" objects
// of a floor group, and the floor groups of a building group. Nodes the user put under a
// generated group stay where they are.
#include <cstdint>
#include <memory>
#include <string>

#include "base/uDocumentIds.h"
#include "base/uMesh.h"
#include "floorplan/uFloorPlan.h"
#include "floorplan/uFloorPlanDocument.h"

class TFloorPlanTarget;
class TSceneGroup;
class TSceneNode;

// A clone of Plan whose settings are the floor's effective ones when a project is given
// and FloorId is not none; nullptr for a nil plan.
std::unique_ptr<TFloorPlan> MakeEffectivePlan(const TFloorPlanTarget* Project,
                                              const TFloorPlan* Plan, uint32_t FloorId);
// Sum of the effective heights of floors 0..Index-1 whose plan exists, in singles.
float FloorElevation(const TFloorPlanDocument* Document, const TBuildingDefinition* Building,
                     int Index);

// Validates Plan and builds its slab, wall and roof meshes, all or nothing. A nil plan
// fails with an empty message.
bool BuildFloorMeshes(const TFloorPlan* Plan, std::unique_ptr<TMeshData>& Slab,
                      std::unique_ptr<TMeshData>& Walls, std::unique_ptr<TMeshData>& Roof,
                      std::string& Message);
void FreeFloorMeshes(std::unique_ptr<TMeshData>& Slab, std::unique_ptr<TMeshData>& Walls,
                     std::unique_ptr<TMeshData>& Roof);
// Adds "Slab", "Walls" and, unless Plan has no roof, "Roof" under Group, each locked. The
// meshes handed over are taken; a roof that is not is freed. False, with nothing added,
// when Project, Group or Plan is nil.
bool AddFloorMeshObjects(TFloorPlanTarget* Project, TSceneNode* Group,
                         std::unique_ptr<TMeshData>& Slab, std::unique_ptr<TMeshData>& Walls,
                         std::unique_ptr<TMeshData>& Roof, const TFloorPlan* Plan);
bool BuildFloorIntoGroup(TFloorPlanTarget* Project, const TFloorPlan* Plan, TSceneNode* Group,
                         std::string& Message);

// Builds the plan (with the settings of FloorId when set) into a new group appended under
// Parent (the root when nil) and binds it. Group is nullptr after a failure, and the scene
// is as it was.
bool BuildFloorGroup(TFloorPlanTarget* Project, uint32_t PlanId, TSceneNode* Parent,
                     uint32_t FloorId, uint32_t BuildingId, TSceneGroup*& Group,
                     std::string& Message);
// Builds every floor of the building into a new group appended under Parent (the root
// when nil) and binds the group and each floor group. All or nothing.
bool BuildBuildingGroup(TFloorPlanTarget* Project, uint32_t BuildingId, TSceneNode* Parent,
                        TSceneGroup*& Group, std::string& Message);

// Rebuilds, in place, the floor group that NodeId belongs to (its nearest bound ancestor).
// The old content stays untouched when the new meshes cannot be built.
bool UpdateGeneratedFloor(TFloorPlanTarget* Project, uint32_t NodeId, std::string& Message);
// Rebuilds, in place, the building that NodeId belongs to, after a trial run of every
// floor succeeded.
bool UpdateGeneratedBuilding(TFloorPlanTarget* Project, uint32_t NodeId, std::string& Message);
// Rebuilds everything built from the plan: each building once, each plan or floor root
// once.
bool UpdateBuildsOfPlan(TFloorPlanTarget* Project, uint32_t PlanId, std::string& Message);
// Rebuilds the generated building that holds the floor; nothing when it was never built.
bool UpdateBuildsOfFloor(TFloorPlanTarget* Project, uint32_t FloorId, std::string& Message);

// Id of the first building holding a floor with that id, or none.
uint32_t FindBuildingOfFloor(const TFloorPlanTarget* Project, uint32_t FloorId);
// The building group's own binding (BuildingId set, PlanId and FloorId none), or nullptr.
TFloorPlanBuildBinding* FindBuildingBinding(const TFloorPlanTarget* Project, uint32_t BuildingId);
uint32_t BuildingRootNodeId(const TFloorPlanTarget* Project, uint32_t BuildingId);
// Appends Id unless it is none or already there.
void AppendUniqueId(TSceneNodeIdArray& Ids, uint32_t Id);
