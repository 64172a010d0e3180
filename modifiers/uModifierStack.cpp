#include "modifiers/uModifierStack.h"

#include "base/uErrors.h"
#include "modifiers/uModifiers.h"

#include <string>

TModifierStack::~TModifierStack()
{
    Clear();
}

TModifier* TModifierStack::GetItem(int32_t Index) const
{
    if (Index < 0 || Index >= Count())
        throw EArgumentOutOfRangeException("List index (" + std::to_string(Index) +
                                           ") out of bounds");
    return Items[static_cast<size_t>(Index)].get();
}

int32_t TModifierStack::Add(std::unique_ptr<TModifier> Modifier)
{
    if (!Modifier)
        return -1;
    TModifier& Added = *Modifier;
    Items.push_back(std::move(Modifier));
    HookModifier(Added);
    const int32_t Index = Count() - 1;
    NotifyStructureChanged(mscAdded, Added.GetId(), Index);
    return Index;
}

void TModifierStack::Delete(int32_t Index)
{
    if (Index < 0 || Index >= Count())
        return;
    std::unique_ptr<TModifier> Removed = std::move(Items[static_cast<size_t>(Index)]);
    UnhookModifier(*Removed);
    Items.erase(Items.begin() + Index);
    NotifyStructureChanged(mscDeleted, Removed->GetId(), Index);
}

bool TModifierStack::Remove(uint32_t ModifierId)
{
    const int32_t Index = IndexOfId(ModifierId);
    if (Index < 0)
        return false;
    Delete(Index);
    return true;
}

void TModifierStack::Move(int32_t FromIndex, int32_t ToIndex)
{
    if (FromIndex < 0 || FromIndex >= Count() || ToIndex < 0 || ToIndex >= Count())
        return;
    std::unique_ptr<TModifier> Moved = std::move(Items[static_cast<size_t>(FromIndex)]);
    Items.erase(Items.begin() + FromIndex);
    const uint32_t Id = Moved->GetId();
    Items.insert(Items.begin() + ToIndex, std::move(Moved));
    NotifyStructureChanged(mscMoved, Id, ToIndex);
}

void TModifierStack::Clear()
{
    while (!Items.empty()) {
        UnhookModifier(*Items.back());
        Items.pop_back();
    }
    NotifyStructureChanged(mscCleared, 0, -1);
}

TModifier* TModifierStack::FindById(uint32_t ModifierId) const
{
    const int32_t Index = IndexOfId(ModifierId);
    return Index < 0 ? nullptr : Items[static_cast<size_t>(Index)].get();
}

int32_t TModifierStack::IndexOfId(uint32_t ModifierId) const
{
    for (size_t i = 0; i < Items.size(); ++i)
        if (Items[i]->GetId() == ModifierId)
            return static_cast<int32_t>(i);
    return -1;
}

void TModifierStack::EndUpdate()
{
    if (UpdateCount == 0)
        return;
    if (--UpdateCount == 0)
        NotifyStructureChanged(mscAdded, 0, -1);
}

void TModifierStack::HookModifier(TModifier& Modifier)
{
    Modifier.SetOnChange([this](TModifier* Sender) { ModifierChangedHook(Sender); });
}

void TModifierStack::UnhookModifier(TModifier& Modifier)
{
    Modifier.SetOnChange(nullptr);
}

void TModifierStack::ModifierChangedHook(TModifier* Sender)
{
    if (Sender)
        NotifyModifierChanged(Sender->GetId());
}

void TModifierStack::NotifyStructureChanged(TModifierStackChangeKind Kind, uint32_t ModifierId,
                                            int32_t Index)
{
    BumpRevision();
    if (UpdateCount == 0 && OnStructureChanged) {
        // A copy: the handler may replace or clear the stack's handlers while it runs.
        const TStructureEvent Handler = OnStructureChanged;
        Handler(this, Kind, ModifierId, Index);
    }
}

void TModifierStack::NotifyModifierChanged(uint32_t ModifierId)
{
    BumpRevision();
    if (UpdateCount == 0 && OnModifierChanged) {
        const TModifierChangedEvent Handler = OnModifierChanged;
        Handler(this, ModifierId);
    }
}
