#pragma once
// Everything the floor-plan builder stores for a project: plans, buildings of stacked
// floors, and the bindings that tie a generated root node to the source it was built
// from. A binding keeps a 64-bit fingerprint of that source; comparing it with a fresh
// one tells whether the generated output is stale.
#include "base/uDocumentIds.h"
#include "floorplan/uFloorPlan.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TFloorDefinition {
public:
    // Id 0 (or kNoId) draws a new floor id; any other id is kept and reserved.
    TFloorDefinition(uint32_t Id, std::string Name);

    uint32_t Id() const { return FId; }
    const std::string& Name() const { return FName; }
    uint32_t PlanId() const { return FPlanId; }
    bool OverrideSettings() const { return FOverrideSettings; }
    const TFloorSettings& Settings() const { return FSettings; }

    void SetName(const std::string& Name) { FName = Name; }
    void SetPlanId(uint32_t PlanId) { FPlanId = PlanId; }
    void SetOverrideSettings(bool Override) { FOverrideSettings = Override; }
    // Refuses (false, nothing changed) a non-finite value or an unknown roof type.
    bool SetSettings(const TFloorSettings& Settings);

    // Raises EArgumentError for nullptr.
    void Assign(const TFloorDefinition* Source);
    // Carries the source's id; draws none.
    std::unique_ptr<TFloorDefinition> Clone() const;

private:
    uint32_t FId;
    std::string FName;
    uint32_t FPlanId = kNoId;
    bool FOverrideSettings = false;
    TFloorSettings FSettings;
};

class TBuildingDefinition {
public:
    // Id 0 (or kNoId) draws a new building id; any other id is kept and reserved.
    TBuildingDefinition(uint32_t Id, std::string Name);

    uint32_t Id() const { return FId; }
    const std::string& Name() const { return FName; }
    void SetName(const std::string& Name) { FName = Name; }

    void ClearFloors() { FFloors.clear(); }
    TFloorDefinition* GetFloor(int Index) const { return FFloors.at(Index).get(); }
    int FloorCount() const { return static_cast<int>(FFloors.size()); }
    // Index is clamped to 0..FloorCount; an empty name becomes "Floor <Index + 1>".
    TFloorDefinition* InsertFloor(int Index, uint32_t PlanId, const std::string& Name);
    TFloorDefinition* AddFloor(uint32_t PlanId, const std::string& Name);
    // Appends a floor as read from a file, keeping its id.
    TFloorDefinition* AppendFloor(std::unique_ptr<TFloorDefinition> Floor);
    bool DeleteFloor(int Index);
    void MoveFloor(int FromIndex, int ToIndex);

    // Raises EArgumentError for nullptr.
    void Assign(const TBuildingDefinition* Source);
    std::unique_ptr<TBuildingDefinition> Clone() const;

private:
    uint32_t FId;
    std::string FName;
    std::vector<std::unique_ptr<TFloorDefinition>> FFloors;
};

// Floor binding: FloorId set. Building binding: FloorId none, BuildingId set. Plan
// binding: both none, and SourceHash holds the plan's revision.
struct TFloorPlanBuildBinding {
    uint32_t RootNodeId = 0;
    uint32_t PlanId = kNoId;
    uint32_t FloorId = kNoId;
    uint32_t BuildingId = kNoId;
    uint64_t SourceHash = 0;

    std::unique_ptr<TFloorPlanBuildBinding> Clone() const;
};

// One FNV-style step over a whole 64-bit word.
uint64_t HashMix64(uint64_t h, uint64_t v);
// Mixes the bit pattern of a single, zero-extended (-0 as 0).
uint64_t HashMixSingle(uint64_t h, float f);
constexpr uint64_t kFloorPlanHashSeed = 0x14650FB0739D0383ull;

class TFloorPlanDocument {
public:
    TFloorPlanDocument() = default;
    TFloorPlanDocument(const TFloorPlanDocument&) = delete;
    TFloorPlanDocument& operator=(const TFloorPlanDocument&) = delete;
    ~TFloorPlanDocument() { Clear(); }

    void Clear();
    // Raises EArgumentError for nullptr; assigning the document to itself does nothing.
    void Assign(const TFloorPlanDocument* Source);
    // What Assign does, moving Source's contents instead of copying them (Source is left
    // empty): for a staging document that is dropped next.
    void TakeFrom(TFloorPlanDocument& Source);

    TFloorPlan* GetPlan(int Index) const { return FPlans.at(Index).get(); }
    int PlanCount() const { return static_cast<int>(FPlans.size()); }
    TBuildingDefinition* GetBuilding(int Index) const { return FBuildings.at(Index).get(); }
    int BuildingCount() const { return static_cast<int>(FBuildings.size()); }
    TFloorPlanBuildBinding* GetBinding(int Index) const { return FBindings.at(Index).get(); }
    int BindingCount() const { return static_cast<int>(FBindings.size()); }

    int IndexOfPlan(uint32_t Id) const;
    int IndexOfBuilding(uint32_t Id) const;
    int IndexOfBinding(uint32_t RootNodeId) const;
    TFloorPlan* FindPlan(uint32_t Id) const;
    TBuildingDefinition* FindBuilding(uint32_t Id) const;
    TFloorDefinition* FindFloor(uint32_t FloorId) const;
    TFloorPlanBuildBinding* FindBinding(uint32_t RootNodeId) const;
    TFloorPlanBuildBinding* FindBindingForPlan(uint32_t PlanId) const;

    // An empty name becomes "Plan <PlanCount + 1>"; the plan gets a new id.
    TFloorPlan* AddPlan(const std::string& Name);
    // A plan that keeps its own id (the file reader). False, and the plan is dropped,
    // for nullptr, id none or an id already present.
    bool AddLoadedPlan(std::unique_ptr<TFloorPlan> Plan);
    bool IsPlanInUse(uint32_t PlanId) const;
    // False when there is no such plan or a floor uses it; else also drops its bindings.
    bool DeletePlan(uint32_t PlanId);

    // Appends what the file reader read and checked: plan ids unique in the document and
    // not none, building ids unique, at most one binding per root. Plan ids are reserved.
    // One pass, however many there are.
    void AppendLoaded(std::vector<std::unique_ptr<TFloorPlan>> Plans,
                      std::vector<std::unique_ptr<TBuildingDefinition>> Buildings,
                      std::vector<std::unique_ptr<TFloorPlanBuildBinding>> Bindings);
    // Deletes, in one pass, every binding whose root Drop names.
    void DeleteBindingsIf(const std::function<bool(uint32_t RootNodeId)>& Drop);

    TBuildingDefinition* AddBuilding(const std::string& Name);
    // A building that keeps its own id (the file reader). False, and the building is
    // dropped, for nullptr or an id already present.
    bool AddLoadedBuilding(std::unique_ptr<TBuildingDefinition> Building);
    TBuildingDefinition* DefaultBuilding();
    // "Add floor": a copy of Source named "<source> - Floor <n>" stacked on the default
    // building, with the plan's settings as the floor's own. Without a Source, a new plan
    // "Plan <n>" of Outline is made first and copied.
    TFloorDefinition* AddFloorCopyOf(const TFloorPlan* Source, const TFloorPlanPointArray& Outline);

    // Updates the root's binding or appends one. The scene root (0) and none can never
    // be a generated root: such a call is refused with nullptr.
    TFloorPlanBuildBinding* SetBinding(uint32_t RootNodeId, uint32_t PlanId, uint32_t FloorId,
                                       uint32_t BuildingId, uint64_t SourceHash);
    void DeleteBinding(uint32_t RootNodeId);
    bool IsBindingStale(const TFloorPlanBuildBinding* Binding) const;

    // A binding whose root left the scene is dropped but kept aside, so that the very root
    // coming back (the undo of a delete brings back the same ids) is bound again, stale or
    // current as it was. InScene tells whether a node id is in the scene.
    void SetAsideBindingsOfMissingRoots(const std::function<bool(uint32_t)>& InScene);
    // Binds again each root kept aside that is back in the scene and unbound, when the
    // source it was built from still exists.
    void RestoreBindingsOfReturnedRoots(const std::function<bool(uint32_t)>& InScene);
    int SetAsideBindingCount() const { return static_cast<int>(FSetAside.size()); }

    // Settings of Plan (defaults without one), replaced by the floor's own when it
    // overrides them. Returns the floor, or nullptr.
    TFloorDefinition* GetEffectiveSettings(uint32_t FloorId, const TFloorPlan* Plan,
                                           TFloorSettings& Settings) const;
    uint64_t FloorSourceHash(uint32_t FloorId) const;
    uint64_t BuildingSourceHash(const TBuildingDefinition* Building) const;
    // Gives every floor its own plan wherever floors share one. True when anything changed.
    bool SplitSharedPlans();

private:
    std::vector<std::unique_ptr<TFloorPlan>> FPlans;
    std::vector<std::unique_ptr<TBuildingDefinition>> FBuildings;
    std::vector<std::unique_ptr<TFloorPlanBuildBinding>> FBindings;
    std::vector<std::unique_ptr<TFloorPlanBuildBinding>> FSetAside;  // oldest first
};

// Whether a root node id can carry a binding: never the scene root (0), never none.
bool IsValidBindingRoot(uint32_t RootNodeId);
