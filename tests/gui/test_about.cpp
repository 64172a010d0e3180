// The about window: its fixed layout, the two pictures built into the program, and a
// picture that cannot be read leaving only itself empty.
#include "editor/uAbout.h"

#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Points the window at other picture files for one test.
struct TPicturePaths {
    TPicturePaths(const char* About, const char* Logo)
        : OldAbout(AboutPicturePath), OldLogo(LogoPicturePath)
    {
        AboutPicturePath = About;
        LogoPicturePath = Logo;
    }
    ~TPicturePaths()
    {
        AboutPicturePath = OldAbout;
        LogoPicturePath = OldLogo;
    }
    const char* OldAbout;
    const char* OldLogo;
};

}  // namespace

TEST(AboutWindowTest, ShowsBothPicturesTheVersionAndTheCredit)
{
    TAboutForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.windowTitle(), "About Quillstone");
    EXPECT_EQ(form.size(), QSize(360, 400));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());  // not resizable

    EXPECT_EQ(form.AboutPicture->geometry(), QRect(16, 16, 328, 168));
    EXPECT_EQ(form.LogoPicture->geometry(), QRect(80, 200, 200, 40));
    EXPECT_EQ(form.VersionLabel->text(), "Version 0.1.62");
    EXPECT_EQ(form.VersionLabel->geometry().top(), 256);
    EXPECT_EQ(form.CreditLabel->geometry().top(), 278);
    EXPECT_FALSE(form.CreditLabel->text().isEmpty());
    EXPECT_EQ(form.CreditLabel->palette().color(QPalette::WindowText), QColor(0x80, 0x80, 0x80));
    EXPECT_EQ(form.CloseButton->width(), 80);
    EXPECT_EQ(form.CloseButton->geometry().left(), 140);
    EXPECT_EQ(form.CloseButton->geometry().bottom() + 1, 400 - 16);

    // Both pictures fit their places with their proportions.
    const QPixmap about = form.AboutPicture->pixmap();
    const QPixmap logo = form.LogoPicture->pixmap();
    ASSERT_FALSE(about.isNull());
    ASSERT_FALSE(logo.isNull());
    EXPECT_TRUE(about.width() == 328 || about.height() == 168);
    EXPECT_LE(about.width(), 328);
    EXPECT_LE(about.height(), 168);
    EXPECT_TRUE(logo.width() == 200 || logo.height() == 40);
    EXPECT_LE(logo.width(), 200);

    // Centred on the screen.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(std::abs(form.geometry().center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(form.geometry().center().y() - screen.center().y()), 1);

    QTest::mouseClick(form.CloseButton, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

TEST(AboutWindowTest, PicturesAreAJpegAndAPngInsideTheProgram)
{
    TAboutForm form;  // registers the pictures
    QFile jpeg(QString::fromLatin1(AboutPicturePath));
    QFile png(QString::fromLatin1(LogoPicturePath));
    ASSERT_TRUE(jpeg.open(QIODevice::ReadOnly));
    ASSERT_TRUE(png.open(QIODevice::ReadOnly));
    EXPECT_TRUE(jpeg.fileName().startsWith(':'));
    EXPECT_TRUE(jpeg.read(3) == QByteArray("\xFF\xD8\xFF", 3));
    EXPECT_TRUE(png.read(8) == QByteArray("\x89PNG\r\n\x1A\n", 8));
}

TEST(AboutWindowTest, APictureThatCannotBeReadLeavesOnlyItselfEmpty)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile damaged(dir.filePath("damaged.jpg"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    const QByteArray junk = QByteArray("\xFF\xD8\xFF\xE0", 4) + QByteArray("not really a picture");
    damaged.write(junk);
    damaged.close();
    const std::string damagedPath = damaged.fileName().toStdString();
    const std::string missingPath = dir.filePath("missing.png").toStdString();

    struct TCase {
        const char* About;
        const char* Logo;
        bool AboutShown;
        bool LogoShown;
    };
    const TCase cases[] = {
        {damagedPath.c_str(), LogoPicturePath, false, true},
        {AboutPicturePath, missingPath.c_str(), true, false},
        {missingPath.c_str(), damagedPath.c_str(), false, false},
    };
    for (const TCase& c : cases) {
        TPicturePaths paths(c.About, c.Logo);
        TAboutForm form;
        EXPECT_EQ(!form.AboutPicture->pixmap().isNull(), c.AboutShown) << c.About;
        EXPECT_EQ(!form.LogoPicture->pixmap().isNull(), c.LogoShown) << c.Logo;
        EXPECT_EQ(form.VersionLabel->text(), "Version 0.1.62");
        EXPECT_FALSE(form.CreditLabel->text().isEmpty());
    }
}
