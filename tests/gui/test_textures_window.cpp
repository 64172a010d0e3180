// The textures window over the project's registry: listing with thumbnails, adding,
// deleting with its question, and following imports made elsewhere.
#include "main_form_test_support.h"

#include "editor/uTexturesWindow.h"
#include "image/uTextureRipperImage.h"
#include "scene/uTextures.h"

#include <QFile>
#include <QImageWriter>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>

#include <fstream>

namespace {

class TexturesWindowTest : public MainFormFixture {
protected:
    // A W x H image in one colour, written as PNG.
    std::string WriteImage(const char* Name, int W, int H, TRgbaPixel Colour)
    {
        TRgbaImage image(W, H);
        for (TRgbaPixel& p : image.Pixels())
            p = Colour;
        std::string message;
        const std::string file = Path(Name).toStdString();
        EXPECT_TRUE(TRgbaImage::SaveToPngFile(&image, file, message)) << message;
        return file;
    }
    TTexturesForm* OpenWindow()
    {
        Click("View", "Textures...");
        auto* form = Form->findChild<TTexturesForm*>("TexturesForm");
        EXPECT_NE(form, nullptr);
        if (form)
            EXPECT_TRUE(QTest::qWaitForWindowExposed(form));
        return form;
    }
    void Press(QWidget* Window, const char* Button)
    {
        auto* b = Window->findChild<QPushButton*>(QString::fromLatin1(Button));
        ASSERT_NE(b, nullptr) << Button;
        QTest::mouseClick(b, Qt::LeftButton);
    }
};

TEST(TextureCells, LayoutCentresTheColumns)
{
    struct TCase {
        int Width, Index;
        QPoint At;
    };
    const TCase cases[] = {
        {532, 0, {18, 8}},           {532, 2, {18 + 2 * 168, 8}}, {532, 3, {18, 206}},
        {200, 0, {20, 8}},           {200, 1, {20, 206}},         {100, 0, {8, 8}},
        {1000, 5, {8 + 5 * 168, 8}},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(TextureCellPosition(c.Index, c.Width), c.At) << c.Width << " " << c.Index;
}

TEST_F(TexturesWindowTest, ThumbnailsAreSmallAndRefuseWhatTheRegistryWould)
{
    const std::string red = WriteImage("red.png", 300, 20, MakeRgbaPixel(255, 0, 0, 255));
    const QImage thumb = LoadTextureThumbnail(red);
    ASSERT_FALSE(thumb.isNull());
    EXPECT_EQ(thumb.size(), QSize(128, 128));
    EXPECT_EQ(QColor(thumb.pixel(64, 64)), QColor(255, 0, 0));

    // A header claiming 60000 x 60000 pixels is refused before decoding.
    const unsigned char header[] = {0x89, 'P',  'N', 'G', '\r', '\n', 0x1A, '\n', 0,    0,    0,
                                    13,   'I',  'H', 'D', 'R',  0,    0,    0xEA, 0x60, 0,    0,
                                    0xEA, 0x60, 8,   6,   0,    0,    0,    0x80, 0xD2, 0x75, 0x42};
    std::ofstream(Path("huge.png").toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(header), sizeof header);
    EXPECT_TRUE(LoadTextureThumbnail(Path("huge.png").toStdString()).isNull());
    std::ofstream(Path("junk.png").toStdString()) << "not a picture";
    EXPECT_TRUE(LoadTextureThumbnail(Path("junk.png").toStdString()).isNull());
    EXPECT_TRUE(LoadTextureThumbnail(Path("missing.png").toStdString()).isNull());

    // A progressive JPEG cut after its first scan, or only a JPEG's start, then gigabytes of
    // zeros (a sparse file): no picture is made up of them, and no more is read than the
    // image could need.
    QImage photo(64, 64, QImage::Format_RGB32);
    photo.fill(QColor(0, 0, 255));
    QImageWriter writer(Path("whole.jpg"), "jpeg");
    writer.setProgressiveScanWrite(true);
    ASSERT_TRUE(writer.write(photo));
    ASSERT_FALSE(LoadTextureThumbnail(Path("whole.jpg").toStdString()).isNull());
    QFile whole(Path("whole.jpg"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    const qsizetype firstScan = bytes.indexOf("\xFF\xDA");
    const qsizetype secondScan = bytes.indexOf("\xFF\xDA", firstScan + 2);
    ASSERT_GT(secondScan, firstScan);
    for (const auto& [name, head] :
         {std::pair{"cut.jpg", bytes.left(secondScan)}, {"start.jpg", bytes.left(2)}}) {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(head);
        if (!file.resize(qint64{8} << 30))
            GTEST_SKIP() << "no sparse files of 8 GiB here";
        file.close();
        EXPECT_TRUE(LoadTextureThumbnail(Path(name).toStdString()).isNull()) << name;
    }
}

TEST_F(TexturesWindowTest, ListsAddsAndDeletes)
{
    TTexturesForm* window = OpenWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "Textures");
    EXPECT_EQ(window->CellCount(), 0);
    EXPECT_EQ(window->CountText(), "0 texture(s)");

    // Add through the window's own dialog.
    FileAnswers.push_back(WriteImage("brick.png", 16, 8, MakeRgbaPixel(200, 80, 40, 255)));
    Press(window, "AddTextureButton");
    ASSERT_EQ(Form->Textures().Count(), 1);
    ASSERT_EQ(window->CellCount(), 1);
    EXPECT_EQ(window->CountText(), "Added: brick.png");
    EXPECT_EQ(window->Cell(0)->NameLabel->text(), "brick.png");
    EXPECT_EQ(window->Cell(0)->SizeLabel->text(), "16x8");
    EXPECT_FALSE(window->Cell(0)->Image->pixmap().isNull());

    // A texture imported elsewhere shows up.
    {
        Form->MakeTextureContextCurrent();
        Form->Textures().ImportFile(WriteImage("moss.png", 4, 4, MakeRgbaPixel(0, 120, 0, 255)));
        Form->DoneTextureContext();
        Form->RefreshTextureCombo();
    }
    ASSERT_EQ(window->CellCount(), 2);
    EXPECT_EQ(window->CountText(), "2 texture(s)");

    // A file that cannot be imported changes nothing.
    std::ofstream(Path("junk.png").toStdString()) << "not a picture";
    FileAnswers.push_back(Path("junk.png").toStdString());
    Press(window, "AddTextureButton");
    EXPECT_EQ(window->CellCount(), 2);
    EXPECT_EQ(window->CountText(), "2 texture(s)");

    // Select by clicking the cell's picture, then delete after the question.
    QTest::mouseClick(window->Cell(0), Qt::LeftButton, {}, QPoint(80, 60));
    EXPECT_EQ(window->SelectedIndex(), 0);
    EXPECT_EQ(window->Cell(0)->frameShadow(), QFrame::Sunken);
    EXPECT_EQ(window->Cell(1)->frameShadow(), QFrame::Raised);
    YesNoAnswers = {false};
    Press(window, "DeleteTextureButton");
    ASSERT_FALSE(Calls.empty());
    EXPECT_EQ(Calls.back().Caption, "Confirm");
    EXPECT_EQ(Calls.back().Text, "Delete texture \"brick.png\"?");
    EXPECT_EQ(Form->Textures().Count(), 2);
    YesNoAnswers = {true};
    Press(window, "DeleteTextureButton");
    ASSERT_EQ(Form->Textures().Count(), 1);
    ASSERT_EQ(window->CellCount(), 1);
    EXPECT_EQ(window->Cell(0)->NameLabel->text(), "moss.png");
    EXPECT_EQ(window->SelectedIndex(), -1);

    // Selecting outside the list changes nothing.
    window->SelectTexture(5);
    window->SelectTexture(-1);
    EXPECT_EQ(window->SelectedIndex(), -1);

    // Every opening is a fresh window.
    TTexturesForm* again = OpenWindow();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(Form->findChildren<TTexturesForm*>().size(), 1);
}

// A file whose name holds a line break loads, but its path could not be read back from the
// scene file as itself: the window refuses it with a warning naming it, and saving and
// reopening the project brings back only what was imported.
TEST_F(TexturesWindowTest, ANameWithALineBreakIsRefusedWithAWarningNamingIt)
{
    TTexturesForm* window = OpenWindow();
    ASSERT_NE(window, nullptr);
    const std::string brick = WriteImage("brick.png", 4, 4, MakeRgbaPixel(200, 80, 40, 255));
    for (const char* name : {"new\nline.png", "cr\r.png", "new line.png"}) {
        FileAnswers.push_back(WriteImage(name, 4, 4, MakeRgbaPixel(0, 0, 200, 255)));
        Calls.clear();
        Press(window, "AddTextureButton");
    }
    EXPECT_EQ(Form->Textures().Count(), 1);
    ASSERT_EQ(window->CellCount(), 1);
    EXPECT_EQ(window->Cell(0)->NameLabel->text(), "new line.png");
    FileAnswers.push_back(brick);
    Press(window, "AddTextureButton");
    ASSERT_EQ(Form->Textures().Count(), 2);

    Calls.clear();
    FileAnswers.push_back(Path("new\nline.png").toStdString());
    Press(window, "AddTextureButton");
    ASSERT_EQ(Calls.size(), 2u);
    EXPECT_EQ(Calls[1].Kind, "warn");
    EXPECT_EQ(Calls[1].Caption, "Textures");
    EXPECT_EQ(Calls[1].Text,
              "Cannot import \"" + Path("new<LF>line.png").toStdString() +
                  "\": a texture's path is kept on one line of the scene file, so it cannot "
                  "hold a line break.");
    EXPECT_EQ(Form->Textures().Count(), 2);

    const std::string scene = Path("scene.qstn").toStdString();
    Form->Document().SaveToFile(scene, true);
    FileAnswers.push_back(scene);
    Click("File", "Open...");
    ASSERT_EQ(Form->Textures().Count(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_NE(Form->Textures().GetTexture(i).GLName, 0u) << i;
        EXPECT_EQ(Form->Textures().GetTexture(i).Name, i == 0 ? "new line.png" : "brick.png");
    }
}

TEST_F(TexturesWindowTest, OpensWithAsManyColumnsAsItsWidthHolds)
{
    Form->MakeTextureContextCurrent();
    for (int i = 0; i < 7; ++i)
        Form->Textures().ImportFile(
            WriteImage(QStringLiteral("t%1.png").arg(i).toLatin1().constData(), 8, 8,
                       MakeRgbaPixel(40 * i, 0, 0, 255)));
    Form->DoneTextureContext();

    // F7, as a user opens it.
    Form->activateWindow();
    (void)QTest::qWaitForWindowActive(Form.get());
    QTest::keyClick(Form.get(), Qt::Key_F7);
    auto* window = Form->findChild<TTexturesForm*>("TexturesForm");
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    auto* box = window->findChild<QScrollArea*>("TextureScrollBox");
    ASSERT_NE(box, nullptr);
    ASSERT_EQ(window->CellCount(), 7);

    // Every cell where the grid puts it for the client width the window shows, and at
    // least three columns in 540 pixels.
    const auto expectGrid = [&](int Columns) {
        const int width = box->viewport()->width();
        EXPECT_EQ(box->widget()->width(), width);
        for (int i = 0; i < window->CellCount(); ++i)
            EXPECT_EQ(window->Cell(i)->pos(), TextureCellPosition(i, width)) << i;
        int columns = 1;
        while (columns < window->CellCount() && window->Cell(columns)->y() == window->Cell(0)->y())
            ++columns;
        EXPECT_EQ(columns, Columns) << "client width " << width;
    };
    expectGrid(3);

    // A narrower and a wider window lay the cells out again.
    window->resize(220, 480);
    QTest::qWait(20);
    expectGrid(1);
    window->resize(900, 480);
    QTest::qWait(20);
    expectGrid(5);
}

}  // namespace
