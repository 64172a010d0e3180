// The recent paint colours are the scene's palette: saved with the scene, taken back from
// an opened scene, and left as they are by File > New.
#include "editor/uPaintPage.h"
#include "main_form_test_support.h"
#include "scene/uScene.h"

namespace {

using PaintPaletteTest = MainFormFixture;

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
    Form->PanelTabs()->setCurrentWidget(&page);
    QTest::mouseClick(swatch, Qt::LeftButton);
    EXPECT_TRUE(Same(page.CurrentColor(), Vec3(1, 0, 0)));
    // An unused one does nothing.
    QTest::mouseClick(Form->findChild<QWidget*>(QStringLiteral("RecentSwatch5")), Qt::LeftButton);
    EXPECT_TRUE(Same(page.CurrentColor(), Vec3(1, 0, 0)));
}

}  // namespace
