#pragma once
// Settings windows of the two array modifiers. Their edits apply on every change of the
// text; counts typed here are kept within 1..100.
#include "modifiers/ui/uModifierSettingsBase.h"

class TArray2DSettingsForm : public TModifierSettingsForm {
public:
    using TModifierSettingsForm::TModifierSettingsForm;

protected:
    bool BuildControls() override;
};

class TArrayCircularSettingsForm : public TModifierSettingsForm {
public:
    using TModifierSettingsForm::TModifierSettingsForm;

protected:
    bool BuildControls() override;
};

TModifierSettingsForm* Array2DEditorFactory(TScene* Scene, const TModifierRef& Ref);
TModifierSettingsForm* ArrayCircularEditorFactory(TScene* Scene, const TModifierRef& Ref);
