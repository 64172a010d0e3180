// The texture ripper window driven as a user does: a photograph made here shows a known
// pattern under a known perspective; the corners are dragged onto it with the mouse and
// the saved PNG must give the pattern back.
#include "main_form_test_support.h"

#include "editor/uTexturesWindow.h"
#include "image/uTextureRipperImage.h"
#include "ripper/uTextureRipperWarp.h"
#include "ripper/ui/uRipperPreviewView.h"
#include "ripper/ui/uRipperSourceView.h"
#include "ripper/ui/uTextureRipperForm.h"
#include "scene/uTextures.h"

#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

#include <array>
#include <cmath>
#include <fstream>

namespace {

constexpr int kOut = 64;  // the window's default output size
constexpr int kCell = 8;  // pattern cells, in output pixels
constexpr int kPhotoW = 400;
constexpr int kPhotoH = 300;
const TRipperQuad kTarget = {MakeRipperPoint(60, 40), MakeRipperPoint(330, 70),
                             MakeRipperPoint(350, 250), MakeRipperPoint(30, 280)};

TRgbaPixel PatternCell(int cx, int cy)
{
    return MakeRgbaPixel(cx * 32 + 16, cy * 32 + 16, ((cx + cy) % 8) * 32, 255);
}

// The inverse of the 3 x 3 matrix of an eight-term homography (h8 = 1).
std::array<double, 9> Inverse(const double* h)
{
    const double a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], k = h[7];
    const double i = 1.0;
    const double det = a * (e * i - f * k) - b * (d * i - f * g) + c * (d * k - e * g);
    return {(e * i - f * k) / det, (c * k - b * i) / det, (b * f - c * e) / det,
            (f * g - d * i) / det, (a * i - c * g) / det, (c * d - a * f) / det,
            (d * k - e * g) / det, (b * g - a * k) / det, (a * e - b * d) / det};
}

// A photograph of the 8 x 8 cell pattern seen in perspective inside kTarget, on grey.
TRgbaImage Photograph()
{
    double h[8];
    EXPECT_TRUE(SolveQuadHomography(kTarget, kOut, h));
    const std::array<double, 9> m = Inverse(h);
    TRgbaImage photo(kPhotoW, kPhotoH);
    for (int y = 0; y < kPhotoH; ++y)
        for (int x = 0; x < kPhotoW; ++x) {
            const double w = m[6] * x + m[7] * y + m[8];
            const double u = (m[0] * x + m[1] * y + m[2]) / w;
            const double v = (m[3] * x + m[4] * y + m[5]) / w;
            const int cx = int(std::floor((u + 0.5) / kCell));
            const int cy = int(std::floor((v + 0.5) / kCell));
            const bool inside = cx >= 0 && cx < kOut / kCell && cy >= 0 && cy < kOut / kCell;
            photo.SetPixel(x, y, inside ? PatternCell(cx, cy) : MakeRgbaPixel(90, 90, 90, 255));
        }
    return photo;
}

class TextureRipperTest : public MainFormFixture {
protected:
    void SetUp() override
    {
        MainFormFixture::SetUp();
        std::string message;
        const TRgbaImage photo = Photograph();
        ASSERT_TRUE(TRgbaImage::SaveToPngFile(&photo, Path("photo.png").toStdString(), message))
            << message;
    }

    TTextureRipperForm* OpenRipper()
    {
        Click("Tools", "Texture Ripper...");
        auto* form = Form->findChild<TTextureRipperForm*>("TextureRipperForm");
        EXPECT_NE(form, nullptr);
        if (form)
            EXPECT_TRUE(QTest::qWaitForWindowExposed(form));
        return form;
    }
    template <class T>
    T* Child(QWidget* Window, const char* Name)
    {
        T* w = Window->findChild<T*>(QString::fromLatin1(Name));
        EXPECT_NE(w, nullptr) << Name;
        return w;
    }
    void Press(QWidget* Window, const char* Button)
    {
        QTest::mouseClick(Child<QPushButton>(Window, Button), Qt::LeftButton);
    }
    void OpenPhoto(QWidget* Window, const QString& File)
    {
        FileAnswers.push_back(File.toStdString());
        Press(Window, "OpenImageButton");
    }
    void SaveProjectAs(const char* Name)
    {
        FileAnswers.push_back(Path(Name).toStdString());
        Click("File", "Save As...");
    }
    // Drags corner i of the quad to Target in source pixels, at actual pixels.
    void DragCorner(TTextureRipperForm* Ripper, int i, const TRipperPoint& Target)
    {
        QWidget* view = Child<TRipperSourceView>(Ripper, "RipperSourceView");
        TTextureRipperController& c = Ripper->Controller();
        const TRipperPoint from = c.Session().GetPoint(i);
        const TRipperScreenPoint s = c.ImageToScreen(from);
        const QPoint start(s.X, s.Y);
        const QPoint end = start + QPoint(int(Target.X - from.X), int(Target.Y - from.Y));
        QTest::mousePress(view, Qt::LeftButton, {}, start);
        QMouseEvent move(QEvent::MouseMove, QPointF(end), view->mapToGlobal(QPointF(end)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view, &move);
        QTest::mouseRelease(view, Qt::LeftButton, {}, end);
    }
    QString Status(QWidget* Window) { return Child<QLabel>(Window, "StatusLabel")->text(); }
    QString Target(QWidget* Window) { return Child<QLabel>(Window, "TargetLabel")->text(); }
    bool SaveEnabled(QWidget* Window)
    {
        return Child<QPushButton>(Window, "SaveImportButton")->isEnabled();
    }
};

TEST_F(TextureRipperTest, CornersDraggedOntoAPhotographSaveThePatternAndImportIt)
{
    TTextureRipperForm* ripper = OpenRipper();
    ASSERT_NE(ripper, nullptr);
    EXPECT_EQ(ripper->windowTitle(), "Texture Ripper");
    EXPECT_EQ(Status(ripper), "Load an image to begin.");

    OpenPhoto(ripper, Path("photo.png"));
    ASSERT_FALSE(Calls.empty());
    EXPECT_EQ(Calls.back().Kind, "open");
    EXPECT_EQ(Calls.back().Caption, "Open Source Image");
    EXPECT_EQ(Calls.back().Text, "Images|*.png;*.jpg;*.jpeg;*.bmp|All files|*.*");
    EXPECT_EQ(Status(ripper), "Loaded: photo.png");
    EXPECT_FALSE(ripper->StatusIsError());
    Press(ripper, "ActualPixelsButton");
    ASSERT_EQ(ripper->Controller().Zoom(), 1.0);
    for (int i = 0; i < 4; ++i)
        DragCorner(ripper, i, kTarget[size_t(i)]);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(ripper->Controller().Session().GetPoint(i).X, kTarget[size_t(i)].X) << i;
        EXPECT_EQ(ripper->Controller().Session().GetPoint(i).Y, kTarget[size_t(i)].Y) << i;
    }
    // The preview follows the release at the output size.
    const QImage preview = Child<TRipperPreviewView>(ripper, "RipperPreviewView")->Bitmap();
    EXPECT_EQ(preview.size(), QSize(kOut, kOut));

    // A project never saved has nowhere to put the texture.
    EXPECT_EQ(Target(ripper), "No saved project. Save the project before importing.");
    EXPECT_FALSE(SaveEnabled(ripper));

    // Saving the project elsewhere in the editor gives the window its target.
    SaveProjectAs("scene.qstn");
    QTRY_COMPARE(Target(ripper), QStringLiteral("textures/texture.png"));
    ASSERT_TRUE(SaveEnabled(ripper));
    Press(ripper, "SaveImportButton");
    EXPECT_EQ(Status(ripper), "Imported: textures/texture.png");
    EXPECT_FALSE(ripper->StatusIsError());

    // The written PNG holds the pattern: every pixel away from a cell border exactly.
    std::string message;
    const auto saved = LoadRgbaImageFromFile(Path("textures/texture.png").toStdString(), message);
    ASSERT_NE(saved, nullptr) << message;
    ASSERT_EQ(saved->Width(), kOut);
    ASSERT_EQ(saved->Height(), kOut);
    int checked = 0;
    for (int v = 0; v < kOut; ++v)
        for (int u = 0; u < kOut; ++u) {
            if (u % kCell == 0 || u % kCell == kCell - 1 || v % kCell == 0 ||
                v % kCell == kCell - 1)
                continue;
            ASSERT_EQ(saved->GetPixel(u, v), PatternCell(u / kCell, v / kCell))
                << "at " << u << ", " << v;
            ++checked;
        }
    EXPECT_EQ(checked, 64 * 36);

    // Imported into the registry; the project counts as changed.
    TTextureManager& textures = Form->Textures();
    ASSERT_EQ(textures.Count(), 1);
    EXPECT_EQ(textures.GetTexture(0).Name, "texture.png");
    EXPECT_EQ(textures.GetTexture(0).Width, kOut);
    EXPECT_TRUE(Form->Document().IsModified());

    // The same name again: a counter, the first file untouched, nothing temporary left.
    // An open textures window lists the new texture and selects it.
    Click("View", "Textures...");
    auto* list = Form->findChild<TTexturesForm*>("TexturesForm");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->CellCount(), 1);
    Press(ripper, "SaveImportButton");
    EXPECT_EQ(Status(ripper), "Imported: textures/texture_001.png");
    EXPECT_EQ(textures.Count(), 2);
    EXPECT_EQ(list->CellCount(), 2);
    EXPECT_EQ(list->SelectedIndex(), 1);
    EXPECT_EQ(QDir(Path("textures")).entryList(QDir::Files),
              QStringList({"texture.png", "texture_001.png"}));
}

// A project saved in a folder whose name holds a line break: the texture's path could not be
// kept in the scene file, so nothing is written or imported and the window says why.
TEST_F(TextureRipperTest, AProjectInAFolderWithALineBreakGetsNoTexture)
{
    TTextureRipperForm* ripper = OpenRipper();
    ASSERT_NE(ripper, nullptr);
    OpenPhoto(ripper, Path("photo.png"));
    ASSERT_TRUE(QDir(Folder.path()).mkdir(QStringLiteral("two\nlines")));
    SaveProjectAs("two\nlines/scene.qstn");
    QTRY_COMPARE(Target(ripper), QStringLiteral("textures/texture.png"));
    Press(ripper, "SaveImportButton");
    EXPECT_EQ(Status(ripper).toStdString(),
              "Cannot import \"" + Path("two<LF>lines/textures").toStdString() +
                  "\": a texture's path is kept on one line of the scene file, so it cannot "
                  "hold a line break.");
    EXPECT_TRUE(ripper->StatusIsError());
    EXPECT_EQ(Form->Textures().Count(), 0);
    EXPECT_FALSE(QDir(Path("two\nlines/textures")).exists());
}

TEST_F(TextureRipperTest, KeysTypedIntoTheNameReachIt)
{
    TTextureRipperForm* ripper = OpenRipper();
    ASSERT_NE(ripper, nullptr);
    SaveProjectAs("scene.qstn");
    OpenPhoto(ripper, Path("photo.png"));
    // Corner 1 selected by a click on it.
    QWidget* view = Child<TRipperSourceView>(ripper, "RipperSourceView");
    const TRipperScreenPoint c1 =
        ripper->Controller().ImageToScreen(ripper->Controller().Session().GetPoint(1));
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(c1.X, c1.Y));
    ASSERT_EQ(ripper->Controller().SelectedCorner(), 1);
    const TRipperPoint before = ripper->Controller().Session().GetPoint(1);

    auto* name = Child<QLineEdit>(ripper, "TextureNameEdit");
    name->setFocus();
    name->selectAll();
    QTest::keyClicks(name, "My Brick");
    QTest::keyClick(name, Qt::Key_Left);
    QTest::keyClick(name, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(name->text(), "My Brick");
    EXPECT_EQ(name->selectedText(), "c");
    EXPECT_FALSE(ripper->PanMode());
    EXPECT_EQ(ripper->Controller().Session().GetPoint(1).X, before.X);
    QTRY_COMPARE(Target(ripper), QStringLiteral("textures/My_Brick.png"));

    // In the source view the same keys nudge the selected corner.
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Left);
    EXPECT_EQ(ripper->Controller().Session().GetPoint(1).X, before.X - 1);
    QTest::keyClick(view, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(ripper->Controller().Session().GetPoint(1).Y, before.Y + 10);
    QTest::keyPress(view, Qt::Key_Space);
    EXPECT_TRUE(ripper->PanMode());
    QTest::keyRelease(view, Qt::Key_Space);
    EXPECT_FALSE(ripper->PanMode());

    // Enter in the name field saves, as the window's default button.
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_EQ(Status(ripper), "Imported: textures/My_Brick.png");
}

TEST_F(TextureRipperTest, UnreadablePhotographsAreRefusedAndTheOldOneKept)
{
    TTextureRipperForm* ripper = OpenRipper();
    ASSERT_NE(ripper, nullptr);
    OpenPhoto(ripper, Path("photo.png"));
    const TRipperPoint kept = ripper->Controller().Session().GetPoint(2);

    // A PNG cut off after its first bytes.
    std::ifstream in(Path("photo.png").toStdString(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(Path("broken.png").toStdString(), std::ios::binary) << bytes.substr(0, 100);
    OpenPhoto(ripper, Path("broken.png"));
    EXPECT_TRUE(Status(ripper).startsWith("The image could not be decoded: "))
        << Status(ripper).toStdString();
    EXPECT_TRUE(ripper->StatusIsError());
    EXPECT_EQ(ripper->Controller().Session().Source()->Width(), kPhotoW);
    EXPECT_EQ(ripper->Controller().Session().GetPoint(2).X, kept.X);

    // Dropped files: only the first counts; an unsupported one is refused.
    std::ofstream(Path("photo.gif").toStdString()) << "GIF89a";
    const auto drop = [&](QStringList files) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& f : files)
            urls << QUrl::fromLocalFile(f);
        data.setUrls(urls);
        const QPoint at(200, 200);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(ripper, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(ripper, &dropped);
    };
    drop({Path("photo.gif"), Path("photo.png")});
    EXPECT_EQ(Status(ripper), "The selected file is not a supported PNG, JPEG, or BMP image.");
    EXPECT_TRUE(ripper->StatusIsError());
    EXPECT_EQ(ripper->Controller().Session().Source()->Width(), kPhotoW);
    drop({Path("photo.png"), Path("photo.gif")});
    EXPECT_EQ(Status(ripper), "Loaded: photo.png");
}

TEST_F(TextureRipperTest, AnInvalidSelectionIsReportedUntilItIsMended)
{
    TTextureRipperForm* ripper = OpenRipper();
    ASSERT_NE(ripper, nullptr);
    SaveProjectAs("scene.qstn");
    OpenPhoto(ripper, Path("photo.png"));
    Press(ripper, "ActualPixelsButton");
    QTRY_VERIFY(SaveEnabled(ripper));
    // Corner 1 dragged beyond corner 3: a selection that folds over itself.
    DragCorner(ripper, 1, MakeRipperPoint(20, 290));
    EXPECT_TRUE(ripper->StatusIsError());
    EXPECT_TRUE(Status(ripper).startsWith("Selection is")) << Status(ripper).toStdString();
    EXPECT_FALSE(SaveEnabled(ripper));
    DragCorner(ripper, 1, MakeRipperPoint(359, 30));
    EXPECT_FALSE(ripper->StatusIsError());
    EXPECT_EQ(Status(ripper), "Loaded: photo.png");
    EXPECT_TRUE(SaveEnabled(ripper));
}

TEST_F(TextureRipperTest, ZoomAndPanWithMouseAndKeys)
{
    TTextureRipperForm* ripper = OpenRipper();
    ASSERT_NE(ripper, nullptr);
    OpenPhoto(ripper, Path("photo.png"));
    TTextureRipperController& c = ripper->Controller();
    QWidget* view = Child<TRipperSourceView>(ripper, "RipperSourceView");
    EXPECT_EQ(c.ViewWidth(), view->width());
    const double fitted = c.Zoom();

    const QPointF at(100, 120);
    QWheelEvent wheel(at, view->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &wheel);
    EXPECT_FLOAT_EQ(float(c.Zoom()), float(fitted * 1.25));
    const TRipperPoint under = c.ScreenToImage(100, 120);

    // A middle-button drag pans; so does a left drag with Space held.
    QTest::mousePress(view, Qt::MiddleButton, {}, QPoint(100, 120));
    QTest::mouseRelease(view, Qt::MiddleButton, {}, QPoint(130, 100));
    EXPECT_NEAR(c.ScreenToImage(130, 100).X, under.X, 1e-9);
    view->setFocus();
    QTest::keyPress(view, Qt::Key_Space);
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(130, 100));
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(140, 110));
    QTest::keyRelease(view, Qt::Key_Space);
    EXPECT_NEAR(c.ScreenToImage(140, 110).Y, under.Y, 1e-9);
    EXPECT_EQ(c.Session().GetPoint(0).X, 40);  // no corner moved

    Press(ripper, "FitImageButton");
    EXPECT_EQ(c.Zoom(), fitted);
    EXPECT_EQ(c.PanX(), 0);

    // An edge dragged at its middle moves both its corners; with Shift only along the
    // larger component of the movement.
    Press(ripper, "ActualPixelsButton");
    const TRipperPoint p0 = c.Session().GetPoint(0), p1 = c.Session().GetPoint(1);
    const TRipperScreenPoint a = c.ImageToScreen(p0), b = c.ImageToScreen(p1);
    const QPoint middle((a.X + b.X) / 2, a.Y);
    QTest::mousePress(view, Qt::LeftButton, {}, middle);
    EXPECT_EQ(c.DragMode(), TRipperDragMode::Edge);
    QTest::mouseRelease(view, Qt::LeftButton, Qt::ShiftModifier, middle + QPoint(3, 12));
    EXPECT_EQ(c.Session().GetPoint(0).X, p0.X);
    EXPECT_EQ(c.Session().GetPoint(0).Y, p0.Y + 12);
    EXPECT_EQ(c.Session().GetPoint(1).Y, p1.Y + 12);
    EXPECT_EQ(c.DragMode(), TRipperDragMode::None);
}

}  // namespace
