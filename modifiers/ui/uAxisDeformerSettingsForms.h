#pragma once
// Settings windows of the axis deformers: bend and skew (amount, axis, direction, pivot,
// limits) and stretch and squeeze (two amounts, axis, limits). The limit edits show
// percentages and are enabled only while "Use Limits" is ticked.
#include "modifiers/ui/uModifierSettingsBase.h"

class QLineEdit;

// What the four windows share: the limit rows and their enabled state.
class TAxisDeformerSettingsForm : public TModifierSettingsForm {
public:
    using TModifierSettingsForm::TModifierSettingsForm;
    // Both limit edits enabled exactly while the modifier is of the window's class and
    // its limits are on.
    void UpdateLimitControls();

protected:
    // The window's modifier class test.
    virtual bool IsOwnClass() const = 0;
    // "Use Limits" at Top, "Lower:" and "Upper:" the two rows below it.
    void AddLimitRows(int Top);
    // "Axis:" list at (60, Top).
    void AddAxisRow(int Top, int Width);
    // "Direction:" and "Pivot:" rows of bend and skew.
    template <class M>
    void AddDirectionAndPivot(const M& m);

    QLineEdit* LowerEdit = nullptr;
    QLineEdit* UpperEdit = nullptr;
};

class TBendSettingsForm : public TAxisDeformerSettingsForm {
public:
    using TAxisDeformerSettingsForm::TAxisDeformerSettingsForm;

protected:
    bool BuildControls() override;
    bool IsOwnClass() const override;
};

class TSkewSettingsForm : public TAxisDeformerSettingsForm {
public:
    using TAxisDeformerSettingsForm::TAxisDeformerSettingsForm;

protected:
    bool BuildControls() override;
    bool IsOwnClass() const override;
};

class TStretchSettingsForm : public TAxisDeformerSettingsForm {
public:
    using TAxisDeformerSettingsForm::TAxisDeformerSettingsForm;

protected:
    bool BuildControls() override;
    bool IsOwnClass() const override;
};

class TSqueezeSettingsForm : public TAxisDeformerSettingsForm {
public:
    using TAxisDeformerSettingsForm::TAxisDeformerSettingsForm;

protected:
    bool BuildControls() override;
    bool IsOwnClass() const override;
};

TModifierSettingsForm* BendEditorFactory(TScene* Scene, const TModifierRef& Ref);
TModifierSettingsForm* SkewEditorFactory(TScene* Scene, const TModifierRef& Ref);
TModifierSettingsForm* StretchEditorFactory(TScene* Scene, const TModifierRef& Ref);
TModifierSettingsForm* SqueezeEditorFactory(TScene* Scene, const TModifierRef& Ref);
