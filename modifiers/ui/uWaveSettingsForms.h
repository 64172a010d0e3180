#pragma once
// Settings windows of the wave and the ripple: amplitude, wavelength, phase, decay and
// axis, then the wave's direction or the ripple's centre.
#include "modifiers/ui/uModifierSettingsBase.h"

class TWaveShapeModifier;

class TWaveShapeSettingsForm : public TModifierSettingsForm {
public:
    using TModifierSettingsForm::TModifierSettingsForm;

protected:
    // The window's modifier, when it is of the window's class.
    virtual TWaveShapeModifier* OwnModifier() const = 0;
    // The five rows both share, from top 36.
    void AddShapeRows(const TWaveShapeModifier& m);
    // A float row at Top (2 decimals, no change for text that does not convert).
    QLineEdit* AddRow(const QString& Caption, int Top, double Value, const char* Name,
                      std::function<void(float)> Apply);
};

class TWaveSettingsForm : public TWaveShapeSettingsForm {
public:
    using TWaveShapeSettingsForm::TWaveShapeSettingsForm;

protected:
    bool BuildControls() override;
    TWaveShapeModifier* OwnModifier() const override;
};

class TRippleSettingsForm : public TWaveShapeSettingsForm {
public:
    using TWaveShapeSettingsForm::TWaveShapeSettingsForm;

protected:
    bool BuildControls() override;
    TWaveShapeModifier* OwnModifier() const override;
};

TModifierSettingsForm* WaveEditorFactory(TScene* Scene, const TModifierRef& Ref);
TModifierSettingsForm* RippleEditorFactory(TScene* Scene, const TModifierRef& Ref);
