#include "floorplan/uFloorPlanDocument.h"

#include "base/uErrors.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <unordered_map>

// ---- floors ----

TFloorDefinition::TFloorDefinition(uint32_t Id, std::string Name) : FName(std::move(Name))
{
    if (Id == 0 || Id == kNoId) {
        FId = AllocateFloorId();
    } else {
        FId = Id;
        ReserveFloorId(Id);
    }
}

bool TFloorDefinition::SetSettings(const TFloorSettings& Settings)
{
    if (!FloorSettingsStorable(Settings))
        return false;
    FSettings = Settings;
    return true;
}

void TFloorDefinition::Assign(const TFloorDefinition* Source)
{
    if (!Source)
        throw EArgumentError("Cannot assign a nil floor");
    if (Source == this)
        return;
    FId = Source->FId;
    FName = Source->FName;
    FPlanId = Source->FPlanId;
    FOverrideSettings = Source->FOverrideSettings;
    FSettings = Source->FSettings;
}

std::unique_ptr<TFloorDefinition> TFloorDefinition::Clone() const
{
    // A copy draws no id: a document whose ids reach the top of the range must still copy
    // (every load copies its floor plans).
    return std::make_unique<TFloorDefinition>(*this);
}

// ---- buildings ----

TBuildingDefinition::TBuildingDefinition(uint32_t Id, std::string Name) : FName(std::move(Name))
{
    if (Id == 0 || Id == kNoId) {
        FId = AllocateBuildingId();
    } else {
        FId = Id;
        ReserveBuildingId(Id);
    }
}

TFloorDefinition* TBuildingDefinition::InsertFloor(int Index, uint32_t PlanId,
                                                   const std::string& Name)
{
    Index = std::clamp(Index, 0, FloorCount());
    auto floor = std::make_unique<TFloorDefinition>(
        0, Name.empty() ? "Floor " + std::to_string(Index + 1) : Name);
    floor->SetPlanId(PlanId);
    TFloorDefinition* result = floor.get();
    FFloors.insert(FFloors.begin() + Index, std::move(floor));
    return result;
}

TFloorDefinition* TBuildingDefinition::AddFloor(uint32_t PlanId, const std::string& Name)
{
    return InsertFloor(FloorCount(), PlanId, Name);
}

TFloorDefinition* TBuildingDefinition::AppendFloor(std::unique_ptr<TFloorDefinition> Floor)
{
    if (!Floor)
        return nullptr;
    FFloors.push_back(std::move(Floor));
    return FFloors.back().get();
}

bool TBuildingDefinition::DeleteFloor(int Index)
{
    if (Index < 0 || Index >= FloorCount())
        return false;
    FFloors.erase(FFloors.begin() + Index);
    return true;
}

void TBuildingDefinition::MoveFloor(int FromIndex, int ToIndex)
{
    const int n = FloorCount();
    if (FromIndex < 0 || FromIndex >= n || ToIndex < 0 || ToIndex >= n || FromIndex == ToIndex)
        return;
    auto floor = std::move(FFloors[FromIndex]);
    FFloors.erase(FFloors.begin() + FromIndex);
    FFloors.insert(FFloors.begin() + ToIndex, std::move(floor));
}

void TBuildingDefinition::Assign(const TBuildingDefinition* Source)
{
    if (!Source)
        throw EArgumentError("Cannot assign a nil building");
    if (Source == this)
        return;
    FId = Source->FId;
    FName = Source->FName;
    ClearFloors();
    for (const auto& floor : Source->FFloors)
        FFloors.push_back(floor->Clone());
}

std::unique_ptr<TBuildingDefinition> TBuildingDefinition::Clone() const
{
    // Made with this building's id, which is reserved already: no id is drawn.
    auto copy = std::make_unique<TBuildingDefinition>(FId, "");
    copy->Assign(this);
    return copy;
}

std::unique_ptr<TFloorPlanBuildBinding> TFloorPlanBuildBinding::Clone() const
{
    return std::make_unique<TFloorPlanBuildBinding>(*this);
}

// ---- hashing ----

uint64_t HashMix64(uint64_t h, uint64_t v)
{
    return (h ^ v) * 0x100000001B3ull;
}

uint64_t HashMixSingle(uint64_t h, float f)
{
    // -0 hashes as 0: the file writes both as 0, and a binding must not go stale over a
    // sign nothing else tells apart.
    return HashMix64(h, std::bit_cast<uint32_t>(f == 0.0f ? 0.0f : f));
}

namespace {
uint64_t MixRoofType(uint64_t h, TRoofType t)
{
    return HashMix64(h, static_cast<uint64_t>(static_cast<int64_t>(t)));  // sign-extended
}
}  // namespace

bool IsValidBindingRoot(uint32_t RootNodeId)
{
    return RootNodeId != 0 && RootNodeId != kNoId;
}

// ---- the document ----

void TFloorPlanDocument::Clear()
{
    FSetAside.clear();
    FBindings.clear();
    FBuildings.clear();
    FPlans.clear();
}

void TFloorPlanDocument::Assign(const TFloorPlanDocument* Source)
{
    if (!Source)
        throw EArgumentError("Cannot assign a nil floor-plan document");
    if (Source == this)
        return;
    Clear();
    for (const auto& plan : Source->FPlans)
        FPlans.push_back(plan->Clone());
    for (const auto& building : Source->FBuildings)
        FBuildings.push_back(building->Clone());
    for (const auto& binding : Source->FBindings)
        FBindings.push_back(binding->Clone());
}

void TFloorPlanDocument::TakeFrom(TFloorPlanDocument& Source)
{
    if (&Source == this)
        return;
    Clear();
    FPlans.swap(Source.FPlans);
    FBuildings.swap(Source.FBuildings);
    FBindings.swap(Source.FBindings);
}

int TFloorPlanDocument::IndexOfPlan(uint32_t Id) const
{
    for (int i = 0; i < PlanCount(); ++i)
        if (FPlans[i]->Id() == Id)
            return i;
    return -1;
}

int TFloorPlanDocument::IndexOfBuilding(uint32_t Id) const
{
    for (int i = 0; i < BuildingCount(); ++i)
        if (FBuildings[i]->Id() == Id)
            return i;
    return -1;
}

int TFloorPlanDocument::IndexOfBinding(uint32_t RootNodeId) const
{
    for (int i = 0; i < BindingCount(); ++i)
        if (FBindings[i]->RootNodeId == RootNodeId)
            return i;
    return -1;
}

TFloorPlan* TFloorPlanDocument::FindPlan(uint32_t Id) const
{
    const int i = IndexOfPlan(Id);
    return i < 0 ? nullptr : FPlans[i].get();
}

TBuildingDefinition* TFloorPlanDocument::FindBuilding(uint32_t Id) const
{
    const int i = IndexOfBuilding(Id);
    return i < 0 ? nullptr : FBuildings[i].get();
}

TFloorDefinition* TFloorPlanDocument::FindFloor(uint32_t FloorId) const
{
    for (const auto& building : FBuildings)
        for (int i = 0; i < building->FloorCount(); ++i)
            if (building->GetFloor(i)->Id() == FloorId)
                return building->GetFloor(i);
    return nullptr;
}

TFloorPlanBuildBinding* TFloorPlanDocument::FindBinding(uint32_t RootNodeId) const
{
    const int i = IndexOfBinding(RootNodeId);
    return i < 0 ? nullptr : FBindings[i].get();
}

TFloorPlanBuildBinding* TFloorPlanDocument::FindBindingForPlan(uint32_t PlanId) const
{
    for (const auto& binding : FBindings)
        if (binding->PlanId == PlanId)
            return binding.get();
    return nullptr;
}

TFloorPlan* TFloorPlanDocument::AddPlan(const std::string& Name)
{
    const std::string name = Name.empty() ? "Plan " + std::to_string(PlanCount() + 1) : Name;
    FPlans.push_back(std::make_unique<TFloorPlan>(AllocateFloorPlanId(), name));
    return FPlans.back().get();
}

bool TFloorPlanDocument::AddLoadedPlan(std::unique_ptr<TFloorPlan> Plan)
{
    if (!Plan || Plan->Id() == kNoId || IndexOfPlan(Plan->Id()) >= 0)
        return false;
    ReserveFloorPlanId(Plan->Id());
    FPlans.push_back(std::move(Plan));
    return true;
}

void TFloorPlanDocument::AppendLoaded(std::vector<std::unique_ptr<TFloorPlan>> Plans,
                                      std::vector<std::unique_ptr<TBuildingDefinition>> Buildings,
                                      std::vector<std::unique_ptr<TFloorPlanBuildBinding>> Bindings)
{
    FPlans.reserve(FPlans.size() + Plans.size());
    for (auto& plan : Plans) {
        assert(plan && plan->Id() != kNoId);
        ReserveFloorPlanId(plan->Id());
        FPlans.push_back(std::move(plan));
    }
    FBuildings.reserve(FBuildings.size() + Buildings.size());
    for (auto& building : Buildings)
        FBuildings.push_back(std::move(building));
    FBindings.reserve(FBindings.size() + Bindings.size());
    for (auto& binding : Bindings)
        FBindings.push_back(std::move(binding));
}

void TFloorPlanDocument::DeleteBindingsIf(const std::function<bool(uint32_t)>& Drop)
{
    std::erase_if(FBindings, [&](const std::unique_ptr<TFloorPlanBuildBinding>& b) {
        return Drop(b->RootNodeId);
    });
}

bool TFloorPlanDocument::IsPlanInUse(uint32_t PlanId) const
{
    for (const auto& building : FBuildings)
        for (int i = 0; i < building->FloorCount(); ++i)
            if (building->GetFloor(i)->PlanId() == PlanId)
                return true;
    return false;
}

bool TFloorPlanDocument::DeletePlan(uint32_t PlanId)
{
    const int index = IndexOfPlan(PlanId);
    if (index < 0 || IsPlanInUse(PlanId))
        return false;
    FPlans.erase(FPlans.begin() + index);
    for (int i = BindingCount() - 1; i >= 0; --i)
        if (FBindings[i]->PlanId == PlanId)
            FBindings.erase(FBindings.begin() + i);
    return true;
}

TBuildingDefinition* TFloorPlanDocument::AddBuilding(const std::string& Name)
{
    const std::string name =
        Name.empty() ? "Building " + std::to_string(BuildingCount() + 1) : Name;
    FBuildings.push_back(std::make_unique<TBuildingDefinition>(0, name));
    return FBuildings.back().get();
}

bool TFloorPlanDocument::AddLoadedBuilding(std::unique_ptr<TBuildingDefinition> Building)
{
    if (!Building || IndexOfBuilding(Building->Id()) >= 0)
        return false;
    FBuildings.push_back(std::move(Building));
    return true;
}

TFloorDefinition* TFloorPlanDocument::AddFloorCopyOf(const TFloorPlan* Source,
                                                     const TFloorPlanPointArray& Outline)
{
    if (!Source) {
        TFloorPlan* fresh = AddPlan("Plan " + std::to_string(PlanCount() + 1));
        fresh->SetPoints(Outline);
        Source = fresh;
    }
    TBuildingDefinition* building = DefaultBuilding();
    const std::string name =
        Source->Name() + " - Floor " + std::to_string(building->FloorCount() + 1);
    TFloorPlan* plan = AddPlan(name);
    const uint32_t id = plan->Id();
    plan->Assign(Source);
    plan->SetId(id);
    plan->SetName(name);
    TFloorDefinition* floor = building->AddFloor(id, "");
    floor->SetOverrideSettings(true);
    floor->SetSettings(plan->Settings());
    return floor;
}

TBuildingDefinition* TFloorPlanDocument::DefaultBuilding()
{
    if (!FBuildings.empty())
        return FBuildings.front().get();
    return AddBuilding("Building 1");
}

TFloorPlanBuildBinding* TFloorPlanDocument::SetBinding(uint32_t RootNodeId, uint32_t PlanId,
                                                       uint32_t FloorId, uint32_t BuildingId,
                                                       uint64_t SourceHash)
{
    if (!IsValidBindingRoot(RootNodeId))
        return nullptr;
    TFloorPlanBuildBinding* binding = FindBinding(RootNodeId);
    if (!binding) {
        FBindings.push_back(std::make_unique<TFloorPlanBuildBinding>());
        binding = FBindings.back().get();
        binding->RootNodeId = RootNodeId;
    }
    binding->PlanId = PlanId;
    binding->FloorId = FloorId;
    binding->BuildingId = BuildingId;
    binding->SourceHash = SourceHash;
    return binding;
}

void TFloorPlanDocument::DeleteBinding(uint32_t RootNodeId)
{
    const int i = IndexOfBinding(RootNodeId);
    if (i >= 0)
        FBindings.erase(FBindings.begin() + i);
}

namespace {
// Generated roots leave for good far more often than they come back (every building update
// replaces its floor groups): only the latest ones are kept.
constexpr size_t kSetAsideLimit = 1024;
}  // namespace

void TFloorPlanDocument::SetAsideBindingsOfMissingRoots(
    const std::function<bool(uint32_t)>& InScene)
{
    for (size_t i = 0; i < FBindings.size();) {
        if (InScene(FBindings[i]->RootNodeId)) {
            ++i;
            continue;
        }
        FSetAside.push_back(std::move(FBindings[i]));
        FBindings.erase(FBindings.begin() + static_cast<std::ptrdiff_t>(i));
    }
    if (FSetAside.size() > kSetAsideLimit)
        FSetAside.erase(FSetAside.begin(),
                        FSetAside.end() - static_cast<std::ptrdiff_t>(kSetAsideLimit));
}

void TFloorPlanDocument::RestoreBindingsOfReturnedRoots(
    const std::function<bool(uint32_t)>& InScene)
{
    for (size_t i = 0; i < FSetAside.size();) {
        const TFloorPlanBuildBinding& b = *FSetAside[i];
        if (!InScene(b.RootNodeId)) {
            ++i;
            continue;
        }
        bool sourceExists;
        if (b.FloorId != kNoId)
            sourceExists = FindFloor(b.FloorId) != nullptr;
        else if (b.BuildingId != kNoId)
            sourceExists = FindBuilding(b.BuildingId) != nullptr;
        else
            sourceExists = FindPlan(b.PlanId) != nullptr;
        if (sourceExists && !FindBinding(b.RootNodeId))
            FBindings.push_back(std::move(FSetAside[i]));
        // Back in the scene: bound again, or left unbound for good.
        FSetAside.erase(FSetAside.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

bool TFloorPlanDocument::IsBindingStale(const TFloorPlanBuildBinding* b) const
{
    if (!b)
        return true;
    if (b->FloorId != kNoId)
        return !FindFloor(b->FloorId) || FloorSourceHash(b->FloorId) != b->SourceHash;
    if (b->BuildingId != kNoId) {
        const TBuildingDefinition* building = FindBuilding(b->BuildingId);
        return !building || BuildingSourceHash(building) != b->SourceHash;
    }
    const TFloorPlan* plan = FindPlan(b->PlanId);
    return !plan || static_cast<uint64_t>(plan->Revision()) != b->SourceHash;
}

TFloorDefinition* TFloorPlanDocument::GetEffectiveSettings(uint32_t FloorId, const TFloorPlan* Plan,
                                                           TFloorSettings& Settings) const
{
    Settings = Plan ? Plan->Settings() : DefaultFloorSettings();
    TFloorDefinition* floor = FindFloor(FloorId);
    if (floor && floor->OverrideSettings())
        Settings = floor->Settings();
    return floor;
}

uint64_t TFloorPlanDocument::FloorSourceHash(uint32_t FloorId) const
{
    const TFloorDefinition* floor = FindFloor(FloorId);
    if (!floor)
        return kFloorPlanHashSeed;
    const TFloorPlan* plan = FindPlan(floor->PlanId());
    uint64_t h = HashMix64(kFloorPlanHashSeed, floor->Id());
    h = HashMix64(h, floor->PlanId());
    if (plan)
        h = HashMix64(h, static_cast<uint64_t>(plan->Revision()));
    h = HashMix64(h, floor->OverrideSettings() ? 1 : 0);
    if (floor->OverrideSettings()) {
        const TFloorSettings& s = floor->Settings();
        h = HashMixSingle(h, s.Height);
        h = HashMixSingle(h, s.WallThickness);
        h = HashMixSingle(h, s.SlabThickness);
        h = MixRoofType(h, s.RoofType);
        h = HashMixSingle(h, s.RoofRise);
        h = HashMixSingle(h, s.RoofInset);
    }
    return h;
}

uint64_t TFloorPlanDocument::BuildingSourceHash(const TBuildingDefinition* Building) const
{
    if (!Building)
        return kFloorPlanHashSeed;
    uint64_t h = HashMix64(kFloorPlanHashSeed, Building->Id());
    for (int i = 0; i < Building->FloorCount(); ++i) {
        const TFloorDefinition* floor = Building->GetFloor(i);
        h = HashMix64(h, floor->Id());
        h = HashMix64(h, floor->PlanId());
        h = HashMix64(h, FloorSourceHash(floor->Id()));
    }
    return h;
}

bool TFloorPlanDocument::SplitSharedPlans()
{
    // Which bindings were current before: only those are re-stamped, so output built
    // from an older source keeps showing as stale.
    // The floors of each plan, buildings in order and floors in order, in one pass (a
    // loaded file may hold any number of plans and floors). A split gives floors fresh
    // plan ids, which no plan present at the start has, so the lists stay right.
    std::unordered_map<uint32_t, std::vector<TFloorDefinition*>> usersOf;
    bool anyShared = false;
    for (const auto& building : FBuildings)
        for (int i = 0; i < building->FloorCount(); ++i) {
            auto& users = usersOf[building->GetFloor(i)->PlanId()];
            users.push_back(building->GetFloor(i));
            anyShared = anyShared || users.size() > 1;
        }
    if (!anyShared)
        return false;

    std::vector<bool> wasCurrent;
    wasCurrent.reserve(FBindings.size());
    for (const auto& binding : FBindings)
        wasCurrent.push_back(!IsBindingStale(binding.get()));

    bool changed = false;
    const int planCount = PlanCount();
    for (int p = 0; p < planCount; ++p) {
        TFloorPlan* shared = FPlans[p].get();
        const auto found = usersOf.find(shared->Id());
        if (found == usersOf.end() || found->second.size() < 2)
            continue;
        const std::vector<TFloorDefinition*> users = std::move(found->second);
        usersOf.erase(found);
        for (TFloorDefinition* floor : users) {
            const std::string name = shared->Name() + " - " + floor->Name();
            TFloorPlan* copy = AddPlan(name);
            const uint32_t newId = copy->Id();
            copy->Assign(shared);
            copy->SetId(newId);
            copy->SetName(name);
            floor->SetPlanId(newId);
        }
        changed = true;
    }
    if (!changed)
        return false;

    for (size_t i = 0; i < FBindings.size(); ++i) {
        TFloorPlanBuildBinding& b = *FBindings[i];
        if (b.FloorId != kNoId) {
            const TFloorDefinition* floor = FindFloor(b.FloorId);
            if (!floor)
                continue;
            b.PlanId = floor->PlanId();
            if (wasCurrent[i])
                b.SourceHash = FloorSourceHash(b.FloorId);
        } else if (b.BuildingId != kNoId) {
            const TBuildingDefinition* building = FindBuilding(b.BuildingId);
            if (building && wasCurrent[i])
                b.SourceHash = BuildingSourceHash(building);
        }
    }
    return true;
}
