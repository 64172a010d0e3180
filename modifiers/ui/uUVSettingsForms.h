#pragma once
// Settings windows of the reverse-normals, un-scale-UVs and animated-UV modifiers.
#include "modifiers/ui/uModifierSettingsBase.h"

class TReverseNormalsSettingsForm : public TModifierSettingsForm {
public:
    using TModifierSettingsForm::TModifierSettingsForm;

protected:
    bool BuildControls() override;
};

// No parameters: the modifier reads the object's scale itself.
class TUnscaleUVsSettingsForm : public TModifierSettingsForm {
public:
    using TModifierSettingsForm::TModifierSettingsForm;

protected:
    bool BuildControls() override;
};

class TAnimatedUVSettingsForm : public TModifierSettingsForm {
public:
    using TModifierSettingsForm::TModifierSettingsForm;

protected:
    bool BuildControls() override;
};

TModifierSettingsForm* ReverseNormalsEditorFactory(TScene* Scene, const TModifierRef& Ref);
TModifierSettingsForm* UnscaleUVsEditorFactory(TScene* Scene, const TModifierRef& Ref);
TModifierSettingsForm* AnimatedUVEditorFactory(TScene* Scene, const TModifierRef& Ref);
