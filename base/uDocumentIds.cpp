#include "base/uDocumentIds.h"

#include "base/uErrors.h"

uint32_t TIdCounter::Allocate()
{
    if (NextId >= kNoId)
        throw EGeneralError(Message);
    return NextId++;
}

void TIdCounter::Reserve(uint32_t id)
{
    if (id != kNoId && id >= NextId)
        NextId = id + 1;
}

namespace {
TIdCounter SceneNodeIds("Scene node id space exhausted");
TIdCounter FloorPlanIds("Floor-plan id space exhausted");
TIdCounter FloorIds("Floor id space exhausted");
TIdCounter BuildingIds("Building id space exhausted");
TIdCounter ModifierIds("Modifier id space exhausted");
}  // namespace

TModifierRef MakeModifierRef(uint32_t NodeId, uint32_t ModifierId)
{
    return {NodeId, ModifierId};
}

uint32_t AllocateSceneNodeId()
{
    return SceneNodeIds.Allocate();
}
void ReserveSceneNodeId(uint32_t id)
{
    SceneNodeIds.Reserve(id);
}
uint32_t AllocateFloorPlanId()
{
    return FloorPlanIds.Allocate();
}
void ReserveFloorPlanId(uint32_t id)
{
    FloorPlanIds.Reserve(id);
}
uint32_t AllocateFloorId()
{
    return FloorIds.Allocate();
}
void ReserveFloorId(uint32_t id)
{
    FloorIds.Reserve(id);
}
uint32_t AllocateBuildingId()
{
    return BuildingIds.Allocate();
}
void ReserveBuildingId(uint32_t id)
{
    BuildingIds.Reserve(id);
}
uint32_t AllocateModifierId()
{
    return ModifierIds.Allocate();
}
void ReserveModifierId(uint32_t id)
{
    ModifierIds.Reserve(id);
}

TDocumentIdCounters SnapshotDocumentIds()
{
    return {SceneNodeIds.Next(), FloorPlanIds.Next(), FloorIds.Next(), BuildingIds.Next(),
            ModifierIds.Next()};
}

void RestoreDocumentIds(const TDocumentIdCounters& Counters)
{
    SceneNodeIds.Restore(Counters.SceneNode);
    FloorPlanIds.Restore(Counters.FloorPlan);
    FloorIds.Restore(Counters.Floor);
    BuildingIds.Restore(Counters.Building);
    ModifierIds.Restore(Counters.Modifier);
}
