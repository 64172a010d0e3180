#include "modifiers/ui/uUVSettingsForms.h"

#include "modifiers/uModifierAnimatedUV.h"
#include "modifiers/uModifierReverseNormals.h"
#include "modifiers/uModifierUpdateUVs.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

bool TReverseNormalsSettingsForm::BuildControls()
{
    const auto* m = ModifierAs<TReverseNormalsModifier>();
    if (!m)
        return false;
    AddEnabledCheck();
    AddCheck(QStringLiteral("Reverse Winding"), 8, 36, 200, m->GetReverseWinding(),
             [this](bool on) {
                 if (auto* r = ModifierAs<TReverseNormalsModifier>())
                     r->SetReverseWinding(on);
             });
    AddCheck(QStringLiteral("Reverse Normals"), 8, 64, 200, m->GetReverseNormals(),
             [this](bool on) {
                 if (auto* r = ModifierAs<TReverseNormalsModifier>())
                     r->SetReverseNormals(on);
             });
    return true;
}

bool TUnscaleUVsSettingsForm::BuildControls()
{
    if (!ModifierAs<TUnscaleUVsModifier>())
        return false;
    AddEnabledCheck(280);
    auto* note = new QLabel(
        QString::fromUtf8("Un-scale UVs counteracts the object's transform scale by multiplying UV "
                          "coordinates to restore 1:1 texel density.\n\nNo parameters needed "
                          "\u2014 it reads scale automatically."),
        this);
    note->setObjectName(QStringLiteral("Note"));
    note->setWordWrap(true);
    note->setGeometry(8, 36, 280, 90);
    resize(width(), 136);
    return true;
}

bool TAnimatedUVSettingsForm::BuildControls()
{
    const auto* m = ModifierAs<TAnimatedUVModifier>();
    if (!m)
        return false;
    SetUpdating(true);
    AddEnabledCheck();
    AddLabel(QStringLiteral("UV Axis:"), 8, 39);
    AddCombo(72, 36, 90, {QStringLiteral("U"), QStringLiteral("V")}, m->GetAxis(), [this](int i) {
        if (auto* a = ModifierAs<TAnimatedUVModifier>())
            a->SetAxis(i);
    })->setObjectName(QStringLiteral("Axis"));
    AddLabel(QStringLiteral("Offset:"), 8, 67);
    AddFloatEdit(72, 64, 90, SettingsFixedText(m->GetOffset(), 3), std::nullopt, [this](float v) {
        if (auto* a = ModifierAs<TAnimatedUVModifier>())
            a->SetOffset(v);
    })->setObjectName(QStringLiteral("Offset"));
    AddLabel(QStringLiteral("Offset is additive and can be animated later."), 8, 95, 260);
    resize(270, 140);
    SetUpdating(false);
    return true;
}

TModifierSettingsForm* ReverseNormalsEditorFactory(TScene* Scene, const TModifierRef& Ref)
{
    return MakeSettingsForm<TReverseNormalsSettingsForm>(Scene, Ref);
}

TModifierSettingsForm* UnscaleUVsEditorFactory(TScene* Scene, const TModifierRef& Ref)
{
    return MakeSettingsForm<TUnscaleUVsSettingsForm>(Scene, Ref);
}

TModifierSettingsForm* AnimatedUVEditorFactory(TScene* Scene, const TModifierRef& Ref)
{
    return MakeSettingsForm<TAnimatedUVSettingsForm>(Scene, Ref);
}
