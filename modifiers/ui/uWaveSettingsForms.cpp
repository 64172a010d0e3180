#include "modifiers/ui/uWaveSettingsForms.h"

#include "modifiers/uModifierRipple.h"
#include "modifiers/uModifierWave.h"

#include <QComboBox>
#include <QLineEdit>

QLineEdit* TWaveShapeSettingsForm::AddRow(const QString& Caption, int Top, double Value,
                                          const char* Name, std::function<void(float)> Apply)
{
    AddLabel(Caption, 8, Top + 3);
    QLineEdit* edit =
        AddFloatEdit(72, Top, 70, SettingsFixedText(Value, 2), std::nullopt, std::move(Apply));
    edit->setObjectName(QString::fromLatin1(Name));
    return edit;
}

void TWaveShapeSettingsForm::AddShapeRows(const TWaveShapeModifier& m)
{
    AddRow(QStringLiteral("Amplitude:"), 36, m.GetAmplitude(), "Amplitude", [this](float v) {
        if (TWaveShapeModifier* w = OwnModifier())
            w->SetAmplitude(v);
    });
    AddRow(QStringLiteral("Wavelength:"), 64, m.GetWavelength(), "Wavelength", [this](float v) {
        if (TWaveShapeModifier* w = OwnModifier())
            w->SetWavelength(v);
    });
    AddRow(QStringLiteral("Phase:"), 92, m.GetPhaseDeg(), "PhaseDeg", [this](float v) {
        if (TWaveShapeModifier* w = OwnModifier())
            w->SetPhaseDeg(v);
    });
    AddLabel(QStringLiteral("deg"), 146, 95);
    AddRow(QStringLiteral("Decay:"), 120, m.GetDecay(), "Decay", [this](float v) {
        if (TWaveShapeModifier* w = OwnModifier())
            w->SetDecay(v);
    });
    AddLabel(QStringLiteral("Axis:"), 8, 151);
    AddCombo(72, 148, 70, {QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("Z")},
             m.GetAxis(),
             [this](int i) {
                 if (TWaveShapeModifier* w = OwnModifier())
                     w->SetAxis(i);
             })
        ->setObjectName(QStringLiteral("Axis"));
}

TWaveShapeModifier* TWaveSettingsForm::OwnModifier() const
{
    return ModifierAs<TWaveModifier>();
}

bool TWaveSettingsForm::BuildControls()
{
    const auto* m = ModifierAs<TWaveModifier>();
    if (!m)
        return false;
    SetUpdating(true);
    AddEnabledCheck();
    AddShapeRows(*m);
    AddRow(QStringLiteral("Direction:"), 176, m->GetDirectionDeg(), "DirectionDeg",
           [this](float v) {
               if (auto* w = ModifierAs<TWaveModifier>())
                   w->SetDirectionDeg(v);
           });
    AddLabel(QStringLiteral("deg"), 146, 179);
    resize(260, 224);
    SetUpdating(false);
    return true;
}

TWaveShapeModifier* TRippleSettingsForm::OwnModifier() const
{
    return ModifierAs<TRippleModifier>();
}

bool TRippleSettingsForm::BuildControls()
{
    const auto* m = ModifierAs<TRippleModifier>();
    if (!m)
        return false;
    SetUpdating(true);
    AddEnabledCheck();
    AddShapeRows(*m);
    AddRow(QStringLiteral("Center X:"), 176, m->GetCenterU(), "CenterU", [this](float v) {
        if (auto* r = ModifierAs<TRippleModifier>())
            r->SetCenterU(v);
    });
    AddRow(QStringLiteral("Center Z:"), 204, m->GetCenterV(), "CenterV", [this](float v) {
        if (auto* r = ModifierAs<TRippleModifier>())
            r->SetCenterV(v);
    });
    resize(260, 252);
    SetUpdating(false);
    return true;
}

TModifierSettingsForm* WaveEditorFactory(TScene* Scene, const TModifierRef& Ref)
{
    return MakeSettingsForm<TWaveSettingsForm>(Scene, Ref);
}

TModifierSettingsForm* RippleEditorFactory(TScene* Scene, const TModifierRef& Ref)
{
    return MakeSettingsForm<TRippleSettingsForm>(Scene, Ref);
}
