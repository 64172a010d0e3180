#pragma once
// Which settings window edits which modifier type: a list of type ids and the factories
// of their windows, filled once at start-up after the modifier types are registered.
#include "base/uDocumentIds.h"

#include <string>
#include <string_view>
#include <vector>

class TModifierSettingsForm;
class TScene;

// Makes a window (initialised, not shown) for the modifier Ref of Scene.
using TModifierEditorFactory = TModifierSettingsForm* (*)(TScene* Scene, const TModifierRef& Ref);

class TModifierEditorRegistry {
public:
    // Raises EGeneralError "Duplicate settings-form factory for TypeId: %s" when the type id
    // (ignoring ASCII letter case) has a factory already.
    void RegisterFactory(std::string_view TypeId, TModifierEditorFactory Factory);
    // The window of the first entry whose type id matches ignoring case; null when none.
    TModifierSettingsForm* CreateEditor(std::string_view TypeId, TScene* Scene,
                                        const TModifierRef& Ref) const;
    int32_t Count() const { return static_cast<int32_t>(Entries.size()); }
    // The registered type ids in registration order.
    std::vector<std::string> TypeIds() const;

private:
    struct TEntry {
        std::string TypeId;
        TModifierEditorFactory Factory = nullptr;
    };
    const TEntry* Find(std::string_view TypeId) const;
    std::vector<TEntry> Entries;
};

// The one registry of the program.
TModifierEditorRegistry& ModifierEditorRegistry();

// Registers the settings windows of all 33 types: the hand-built ones in the order
// reverse_normals, unscale_uvs, array_2d, array_circular, twist, noise, taper, inflate,
// animated_uv, bend, skew, stretch, squeeze, wave, ripple, push, then the table-driven
// window's seventeen. Does nothing when they are registered already.
void RegisterBuiltInModifierEditors();
