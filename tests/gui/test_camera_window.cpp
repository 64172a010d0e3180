// The camera window's spin edits typed into as a user does: the exposure edit, its track bar
// and the stored lens agree, also for more decimals than the edit shows by default.
#include "document/uProjectDocument.h"
#include "editor/windows/uCameraWindow.h"
#include "main_form_test_support.h"
#include "scene/uCinematicEnvironment.h"

#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QLocale>
#include <QSlider>

namespace {

class CameraWindowTest : public MainFormFixture {
protected:
    void SetUp() override
    {
        MainFormFixture::SetUp();
        Click("View", "Camera...");
        Cam = qobject_cast<TCameraForm*>(Form->ToolWindows().Find("camera"));
        ASSERT_NE(Cam, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Cam));
    }
    void TearDown() override
    {
        QLocale::setDefault(QLocale::system());
        MainFormFixture::TearDown();
    }
    static void Type(QDoubleSpinBox* Edit, const QString& Text)
    {
        Edit->setFocus();
        Edit->selectAll();
        QTest::keyClicks(Edit, Text);
        QTest::keyClick(Edit, Qt::Key_Return);
    }
    TCinematicEnvironment& Env() { return Form->Document().GetEnvironment(); }
    TCameraForm* Cam = nullptr;
};

}  // namespace

TEST_F(CameraWindowTest, TypedExposureKeepsItsDecimalsInTheEditTheBarAndTheLens)
{
    struct TCase {
        const char* Typed;  // with "."
        float Exposure;
        int Bar;
        const char* Shown;  // with "."
    };
    const TCase cases[] = {
        {"1.234", 1.234f, 123, "1.234"},
        {"-0.5", -0.5f, -50, "-0.50"},
        {"1.5", 1.5f, 150, "1.50"},
        {"0.125", 0.125f, 12, "0.125"},  // 12.5 rounds to the even 12
    };
    for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::German, QLocale::Germany)}) {
        QLocale::setDefault(locale);
        Cam->ExposureEdit->setLocale(locale);
        const QChar point = locale.decimalPoint().at(0);
        for (const TCase& c : cases) {
            SCOPED_TRACE(std::string(c.Typed) + " " + locale.name().toStdString());
            Type(Cam->ExposureEdit, QString::fromLatin1(c.Typed).replace(QLatin1Char('.'), point));
            EXPECT_EQ(Env().Exposure, c.Exposure);
            EXPECT_EQ(Cam->ExposureBar->value(), c.Bar);
            EXPECT_EQ(Cam->ExposureEdit->text(),
                      QString::fromLatin1(c.Shown).replace(QLatin1Char('.'), point));
            // Leaving the edit keeps the value it shows.
            Cam->FovEdit->setFocus();
            EXPECT_EQ(Env().Exposure, c.Exposure);
        }
    }
    // The bar sets the lens; the edit shows the stored value with its two decimals.
    Cam->ExposureBar->setValue(-175);
    EXPECT_EQ(Env().Exposure, -1.75f);
    EXPECT_EQ(Cam->ExposureEdit->text(), QStringLiteral("-1,75"));
}

TEST_F(CameraWindowTest, TypedPositionsShowNoThousandsGroups)
{
    QLocale::setDefault(QLocale::c());
    Cam->XEdit->setLocale(QLocale::c());
    Type(Cam->XEdit, QStringLiteral("-2500"));
    EXPECT_EQ(Form->Camera().Position.X, -2500.0f);
    EXPECT_EQ(Cam->XEdit->text(), QStringLiteral("-2500.00"));
    Type(Cam->PitchEdit, QStringLiteral("90"));
    EXPECT_EQ(Form->Camera().Pitch, 89.0f);
    EXPECT_EQ(Cam->PitchEdit->text(), QStringLiteral("89.0"));
}

// The camera fields keep what is being typed, and once left by Tab or Enter show the value in
// effect in their own form: the pitch as the camera clamps it.
TEST_F(CameraWindowTest, ALeftCameraFieldShowsTheValueInEffect)
{
    QLocale::setDefault(QLocale::c());
    Cam->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Cam));
    const struct {
        QDoubleSpinBox* Edit;
        const char* Typed;
        Qt::Key Leave;
        const char* Shown;
        float Pitch;
    } cases[] = {
        {Cam->PitchEdit, "-12", Qt::Key_Tab, "-12.0", -12.0f},
        {Cam->PitchEdit, "-89.5", Qt::Key_Return, "-89.0", -89.0f},
        {Cam->PitchEdit, "30.", Qt::Key_Enter, "30.0", 30.0f},
        {Cam->PitchEdit, "-", Qt::Key_Tab, "30.0", 30.0f},  // no number: the pitch stays
        {Cam->YawEdit, "7", Qt::Key_Tab, "7.0", 30.0f},
        {Cam->XEdit, "1.5", Qt::Key_Return, "1.50", 30.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Edit->objectName().toStdString() + " " + c.Typed);
        c.Edit->setLocale(QLocale::c());
        c.Edit->setFocus();
        ASSERT_TRUE(c.Edit->hasFocus());
        c.Edit->selectAll();
        QTest::keyClicks(c.Edit, QString::fromLatin1(c.Typed));
        QTest::keyClick(c.Edit, c.Leave);
        EXPECT_EQ(c.Edit->hasFocus(), c.Leave != Qt::Key_Tab);
        EXPECT_EQ(c.Edit->text(), QString::fromLatin1(c.Shown));
        EXPECT_EQ(Form->Camera().Pitch, c.Pitch);
    }
}
