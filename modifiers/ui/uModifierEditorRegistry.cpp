#include "modifiers/ui/uModifierEditorRegistry.h"

#include "base/uErrors.h"
#include "modifiers/ui/uArraySettingsForms.h"
#include "modifiers/ui/uAxisDeformerSettingsForms.h"
#include "modifiers/ui/uModelingModifierSettingsForm.h"
#include "modifiers/ui/uModifierSettingsBase.h"
#include "modifiers/ui/uSimpleDeformSettingsForms.h"
#include "modifiers/ui/uUVSettingsForms.h"
#include "modifiers/ui/uWaveSettingsForms.h"

#include <algorithm>

namespace {

bool SameTextAscii(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

const TModifierEditorRegistry::TEntry* TModifierEditorRegistry::Find(std::string_view TypeId) const
{
    for (const TEntry& e : Entries)
        if (SameTextAscii(e.TypeId, TypeId))
            return &e;
    return nullptr;
}

void TModifierEditorRegistry::RegisterFactory(std::string_view TypeId,
                                              TModifierEditorFactory Factory)
{
    if (Find(TypeId))
        throw EGeneralError("Duplicate settings-form factory for TypeId: " + std::string(TypeId));
    Entries.push_back({std::string(TypeId), Factory});
}

TModifierSettingsForm* TModifierEditorRegistry::CreateEditor(std::string_view TypeId, TScene* Scene,
                                                             const TModifierRef& Ref) const
{
    const TEntry* e = Find(TypeId);
    return e && e->Factory ? e->Factory(Scene, Ref) : nullptr;
}

std::vector<std::string> TModifierEditorRegistry::TypeIds() const
{
    std::vector<std::string> ids;
    for (const TEntry& e : Entries)
        ids.push_back(e.TypeId);
    return ids;
}

TModifierEditorRegistry& ModifierEditorRegistry()
{
    static TModifierEditorRegistry Registry;
    return Registry;
}

void RegisterBuiltInModifierEditors()
{
    TModifierEditorRegistry& r = ModifierEditorRegistry();
    if (r.Count() > 0)
        return;
    r.RegisterFactory("reverse_normals", ReverseNormalsEditorFactory);
    r.RegisterFactory("unscale_uvs", UnscaleUVsEditorFactory);
    r.RegisterFactory("array_2d", Array2DEditorFactory);
    r.RegisterFactory("array_circular", ArrayCircularEditorFactory);
    r.RegisterFactory("twist", TwistEditorFactory);
    r.RegisterFactory("noise", NoiseEditorFactory);
    r.RegisterFactory("taper", TaperEditorFactory);
    r.RegisterFactory("inflate", InflateEditorFactory);
    r.RegisterFactory("animated_uv", AnimatedUVEditorFactory);
    r.RegisterFactory("bend", BendEditorFactory);
    r.RegisterFactory("skew", SkewEditorFactory);
    r.RegisterFactory("stretch", StretchEditorFactory);
    r.RegisterFactory("squeeze", SqueezeEditorFactory);
    r.RegisterFactory("wave", WaveEditorFactory);
    r.RegisterFactory("ripple", RippleEditorFactory);
    r.RegisterFactory("push", PushEditorFactory);
    RegisterModelingModifierEditors(r);
}
