#include "modifiers/ui/uSimpleDeformSettingsForms.h"

#include "modifiers/uModifierInflate.h"
#include "modifiers/uModifierNoise.h"
#include "modifiers/uModifierPush.h"
#include "modifiers/uModifierTaper.h"
#include "modifiers/uModifierTwist.h"

#include <QLineEdit>

bool TTwistSettingsForm::BuildControls()
{
    const auto* m = ModifierAs<TTwistModifier>();
    if (!m)
        return false;
    AddEnabledCheck();
    AddLabel(QStringLiteral("Angle:"), 8, 39);
    AddFloatEdit(60, 36, 80, SettingsFixedText(m->GetAngle(), 2), 0.0f, [this](float v) {
        if (auto* t = ModifierAs<TTwistModifier>())
            t->SetAngle(v);
    })->setObjectName(QStringLiteral("Angle"));
    return true;
}

bool TNoiseSettingsForm::BuildControls()
{
    const auto* m = ModifierAs<TNoiseModifier>();
    if (!m)
        return false;
    AddEnabledCheck();
    AddLabel(QStringLiteral("Strength:"), 8, 39);
    AddFloatEdit(70, 36, 80, SettingsFixedText(m->GetStrength(), 3), 0.1f, [this](float v) {
        if (auto* n = ModifierAs<TNoiseModifier>())
            n->SetStrength(v);
    })->setObjectName(QStringLiteral("Strength"));
    AddLabel(QStringLiteral("Scale:"), 8, 67);
    AddFloatEdit(70, 64, 80, SettingsFixedText(m->GetScale(), 3), 1.0f, [this](float v) {
        if (auto* n = ModifierAs<TNoiseModifier>())
            n->SetScale(v);
    })->setObjectName(QStringLiteral("Scale"));
    return true;
}

bool TTaperSettingsForm::BuildControls()
{
    const auto* m = ModifierAs<TTaperModifier>();
    if (!m)
        return false;
    AddEnabledCheck();
    AddLabel(QStringLiteral("Amount:"), 8, 39);
    AddFloatEdit(60, 36, 80, SettingsFixedText(m->GetAmount(), 3), 0.3f, [this](float v) {
        if (auto* t = ModifierAs<TTaperModifier>())
            t->SetAmount(v);
    })->setObjectName(QStringLiteral("Amount"));
    return true;
}

bool TInflateSettingsForm::BuildControls()
{
    const auto* m = ModifierAs<TInflateModifier>();
    if (!m)
        return false;
    AddEnabledCheck();
    AddLabel(QStringLiteral("Width:"), 8, 39);
    AddFloatEdit(60, 36, 80, SettingsFixedText(m->GetWidth(), 4), 0.05f, [this](float v) {
        if (auto* i = ModifierAs<TInflateModifier>())
            i->SetWidth(v);
    })->setObjectName(QStringLiteral("Width"));
    return true;
}

bool TPushSettingsForm::BuildControls()
{
    const auto* m = ModifierAs<TPushModifier>();
    if (!m)
        return false;
    AddEnabledCheck();
    AddLabel(QStringLiteral("Amount:"), 8, 39);
    QLineEdit* amount = AddFloatEdit(60, 36, 80, SettingsFixedText(m->GetAmount(), 3), std::nullopt,
                                     [this](float v) {
                                         if (auto* p = ModifierAs<TPushModifier>())
                                             p->SetAmount(v);
                                     });
    amount->setObjectName(QStringLiteral("Amount"));
    amount->resize(80, 20);  // the window ends 20 pixels below the edit's top
    resize(260, 56);
    return true;
}

TModifierSettingsForm* TwistEditorFactory(TScene* Scene, const TModifierRef& Ref)
{
    return MakeSettingsForm<TTwistSettingsForm>(Scene, Ref);
}

TModifierSettingsForm* NoiseEditorFactory(TScene* Scene, const TModifierRef& Ref)
{
    return MakeSettingsForm<TNoiseSettingsForm>(Scene, Ref);
}

TModifierSettingsForm* TaperEditorFactory(TScene* Scene, const TModifierRef& Ref)
{
    return MakeSettingsForm<TTaperSettingsForm>(Scene, Ref);
}

TModifierSettingsForm* InflateEditorFactory(TScene* Scene, const TModifierRef& Ref)
{
    return MakeSettingsForm<TInflateSettingsForm>(Scene, Ref);
}

TModifierSettingsForm* PushEditorFactory(TScene* Scene, const TModifierRef& Ref)
{
    return MakeSettingsForm<TPushSettingsForm>(Scene, Ref);
}
