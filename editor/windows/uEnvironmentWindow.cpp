#include "editor/windows/uEnvironmentWindow.h"

#include "editor/api/uEditorContext.h"
#include "editor/windows/uWindowPlacement.h"
#include "render/uErrorBox.h"
#include "scene/uCinematicEnvironment.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {

using TEnv = TCinematicEnvironment;

int RoundHalfEven(double v)
{
    return int(std::nearbyint(v));
}

// One track bar: its place, range, the field it sets from a position, the position it
// takes from the field, and the field's value for its label.
struct TSliderRow {
    const char* Name;
    const char* Tab;
    const char* Caption;
    int Min, Max;
    void (*ToField)(TEnv&, int p);
    int (*FromField)(const TEnv&);
    float (*Value)(const TEnv&);
    int Decimals;
};

// Hundredths, the most common mapping.
#define QUILL_HUNDREDTHS(Field, Setter)                                                            \
    [](TEnv& e, int p) { e.Setter(float(p) / 100.0f); },                                           \
        [](const TEnv& e) { return RoundHalfEven(100.0 * e.Field); },                              \
        [](const TEnv& e) { return e.Field; }

const TSliderRow kSliders[] = {
    {"VignetteStrength", "Post", "Strength:", 0, 100,
     [](TEnv& e, int p) { e.SetVignetteStrength(float(std::pow(p / 100.0, 10.0))); },
     [](const TEnv& e) {
         return e.VignetteStrength > 0 ? RoundHalfEven(100.0 * std::pow(e.VignetteStrength, 0.1))
                                       : 0;
     },
     [](const TEnv& e) { return e.VignetteStrength; }, 4},
    {"VignetteRadius", "Post", "Radius:", 0, 100,
     [](TEnv& e, int p) { e.VignetteRadius = float(std::pow(p / 100.0, 5.0)); },
     [](const TEnv& e) {
         return e.VignetteRadius > 0 ? RoundHalfEven(100.0 * std::pow(e.VignetteRadius, 0.2)) : 0;
     },
     [](const TEnv& e) { return e.VignetteRadius; }, 4},
    {"VignetteSoftness", "Post", "Softness:", 1, 100,
     [](TEnv& e, int p) { e.VignetteSoftness = float(p) / 100.0f; },
     [](const TEnv& e) { return RoundHalfEven(100.0 * e.VignetteSoftness); },
     [](const TEnv& e) { return e.VignetteSoftness; }, 2},
    {"AberrationStrength", "Post", "Strength:", 0, 20,
     [](TEnv& e, int p) { e.SetAberrationStrength(float(p) / 1000.0f); },
     [](const TEnv& e) { return RoundHalfEven(1000.0 * e.AberrationStrength); },
     [](const TEnv& e) { return e.AberrationStrength; }, 4},
    {"RimPower", "Rim", "Power:", 10, 80,
     [](TEnv& e, int p) { e.SetRimPower(float(90 - p) / 10.0f); },
     [](const TEnv& e) { return 90 - RoundHalfEven(10.0 * e.RimPower); },
     [](const TEnv& e) { return e.RimPower; }, 1},
    {"RimStrength", "Rim", "Strength:", 0, 100, QUILL_HUNDREDTHS(RimStrength, SetRimStrength), 2},
    {"RimLightWrap", "Rim", "Light Wrap:", 0, 50, QUILL_HUNDREDTHS(RimLightWrap, SetRimLightWrap),
     2},
    {"FogDensity", "Fog", "Density:", 0, 100, QUILL_HUNDREDTHS(FogDensity, SetFogDensity), 2},
    {"ContactRadius", "AO", "Radius:", 5, 500, QUILL_HUNDREDTHS(ContactRadius, SetContactRadius),
     2},
    {"ContactStrength", "AO", "Contact Strength:", 0, 100,
     QUILL_HUNDREDTHS(ContactStrength, SetContactStrength), 2},
    {"SunShadow", "AO", "Sun Shadow:", 0, 100, QUILL_HUNDREDTHS(SunShadow, SetSunShadow), 2},
    {"ColorBleed", "AO", "Color Bleed:", 0, 100, QUILL_HUNDREDTHS(ColorBleed, SetColorBleed), 2},
    {"MinimumShade", "AO", "Minimum Shade:", 5, 100,
     QUILL_HUNDREDTHS(MinimumShade, SetMinimumShade), 2},
    {"TimeOfDay", "Time", "Time of Day:", 0, 240,
     [](TEnv& e, int p) { e.SetTimeOfDay(float(p) / 10.0f); },
     [](const TEnv& e) { return RoundHalfEven(10.0 * e.TimeOfDay); },
     [](const TEnv& e) { return e.TimeOfDay; }, 1},
    {"TintStrength", "Sky", "Tint Strength:", 0, 100,
     QUILL_HUNDREDTHS(TintStrength, SetTintStrength), 2},
};
#undef QUILL_HUNDREDTHS

struct TCheckRow {
    const char* Name;
    const char* Tab;
    const char* Caption;
    bool TEnv::*Field;
};

const TCheckRow kChecks[] = {
    {"VignetteOn", "Post", "Enable Vignette", &TEnv::VignetteOn},
    {"AberrationOn", "Post", "Enable Chromatic Aberration", &TEnv::AberrationOn},
    {"RimLightOn", "Rim", "Enable Rim Light", &TEnv::RimLightOn},
    {"FogOn", "Fog", "Enable Fog", &TEnv::FogOn},
    {"UseAtmosphericFogColor", "Fog", "Use Atmospheric Fog Color", &TEnv::UseAtmosphericFogColor},
    {"ContactLightingOn", "AO", "Enable Contact Lighting", &TEnv::ContactLightingOn},
    {"SkyOn", "Sky", "Enable Procedural Sky", &TEnv::SkyOn},
    {"SunOn", "Sky", "Enable Sun", &TEnv::SunOn},
    {"MoonOn", "Sky", "Enable Moon", &TEnv::MoonOn},
    {"CelestialTintOn", "Sky", "Enable Celestial Tint", &TEnv::CelestialTintOn},
};

// The controls of each tab, in order: a check box (c), a track bar (s) or a button (b),
// by name.
struct TTabItem {
    char Kind;
    const char* Name;
};
struct TTab {
    const char* Caption;
    std::vector<TTabItem> Items;
};
const std::vector<TTab>& Tabs()
{
    static const std::vector<TTab> tabs = {
        {"Post",
         {{'c', "VignetteOn"},
          {'s', "VignetteStrength"},
          {'s', "VignetteRadius"},
          {'s', "VignetteSoftness"},
          {'c', "AberrationOn"},
          {'s', "AberrationStrength"}}},
        {"Rim",
         {{'c', "RimLightOn"}, {'s', "RimPower"}, {'s', "RimStrength"}, {'s', "RimLightWrap"}}},
        {"Fog",
         {{'c', "FogOn"},
          {'s', "FogDensity"},
          {'c', "UseAtmosphericFogColor"},
          {'b', "CustomFogColor"}}},
        {"AO",
         {{'c', "ContactLightingOn"},
          {'s', "ContactRadius"},
          {'s', "ContactStrength"},
          {'s', "SunShadow"},
          {'s', "ColorBleed"},
          {'s', "MinimumShade"},
          {'b', "RefreshContactAO"}}},
        {"Time", {{'s', "TimeOfDay"}, {'b', "ResetToNoon"}}},
        {"Sky",
         {{'c', "SkyOn"},
          {'c', "SunOn"},
          {'c', "MoonOn"},
          {'c', "CelestialTintOn"},
          {'s', "TintStrength"},
          {'p', "SkyPreview"}}},
    };
    return tabs;
}

class TSkyPreview : public QWidget {
public:
    TSkyPreview(std::function<TEnv*()> env, QWidget* parent) : QWidget(parent), Env(std::move(env))
    {
        setObjectName(QStringLiteral("SkyPreview"));
        setFixedSize(290, 60);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const TEnv* e = Env ? Env() : nullptr;
        const int w = width(), h = height();
        if (!e || w < 2 || h < 2)
            return;
        QPainter p(this);
        for (int y = 0; y < h; ++y) {
            p.setPen(SkyPreviewRowColor(*e, y, h));
            p.drawLine(0, y, w - 1, y);
        }
    }

private:
    std::function<TEnv*()> Env;
};

}  // namespace

QColor SkyPreviewRowColor(const TCinematicEnvironment& Environment, int y, int H)
{
    TVec3 zenith, horizon, ground, atmosphere;
    GetSkyColorsForTime(Environment.TimeOfDay, zenith, horizon, ground, atmosphere);
    TVec3 c;
    const float fy = float(y), fh = float(H);
    if (fy < 0.4f * fh) {
        const float t = fy / (0.5f * fh);
        c = Vec3Add(zenith, Vec3Scale(Vec3Sub(horizon, zenith), t * 0.5f));
    } else {
        c = Vec3Add(horizon, Vec3Scale(Vec3Sub(ground, horizon), (fy - 0.4f * fh) / (0.6f * fh)));
    }
    const auto byte = [](float v) { return std::clamp(int(std::lround(v * 255.0f)), 0, 255); };
    return QColor(byte(c.X), byte(c.Y), byte(c.Z));
}

TEnvironmentForm::TEnvironmentForm(TEnvironmentWindowCallbacks callbacks, QWidget* Parent)
    : QWidget(Parent, Qt::Window), Callbacks(std::move(callbacks))
{
    if (!Callbacks.PickColor)
        Callbacks.PickColor = [](QWidget* parent, QColor& c) {
            const QColor chosen = QColorDialog::getColor(c, parent);
            if (!chosen.isValid())
                return false;
            c = chosen;
            return true;
        };
    FormCreate();
}

void TEnvironmentForm::FormCreate()
{
    setWindowTitle(QStringLiteral("Environment Settings"));
    setObjectName(QStringLiteral("EnvironmentWindow"));
    resize(340, 440);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    Pages = new QTabWidget(this);
    Pages->setObjectName(QStringLiteral("EnvironmentPages"));
    outer->addWidget(Pages);
    const auto guarded = [this](void (TEnvironmentForm::*handler)()) {
        return [this, handler] { RunGuarded(this, [&] { (this->*handler)(); }); };
    };
    for (const TTab& tab : Tabs()) {
        auto* page = new QWidget(Pages);
        auto* column = new QVBoxLayout(page);
        for (const TTabItem& item : tab.Items) {
            const QString name = QString::fromLatin1(item.Name);
            if (item.Kind == 'c') {
                for (const TCheckRow& row : kChecks)
                    if (name == QLatin1String(row.Name)) {
                        auto* c = new QCheckBox(QString::fromLatin1(row.Caption), page);
                        c->setObjectName(name);
                        connect(c, &QCheckBox::toggled, this,
                                guarded(&TEnvironmentForm::ControlChange));
                        column->addWidget(c);
                        Checks.push_back(c);
                    }
            } else if (item.Kind == 's') {
                for (const TSliderRow& row : kSliders)
                    if (name == QLatin1String(row.Name)) {
                        auto* line = new QHBoxLayout();
                        line->addWidget(new QLabel(QString::fromLatin1(row.Caption), page));
                        auto* value = new QLabel(page);
                        value->setObjectName(name + QStringLiteral("Label"));
                        if (name == QLatin1String("TimeOfDay")) {
                            value->setText(QStringLiteral("12:00"));
                            TimeLabel = value;
                        }
                        line->addStretch(1);
                        line->addWidget(value);
                        column->addLayout(line);
                        auto* s = new QSlider(Qt::Horizontal, page);
                        s->setObjectName(name);
                        s->setRange(row.Min, row.Max);
                        connect(s, &QSlider::valueChanged, this,
                                guarded(&TEnvironmentForm::ControlChange));
                        column->addWidget(s);
                        Sliders.push_back(s);
                        ValueLabels.push_back(value);
                    }
            } else if (item.Kind == 'b') {
                static const std::pair<const char*, const char*> captions[] = {
                    {"CustomFogColor", "Custom Fog Color..."},
                    {"RefreshContactAO", "Refresh Contact AO"},
                    {"ResetToNoon", "Reset to Noon"}};
                QString caption;
                for (const auto& [n, c] : captions)
                    if (name == QLatin1String(n))
                        caption = QString::fromLatin1(c);
                auto* b = new QPushButton(caption, page);
                b->setObjectName(name);
                void (TEnvironmentForm::*handler)() = name == QLatin1String("CustomFogColor")
                                                          ? &TEnvironmentForm::FogColorClick
                                                      : name == QLatin1String("RefreshContactAO")
                                                          ? &TEnvironmentForm::RefreshContactAOClick
                                                          : &TEnvironmentForm::ResetToNoonClick;
                connect(b, &QPushButton::clicked, this, guarded(handler));
                column->addWidget(b);
            } else {
                SkyPreview = new TSkyPreview(Callbacks.Environment, page);
                column->addWidget(SkyPreview);
            }
        }
        column->addStretch(1);
        Pages->addTab(page, QString::fromLatin1(tab.Caption));
    }
    LoadControls();
}

QSlider* TEnvironmentForm::Slider(const char* Name) const
{
    return findChild<QSlider*>(QString::fromLatin1(Name));
}

QCheckBox* TEnvironmentForm::CheckBox(const char* Name) const
{
    return findChild<QCheckBox*>(QString::fromLatin1(Name));
}

QLabel* TEnvironmentForm::ValueLabel(const char* SliderName) const
{
    return findChild<QLabel*>(QString::fromLatin1(SliderName) + QStringLiteral("Label"));
}

void TEnvironmentForm::RefreshLabels(const TCinematicEnvironment& Env)
{
    const QLocale locale;
    for (size_t i = 0; i < Sliders.size(); ++i)
        for (const TSliderRow& row : kSliders)
            if (Sliders[i]->objectName() == QLatin1String(row.Name))
                ValueLabels[i]->setText(locale.toString(double(row.Value(Env)), 'f', row.Decimals));
}

void TEnvironmentForm::LoadControls()
{
    TCinematicEnvironment* env = Callbacks.Environment ? Callbacks.Environment() : nullptr;
    if (!env)
        return;
    const QScopedValueRollback<bool> updating(Updating, true);
    for (QCheckBox* c : Checks)
        for (const TCheckRow& row : kChecks)
            if (c->objectName() == QLatin1String(row.Name))
                c->setChecked(env->*row.Field);
    for (QSlider* s : Sliders)
        for (const TSliderRow& row : kSliders)
            if (s->objectName() == QLatin1String(row.Name))
                s->setValue(row.FromField(*env));
    RefreshLabels(*env);
    if (SkyPreview)
        SkyPreview->update();
}

void TEnvironmentForm::ControlChange()
{
    if (Updating)
        return;
    TCinematicEnvironment* env = Callbacks.Environment ? Callbacks.Environment() : nullptr;
    if (!env)
        return;
    // The whole window at once, not only the control that changed.
    for (QCheckBox* c : Checks)
        for (const TCheckRow& row : kChecks)
            if (c->objectName() == QLatin1String(row.Name))
                env->*row.Field = c->isChecked();
    for (QSlider* s : Sliders)
        for (const TSliderRow& row : kSliders)
            if (s->objectName() == QLatin1String(row.Name))
                row.ToField(*env, s->value());
    RefreshLabels(*env);
    if (SkyPreview)
        SkyPreview->update();
    if (Callbacks.Change)
        Callbacks.Change();
}

void TEnvironmentForm::FogColorClick()
{
    TCinematicEnvironment* env = Callbacks.Environment ? Callbacks.Environment() : nullptr;
    if (!env)
        return;
    const auto byte = [](float v) { return std::clamp(int(std::lround(v * 255.0f)), 0, 255); };
    QColor c(byte(env->FogColor.X), byte(env->FogColor.Y), byte(env->FogColor.Z));
    if (!Callbacks.PickColor(this, c))
        return;
    env = Callbacks.Environment ? Callbacks.Environment() : nullptr;  // the dialog ran a loop
    if (!env)
        return;
    env->FogColor =
        Vec3(float(c.red()) / 255.0f, float(c.green()) / 255.0f, float(c.blue()) / 255.0f);
    if (Callbacks.Change)
        Callbacks.Change();
}

void TEnvironmentForm::RefreshContactAOClick()
{
    if (Callbacks.RefreshContactAO)
        Callbacks.RefreshContactAO();
}

void TEnvironmentForm::ResetToNoonClick()
{
    QSlider* time = Slider("TimeOfDay");
    {
        const QSignalBlocker block(time);
        time->setValue(120);
    }
    ControlChange();
}

TEnvironmentForm* ShowEnvironmentWindow(TEditorContext& Context,
                                        TEnvironmentWindowCallbacks Callbacks)
{
    QWidget* w = Context.ToolWindows().Recreate("environment", [&] {
        auto* f = new TEnvironmentForm(std::move(Callbacks), Context.ParentWindow());
        // A window left open across New or Open shows the new document's settings, so its
        // next change cannot write the old ones back.
        QObject::connect(&Context.Events(), &TEditorEvents::DocumentReplaced, f,
                         [f] { RunGuarded(f, [&] { f->LoadControls(); }); });
        CentreOnScreen(*f);
        return f;
    });
    return static_cast<TEnvironmentForm*>(w);
}
