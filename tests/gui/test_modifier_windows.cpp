// The Modifiers page and the modifier settings windows as a user meets them: every type
// opens its window showing the modifier's values, a typed value reaches the modifier and
// the drawn mesh, the stack is reordered and switched off from the page, windows of a
// deleted object close and windows of a deleted modifier do nothing, and New and Open
// close every window.
#include "accessibility_support.h"
#include "base/uMesh.h"
#include "document/uProjectDocument.h"
#include "editor/uModifierPage.h"
#include "main_form_test_support.h"
#include "modifiers/uModifierParams.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifierStack.h"
#include "modifiers/uModifiers.h"
#include "modifiers/ui/uModelingModifierSettingsForm.h"
#include "modifiers/ui/uModifierEditorRegistry.h"
#include "modifiers/ui/uModifierSettingsBase.h"
#include "modifiers/ui/uModifierWindowManager.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"

#include "modifiers/uModifierAdvanced.h"
#include "modifiers/uModifierAnimatedUV.h"
#include "modifiers/uModifierArray2D.h"
#include "modifiers/uModifierArrayCircular.h"
#include "modifiers/uModifierBend.h"
#include "modifiers/uModifierInflate.h"
#include "modifiers/uModifierMeshQuality.h"
#include "modifiers/uModifierModeling.h"
#include "modifiers/uModifierModelingSurface.h"
#include "modifiers/uModifierNoise.h"
#include "modifiers/uModifierPush.h"
#include "modifiers/uModifierReverseNormals.h"
#include "modifiers/uModifierRipple.h"
#include "modifiers/uModifierSkew.h"
#include "modifiers/uModifierSqueeze.h"
#include "modifiers/uModifierStretch.h"
#include "modifiers/uModifierTaper.h"
#include "modifiers/uModifierTwist.h"
#include "modifiers/uModifierWave.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>

#include <algorithm>
#include <functional>

namespace {

// What a mesh draws: its vertices and faces.
struct TMeshShape {
    std::vector<TMeshVertex> Vertices;
    std::vector<TMeshFace> Faces;
    friend bool operator==(const TMeshShape&, const TMeshShape&) = default;
};

class ModifierWindowsTest : public MainFormFixture {
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale::c());
        MainFormFixture::SetUp();
        Page = Form->findChild<TModifierPage*>(QStringLiteral("ModifierPage"));
        ASSERT_NE(Page, nullptr);
        Click("Create", "Sphere");
        Sphere = Form->Scene().GetSelectedObject();
        ASSERT_NE(Sphere, nullptr);
        ASSERT_EQ(Sphere->PrimType, ptSphere);
    }
    void TearDown() override
    {
        MainFormFixture::TearDown();
        QLocale::setDefault(QLocale::system());
    }

    // The mesh the views draw, after a paint.
    TMeshShape Drawn()
    {
        Form->GLView()->grabFramebuffer();
        const TMeshData* m = Sphere->GetEvaluatedMesh();
        return m ? TMeshShape{m->Vertices, m->Faces} : TMeshShape{};
    }
    int32_t RegistryIndex(const std::string& TypeId) const
    {
        for (int32_t i = 0; i < ModifierDescriptorCount(); ++i)
            if (GetModifierDescriptor(i).TypeId == TypeId)
                return i;
        return -1;
    }
    // Adds through the page, as the popup's entry does; the modifier at the end.
    TModifier* AddThroughPage(const std::string& TypeId)
    {
        Page->AddModifierMenuClick(RegistryIndex(TypeId));
        const TModifierStack& s = Sphere->GetModifiers();
        return s.Count() > 0 ? s.GetItem(s.Count() - 1) : nullptr;
    }
    // Double-clicks a row of the list; the window it opened (or brought up).
    TModifierSettingsForm* DoubleClickRow(int Row)
    {
        QListWidget* list = Page->ModifierList();
        QListWidgetItem* item = list->item(Row);
        if (!item)
            return nullptr;
        const QPoint at = list->visualItemRect(item).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        return Page->WindowManager().FindEditor(
            MakeModifierRef(Sphere->GetId(), Page->GetRowIds()[size_t(Row)]));
    }
    // A click on the box itself (a click beside its caption does nothing).
    static void ClickBox(QCheckBox* Box)
    {
        ASSERT_NE(Box, nullptr);
        QTest::mouseClick(Box, Qt::LeftButton, {}, QPoint(8, Box->height() / 2));
    }
    static void Type(QLineEdit* Edit, const QString& Text, bool Enter = true)
    {
        Edit->setFocus();
        Edit->selectAll();
        QTest::keyClicks(Edit, Text);
        if (Enter)
            QTest::keyClick(Edit, Qt::Key_Return);
    }

    TModifierPage* Page = nullptr;
    TSceneObject* Sphere = nullptr;
};

// One type: the modifiers put in front of it, the control the user changes, what the
// control shows first, what the user does, and what the modifier holds afterwards.
struct TWindowCase {
    std::string TypeId;
    std::vector<std::string> Before;
    const char* Control;
    QString Shown;  // the edit's text, or "" for a check box
    QString Typed;  // text typed and entered, or "" to click the check box
    std::function<bool(const TModifier&)> Holds;
};

template <class M>
std::function<bool(const TModifier&)> Holds(std::function<bool(const M&)> Test)
{
    return [Test](const TModifier& m) {
        const M* t = dynamic_cast<const M*>(&m);
        return t && Test(*t);
    };
}

std::vector<TWindowCase> AllTypes()
{
    using T = TWindowCase;
    return {
        T{"twist", {}, "Angle", "0.00", "90", Holds<TTwistModifier>([](auto& m) {
              return m.GetAngle() == 90;
          })},
        T{"noise", {}, "Strength", "0.100", "0.5", Holds<TNoiseModifier>([](auto& m) {
              return m.GetStrength() == 0.5f;
          })},
        T{"taper", {}, "Amount", "0.300", "0.8", Holds<TTaperModifier>([](auto& m) {
              return m.GetAmount() == 0.8f;
          })},
        T{"inflate", {}, "Width", "0.0500", "0.2", Holds<TInflateModifier>([](auto& m) {
              return m.GetWidth() == 0.2f;
          })},
        T{"bend", {}, "AngleDeg", "45.00", "90", Holds<TBendModifier>([](auto& m) {
              return m.GetAngleDeg() == 90;
          })},
        T{"skew", {}, "Amount", "1.00", "2.5", Holds<TSkewModifier>([](auto& m) {
              return m.GetAmount() == 2.5f;
          })},
        T{"stretch", {}, "Amount", "1.00", "0.5", Holds<TStretchModifier>([](auto& m) {
              return m.GetAmount() == 0.5f;
          })},
        T{"squeeze", {}, "AxialAmount", "1.00", "0.5", Holds<TSqueezeModifier>([](auto& m) {
              return m.GetAxialAmount() == 0.5f;
          })},
        T{"wave", {}, "Amplitude", "0.10", "0.3", Holds<TWaveModifier>([](auto& m) {
              return m.GetAmplitude() == 0.3f;
          })},
        T{"ripple", {}, "Amplitude", "0.10", "0.3", Holds<TRippleModifier>([](auto& m) {
              return m.GetAmplitude() == 0.3f;
          })},
        T{"push", {}, "Amount", "0.100", "0.4", Holds<TPushModifier>([](auto& m) {
              return m.GetAmount() == 0.4f;
          })},
        T{"reverse_normals",
          {},
          "Reverse Winding",
          "",
          "",
          Holds<TReverseNormalsModifier>([](auto& m) { return !m.GetReverseWinding(); })},
        // The object is scaled for this one, so switching it off changes the UVs.
        T{"unscale_uvs", {}, "Enabled", "", "", [](const TModifier& m) { return !m.GetEnabled(); }},
        T{"animated_uv", {}, "Offset", "0.000", "0.25", Holds<TAnimatedUVModifier>([](auto& m) {
              return m.GetOffset() == 0.25f;
          })},
        T{"array_2d", {}, "CountX", "2", "3", Holds<TArray2DModifier>([](auto& m) {
              return m.GetCountX() == 3;
          })},
        T{"array_circular", {}, "Count", "8", "4", Holds<TArrayCircularModifier>([](auto& m) {
              return m.GetCount() == 4;
          })},
        T{"mirror", {}, "Offset", "0.0000", "0.5", Holds<TMirrorModifier>([](auto& m) {
              return m.GetOffset() == 0.5f;
          })},
        T{"xform", {}, "TranslationX", "0.0000", "1.5", Holds<TXFormModifier>([](auto& m) {
              return m.GetTranslation().X == 1.5f;
          })},
        T{"subdivide", {}, "Levels", "1", "2", Holds<TSubdivideModifier>([](auto& m) {
              return m.GetLevels() == 2;
          })},
        T{"shell", {}, "Thickness", "0.1000", "0.3", Holds<TShellModifier>([](auto& m) {
              return m.GetThickness() == 0.3f;
          })},
        T{"slice", {}, "Offset", "0.0000", "0.25", Holds<TSliceModifier>([](auto& m) {
              return m.GetOffset() == 0.25f;
          })},
        // The slice opens the sphere, so there is a hole whose caps take the texture.
        T{"cap_holes", {"slice"}, "TextureId", "0", "3", Holds<TCapHolesModifier>([](auto& m) {
              return m.GetTextureId() == 3;
          })},
        T{"normal", {}, "Enabled", "", "", [](const TModifier& m) { return !m.GetEnabled(); }},
        T{"relax", {}, "Amount", "0.5000", "1", Holds<TRelaxModifier>([](auto& m) {
              return m.GetAmount() == 1;
          })},
        T{"vertex_weld", {}, "Threshold", "0.0010", "0.3", Holds<TVertexWeldModifier>([](auto& m) {
              return m.GetThreshold() == 0.3f;
          })},
        T{"animated_noise",
          {},
          "Strength",
          "0.1000",
          "0.5",
          Holds<TAnimatedNoiseModifier>([](auto& m) { return m.GetStrength() == 0.5f; })},
        T{"animated_wave",
          {},
          "Amplitude",
          "0.1000",
          "0.5",
          Holds<TAnimatedWaveModifier>([](auto& m) { return m.GetAmplitude() == 0.5f; })},
        T{"pulse_scale", {}, "PhaseDeg", "0.0000", "90", Holds<TPulseScaleModifier>([](auto& m) {
              return m.GetPhaseDeg() == 90;
          })},
        T{"spin", {}, "PhaseDeg", "0.0000", "45", Holds<TSpinModifier>([](auto& m) {
              return m.GetPhaseDeg() == 45;
          })},
        T{"spherify", {}, "Amount", "1.0000", "0.5", Holds<TSpherifyModifier>([](auto& m) {
              return m.GetAmount() == 0.5f;
          })},
        T{"optimize", {}, "MinimumArea", "0.0000", "2", Holds<TOptimizeModifier>([](auto& m) {
              return m.GetMinimumArea() == 2;
          })},
        T{"tessellate", {}, "TriangulateQuads", "", "", Holds<TTessellateModifier>([](auto& m) {
              return !m.GetTriangulateQuads();
          })},
        T{"smooth", {}, "Amount", "0.2500", "1", Holds<TSmoothModifier>([](auto& m) {
              return m.GetAmount() == 1;
          })},
    };
}

}  // namespace

TEST_F(ModifierWindowsTest, EveryTypeOpensItsWindowShowsItsValuesAndAnEditReachesTheDrawnMesh)
{
    Sphere->SetScaleX(2);
    Sphere->SetScaleY(3);
    const std::vector<TWindowCase> cases = AllTypes();
    ASSERT_EQ(int32_t(cases.size()), ModifierDescriptorCount());
    for (const TWindowCase& c : cases) {
        SCOPED_TRACE(c.TypeId);
        Page->ClearStackClick();
        for (const std::string& before : c.Before)
            AddThroughPage(before);
        TModifier* m = AddThroughPage(c.TypeId);
        ASSERT_NE(m, nullptr);
        ASSERT_EQ(m->GetTypeId(), c.TypeId);
        const int row = Sphere->GetModifiers().Count() - 1;
        ASSERT_EQ(Page->ModifierList()->count(), row + 1);

        TModifierSettingsForm* w = DoubleClickRow(row);
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->isVisible());
        // A window of its own that belongs to the main window (which ends the program
        // when it closes).
        EXPECT_TRUE(w->isWindow());
        EXPECT_EQ(w->parentWidget(), Form.get());
        EXPECT_EQ(w->windowTitle().toStdString(), Sphere->Name + " - " + m->GetDisplayName());
        auto* enabled = w->findChild<QCheckBox*>(QStringLiteral("Enabled"));
        ASSERT_NE(enabled, nullptr);
        EXPECT_TRUE(enabled->isChecked());

        const TMeshShape before = Drawn();
        if (c.Typed.isEmpty()) {
            auto* box = w->findChild<QCheckBox*>(QString::fromLatin1(c.Control));
            ASSERT_NE(box, nullptr);
            EXPECT_TRUE(box->isChecked());
            ClickBox(box);
        } else {
            auto* edit = w->findChild<QLineEdit*>(QString::fromLatin1(c.Control));
            ASSERT_NE(edit, nullptr);
            EXPECT_EQ(edit->text(), c.Shown);
            Type(edit, c.Typed);
        }
        EXPECT_TRUE(c.Holds(*m));
        EXPECT_FALSE(Drawn() == before) << "the drawn mesh did not follow the edit";
        EXPECT_TRUE(Page->MessageLabel()->text().isEmpty())
            << Page->MessageLabel()->text().toStdString();
        w->close();
    }
}

TEST_F(ModifierWindowsTest, ReorderAndEnableFromThePageChangeTheResult)
{
    auto* xform = dynamic_cast<TXFormModifier*>(AddThroughPage("xform"));
    ASSERT_NE(xform, nullptr);
    xform->SetTranslation(Vec3(2, 0, 0));
    AddThroughPage("mirror");
    const TMeshShape translatedThenMirrored = Drawn();

    Page->ModifierList()->setCurrentRow(1);
    QTest::mouseClick(Page->findChild<QPushButton*>(QStringLiteral("Up")), Qt::LeftButton);
    EXPECT_EQ(Sphere->GetModifiers().GetItem(0)->GetTypeId(), "mirror");
    EXPECT_EQ(Page->ModifierList()->currentRow(), 0);
    EXPECT_EQ(Page->ModifierList()->item(0)->text(), QStringLiteral("Mirror"));
    const TMeshShape mirroredThenTranslated = Drawn();
    EXPECT_FALSE(mirroredThenTranslated == translatedThenMirrored);

    // "Up" on the first row and "Down" on the last do nothing.
    QTest::mouseClick(Page->findChild<QPushButton*>(QStringLiteral("Up")), Qt::LeftButton);
    EXPECT_EQ(Sphere->GetModifiers().GetItem(0)->GetTypeId(), "mirror");
    Page->ModifierList()->setCurrentRow(1);
    QTest::mouseClick(Page->findChild<QPushButton*>(QStringLiteral("Down")), Qt::LeftButton);
    EXPECT_EQ(Sphere->GetModifiers().GetItem(1)->GetTypeId(), "xform");

    // Switching the mirror off in its window: the list says so and the mesh follows.
    TModifierSettingsForm* w = DoubleClickRow(0);
    ASSERT_NE(w, nullptr);
    ClickBox(w->findChild<QCheckBox*>(QStringLiteral("Enabled")));
    EXPECT_FALSE(Sphere->GetModifiers().GetItem(0)->GetEnabled());
    EXPECT_EQ(Page->ModifierList()->item(0)->text(), QStringLiteral("(disabled) Mirror"));
    EXPECT_FALSE(Drawn() == mirroredThenTranslated);

    // A second double-click brings up the same window; the duplicate gets its own.
    EXPECT_EQ(DoubleClickRow(0), w);
    EXPECT_EQ(Page->WindowManager().OpenCount(), 1);
    Page->ModifierList()->setCurrentRow(0);
    QTest::mouseClick(Page->findChild<QPushButton*>(QStringLiteral("Dup")), Qt::LeftButton);
    ASSERT_EQ(Sphere->GetModifiers().Count(), 3);
    TModifierSettingsForm* copy = DoubleClickRow(2);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, w);
    EXPECT_EQ(Page->WindowManager().OpenCount(), 2);
}

TEST_F(ModifierWindowsTest, WindowsOfADeletedModifierDoNothingAndThoseOfADeletedObjectClose)
{
    AddThroughPage("bend");
    auto* twist = dynamic_cast<TTwistModifier*>(AddThroughPage("twist"));
    ASSERT_NE(twist, nullptr);
    QPointer<TModifierSettingsForm> bendWindow = DoubleClickRow(0);
    QPointer<TModifierSettingsForm> twistWindow = DoubleClickRow(1);
    ASSERT_TRUE(bendWindow && twistWindow);

    // The twist leaves the stack; its window stays and its edits go nowhere.
    Page->ModifierList()->setCurrentRow(1);
    QTest::mouseClick(Page->findChild<QPushButton*>(QStringLiteral("Del")), Qt::LeftButton);
    ASSERT_EQ(Sphere->GetModifiers().Count(), 1);
    ASSERT_TRUE(twistWindow);
    const TMeshShape before = Drawn();
    Type(twistWindow->findChild<QLineEdit*>(QStringLiteral("Angle")), QStringLiteral("120"));
    EXPECT_TRUE(Drawn() == before);

    // A window that names an object which is gone does nothing either.
    auto* orphan = dynamic_cast<TModifierSettingsForm*>(
        Page->WindowManager().OpenEditor(&Form->Scene(), MakeModifierRef(Sphere->GetId(), 999999)));
    EXPECT_EQ(orphan, nullptr);

    // Deleting the object closes the windows it had.
    const uint32_t sphereId = Sphere->GetId();
    Click("Edit", "Delete selected");
    EXPECT_EQ(Form->Scene().FindNodeById(sphereId), nullptr);
    EXPECT_TRUE(bendWindow.isNull());
    EXPECT_TRUE(twistWindow.isNull());
    EXPECT_EQ(Page->WindowManager().OpenCount(), 0);
    EXPECT_EQ(Page->ModifierList()->count(), 0);
    Sphere = nullptr;
}

TEST_F(ModifierWindowsTest, TheTableWindowHasOneRowPerParameterOfItsType)
{
    struct TRows {
        const char* TypeId;
        QStringList Captions;  // after "Enabled"
    };
    const TRows table[] = {
        {"mirror", {"Axis", "Plane Offset", "Include Original", "Merge Seam", "Merge Threshold"}},
        {"xform",
         {"Translate X", "Translate Y", "Translate Z", "Rotate X", "Rotate Y", "Rotate Z",
          "Scale X", "Scale Y", "Scale Z", "Pivot X", "Pivot Y", "Pivot Z"}},
        {"subdivide", {"Levels"}},
        {"shell", {"Thickness", "Mode", "Cap Openings"}},
        {"slice", {"Axis", "Plane Offset", "Keep Positive", "Keep Negative", "Epsilon"}},
        {"cap_holes", {"Texture ID"}},
        {"normal", {}},
        {"relax", {"Amount", "Iterations", "Preserve Boundary"}},
        {"vertex_weld", {"Threshold", "Average Position", "Average Normals", "Remove Degenerate"}},
        {"animated_noise", {"Strength", "Scale", "Speed"}},
        {"animated_wave",
         {"Amplitude", "Wavelength", "Phase (deg)", "Decay", "Direction (deg)", "Speed (deg/sec)",
          "Axis"}},
        {"pulse_scale", {"Amplitude", "Frequency (Hz)", "Phase (deg)"}},
        {"spin", {"Speed (deg/sec)", "Phase (deg)", "Axis"}},
        {"spherify", {"Amount", "Radius Scale"}},
        {"optimize", {"Minimum Area", "Remove Duplicate Faces", "Remove Unused Vertices"}},
        {"tessellate", {"Triangulate Quads", "Alternate Diagonal"}},
        {"smooth", {"Amount", "Iterations", "Preserve Boundary"}},
    };
    for (const TRows& t : table) {
        SCOPED_TRACE(t.TypeId);
        Page->ClearStackClick();
        AddThroughPage(t.TypeId);
        TModifierSettingsForm* w = DoubleClickRow(0);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->size(), QSize(260, 8 + 28 * (int(t.Captions.size()) + 1) + 12));
        // Each row's control carries its row in its tag; the captions read in order.
        QStringList captions;
        for (int row = 1; row <= t.Captions.size(); ++row) {
            QWidget* control = nullptr;
            for (QWidget* c : w->findChildren<QWidget*>())
                if (c->property("tag").isValid() && c->property("tag").toInt() == row)
                    control = c;
            ASSERT_NE(control, nullptr) << row;
            if (auto* box = qobject_cast<QCheckBox*>(control)) {
                captions << box->text();
                continue;
            }
            for (QLabel* l : w->findChildren<QLabel*>())
                if (l->y() == control->y() + 3)
                    captions << l->text();
        }
        EXPECT_EQ(captions, t.Captions);
        w->close();
    }
}

TEST_F(ModifierWindowsTest, TableWindowEditsFollowTheSettersAndLeavingAnEditUnchangedChangesNothing)
{
    auto* slice = dynamic_cast<TSliceModifier*>(AddThroughPage("slice"));
    ASSERT_NE(slice, nullptr);
    TModifierSettingsForm* w = DoubleClickRow(0);
    ASSERT_NE(w, nullptr);
    auto* epsilon = w->findChild<QLineEdit*>(QStringLiteral("Epsilon"));
    ASSERT_NE(epsilon, nullptr);
    EXPECT_EQ(epsilon->text(), QStringLiteral("0.0000"));
    // Entering and leaving the field as it shows keeps 1e-5 (the rounded text is not
    // written back).
    epsilon->setFocus();
    QTest::keyClick(epsilon, Qt::Key_Return);
    w->findChild<QLineEdit*>(QStringLiteral("Offset"))->setFocus();
    EXPECT_FLOAT_EQ(slice->GetEpsilon(), 0.00001f);

    // Letters in a float row change nothing; the setter clamps what it takes.
    Type(w->findChild<QLineEdit*>(QStringLiteral("Offset")), QStringLiteral("abc"));
    EXPECT_EQ(slice->GetOffset(), 0);
    Type(w->findChild<QLineEdit*>(QStringLiteral("Offset")), QStringLiteral("nan"));
    EXPECT_EQ(slice->GetOffset(), 0);
    auto* axis = w->findChild<QComboBox*>(QStringLiteral("Axis"));
    ASSERT_NE(axis, nullptr);
    axis->setFocus();
    QTest::keyClick(axis, Qt::Key_End);
    EXPECT_EQ(slice->GetAxis(), 2);
    // Clearing "Keep Positive" while "Keep Negative" is clear is refused by the setter.
    ClickBox(w->findChild<QCheckBox*>(QStringLiteral("KeepPositive")));
    EXPECT_TRUE(slice->GetKeepPositive());

    Page->ClearStackClick();
    auto* subdivide = dynamic_cast<TSubdivideModifier*>(AddThroughPage("subdivide"));
    TModifierSettingsForm* s = DoubleClickRow(0);
    ASSERT_NE(s, nullptr);
    auto* levels = s->findChild<QLineEdit*>(QStringLiteral("Levels"));
    Type(levels, QStringLiteral("7"));
    EXPECT_EQ(subdivide->GetLevels(), 5);
    EXPECT_EQ(levels->text(), QStringLiteral("7"));
    Type(levels, QStringLiteral("abc"));
    EXPECT_EQ(subdivide->GetLevels(), 0);
}

TEST_F(ModifierWindowsTest, HandBuiltWindowsRefuseNonNumbersAsTheirFieldsSay)
{
    auto* bend = dynamic_cast<TBendModifier*>(AddThroughPage("bend"));
    auto* twist = dynamic_cast<TTwistModifier*>(AddThroughPage("twist"));
    ASSERT_TRUE(bend && twist);
    twist->SetAngle(30);
    TModifierSettingsForm* b = DoubleClickRow(0);
    TModifierSettingsForm* t = DoubleClickRow(1);
    ASSERT_TRUE(b && t);
    auto* angle = b->findChild<QLineEdit*>(QStringLiteral("AngleDeg"));
    for (const char* bad : {"abc", "inf", "nan", "1e39"}) {
        Type(angle, QString::fromLatin1(bad));
        EXPECT_EQ(bend->GetAngleDeg(), 45) << bad;
    }
    Type(angle, QStringLiteral("5000"));
    EXPECT_EQ(bend->GetAngleDeg(), 3600);
    EXPECT_EQ(angle->text(), QStringLiteral("5000"));
    // The twist's field falls back to 0 on text that does not convert.
    Type(t->findChild<QLineEdit*>(QStringLiteral("Angle")), QStringLiteral("inf"));
    EXPECT_EQ(twist->GetAngle(), 0);

    // Limits show percentages and are enabled only while "Use Limits" is ticked.
    auto* lower = b->findChild<QLineEdit*>(QStringLiteral("LowerLimit"));
    EXPECT_FALSE(lower->isEnabled());
    ClickBox(b->findChild<QCheckBox*>(QStringLiteral("Use Limits")));
    EXPECT_TRUE(lower->isEnabled());
    Type(lower, QStringLiteral("25"));
    EXPECT_FLOAT_EQ(bend->GetLowerLimit(), 0.25f);

    // Array counts apply at each keystroke and stay within 1..100.
    Page->ClearStackClick();
    auto* array = dynamic_cast<TArray2DModifier*>(AddThroughPage("array_2d"));
    TModifierSettingsForm* a = DoubleClickRow(0);
    ASSERT_NE(a, nullptr);
    auto* countX = a->findChild<QLineEdit*>(QStringLiteral("CountX"));
    countX->selectAll();
    QTest::keyClick(countX, Qt::Key_Backspace);
    EXPECT_EQ(array->GetCountX(), 2);
    QTest::keyClicks(countX, QStringLiteral("15"));
    EXPECT_EQ(array->GetCountX(), 15);
    QTest::keyClicks(countX, QStringLiteral("0"));
    EXPECT_EQ(array->GetCountX(), 100);
    // The field keeps what was typed.
    EXPECT_EQ(countX->text(), QStringLiteral("150"));
    // A check box toggled by an assistive tool applies as a click does.
    auto* center = a->findChild<QCheckBox*>(QStringLiteral("Center Array"));
    const bool centered = array->GetCentered();
    AccessibleToggle(center);
    EXPECT_EQ(array->GetCentered(), !centered);
    EXPECT_EQ(center->isChecked(), !centered);
}

TEST_F(ModifierWindowsTest, AnOutputPastTheLimitsShowsTheMessageAndKeepsTheLastGoodMesh)
{
    auto* array = dynamic_cast<TArray2DModifier*>(AddThroughPage("array_2d"));
    ASSERT_NE(array, nullptr);
    TModifierSettingsForm* w = DoubleClickRow(0);
    ASSERT_NE(w, nullptr);
    // 100 x 10 copies of the sphere are within the limits, 100 x 100 are not.
    Type(w->findChild<QLineEdit*>(QStringLiteral("CountX")), QStringLiteral("100"), false);
    auto* countY = w->findChild<QLineEdit*>(QStringLiteral("CountY"));
    Type(countY, QStringLiteral("10"), false);
    const TMeshShape good = Drawn();
    EXPECT_TRUE(Page->MessageLabel()->text().isEmpty());
    QTest::keyClicks(countY, QStringLiteral("0"));
    EXPECT_EQ(array->GetCountX() * array->GetCountY(), 10000);
    EXPECT_TRUE(Page->MessageLabel()->text().startsWith(
        QStringLiteral("Array 2D: output exceeds limits (")))
        << Page->MessageLabel()->text().toStdString();
    EXPECT_TRUE(Drawn() == good);

    // Back within the limits: the message goes and the mesh follows again.
    Type(w->findChild<QLineEdit*>(QStringLiteral("CountY")), QStringLiteral("1"), false);
    EXPECT_TRUE(Page->MessageLabel()->text().isEmpty());
    EXPECT_FALSE(Drawn() == good);

    // Switched off, the refused modifier leaves nothing to report.
    Type(countY, QStringLiteral("100"), false);
    EXPECT_FALSE(Page->MessageLabel()->text().isEmpty());
    ClickBox(w->findChild<QCheckBox*>(QStringLiteral("Enabled")));
    EXPECT_TRUE(Page->MessageLabel()->text().isEmpty());
}

TEST_F(ModifierWindowsTest, ThePopupListsTheCategoriesAndAddsAfterItsOwnClick)
{
    QMenu* menu = Page->AddModifierMenu();
    QTest::mouseClick(Page->findChild<QPushButton*>(QStringLiteral("Add Modifier...")),
                      Qt::LeftButton);
    QStringList categories;
    for (QAction* a : menu->actions())
        categories << a->text();
    EXPECT_EQ(categories, (QStringList{"Deform", "Topology", "UV Edit", "Array",
                                       "Animation Deformers", "Mesh Quality"}));
    QMenu* deform = menu->actions().front()->menu();
    ASSERT_NE(deform, nullptr);
    EXPECT_EQ(deform->actions().size(), 14);
    EXPECT_EQ(deform->actions().front()->text(), QStringLiteral("Twist"));
    deform->actions().front()->trigger();
    menu->close();
    ASSERT_EQ(Sphere->GetModifiers().Count(), 1);
    EXPECT_EQ(Page->ModifierList()->item(0)->text(), QStringLiteral("Twist"));
    // The menu survives its own click and adds again.
    QTest::mouseClick(Page->findChild<QPushButton*>(QStringLiteral("Add Modifier...")),
                      Qt::LeftButton);
    menu->actions().front()->menu()->actions().at(1)->trigger();
    menu->close();
    EXPECT_EQ(Sphere->GetModifiers().Count(), 2);

    // Without a selected object the entries create nothing and the list is empty.
    Form->SelectNode(0);
    EXPECT_EQ(Page->ModifierList()->count(), 0);
    Page->AddModifierMenuClick(0);
    EXPECT_EQ(Sphere->GetModifiers().Count(), 2);
}

TEST_F(ModifierWindowsTest, NewAndOpenCloseEverySettingsWindow)
{
    AddThroughPage("twist");
    AddThroughPage("mirror");
    const uint32_t sphereId = Sphere->GetId();
    QPointer<TModifierSettingsForm> a = DoubleClickRow(0);
    QPointer<TModifierSettingsForm> b = DoubleClickRow(1);
    ASSERT_TRUE(a && b);
    const QString file = Path("stack.qstn");
    FileAnswers = {file.toStdString()};
    Click("File", "Save As...");

    FileAnswers = {file.toStdString()};
    YesNoAnswers = {true};
    Click("File", "Open...");
    EXPECT_TRUE(a.isNull());
    EXPECT_TRUE(b.isNull());
    EXPECT_EQ(Page->WindowManager().OpenCount(), 0);

    // The loaded object carries the same ids; a window opens on it afresh.
    Form->SelectNode(sphereId);
    TSceneObject* loaded = Form->Scene().GetSelectedObject();
    ASSERT_NE(loaded, nullptr);
    Sphere = loaded;
    ASSERT_EQ(Page->ModifierList()->count(), 2);
    QPointer<TModifierSettingsForm> c = DoubleClickRow(0);
    ASSERT_TRUE(c);
    YesNoAnswers = {true};
    Click("File", "New");
    EXPECT_TRUE(c.isNull());
    EXPECT_EQ(Page->ModifierList()->count(), 0);
}

TEST_F(ModifierWindowsTest, TheRegistryServesEveryTypeOnceAndAWrongClassBuildsNothing)
{
    TModifierEditorRegistry& r = ModifierEditorRegistry();
    EXPECT_EQ(r.Count(), 33);
    const std::vector<std::string> ids = r.TypeIds();
    for (int32_t i = 0; i < ModifierDescriptorCount(); ++i)
        EXPECT_EQ(std::count(ids.begin(), ids.end(), GetModifierDescriptor(i).TypeId), 1)
            << GetModifierDescriptor(i).TypeId;
    EXPECT_EQ(ids.front(), "reverse_normals");
    EXPECT_EQ(ids.back(), "smooth");
    try {
        r.RegisterFactory("BEND", nullptr);
        ADD_FAILURE() << "a second bend factory was taken";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Duplicate settings-form factory for TypeId: BEND");
    }
    EXPECT_EQ(r.Count(), 33);

    // The bend window asked for a twist: its caption says so and it has no controls.
    TModifier* twist = AddThroughPage("twist");
    std::unique_ptr<TModifierSettingsForm> w(
        r.CreateEditor("Bend", &Form->Scene(), MakeModifierRef(Sphere->GetId(), twist->GetId())));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle().toStdString(), Sphere->Name + " - Twist (not found)");
    EXPECT_TRUE(w->findChildren<QWidget*>().isEmpty());
    std::unique_ptr<TModifierSettingsForm> gone(
        r.CreateEditor("twist", &Form->Scene(), MakeModifierRef(Sphere->GetId(), 999999)));
    EXPECT_EQ(gone->windowTitle(), QStringLiteral("Modifier Settings (not found)"));
}

TEST_F(ModifierWindowsTest, NumbersAreShownAndReadInTheUsersLocale)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    auto* bend = dynamic_cast<TBendModifier*>(AddThroughPage("bend"));
    auto* mirror = dynamic_cast<TMirrorModifier*>(AddThroughPage("mirror"));
    ASSERT_TRUE(bend && mirror);
    TModifierSettingsForm* b = DoubleClickRow(0);
    TModifierSettingsForm* m = DoubleClickRow(1);
    ASSERT_TRUE(b && m);
    auto* angle = b->findChild<QLineEdit*>(QStringLiteral("AngleDeg"));
    EXPECT_EQ(angle->text(), QStringLiteral("45,00"));
    Type(angle, QStringLiteral("12,5"));
    EXPECT_EQ(bend->GetAngleDeg(), 12.5f);
    auto* threshold = m->findChild<QLineEdit*>(QStringLiteral("MergeThreshold"));
    EXPECT_EQ(threshold->text(), QStringLiteral("0,0001"));
    Type(threshold, QStringLiteral("0,25"));
    EXPECT_EQ(mirror->GetMergeThreshold(), 0.25f);
}

// Large values in every number format of the settings windows: plain fixed-point text with
// the locale's decimal separator and no thousands groups, so that the text reads back as the
// value. Each value is typed, then the window is opened anew to show what was stored.
TEST_F(ModifierWindowsTest, NumbersShowNoThousandsGroupsInAnyLocale)
{
    struct TCase {
        const char* TypeId;
        const char* Control;
        const char* Typed;  // with "."
        const char* Shown;  // with "."
    };
    const TCase cases[] = {
        {"bend", "AngleDeg", "3600", "3600.00"},             // 2 decimals
        {"noise", "Strength", "1234.5", "1234.500"},         // 3 decimals
        {"animated_uv", "Offset", "-1500.25", "-1500.250"},  // 3 decimals
        {"inflate", "Width", "2500", "2500.0000"},           // 4 decimals
        {"xform", "TranslationX", "12345.5", "12345.5000"},  // the table window
        {"array_2d", "OffsetX", "1234.5", "1234.5"},         // the "0.##" picture
    };
    const QLocale locales[] = {QLocale::c(), QLocale(QLocale::German, QLocale::Germany)};
    for (const QLocale& locale : locales) {
        QLocale::setDefault(locale);
        const QChar point = locale.decimalPoint().at(0);
        for (const TCase& c : cases) {
            SCOPED_TRACE(std::string(c.TypeId) + " " + locale.name().toStdString());
            Page->ClearStackClick();
            ASSERT_NE(AddThroughPage(c.TypeId), nullptr);
            TModifierSettingsForm* w = DoubleClickRow(0);
            ASSERT_NE(w, nullptr);
            auto* edit = w->findChild<QLineEdit*>(QString::fromLatin1(c.Control));
            ASSERT_NE(edit, nullptr);
            Type(edit, QString::fromLatin1(c.Typed).replace(QLatin1Char('.'), point));
            w->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            w = DoubleClickRow(0);
            ASSERT_NE(w, nullptr);
            edit = w->findChild<QLineEdit*>(QString::fromLatin1(c.Control));
            ASSERT_NE(edit, nullptr);
            EXPECT_EQ(edit->text(), QString::fromLatin1(c.Shown).replace(QLatin1Char('.'), point));
            w->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
}
