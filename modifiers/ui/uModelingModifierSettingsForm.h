#pragma once
// One settings window for the seventeen modelling, animated and mesh-quality modifiers:
// a column of rows built from the modifier's parameter table ("Enabled", then one row per
// parameter: a float or integer edit, a check box, or a fixed list).
#include "modifiers/ui/uModifierSettingsBase.h"

#include <string>

class TModifierEditorRegistry;
struct TModifierParam;

class TModelingModifierSettingsForm : public TModifierSettingsForm {
public:
    TModelingModifierSettingsForm(TScene* Scene, const TModifierRef& Ref, std::string TypeId);

    // The client height this window takes for Rows parameter rows after "Enabled".
    static int ClientHeightFor(int Rows) { return 8 + 28 * (Rows + 1) + 12; }

protected:
    bool BuildControls() override;

private:
    // The modifier when it is of the window's type.
    TModifier* OwnModifier() const;
    // The parameter of window row Tag of the modifier as it is now, or null.
    const TModifierParam* RowParam(TModifier& Modifier, int Tag) const;
    void AddParamRow(const TModifierParam& Param, const TModifier& Modifier, int& Y);
    void ApplyRow(int Tag, double Value);

    std::string TypeId;
};

// A window for the modifier Ref of type TypeId (initialised, not shown).
TModifierSettingsForm* CreateModelingModifierEditor(TScene* Scene, const TModifierRef& Ref,
                                                    const std::string& TypeId);
// Registers the seventeen type ids, in the order mirror, xform, subdivide, shell, slice,
// cap_holes, normal, relax, vertex_weld, animated_noise, animated_wave, pulse_scale, spin,
// spherify, optimize, tessellate, smooth.
void RegisterModelingModifierEditors(TModifierEditorRegistry& Registry);
