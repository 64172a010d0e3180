#pragma once
// The registry of modifier types: type id -> display name, menu category and factory.
// It is filled by one explicit RegisterBuiltInModifiers call at program start (a static
// library would drop self-registering initialisers) and read by the scene reader (by
// type id) and the add-modifier menu (by index, grouped by category).
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TModifier;

using TModifierFactory = std::unique_ptr<TModifier> (*)();

struct TModifierDescriptor {
    std::string TypeId;
    std::string DisplayName;
    std::string Category;
    TModifierFactory Factory = nullptr;
    // Other names the descriptor is found under, compared ignoring letter case.
    std::vector<std::string> Aliases;
};

// The six menu categories, in menu order.
const std::array<std::string_view, 6>& ModifierCategories();

// Creates a descriptor without aliases and adds it.
void RegisterModifier(std::string TypeId, std::string DisplayName, std::string Category,
                      TModifierFactory Factory);
// Validates, then appends; raises EGeneralError and leaves the registry unchanged when the
// descriptor is missing, has an empty type id, or a type id or alias that is taken.
void AddModifierDescriptor(std::unique_ptr<TModifierDescriptor> Descriptor);
// First descriptor whose type id or one of whose aliases equals Name ignoring ASCII case.
const TModifierDescriptor* FindModifierDescriptor(std::string_view Name);
// A new modifier of a registered type, or null.
std::unique_ptr<TModifier> CreateModifierByTypeId(std::string_view TypeId);
std::unique_ptr<TModifier> CreateModifierByIndex(int32_t Index);
int32_t ModifierDescriptorCount();
// Raises EArgumentOutOfRangeException "List index (%d) out of bounds" outside the list.
const TModifierDescriptor& GetModifierDescriptor(int32_t Index);

// Registers every built-in modifier type, in menu order. Call once at program start.
void RegisterBuiltInModifiers();
// Frees every descriptor (program end; tests that rebuild the registry).
void ClearModifierRegistry();
