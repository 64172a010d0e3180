#include "modifiers/ui/uArraySettingsForms.h"

#include "modifiers/uModifierArray2D.h"
#include "modifiers/uModifierArrayCircular.h"

#include <QComboBox>
#include <QLineEdit>

#include <algorithm>

namespace {

int32_t TypedCount(const QString& Text, int32_t Fallback)
{
    return std::clamp(ParseSettingsInt(Text).value_or(Fallback), 1, 100);
}

float TypedFloat(const QString& Text, float Fallback)
{
    return ParseSettingsFloat(Text).value_or(Fallback);
}

}  // namespace

bool TArray2DSettingsForm::BuildControls()
{
    const auto* m = ModifierAs<TArray2DModifier>();
    if (!m)
        return false;
    using M = TArray2DModifier;
    AddEnabledCheck();
    // A row: caption, edit at (96, Top), what the typed text does.
    const auto row = [this](const QString& Caption, int Top, const QString& Text, const char* Name,
                            std::function<void(M&, const QString&)> Apply) {
        AddLabel(Caption, 8, Top + 4);
        AddLiveEdit(96, Top, 180, Text, [this, Apply](const QString& t) {
            if (auto* a = ModifierAs<M>())
                Apply(*a, t);
        })->setObjectName(QString::fromLatin1(Name));
    };
    row(QStringLiteral("Count X:"), 36, QString::number(m->GetCountX()), "CountX",
        [](M& a, const QString& t) { a.SetCountX(TypedCount(t, 2)); });
    row(QStringLiteral("Count Y:"), 64, QString::number(m->GetCountY()), "CountY",
        [](M& a, const QString& t) { a.SetCountY(TypedCount(t, 2)); });
    row(QStringLiteral("Offset X:"), 92, SettingsPictureText(m->GetOffsetX()), "OffsetX",
        [](M& a, const QString& t) { a.SetOffsetX(TypedFloat(t, 1)); });
    row(QStringLiteral("Offset Y:"), 120, SettingsPictureText(m->GetOffsetY()), "OffsetY",
        [](M& a, const QString& t) { a.SetOffsetY(TypedFloat(t, 1)); });
    AddLabel(QStringLiteral("Plane:"), 8, 152);
    AddCombo(96, 148, 180, {QStringLiteral("XY"), QStringLiteral("XZ"), QStringLiteral("YZ")},
             m->GetPlane(),
             [this](int i) {
                 if (auto* a = ModifierAs<M>())
                     a->SetPlane(i);
             })
        ->setObjectName(QStringLiteral("Plane"));
    AddCheck(QStringLiteral("Center Array"), 8, 176, 200, m->GetCentered(), [this](bool on) {
        if (auto* a = ModifierAs<M>())
            a->SetCentered(on);
    });
    AddCheck(QStringLiteral("Include Original"), 8, 204, 200, m->GetIncludeOriginal(),
             [this](bool on) {
                 if (auto* a = ModifierAs<M>())
                     a->SetIncludeOriginal(on);
             });
    row(QStringLiteral("Step Y (rise):"), 232, SettingsPictureText(m->GetStepY()), "StepY",
        [](M& a, const QString& t) { a.SetStepY(TypedFloat(t, 0)); });
    resize(width(), 310);
    return true;
}

bool TArrayCircularSettingsForm::BuildControls()
{
    const auto* m = ModifierAs<TArrayCircularModifier>();
    if (!m)
        return false;
    using M = TArrayCircularModifier;
    AddEnabledCheck();
    const auto row = [this](const QString& Caption, int Top, const QString& Text, const char* Name,
                            std::function<void(M&, const QString&)> Apply) {
        AddLabel(Caption, 8, Top + 4);
        AddLiveEdit(96, Top, 180, Text, [this, Apply](const QString& t) {
            if (auto* a = ModifierAs<M>())
                Apply(*a, t);
        })->setObjectName(QString::fromLatin1(Name));
    };
    const auto list = [this](const QString& Caption, int Top, const QStringList& Items, int Index,
                             const char* Name, std::function<void(M&, int)> Pick) {
        AddLabel(Caption, 8, Top + 4);
        AddCombo(96, Top, 180, Items, Index, [this, Pick](int i) {
            if (auto* a = ModifierAs<M>())
                Pick(*a, i);
        })->setObjectName(QString::fromLatin1(Name));
    };
    row(QStringLiteral("Count:"), 36, QString::number(m->GetCount()), "Count",
        [](M& a, const QString& t) { a.SetCount(TypedCount(t, 8)); });
    row(QStringLiteral("Radius:"), 64, SettingsPictureText(m->GetRadius()), "Radius",
        [](M& a, const QString& t) { a.SetRadius(TypedFloat(t, 5)); });
    row(QStringLiteral("Start Angle:"), 92, SettingsPictureText(m->GetStartAngle()), "StartAngle",
        [](M& a, const QString& t) { a.SetStartAngle(TypedFloat(t, 0)); });
    row(QStringLiteral("Total Angle:"), 120, SettingsPictureText(m->GetTotalAngle()), "TotalAngle",
        [](M& a, const QString& t) { a.SetTotalAngle(TypedFloat(t, 360)); });
    AddCheck(QStringLiteral("Close Circle"), 8, 148, 200, m->GetCloseCircle(), [this](bool on) {
        if (auto* a = ModifierAs<M>())
            a->SetCloseCircle(on);
    });
    list(QStringLiteral("Axis:"), 176,
         {QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("Z")}, m->GetAxis(), "Axis",
         [](M& a, int i) { a.SetAxis(i); });
    list(QStringLiteral("Orientation:"), 204,
         {QStringLiteral("None"), QStringLiteral("Outward"), QStringLiteral("Inward"),
          QStringLiteral("Tangent CW"), QStringLiteral("Tangent CCW")},
         m->GetOrientation(), "Orientation", [](M& a, int i) { a.SetOrientation(i); });
    AddCheck(QStringLiteral("Include Original"), 8, 232, 200, m->GetIncludeOriginal(),
             [this](bool on) {
                 if (auto* a = ModifierAs<M>())
                     a->SetIncludeOriginal(on);
             });
    row(QStringLiteral("Center X:"), 260, SettingsPictureText(m->GetCenterX()), "CenterX",
        [](M& a, const QString& t) { a.SetCenterX(TypedFloat(t, 0)); });
    row(QStringLiteral("Center Y:"), 288, SettingsPictureText(m->GetCenterY()), "CenterY",
        [](M& a, const QString& t) { a.SetCenterY(TypedFloat(t, 0)); });
    row(QStringLiteral("Center Z:"), 316, SettingsPictureText(m->GetCenterZ()), "CenterZ",
        [](M& a, const QString& t) { a.SetCenterZ(TypedFloat(t, 0)); });
    row(QStringLiteral("Step Y (rise):"), 344, SettingsPictureText(m->GetStepY()), "StepY",
        [](M& a, const QString& t) { a.SetStepY(TypedFloat(t, 0)); });
    resize(width(), 422);
    return true;
}

TModifierSettingsForm* Array2DEditorFactory(TScene* Scene, const TModifierRef& Ref)
{
    return MakeSettingsForm<TArray2DSettingsForm>(Scene, Ref);
}

TModifierSettingsForm* ArrayCircularEditorFactory(TScene* Scene, const TModifierRef& Ref)
{
    return MakeSettingsForm<TArrayCircularSettingsForm>(Scene, Ref);
}
