#include "modifiers/ui/uModifierSettingsBase.h"

#include "modifiers/uModifierStack.h"
#include "modifiers/uModifiers.h"
#include "render/uErrorBox.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>

#include <cmath>
#include <limits>

namespace {
// The text an edit showed or last applied; editing-done takes only other text.
const char* const kAppliedText = "appliedText";
}  // namespace

QLocale SettingsLocale()
{
    // The user's decimal separator, but no thousands groups: 3600 is "3600.00".
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

QString SettingsFixedText(double Value, int Decimals)
{
    const double rounded = QString::number(Value, 'g', 6).toDouble();
    return SettingsLocale().toString(rounded, 'f', Decimals);
}

QString SettingsPictureText(double Value)
{
    const QLocale locale = SettingsLocale();
    QString text = locale.toString(Value, 'f', 2);
    const QString point = locale.decimalPoint();
    if (text.contains(point)) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(point))
            text.chop(point.size());
    }
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text;
}

std::optional<float> ParseSettingsFloat(const QString& Text)
{
    bool ok = false;
    const double v = QLocale().toDouble(Text.trimmed(), &ok);
    if (!ok || !std::isfinite(v) || std::fabs(v) > std::numeric_limits<float>::max())
        return std::nullopt;
    return static_cast<float>(v);
}

std::optional<int32_t> ParseSettingsInt(const QString& Text)
{
    bool ok = false;
    const int v = QLocale().toInt(Text.trimmed(), &ok);
    if (!ok)
        return std::nullopt;
    return static_cast<int32_t>(v);
}

TModifierSettingsForm::TModifierSettingsForm(TScene* Scene, const TModifierRef& Ref)
    : QWidget(nullptr, Qt::Window), Scene(Scene), Ref(Ref)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("ModifierSettingsForm"));
}

void TModifierSettingsForm::Initialise()
{
    TSceneObject* object = GetSceneObject();
    TModifier* modifier = GetModifier();
    QString caption = QStringLiteral("Modifier Settings");
    if (object && modifier)
        caption = QString::fromStdString(object->Name) + QStringLiteral(" - ") +
                  QString::fromStdString(modifier->GetDisplayName());
    resize(300, 200);
    if (!BuildControls())
        caption += QStringLiteral(" (not found)");
    setWindowTitle(caption);
}

TSceneObject* TModifierSettingsForm::GetSceneObject() const
{
    if (!Scene)
        return nullptr;
    return dynamic_cast<TSceneObject*>(Scene->FindNodeById(Ref.NodeId));
}

TModifier* TModifierSettingsForm::GetModifier() const
{
    TSceneObject* object = GetSceneObject();
    return object ? object->GetModifiers().FindById(Ref.ModifierId) : nullptr;
}

QLabel* TModifierSettingsForm::AddLabel(const QString& Caption, int X, int Y, int W)
{
    auto* label = new QLabel(Caption, this);
    label->adjustSize();
    label->move(X, Y);
    if (W > 0)
        label->resize(W, label->height());
    return label;
}

QCheckBox* TModifierSettingsForm::AddEnabledCheck(int Width)
{
    TModifier* modifier = GetModifier();
    QCheckBox* box = AddCheck(QStringLiteral("Enabled"), 8, 8, Width,
                              modifier && modifier->GetEnabled(), [this](bool on) {
                                  if (TModifier* m = GetModifier())
                                      m->SetEnabled(on);
                              });
    box->setObjectName(QStringLiteral("Enabled"));
    return box;
}

QCheckBox* TModifierSettingsForm::AddCheck(const QString& Caption, int X, int Y, int W,
                                           bool Checked, std::function<void(bool)> Click)
{
    auto* box = new QCheckBox(Caption, this);
    box->setGeometry(X, Y, W, box->sizeHint().height());
    box->setChecked(Checked);
    box->setObjectName(Caption);
    // toggled, not clicked: an assistive tool's toggle sends no click.
    connect(box, &QCheckBox::toggled, this, [this, Click](bool on) {
        if (!Updating)
            ApplyEdit([&] { Click(on); });
    });
    return box;
}

QComboBox* TModifierSettingsForm::AddCombo(int X, int Y, int W, const QStringList& Items, int Index,
                                           std::function<void(int)> Pick)
{
    auto* combo = new QComboBox(this);
    combo->addItems(Items);
    combo->setGeometry(X, Y, W, combo->sizeHint().height());
    combo->setCurrentIndex(Index >= 0 && Index < Items.size() ? Index : -1);
    connect(combo, &QComboBox::activated, this, [this, Pick](int index) {
        if (!Updating && index >= 0)
            ApplyEdit([&] { Pick(index); });
    });
    return combo;
}

QLineEdit* TModifierSettingsForm::AddEditingDoneEdit(int X, int Y, int W, const QString& Text,
                                                     std::function<void(const QString&)> Apply)
{
    auto* edit = new QLineEdit(Text, this);
    edit->setGeometry(X, Y, W, edit->sizeHint().height());
    edit->setProperty(kAppliedText, Text);
    connect(edit, &QLineEdit::editingFinished, this, [this, edit, Apply] {
        const QString text = edit->text();
        if (Updating || text == edit->property(kAppliedText).toString())
            return;
        edit->setProperty(kAppliedText, text);
        ApplyEdit([&] { Apply(text); });
    });
    return edit;
}

QLineEdit* TModifierSettingsForm::AddFloatEdit(int X, int Y, int W, const QString& Text,
                                               std::optional<float> Fallback,
                                               std::function<void(float)> Apply)
{
    return AddEditingDoneEdit(X, Y, W, Text, [Fallback, Apply](const QString& text) {
        const std::optional<float> v = ParseSettingsFloat(text);
        if (v)
            Apply(*v);
        else if (Fallback)
            Apply(*Fallback);
    });
}

QLineEdit* TModifierSettingsForm::AddIntEdit(int X, int Y, int W, const QString& Text,
                                             std::optional<int32_t> Fallback,
                                             std::function<void(int32_t)> Apply)
{
    return AddEditingDoneEdit(X, Y, W, Text, [Fallback, Apply](const QString& text) {
        const std::optional<int32_t> v = ParseSettingsInt(text);
        if (v)
            Apply(*v);
        else if (Fallback)
            Apply(*Fallback);
    });
}

QLineEdit* TModifierSettingsForm::AddLiveEdit(int X, int Y, int W, const QString& Text,
                                              std::function<void(const QString&)> Apply)
{
    auto* edit = new QLineEdit(Text, this);
    edit->setGeometry(X, Y, W, edit->sizeHint().height());
    connect(edit, &QLineEdit::textEdited, this, [this, Apply](const QString& text) {
        if (!Updating)
            ApplyEdit([&] { Apply(text); });
    });
    return edit;
}

void TModifierSettingsForm::ApplyEdit(const std::function<void()>& Body)
{
    RunGuarded(this, Body);
    if (OnEdited)
        RunGuarded(this, OnEdited);
}
