#include "modifiers/ui/uAxisDeformerSettingsForms.h"

#include "modifiers/uModifierBend.h"
#include "modifiers/uModifierSkew.h"
#include "modifiers/uModifierSqueeze.h"
#include "modifiers/uModifierStretch.h"

#include <QComboBox>
#include <QLineEdit>

namespace {

const QStringList kAxisItems = {QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("Z")};

// The axis deformer of a window, when it is of the window's class.
TAxisDeformerModifier* AxisDeformer(const TModifierSettingsForm& Form, bool OwnClass)
{
    return OwnClass ? Form.ModifierAs<TAxisDeformerModifier>() : nullptr;
}

}  // namespace

void TAxisDeformerSettingsForm::UpdateLimitControls()
{
    TAxisDeformerModifier* m = AxisDeformer(*this, IsOwnClass());
    const bool on = m && m->GetLimitsEnabled();
    if (LowerEdit)
        LowerEdit->setEnabled(on);
    if (UpperEdit)
        UpperEdit->setEnabled(on);
}

void TAxisDeformerSettingsForm::AddAxisRow(int Top, int Width)
{
    TAxisDeformerModifier* m = AxisDeformer(*this, IsOwnClass());
    AddLabel(QStringLiteral("Axis:"), 8, Top + 3);
    AddCombo(60, Top, Width, kAxisItems, m ? m->GetAxis() : -1, [this](int i) {
        if (TAxisDeformerModifier* d = AxisDeformer(*this, IsOwnClass()))
            d->SetAxis(i);
    })->setObjectName(QStringLiteral("Axis"));
}

void TAxisDeformerSettingsForm::AddLimitRows(int Top)
{
    TAxisDeformerModifier* m = AxisDeformer(*this, IsOwnClass());
    AddCheck(QStringLiteral("Use Limits"), 8, Top, 200, m && m->GetLimitsEnabled(),
             [this](bool on) {
                 if (TAxisDeformerModifier* d = AxisDeformer(*this, IsOwnClass()))
                     d->SetLimitsEnabled(on);
                 UpdateLimitControls();
             });
    AddLabel(QStringLiteral("Lower:"), 8, Top + 31);
    LowerEdit =
        AddFloatEdit(60, Top + 28, 70, SettingsFixedText(m ? m->GetLowerLimit() * 100 : 0, 2),
                     std::nullopt, [this](float v) {
                         if (TAxisDeformerModifier* d = AxisDeformer(*this, IsOwnClass()))
                             d->SetLowerLimit(v / 100);
                     });
    LowerEdit->setObjectName(QStringLiteral("LowerLimit"));
    AddLabel(QStringLiteral("%"), 134, Top + 31);
    AddLabel(QStringLiteral("Upper:"), 8, Top + 59);
    UpperEdit =
        AddFloatEdit(60, Top + 56, 70, SettingsFixedText(m ? m->GetUpperLimit() * 100 : 0, 2),
                     std::nullopt, [this](float v) {
                         if (TAxisDeformerModifier* d = AxisDeformer(*this, IsOwnClass()))
                             d->SetUpperLimit(v / 100);
                     });
    UpperEdit->setObjectName(QStringLiteral("UpperLimit"));
    AddLabel(QStringLiteral("%"), 134, Top + 59);
    UpdateLimitControls();
}

// ---- bend and skew ----

template <class M>
void TAxisDeformerSettingsForm::AddDirectionAndPivot(const M& m)
{
    AddLabel(QStringLiteral("Direction:"), 8, 95);
    AddFloatEdit(60, 92, 70, SettingsFixedText(m.GetDirectionDeg(), 2), std::nullopt,
                 [this](float v) {
                     if (auto* d = ModifierAs<M>())
                         d->SetDirectionDeg(v);
                 })
        ->setObjectName(QStringLiteral("DirectionDeg"));
    AddLabel(QStringLiteral("deg"), 134, 95);
    AddLabel(QStringLiteral("Pivot:"), 8, 123);
    AddCombo(60, 120, 120,
             {QStringLiteral("Center"), QStringLiteral("Minimum"), QStringLiteral("Maximum")},
             m.GetPivot(),
             [this](int i) {
                 if (auto* d = ModifierAs<M>())
                     d->SetPivot(i);
             })
        ->setObjectName(QStringLiteral("Pivot"));
}

bool TBendSettingsForm::IsOwnClass() const
{
    return ModifierAs<TBendModifier>() != nullptr;
}

bool TBendSettingsForm::BuildControls()
{
    const auto* m = ModifierAs<TBendModifier>();
    if (!m)
        return false;
    SetUpdating(true);
    AddEnabledCheck();
    AddLabel(QStringLiteral("Angle:"), 8, 39);
    AddFloatEdit(60, 36, 70, SettingsFixedText(m->GetAngleDeg(), 2), std::nullopt, [this](float v) {
        if (auto* b = ModifierAs<TBendModifier>())
            b->SetAngleDeg(v);
    })->setObjectName(QStringLiteral("AngleDeg"));
    AddLabel(QStringLiteral("deg"), 134, 39);
    AddAxisRow(64, 70);
    AddDirectionAndPivot(*m);
    AddLimitRows(148);
    resize(260, 252);
    SetUpdating(false);
    return true;
}

bool TSkewSettingsForm::IsOwnClass() const
{
    return ModifierAs<TSkewModifier>() != nullptr;
}

bool TSkewSettingsForm::BuildControls()
{
    const auto* m = ModifierAs<TSkewModifier>();
    if (!m)
        return false;
    SetUpdating(true);
    AddEnabledCheck();
    AddLabel(QStringLiteral("Amount:"), 8, 39);
    AddFloatEdit(60, 36, 70, SettingsFixedText(m->GetAmount(), 2), std::nullopt, [this](float v) {
        if (auto* s = ModifierAs<TSkewModifier>())
            s->SetAmount(v);
    })->setObjectName(QStringLiteral("Amount"));
    AddAxisRow(64, 70);
    AddDirectionAndPivot(*m);
    AddLimitRows(148);
    resize(260, 252);
    SetUpdating(false);
    return true;
}

// ---- stretch and squeeze ----

bool TStretchSettingsForm::IsOwnClass() const
{
    return ModifierAs<TStretchModifier>() != nullptr;
}

bool TStretchSettingsForm::BuildControls()
{
    const auto* m = ModifierAs<TStretchModifier>();
    if (!m)
        return false;
    SetUpdating(true);
    AddEnabledCheck();
    AddLabel(QStringLiteral("Amount:"), 8, 39);
    AddFloatEdit(60, 36, 70, SettingsFixedText(m->GetAmount(), 2), std::nullopt, [this](float v) {
        if (auto* s = ModifierAs<TStretchModifier>())
            s->SetAmount(v);
    })->setObjectName(QStringLiteral("Amount"));
    AddLabel(QStringLiteral("Amplify:"), 8, 67);
    AddFloatEdit(60, 64, 70, SettingsFixedText(m->GetAmplify(), 2), std::nullopt, [this](float v) {
        if (auto* s = ModifierAs<TStretchModifier>())
            s->SetAmplify(v);
    })->setObjectName(QStringLiteral("Amplify"));
    AddAxisRow(92, 70);
    AddLimitRows(120);
    resize(260, 224);
    SetUpdating(false);
    return true;
}

bool TSqueezeSettingsForm::IsOwnClass() const
{
    return ModifierAs<TSqueezeModifier>() != nullptr;
}

bool TSqueezeSettingsForm::BuildControls()
{
    const auto* m = ModifierAs<TSqueezeModifier>();
    if (!m)
        return false;
    SetUpdating(true);
    AddEnabledCheck();
    AddLabel(QStringLiteral("Axial:"), 8, 39);
    AddFloatEdit(60, 36, 70, SettingsFixedText(m->GetAxialAmount(), 2), std::nullopt,
                 [this](float v) {
                     if (auto* s = ModifierAs<TSqueezeModifier>())
                         s->SetAxialAmount(v);
                 })
        ->setObjectName(QStringLiteral("AxialAmount"));
    AddLabel(QStringLiteral("Radial:"), 8, 67);
    AddFloatEdit(60, 64, 70, SettingsFixedText(m->GetRadialAmount(), 2), std::nullopt,
                 [this](float v) {
                     if (auto* s = ModifierAs<TSqueezeModifier>())
                         s->SetRadialAmount(v);
                 })
        ->setObjectName(QStringLiteral("RadialAmount"));
    AddAxisRow(92, 70);
    AddLimitRows(120);
    resize(260, 224);
    SetUpdating(false);
    return true;
}

TModifierSettingsForm* BendEditorFactory(TScene* Scene, const TModifierRef& Ref)
{
    return MakeSettingsForm<TBendSettingsForm>(Scene, Ref);
}

TModifierSettingsForm* SkewEditorFactory(TScene* Scene, const TModifierRef& Ref)
{
    return MakeSettingsForm<TSkewSettingsForm>(Scene, Ref);
}

TModifierSettingsForm* StretchEditorFactory(TScene* Scene, const TModifierRef& Ref)
{
    return MakeSettingsForm<TStretchSettingsForm>(Scene, Ref);
}

TModifierSettingsForm* SqueezeEditorFactory(TScene* Scene, const TModifierRef& Ref)
{
    return MakeSettingsForm<TSqueezeSettingsForm>(Scene, Ref);
}
