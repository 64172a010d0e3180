#include "modifiers/uModifierRegistry.h"

#include "base/uErrors.h"
#include "modifiers/uModifierAdvanced.h"
#include "modifiers/uModifierAnimatedUV.h"
#include "modifiers/uModifierArray2D.h"
#include "modifiers/uModifierArrayCircular.h"
#include "modifiers/uModifierBend.h"
#include "modifiers/uModifierInflate.h"
#include "modifiers/uModifierModeling.h"
#include "modifiers/uModifierNoise.h"
#include "modifiers/uModifierPush.h"
#include "modifiers/uModifierReverseNormals.h"
#include "modifiers/uModifierRipple.h"
#include "modifiers/uModifierSkew.h"
#include "modifiers/uModifierSqueeze.h"
#include "modifiers/uModifierStretch.h"
#include "modifiers/uModifierTaper.h"
#include "modifiers/uModifierTwist.h"
#include "modifiers/uModifierUpdateUVs.h"
#include "modifiers/uModifierWave.h"
#include "modifiers/uModifiers.h"

#include <algorithm>

namespace {

std::vector<std::unique_ptr<TModifierDescriptor>>& Registry()
{
    static std::vector<std::unique_ptr<TModifierDescriptor>> List;
    return List;
}

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameTextAscii(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAscii(x) == LowerAscii(y);
           });
}

}  // namespace

const std::array<std::string_view, 6>& ModifierCategories()
{
    static const std::array<std::string_view, 6> Names = {
        "Deform", "Topology", "UV Edit", "Array", "Animation Deformers", "Mesh Quality"};
    return Names;
}

void RegisterModifier(std::string TypeId, std::string DisplayName, std::string Category,
                      TModifierFactory Factory)
{
    auto Descriptor = std::make_unique<TModifierDescriptor>();
    Descriptor->TypeId = std::move(TypeId);
    Descriptor->DisplayName = std::move(DisplayName);
    Descriptor->Category = std::move(Category);
    Descriptor->Factory = Factory;
    AddModifierDescriptor(std::move(Descriptor));
}

void AddModifierDescriptor(std::unique_ptr<TModifierDescriptor> Descriptor)
{
    if (!Descriptor)
        throw EGeneralError("Modifier descriptor is nil");
    if (Descriptor->TypeId.empty())
        throw EGeneralError("Modifier descriptor has empty TypeId");
    if (FindModifierDescriptor(Descriptor->TypeId))
        throw EGeneralError("Duplicate modifier TypeId: " + Descriptor->TypeId);
    for (const std::string& Alias : Descriptor->Aliases)
        if (FindModifierDescriptor(Alias))
            throw EGeneralError("Duplicate modifier alias: " + Alias + " (for " +
                                Descriptor->TypeId + ")");
    Registry().push_back(std::move(Descriptor));
}

const TModifierDescriptor* FindModifierDescriptor(std::string_view Name)
{
    for (const auto& Descriptor : Registry()) {
        if (SameTextAscii(Descriptor->TypeId, Name))
            return Descriptor.get();
        for (const std::string& Alias : Descriptor->Aliases)
            if (SameTextAscii(Alias, Name))
                return Descriptor.get();
    }
    return nullptr;
}

std::unique_ptr<TModifier> CreateModifierByTypeId(std::string_view TypeId)
{
    const TModifierDescriptor* Descriptor = FindModifierDescriptor(TypeId);
    if (!Descriptor || !Descriptor->Factory)
        return nullptr;
    return Descriptor->Factory();
}

std::unique_ptr<TModifier> CreateModifierByIndex(int32_t Index)
{
    if (Index < 0 || Index >= ModifierDescriptorCount())
        return nullptr;
    const TModifierDescriptor& Descriptor = *Registry()[static_cast<size_t>(Index)];
    return Descriptor.Factory ? Descriptor.Factory() : nullptr;
}

int32_t ModifierDescriptorCount()
{
    return static_cast<int32_t>(Registry().size());
}

const TModifierDescriptor& GetModifierDescriptor(int32_t Index)
{
    if (Index < 0 || Index >= ModifierDescriptorCount())
        throw EArgumentOutOfRangeException("List index (" + std::to_string(Index) +
                                           ") out of bounds");
    return *Registry()[static_cast<size_t>(Index)];
}

void RegisterBuiltInModifiers()
{
    // One registration call per modifier module, in menu order; each registers its
    // types with RegisterModifier in the order of the registry table.
    RegisterTwistModifier();
    RegisterNoiseModifier();
    RegisterTaperModifier();
    RegisterInflateModifier();
    RegisterBendModifier();
    RegisterSkewModifier();
    RegisterStretchModifier();
    RegisterSqueezeModifier();
    RegisterWaveModifier();
    RegisterRippleModifier();
    RegisterPushModifier();
    RegisterReverseNormalsModifier();
    RegisterUnscaleUVsModifier();
    RegisterAnimatedUVModifier();
    RegisterArray2DModifier();
    RegisterArrayCircularModifier();
    RegisterModelingModifiers();
    RegisterAdvancedModifiers();
}

void ClearModifierRegistry()
{
    Registry().clear();
}
