// The environment window as a user drives it: every control reaches its setting through
// its mapping and comes back from it, the buttons, and a window that follows New and Open.
#include "document/uProjectDocument.h"
#include "editor/windows/uEnvironmentWindow.h"
#include "main_form_test_support.h"
#include "scene/uCinematicEnvironment.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTabWidget>

#include <cmath>
#include <functional>

namespace {

bool SameVec(const TVec3& a, const TVec3& b)
{
    return a.X == b.X && a.Y == b.Y && a.Z == b.Z;
}

class EnvironmentWindowTest : public MainFormFixture {
protected:
    TEnvironmentForm* Open()
    {
        Click("View", "Environment...");
        auto* f = qobject_cast<TEnvironmentForm*>(Form->ToolWindows().Find("environment"));
        EXPECT_NE(f, nullptr);
        return f;
    }
    TCinematicEnvironment& Env() { return Form->Document().GetEnvironment(); }
};

using TEnv = TCinematicEnvironment;

// Each track bar: positions to try, the value its setting must take, and the field.
struct TSliderCase {
    const char* Name;
    std::vector<int> Positions;
    std::function<float(int)> Value;
    std::function<float(const TEnv&)> Field;
    int Decimals = 2;  // of its value label
};

}  // namespace

TEST_F(EnvironmentWindowTest, EveryTrackBarReachesItsSettingAndComesBackFromIt)
{
    TEnvironmentForm* f = Open();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->windowTitle(), QStringLiteral("Environment Settings"));
    // The default environment's positions.
    EXPECT_EQ(f->Slider("VignetteStrength")->value(), 87);
    EXPECT_EQ(f->Slider("VignetteRadius")->value(), 94);
    EXPECT_EQ(f->Slider("RimPower")->value(), 60);
    EXPECT_EQ(f->Slider("TimeOfDay")->value(), 120);

    const auto hundredths = [](int p) { return float(p) / 100.0f; };
    const TSliderCase cases[] = {
        {"VignetteStrength",
         {0, 50, 100},
         [](int p) { return float(std::pow(p / 100.0, 10.0)); },
         [](const TEnv& e) { return e.VignetteStrength; },
         4},
        {"VignetteRadius",
         {1, 60, 100},
         [](int p) { return float(std::pow(p / 100.0, 5.0)); },
         [](const TEnv& e) { return e.VignetteRadius; },
         4},
        {"VignetteSoftness",
         {1, 35, 100},
         hundredths,
         [](const TEnv& e) { return e.VignetteSoftness; }},
        {"AberrationStrength",
         {0, 7, 20},
         [](int p) { return float(p) / 1000.0f; },
         [](const TEnv& e) { return e.AberrationStrength; },
         4},
        {"RimPower",
         {10, 45, 80},
         [](int p) { return float(90 - p) / 10.0f; },
         [](const TEnv& e) { return e.RimPower; },
         1},
        {"RimStrength", {0, 33, 100}, hundredths, [](const TEnv& e) { return e.RimStrength; }},
        {"RimLightWrap", {0, 17, 50}, hundredths, [](const TEnv& e) { return e.RimLightWrap; }},
        {"FogDensity", {0, 42, 100}, hundredths, [](const TEnv& e) { return e.FogDensity; }},
        {"ContactRadius", {5, 123, 500}, hundredths, [](const TEnv& e) { return e.ContactRadius; }},
        {"ContactStrength",
         {0, 70, 100},
         hundredths,
         [](const TEnv& e) { return e.ContactStrength; }},
        {"SunShadow", {0, 55, 100}, hundredths, [](const TEnv& e) { return e.SunShadow; }},
        {"ColorBleed", {0, 10, 100}, hundredths, [](const TEnv& e) { return e.ColorBleed; }},
        {"MinimumShade", {5, 45, 100}, hundredths, [](const TEnv& e) { return e.MinimumShade; }},
        {"TimeOfDay",
         {0, 65, 239},
         [](int p) { return float(p) / 10.0f; },
         [](const TEnv& e) { return e.TimeOfDay; },
         1},
        {"TintStrength", {0, 25, 100}, hundredths, [](const TEnv& e) { return e.TintStrength; }},
    };
    QSignalSpy changes(&Form->Events(), &TEditorEvents::EnvironmentChanged);
    int moves = 0;
    for (const TSliderCase& c : cases) {
        QSlider* s = f->Slider(c.Name);
        ASSERT_NE(s, nullptr) << c.Name;
        for (int p : c.Positions) {
            if (s->value() == p) {
                s->setValue(p == s->maximum() ? s->minimum() : s->maximum());
                ++moves;
            }
            s->setValue(p);
            ++moves;
            EXPECT_NEAR(c.Field(Env()), c.Value(p), 1e-6f) << c.Name << " at " << p;
            EXPECT_EQ(f->ValueLabel(c.Name)->text(),
                      QLocale().toString(double(c.Field(Env())), 'f', c.Decimals))
                << c.Name;
            // And back: filled from the settings, the bar returns to where it was.
            {
                const QSignalBlocker quiet(s);
                s->setValue(p == s->minimum() ? s->maximum() : s->minimum());
            }
            f->LoadControls();
            EXPECT_EQ(s->value(), p) << c.Name << " back from " << c.Field(Env());
        }
    }
    EXPECT_EQ(changes.count(), moves);
    // Position 240 is 24 h, which wraps to 0.
    f->Slider("TimeOfDay")->setValue(240);
    EXPECT_EQ(Env().TimeOfDay, 0.0f);
    f->LoadControls();
    EXPECT_EQ(f->Slider("TimeOfDay")->value(), 0);
    EXPECT_EQ(f->TimeLabel->text(), QLocale().toString(0.0, 'f', 1));
}

TEST_F(EnvironmentWindowTest, EveryCheckBoxReachesItsSwitchAndComesBackFromIt)
{
    TEnvironmentForm* f = Open();
    ASSERT_NE(f, nullptr);
    const std::pair<const char*, bool TEnv::*> checks[] = {
        {"VignetteOn", &TEnv::VignetteOn},
        {"AberrationOn", &TEnv::AberrationOn},
        {"RimLightOn", &TEnv::RimLightOn},
        {"FogOn", &TEnv::FogOn},
        {"UseAtmosphericFogColor", &TEnv::UseAtmosphericFogColor},
        {"ContactLightingOn", &TEnv::ContactLightingOn},
        {"SkyOn", &TEnv::SkyOn},
        {"SunOn", &TEnv::SunOn},
        {"MoonOn", &TEnv::MoonOn},
        {"CelestialTintOn", &TEnv::CelestialTintOn},
    };
    const QStringList tabs = {"Post", "Rim", "Fog", "AO", "Time", "Sky"};
    ASSERT_EQ(f->Pages->count(), tabs.size());
    for (int i = 0; i < tabs.size(); ++i)
        EXPECT_EQ(f->Pages->tabText(i), tabs[i]);
    for (const auto& [name, field] : checks) {
        QCheckBox* c = f->CheckBox(name);
        ASSERT_NE(c, nullptr) << name;
        const bool was = Env().*field;
        EXPECT_EQ(c->isChecked(), was) << name;
        f->Pages->setCurrentWidget(c->parentWidget());
        QTest::mouseClick(c, Qt::LeftButton, {}, QPoint(6, c->height() / 2));
        EXPECT_EQ(Env().*field, !was) << name;
        Env().*field = was;
        f->LoadControls();
        EXPECT_EQ(c->isChecked(), was) << name;
    }
}

TEST_F(EnvironmentWindowTest, ButtonsResetTheTimeAndPickTheFogColourOrChangeNothing)
{
    TEnvironmentForm* f = Open();
    ASSERT_NE(f, nullptr);
    f->Slider("TimeOfDay")->setValue(30);
    f->CheckBox("FogOn")->setChecked(true);
    QSignalSpy changes(&Form->Events(), &TEditorEvents::EnvironmentChanged);
    QTest::mouseClick(f->findChild<QPushButton*>(QStringLiteral("ResetToNoon")), Qt::LeftButton);
    EXPECT_EQ(Env().TimeOfDay, 12.0f);
    EXPECT_TRUE(Env().FogOn);  // the other controls applied as they stand
    EXPECT_EQ(changes.count(), 1);

    // The fog colour dialog, cancelled and then confirmed; neither touches the fog switches.
    Env().FogColor = Vec3(0.5f, 0.55f, 0.6f);
    QColor offered;
    bool confirm = false;
    TEnvironmentWindowCallbacks c;
    c.Environment = [this] { return &Env(); };
    int changed = 0;
    c.Change = [&] { ++changed; };
    c.PickColor = [&](QWidget*, QColor& colour) {
        offered = colour;
        if (confirm)
            colour = QColor(255, 0, 51);
        return confirm;
    };
    TEnvironmentForm* g = ShowEnvironmentWindow(*Form, c);
    QPushButton* fogColour = g->findChild<QPushButton*>(QStringLiteral("CustomFogColor"));
    ASSERT_NE(fogColour, nullptr);
    EXPECT_EQ(fogColour->text(), QStringLiteral("Custom Fog Color..."));
    fogColour->click();
    EXPECT_EQ(offered, QColor(128, 140, 153));
    EXPECT_EQ(changed, 0);
    EXPECT_TRUE(SameVec(Env().FogColor, Vec3(0.5f, 0.55f, 0.6f)));
    confirm = true;
    fogColour->click();
    EXPECT_EQ(changed, 1);
    EXPECT_FLOAT_EQ(Env().FogColor.X, 1.0f);
    EXPECT_FLOAT_EQ(Env().FogColor.Y, 0.0f);
    EXPECT_FLOAT_EQ(Env().FogColor.Z, 0.2f);
    EXPECT_TRUE(Env().UseAtmosphericFogColor);

    // "Refresh Contact AO" switches contact lighting on and invalidates it.
    Form->Scene().SetContactLightingEnabled(false);
    Click("View", "Environment...");
    auto* h = qobject_cast<TEnvironmentForm*>(Form->ToolWindows().Find("environment"));
    ASSERT_NE(h, nullptr);
    h->findChild<QPushButton*>(QStringLiteral("RefreshContactAO"))->click();
    EXPECT_TRUE(Form->Scene().ContactLightingOn);
    EXPECT_FALSE(Form->ContactCache().IsBuilt());
}

TEST_F(EnvironmentWindowTest, AWindowOpenAcrossNewShowsTheNewSettingsAndNeverWritesTheOldOnes)
{
    TEnvironmentForm* f = Open();
    ASSERT_NE(f, nullptr);
    f->CheckBox("FogOn")->setChecked(true);
    f->Slider("RimStrength")->setValue(90);
    ASSERT_TRUE(Env().FogOn);

    // File > New closes the window.
    QPointer<TEnvironmentForm> window(f);
    YesNoAnswers = {true};
    Click("File", "New");
    EXPECT_TRUE(window.isNull());
    EXPECT_FALSE(Env().FogOn);
    EXPECT_FLOAT_EQ(Env().RimStrength, 0.5f);

    // A window that is still open when the document is replaced follows it: touching one
    // control afterwards keeps every other setting of the new document.
    f = Open();
    ASSERT_NE(f, nullptr);
    f->CheckBox("FogOn")->setChecked(true);
    f->Slider("RimStrength")->setValue(90);
    TCinematicEnvironment loaded;
    loaded.SetTimeOfDay(18);
    loaded.SetRimStrength(0.2f);
    Env().Assign(&loaded);
    emit Form->Events().DocumentReplaced();
    EXPECT_FALSE(f->CheckBox("FogOn")->isChecked());
    EXPECT_EQ(f->Slider("RimStrength")->value(), 20);
    f->Slider("TintStrength")->setValue(40);
    EXPECT_FALSE(Env().FogOn);
    EXPECT_FLOAT_EQ(Env().RimStrength, 0.2f);
    EXPECT_FLOAT_EQ(Env().TimeOfDay, 18.0f);
    EXPECT_FLOAT_EQ(Env().TintStrength, 0.4f);
}

TEST(EnvironmentSkyPreview, RowsBlendTowardsTheHorizonThenTheGround)
{
    TCinematicEnvironment env;  // noon: the colours of key 4
    const TVec3 zenith{0.18f, 0.5f, 0.9f}, horizon{0.6f, 0.78f, 0.95f}, ground{0.55f, 0.7f, 0.85f};
    const auto colour = [](const TVec3& c) {
        return QColor(int(std::lround(c.X * 255)), int(std::lround(c.Y * 255)),
                      int(std::lround(c.Z * 255)));
    };
    const auto mix = [](const TVec3& a, const TVec3& b, float t) {
        return Vec3(a.X + (b.X - a.X) * t, a.Y + (b.Y - a.Y) * t, a.Z + (b.Z - a.Z) * t);
    };
    const int H = 60;
    // Above 0.4 H: zenith + (horizon - zenith) x y / (0.5 H) x 0.5; then from the horizon
    // to the ground over the remaining 0.6 H.
    struct {
        int Row;
        TVec3 Expected;
    } rows[] = {
        {0, zenith},
        {12, mix(zenith, horizon, 12.0f / 30.0f * 0.5f)},
        {23, mix(zenith, horizon, 23.0f / 30.0f * 0.5f)},
        {24, horizon},
        {42, mix(horizon, ground, 0.5f)},
        {59, mix(horizon, ground, 35.0f / 36.0f)},
    };
    for (const auto& r : rows) {
        const QColor got = SkyPreviewRowColor(env, r.Row, H), want = colour(r.Expected);
        EXPECT_NEAR(got.red(), want.red(), 1) << r.Row;
        EXPECT_NEAR(got.green(), want.green(), 1) << r.Row;
        EXPECT_NEAR(got.blue(), want.blue(), 1) << r.Row;
    }
}
