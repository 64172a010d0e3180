#pragma once
// Process-wide id counters, one per kind of document object. Ids are never reused in a
// run: counters only grow, and ids read from files are reserved past.
#include <cstdint>
#include <vector>

constexpr uint32_t kNoId = 0xFFFFFFFFu;  // "allocate a new one" / "none"; never handed out

using TSceneNodeIdArray = std::vector<uint32_t>;
using TModifierIdArray = std::vector<uint32_t>;

struct TModifierRef {
    uint32_t NodeId = 0;
    uint32_t ModifierId = 0;
    friend bool operator==(const TModifierRef&, const TModifierRef&) = default;
};

TModifierRef MakeModifierRef(uint32_t NodeId, uint32_t ModifierId);

uint32_t AllocateSceneNodeId();
void ReserveSceneNodeId(uint32_t id);
uint32_t AllocateFloorPlanId();
void ReserveFloorPlanId(uint32_t id);
uint32_t AllocateFloorId();
void ReserveFloorId(uint32_t id);
uint32_t AllocateBuildingId();
void ReserveBuildingId(uint32_t id);
uint32_t AllocateModifierId();
void ReserveModifierId(uint32_t id);

// The next id of every kind at one moment. A load that is refused puts the counters back
// where they were, so a file it did not take uses up no ids.
struct TDocumentIdCounters {
    uint32_t SceneNode = 1;
    uint32_t FloorPlan = 1;
    uint32_t Floor = 1;
    uint32_t Building = 1;
    uint32_t Modifier = 1;
    friend bool operator==(const TDocumentIdCounters&, const TDocumentIdCounters&) = default;
};
TDocumentIdCounters SnapshotDocumentIds();
void RestoreDocumentIds(const TDocumentIdCounters& Counters);

// One counter: what the kinds above share.
class TIdCounter {
public:
    explicit TIdCounter(const char* exhaustedMessage) : Message(exhaustedMessage) {}
    uint32_t Allocate();
    void Reserve(uint32_t id);
    uint32_t Next() const { return NextId; }
    void Restore(uint32_t Next) { NextId = Next; }

private:
    const char* Message;
    uint32_t NextId = 1;
};
