#include "modifiers/ui/uModelingModifierSettingsForm.h"

#include "modifiers/uModifierParams.h"
#include "modifiers/uModifiers.h"
#include "modifiers/ui/uModifierEditorRegistry.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include <algorithm>

namespace {

QString FloatRowText(double Value)
{
    return SettingsLocale().toString(Value, 'f', 4);
}

QString ObjectNameOf(const TModifierParam& Param)
{
    std::string_view key = Param.Key;
    if (!key.empty() && key.back() == '=')
        key.remove_suffix(1);
    return QString::fromUtf8(key.data(), qsizetype(key.size()));
}

}  // namespace

TModelingModifierSettingsForm::TModelingModifierSettingsForm(TScene* Scene, const TModifierRef& Ref,
                                                             std::string TypeId)
    : TModifierSettingsForm(Scene, Ref), TypeId(std::move(TypeId))
{
}

TModifier* TModelingModifierSettingsForm::OwnModifier() const
{
    TModifier* m = GetModifier();
    return m && m->GetTypeId() == TypeId ? m : nullptr;
}

const TModifierParam* TModelingModifierSettingsForm::RowParam(TModifier& Modifier, int Tag) const
{
    const TModifierParamTable* table = Modifier.GetParamTable();
    return table ? table->ByRow(Tag) : nullptr;
}

bool TModelingModifierSettingsForm::BuildControls()
{
    const TModifier* m = OwnModifier();
    if (!m)
        return false;
    SetUpdating(true);
    int y = 8;
    AddEnabledCheck(230);
    y += 28;
    if (const TModifierParamTable* table = m->GetParamTable())
        for (int row = 1; row <= table->RowCount(); ++row)
            if (const TModifierParam* p = table->ByRow(row))
                AddParamRow(*p, *m, y);
    resize(260, y + 12);
    SetUpdating(false);
    return true;
}

void TModelingModifierSettingsForm::AddParamRow(const TModifierParam& Param,
                                                const TModifier& Modifier, int& Y)
{
    const int tag = Param.Row;
    const QString caption =
        QString::fromUtf8(Param.Caption.data(), qsizetype(Param.Caption.size()));
    const double value = Param.Get(Modifier);
    QWidget* control = nullptr;
    switch (Param.Kind) {
    case TParamKind::Float:
        AddLabel(caption, 8, Y + 3);
        control = AddFloatEdit(130, Y, 90, FloatRowText(value), std::nullopt,
                               [this, tag](float v) { ApplyRow(tag, v); });
        break;
    case TParamKind::Integer:
        AddLabel(caption, 8, Y + 3);
        control = AddIntEdit(130, Y, 90, QString::number(int64_t(value)), 0,
                             [this, tag](int32_t v) { ApplyRow(tag, v); });
        break;
    case TParamKind::Boolean:
        control = AddCheck(caption, 8, Y, 230, value != 0,
                           [this, tag](bool on) { ApplyRow(tag, on ? 1 : 0); });
        break;
    case TParamKind::Choice: {
        AddLabel(caption, 8, Y + 3);
        QStringList items;
        for (std::string_view item : Param.Items)
            items << QString::fromUtf8(item.data(), qsizetype(item.size()));
        const int index = std::clamp(int(value), 0, int(items.size()) - 1);
        control = AddCombo(130, Y, 110, items, index, [this, tag](int i) { ApplyRow(tag, i); });
        break;
    }
    }
    control->setProperty("tag", tag);
    control->setObjectName(ObjectNameOf(Param));
    Y += 28;
}

void TModelingModifierSettingsForm::ApplyRow(int Tag, double Value)
{
    TModifier* m = OwnModifier();
    if (!m)
        return;
    if (const TModifierParam* p = RowParam(*m, Tag))
        p->Set(*m, Value);
}

TModifierSettingsForm* CreateModelingModifierEditor(TScene* Scene, const TModifierRef& Ref,
                                                    const std::string& TypeId)
{
    auto* form = new TModelingModifierSettingsForm(Scene, Ref, TypeId);
    try {
        form->Initialise();
    } catch (...) {
        delete form;
        throw;
    }
    return form;
}

namespace {

template <const char* Id>
TModifierSettingsForm* ModelingFactory(TScene* Scene, const TModifierRef& Ref)
{
    return CreateModelingModifierEditor(Scene, Ref, Id);
}

constexpr char kMirror[] = "mirror";
constexpr char kXForm[] = "xform";
constexpr char kSubdivide[] = "subdivide";
constexpr char kShell[] = "shell";
constexpr char kSlice[] = "slice";
constexpr char kCapHoles[] = "cap_holes";
constexpr char kNormal[] = "normal";
constexpr char kRelax[] = "relax";
constexpr char kVertexWeld[] = "vertex_weld";
constexpr char kAnimatedNoise[] = "animated_noise";
constexpr char kAnimatedWave[] = "animated_wave";
constexpr char kPulseScale[] = "pulse_scale";
constexpr char kSpin[] = "spin";
constexpr char kSpherify[] = "spherify";
constexpr char kOptimize[] = "optimize";
constexpr char kTessellate[] = "tessellate";
constexpr char kSmooth[] = "smooth";

}  // namespace

void RegisterModelingModifierEditors(TModifierEditorRegistry& Registry)
{
    Registry.RegisterFactory(kMirror, ModelingFactory<kMirror>);
    Registry.RegisterFactory(kXForm, ModelingFactory<kXForm>);
    Registry.RegisterFactory(kSubdivide, ModelingFactory<kSubdivide>);
    Registry.RegisterFactory(kShell, ModelingFactory<kShell>);
    Registry.RegisterFactory(kSlice, ModelingFactory<kSlice>);
    Registry.RegisterFactory(kCapHoles, ModelingFactory<kCapHoles>);
    Registry.RegisterFactory(kNormal, ModelingFactory<kNormal>);
    Registry.RegisterFactory(kRelax, ModelingFactory<kRelax>);
    Registry.RegisterFactory(kVertexWeld, ModelingFactory<kVertexWeld>);
    Registry.RegisterFactory(kAnimatedNoise, ModelingFactory<kAnimatedNoise>);
    Registry.RegisterFactory(kAnimatedWave, ModelingFactory<kAnimatedWave>);
    Registry.RegisterFactory(kPulseScale, ModelingFactory<kPulseScale>);
    Registry.RegisterFactory(kSpin, ModelingFactory<kSpin>);
    Registry.RegisterFactory(kSpherify, ModelingFactory<kSpherify>);
    Registry.RegisterFactory(kOptimize, ModelingFactory<kOptimize>);
    Registry.RegisterFactory(kTessellate, ModelingFactory<kTessellate>);
    Registry.RegisterFactory(kSmooth, ModelingFactory<kSmooth>);
}
