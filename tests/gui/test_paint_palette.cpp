// The recent paint colours are the scene's palette: saved with the scene, taken back from
// an opened scene, and left as they are by File > New. The colour fields as a user types
// into them and leaves them.
#include "editor/uPaintPage.h"
#include "main_form_test_support.h"
#include "scene/uScene.h"

#include <QLineEdit>
#include <QTabWidget>

namespace {

class PaintPaletteTest : public MainFormFixture {
protected:
    // Modelling on a new cube, with the Paint page shown in the active window.
    void ShowPaintPage()
    {
        Click("Create", "Cube");
        QTest::keyClick(Form->GLView(), Qt::Key_F5);
        ASSERT_TRUE(Form->Selection().ModelingOn);
        Form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
        Form->PanelTabs()->setCurrentWidget(&Form->PaintPage());
        ASSERT_TRUE(Form->PaintPage().isVisible());
    }
    QLineEdit* Field(const char* Name) const
    {
        auto* e = Form->findChild<QLineEdit*>(QString::fromLatin1(Name));
        EXPECT_NE(e, nullptr) << Name;
        return e;
    }
};

bool Same(const TVec3& a, const TVec3& b)
{
    return a.X == b.X && a.Y == b.Y && a.Z == b.Z;
}

TEST_F(PaintPaletteTest, RecentColoursTravelWithTheSceneFile)
{
    TPaintPage& page = Form->PaintPage();
    page.AddRecentColor(Vec3(1, 0, 0));
    page.AddRecentColor(Vec3(0, 0.5f, 1));
    ASSERT_EQ(Form->Scene().PaletteCount, 2);
    const QString file = Path("palette.qstn");
    FileAnswers = {file.toStdString()};
    Click("File", "Save As...");

    YesNoAnswers = {true};
    Click("File", "New");
    // New leaves the recent colours as they are.
    EXPECT_EQ(Form->Selection().RecentColorCount, 2);
    page.AddRecentColor(Vec3(0, 1, 0));
    EXPECT_EQ(Form->Selection().RecentColorCount, 3);

    FileAnswers = {file.toStdString()};
    YesNoAnswers = {true};
    Click("File", "Open...");
    ASSERT_EQ(Form->Selection().RecentColorCount, 2);
    EXPECT_TRUE(Same(Form->Selection().RecentColors[0], Vec3(0, 0.5f, 1)));
    EXPECT_TRUE(Same(Form->Selection().RecentColors[1], Vec3(1, 0, 0)));
    // A press on a used swatch takes its colour.
    QWidget* swatch = Form->findChild<QWidget*>(QStringLiteral("RecentSwatch1"));
    ASSERT_NE(swatch, nullptr);
    ShowPaintPage();
    QTest::mouseClick(swatch, Qt::LeftButton);
    EXPECT_TRUE(Same(page.CurrentColor(), Vec3(1, 0, 0)));
    // An unused one does nothing.
    QTest::mouseClick(Form->findChild<QWidget*>(QStringLiteral("RecentSwatch5")), Qt::LeftButton);
    EXPECT_TRUE(Same(page.CurrentColor(), Vec3(1, 0, 0)));
}

// Typing applies at each keystroke and keeps the typed text; once the user leaves the field
// (Tab) or confirms it (Enter), the field shows the colour in effect in the page's form.
TEST_F(PaintPaletteTest, ALeftColourFieldShowsTheColourInEffect)
{
    ShowPaintPage();
    const TPaintPage& page = Form->PaintPage();
    ASSERT_TRUE(Same(page.CurrentColor(), Vec3(1, 0, 0)));
    // A channel typed reads the other two as their fields show them.
    const float g = 128.0f / 255.0f, shown = 0.502f;
    const struct {
        const char* Field;
        const char* Typed;
        Qt::Key Leave;
        TVec3 Colour;
        const char* Rgb[3];
        const char* Hex;
    } cases[] = {
        {"PaintChannelG",
         "0.25",
         Qt::Key_Tab,
         {1, 0.25f, 0},
         {"1.000", "0.250", "0.000"},
         "#ff4000"},
        // Text that is no number keeps the channel.
        {"PaintChannelR",
         "abc",
         Qt::Key_Tab,
         {1, 0.25f, 0},
         {"1.000", "0.250", "0.000"},
         "#ff4000"},
        {"PaintHex", "#008000", Qt::Key_Return, {0, g, 0}, {"0.000", "0.502", "0.000"}, "#008000"},
        {"PaintHex", "#zz8000", Qt::Key_Tab, {0, g, 0}, {"0.000", "0.502", "0.000"}, "#008000"},
        {"PaintChannelB",
         "0.5",
         Qt::Key_Return,
         {0, shown, 0.5f},
         {"0.000", "0.502", "0.500"},
         "#008080"},
        // Clamped; Enter of the keypad as well.
        {"PaintChannelB",
         "7",
         Qt::Key_Enter,
         {0, shown, 1},
         {"0.000", "0.502", "1.000"},
         "#0080ff"},
        {"PaintHex", "#FF0080", Qt::Key_Tab, {1, 0, g}, {"1.000", "0.000", "0.502"}, "#ff0080"},
        {"PaintChannelR",
         "0.1234",
         Qt::Key_Tab,
         {0.1234f, 0, shown},
         {"0.123", "0.000", "0.502"},
         "#1f0080"},
        {"PaintChannelG",
         "",
         Qt::Key_Tab,
         {0.123f, 0, shown},
         {"0.123", "0.000", "0.502"},
         "#1f0080"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Field) + " " + c.Typed);
        QLineEdit* field = Field(c.Field);
        field->setFocus();
        ASSERT_TRUE(field->hasFocus());
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Delete);
        QTest::keyClicks(field, QString::fromLatin1(c.Typed));
        EXPECT_EQ(field->text(), QString::fromLatin1(c.Typed));  // kept while typing
        QTest::keyClick(field, c.Leave);
        EXPECT_EQ(field->hasFocus(), c.Leave != Qt::Key_Tab);
        const TVec3 now = page.CurrentColor();
        EXPECT_TRUE(Same(now, c.Colour)) << now.X << " " << now.Y << " " << now.Z;
        const char* names[3] = {"PaintChannelR", "PaintChannelG", "PaintChannelB"};
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(Field(names[i])->text(), QString::fromLatin1(c.Rgb[i])) << names[i];
        EXPECT_EQ(Field("PaintHex")->text(), QString::fromLatin1(c.Hex));
    }
}

}  // namespace
