#pragma once
// Settings windows of the one- and two-number deformers: twist, noise, taper, inflate and
// push. Each edit applies when editing is done.
#include "modifiers/ui/uModifierSettingsBase.h"

class TTwistSettingsForm : public TModifierSettingsForm {
public:
    using TModifierSettingsForm::TModifierSettingsForm;

protected:
    bool BuildControls() override;
};

class TNoiseSettingsForm : public TModifierSettingsForm {
public:
    using TModifierSettingsForm::TModifierSettingsForm;

protected:
    bool BuildControls() override;
};

class TTaperSettingsForm : public TModifierSettingsForm {
public:
    using TModifierSettingsForm::TModifierSettingsForm;

protected:
    bool BuildControls() override;
};

class TInflateSettingsForm : public TModifierSettingsForm {
public:
    using TModifierSettingsForm::TModifierSettingsForm;

protected:
    bool BuildControls() override;
};

class TPushSettingsForm : public TModifierSettingsForm {
public:
    using TModifierSettingsForm::TModifierSettingsForm;

protected:
    bool BuildControls() override;
};

TModifierSettingsForm* TwistEditorFactory(TScene* Scene, const TModifierRef& Ref);
TModifierSettingsForm* NoiseEditorFactory(TScene* Scene, const TModifierRef& Ref);
TModifierSettingsForm* TaperEditorFactory(TScene* Scene, const TModifierRef& Ref);
TModifierSettingsForm* InflateEditorFactory(TScene* Scene, const TModifierRef& Ref);
TModifierSettingsForm* PushEditorFactory(TScene* Scene, const TModifierRef& Ref);
