#pragma once
// The ordered, owning list of modifiers a scene object carries, in evaluation order.
// It hooks each held modifier's change callback, counts a revision and tells its owner
// about list changes and parameter changes.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class TModifier;

enum TModifierStackChangeKind : int32_t {
    mscAdded = 0,  // also the closing notification of an update (id 0, index -1)
    mscDeleted = 2,
    mscMoved = 3,
    mscCleared = 5,
};

class TModifierStack {
public:
    using TStructureEvent = std::function<void(
        TModifierStack* Sender, TModifierStackChangeKind Kind, uint32_t ModifierId, int32_t Index)>;
    using TModifierChangedEvent = std::function<void(TModifierStack* Sender, uint32_t ModifierId)>;

    TModifierStack() = default;
    // Runs Clear (with its notification). Owners detach their handlers first when they
    // are being destroyed themselves.
    ~TModifierStack();
    TModifierStack(const TModifierStack&) = delete;
    TModifierStack& operator=(const TModifierStack&) = delete;

    int32_t Count() const { return static_cast<int32_t>(Items.size()); }
    // Raises EArgumentOutOfRangeException "List index (%d) out of bounds" outside the list.
    TModifier* GetItem(int32_t Index) const;

    // Appends and takes ownership; the new index, or -1 (and nothing else) for no modifier.
    int32_t Add(std::unique_ptr<TModifier> Modifier);
    // Removes and frees; the handlers run while the modifier still exists. Out-of-range
    // indices are ignored.
    void Delete(int32_t Index);
    bool Remove(uint32_t ModifierId);
    // ToIndex is an index in the list without the moved modifier. Equal indices notify.
    void Move(int32_t FromIndex, int32_t ToIndex);
    // Frees all, last first, then notifies once (also when already empty).
    void Clear();
    TModifier* FindById(uint32_t ModifierId) const;
    int32_t IndexOfId(uint32_t ModifierId) const;

    // Notifications are dropped (only counted in Revision) while an update is open;
    // the closing EndUpdate sends one mscAdded with id 0 and index -1.
    void BeginUpdate() { ++UpdateCount; }
    void EndUpdate();

    int64_t GetRevision() const { return Revision; }
    int32_t GetUpdateCount() const { return UpdateCount; }

    void SetOnStructureChanged(TStructureEvent Handler) { OnStructureChanged = std::move(Handler); }
    void SetOnModifierChanged(TModifierChangedEvent Handler)
    {
        OnModifierChanged = std::move(Handler);
    }

private:
    void HookModifier(TModifier& Modifier);
    static void UnhookModifier(TModifier& Modifier);
    void ModifierChangedHook(TModifier* Sender);
    void NotifyStructureChanged(TModifierStackChangeKind Kind, uint32_t ModifierId, int32_t Index);
    void NotifyModifierChanged(uint32_t ModifierId);
    void BumpRevision() { ++Revision; }

    std::vector<std::unique_ptr<TModifier>> Items;
    int64_t Revision = 0;
    int32_t UpdateCount = 0;
    TStructureEvent OnStructureChanged;
    TModifierChangedEvent OnModifierChanged;
};
