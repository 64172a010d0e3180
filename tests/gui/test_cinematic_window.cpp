// The cinematic window as a user drives it from the main window: exported images checked
// against the sky, fog and vignette formulas, render sizes, the camera it shares with the
// main view and the camera window, and a refused export that leaves no file.
#include "base/uErrors.h"
#include "document/uProjectDocument.h"
#include "editor/windows/uCameraWindow.h"
#include "editor/windows/uCinematicWindow.h"
#include "image/uImageCodecs.h"
#include "main_form_test_support.h"
#include "render/uCinematicMath.h"
#include "scene/uCinematicEnvironment.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"

#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QPushButton>
#include <QSlider>

#include <cmath>
#include <unistd.h>

namespace {

bool SameVec(const TVec3& a, const TVec3& b)
{
    return a.X == b.X && a.Y == b.Y && a.Z == b.Z;
}

class CinematicWindowTest : public MainFormFixture {
protected:
    TCinematicForm* OpenCinematic()
    {
        Click("View", "Cinematic Window...");
        TCinematicForm* f = FindCinematicView(*Form);
        EXPECT_NE(f, nullptr);
        if (f)
            EXPECT_TRUE(QTest::qWaitForWindowExposed(f));
        return f;
    }
    QAction* WindowItem(QMainWindow& Window, const QString& Menu, const QString& Item)
    {
        for (QAction* top : Window.menuBar()->actions())
            if (top->text() == Menu && top->menu())
                for (QAction* a : top->menu()->actions()) {
                    if (a->text() == Item)
                        return a;
                    if (a->menu())
                        for (QAction* b : a->menu()->actions())
                            if (b->text() == Item)
                                return b;
                }
        ADD_FAILURE() << Item.toStdString();
        return nullptr;
    }
    // Saves through the window's File menu with the dialog answering Name.
    void SaveAs(TCinematicForm& f, const std::string& Name)
    {
        f.AskImageFileName = [&, Name](QWidget*, const std::string& title,
                                       const std::string& filter, const std::string& proposed) {
            Asked.push_back(title + "|" + filter + "|" + proposed);
            return Name;
        };
        WindowItem(f, "File", "Save Viewport As Image...")->trigger();
    }
    TCinematicEnvironment& Env() { return Form->Document().GetEnvironment(); }
    std::vector<std::string> Asked;
};

int Byte(float v)
{
    return int(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
}

}  // namespace

// A fixed scene, a black wall 10 units ahead of the camera, at noon and at 20 h: the
// sky rows, the fog over the wall and the darkened corners follow the formulas.
TEST_F(CinematicWindowTest, ExportedImagesShowTheSkyFogAndVignetteOfTheTimeOfDay)
{
    Click("Edit", "Clear scene");
    TSceneObject* wall = Form->Scene().AddPrimitive(ptPlane);  // 0.5 x 0.5, facing +Y
    wall->SetPosition(Vec3(0, 1, 0));
    wall->SetRotationX(90);  // now facing +Z, towards the camera
    wall->SetScaleX(4);
    wall->SetScaleZ(4);
    wall->ApplyColorToVertices(Vec3(0, 0, 0));

    TCinematicForm* f = OpenCinematic();
    ASSERT_NE(f, nullptr);
    WindowItem(*f, "View", "640 x 480")->trigger();
    f->ApplyCameraSettings({Vec3(0, 1, 10), 0, 0});
    TCinematicEnvironment& env = Env();
    env.VignetteOn = true;
    env.SetVignetteStrength(1);
    env.VignetteRadius = 0.75f;
    env.VignetteSoftness = 0.35f;
    env.FogOn = true;
    env.SetFogDensity(0.05f);
    env.FogColor = Vec3(1, 0.5f, 0.25f);
    env.ContactLightingOn = false;

    struct TCase {
        float Hour;
        bool Atmospheric;
        const char* File;
    };
    for (const TCase& c : {TCase{12, false, "noon.png"}, TCase{20, true, "evening.png"}}) {
        env.SetTimeOfDay(c.Hour);
        env.UseAtmosphericFogColor = c.Atmospheric;
        const QString path = Path(c.File);
        SaveAs(*f, path.toStdString());
        ASSERT_TRUE(Errors.empty()) << Errors.front();
        TImageDecodeResult r =
            DecodeImageFile(path.toStdString(), TImageFileKind::Png, TImageSizeLimits{});
        ASSERT_EQ(r.Status, TImageDecodeStatus::Ok) << r.Message;
        const TRgbaImage& image = *r.Image;
        ASSERT_EQ(image.Width(), 640);
        ASSERT_EQ(image.Height(), 480);

        TCelestialLighting light;
        ComputeCelestialLighting(env, light);
        const auto expectSky = [&](int x, int y) {
            const TVec3 sky = SkyRowColor(light, y, 480);
            const float a = VignetteAlpha(x + 0.5f, y + 0.5f, 640, 480, 0.75f, 0.35f, 1.0f);
            const TRgbaPixel p = image.GetPixel(x, y);
            const std::string at =
                std::to_string(c.Hour) + "h " + std::to_string(x) + "," + std::to_string(y);
            EXPECT_NEAR(PixelRed(p), Byte(sky.X * (1 - a)), 3) << at;
            EXPECT_NEAR(PixelGreen(p), Byte(sky.Y * (1 - a)), 3) << at;
            EXPECT_NEAR(PixelBlue(p), Byte(sky.Z * (1 - a)), 3) << at;
        };
        // Rows through the zenith blend, the horizon band and the ground blend, left and
        // right of the wall; the corners darkened by the vignette.
        for (int y = 0; y < 480; y += 23) {
            expectSky(60, y);
            expectSky(590, y);
        }
        expectSky(0, 0);
        expectSky(639, 0);
        expectSky(0, 479);
        expectSky(639, 479);
        EXPECT_LT(PixelRed(image.GetPixel(0, 0)), Byte(light.ZenithColor.X) / 2 + 2);

        // The black wall at depth 10 shows only fog: (1 - exp(-(density x 10)^2)) x colour.
        const float fogged = 1.0f - std::exp(-(0.05f * 10) * (0.05f * 10));
        const TVec3 fog = c.Atmospheric ? light.AtmosphereColor : Vec3(1, 0.5f, 0.25f);
        const TRgbaPixel centre = image.GetPixel(320, 240);
        EXPECT_NEAR(PixelRed(centre), Byte(fog.X * fogged), 3) << c.Hour;
        EXPECT_NEAR(PixelGreen(centre), Byte(fog.Y * fogged), 3) << c.Hour;
        EXPECT_NEAR(PixelBlue(centre), Byte(fog.Z * fogged), 3) << c.Hour;
        EXPECT_EQ(PixelAlpha(centre), 255);
    }
    ASSERT_EQ(Asked.size(), 2u);
    EXPECT_EQ(Asked[0].rfind("Save Cinematic Viewport as Image|PNG Image (*.png)|*.png|Bitmap "
                             "(*.bmp)|*.bmp|cinematic_",
                             0),
              0u);
    EXPECT_EQ(Asked[0].size(), std::string("Save Cinematic Viewport as Image|PNG Image "
                                           "(*.png)|*.png|Bitmap (*.bmp)|*.bmp|cinematic_")
                                       .size() +
                                   15);
    // Nothing but the two images was written.
    EXPECT_EQ(QDir(Folder.path()).entryList(QDir::Files).size(), 2);
}

TEST_F(CinematicWindowTest, ABmpNameInCapitalsWritesABmpAndAnUnknownExtensionIsRefused)
{
    TCinematicForm* f = OpenCinematic();
    ASSERT_NE(f, nullptr);
    WindowItem(*f, "View", "320 x 200")->trigger();
    SaveAs(*f, Path("shot.BMP").toStdString());
    ASSERT_TRUE(Errors.empty());
    TImageDecodeResult r =
        DecodeImageFile(Path("shot.BMP").toStdString(), TImageFileKind::Bmp, TImageSizeLimits{});
    ASSERT_EQ(r.Status, TImageDecodeStatus::Ok) << r.Message;
    EXPECT_EQ(r.Image->Width(), 320);
    EXPECT_EQ(r.Image->Height(), 200);

    SaveAs(*f, Path("shot.tga").toStdString());
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_NE(Errors[0].find("shot.tga"), std::string::npos);
    Errors.clear();
    EXPECT_FALSE(QFile::exists(Path("shot.tga")));
}

TEST_F(CinematicWindowTest, ExportLeavesOtherFilesBesideTheImageAlone)
{
    TCinematicForm* f = OpenCinematic();
    ASSERT_NE(f, nullptr);
    WindowItem(*f, "View", "320 x 200")->trigger();
    // Files of the user's whose names the exporter might pick for its own use.
    const QStringList others = {"shot.png.part", "shot.png.tmp", "shot.png.bak", "shot.png~"};
    for (const QString& name : others) {
        QFile other(Path(name.toLatin1().constData()));
        ASSERT_TRUE(other.open(QIODevice::WriteOnly));
        other.write("keep me " + name.toLatin1());
    }
    for (int round = 0; round < 2; ++round) {  // a new file, then over the old one
        SaveAs(*f, Path("shot.png").toStdString());
        ASSERT_TRUE(Errors.empty()) << Errors.front();
        TImageDecodeResult r = DecodeImageFile(Path("shot.png").toStdString(), TImageFileKind::Png,
                                               TImageSizeLimits{});
        ASSERT_EQ(r.Status, TImageDecodeStatus::Ok) << r.Message;
        EXPECT_EQ(r.Image->Width(), 320);
    }
    for (const QString& name : others) {
        QFile other(Path(name.toLatin1().constData()));
        ASSERT_TRUE(other.open(QIODevice::ReadOnly)) << name.toStdString();
        EXPECT_EQ(other.readAll(), "keep me " + name.toLatin1());
    }
    // Nothing else is left behind.
    EXPECT_EQ(QDir(Folder.path()).entryList(QDir::Files | QDir::Hidden).size(), others.size() + 1);
}

TEST_F(CinematicWindowTest, TheSaveDialogListsEachFileTypeOnce)
{
    TCinematicForm* f = OpenCinematic();
    ASSERT_NE(f, nullptr);
    QStringList filters;
    QString title;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            filters = dialog->nameFilters();
            title = dialog->windowTitle();
            dialog->reject();
        }
    });
    watcher.start(20);
    WindowItem(*f, "File", "Save Viewport As Image...")->trigger();  // the window's own dialog
    watcher.stop();
    EXPECT_EQ(title, "Save Cinematic Viewport as Image");
    EXPECT_EQ(filters, QStringList({"PNG Image (*.png)", "Bitmap (*.bmp)"}));
    EXPECT_TRUE(Errors.empty());

    // The other dialogs' filters, which name their types without the patterns.
    struct TCase {
        const char* Filter;
        const char* Qt;
    };
    for (const TCase& c : {
             TCase{"PNG Image (*.png)|*.png|Bitmap (*.bmp)|*.bmp",
                   "PNG Image (*.png);;Bitmap (*.bmp)"},
             TCase{"Images|*.png;*.jpg;*.bmp|All files|*.*",
                   "Images (*.png *.jpg *.bmp);;All files (*)"},
             TCase{"Quillstone Scene|*.qstn", "Quillstone Scene (*.qstn)"},
             TCase{"Pictures (*.png *.jpg)|*.png;*.jpg", "Pictures (*.png *.jpg)"},
             TCase{"Old scenes (version 1)|*.qsc", "Old scenes (version 1) (*.qsc)"},
         })
        EXPECT_EQ(QtFileFilter(c.Filter), c.Qt) << c.Filter;
}

TEST_F(CinematicWindowTest, ExportToAnUnwritableFolderIsRefusedWithAMessageAndLeavesNoFile)
{
    TCinematicForm* f = OpenCinematic();
    ASSERT_NE(f, nullptr);
    // A folder nobody may write to, and (for a user whom permissions do not stop) a
    // "folder" that is a file.
    ASSERT_TRUE(QDir(Folder.path()).mkdir(QStringLiteral("locked")));
    const QString locked = Path("locked");
    ASSERT_TRUE(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
    QFile plain(Path("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    std::vector<QString> targets = {Path("plain") + QStringLiteral("/shot.png")};
    if (geteuid() != 0)
        targets.push_back(locked + QStringLiteral("/shot.png"));
    for (const QString& target : targets) {
        SaveAs(*f, target.toStdString());
        ASSERT_EQ(Errors.size(), 1u) << target.toStdString();
        EXPECT_NE(Errors[0].find("Could not save the image"), std::string::npos) << Errors[0];
        EXPECT_NE(Errors[0].find(target.toStdString()), std::string::npos) << Errors[0];
        Errors.clear();
        EXPECT_FALSE(QFile::exists(target));
    }
    EXPECT_TRUE(QDir(locked).entryList(QDir::Files | QDir::Hidden).isEmpty());
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // The window still draws and saves.
    SaveAs(*f, Path("after.png").toStdString());
    EXPECT_TRUE(Errors.empty());
    EXPECT_TRUE(QFile::exists(Path("after.png")));
}

TEST_F(CinematicWindowTest, RenderSizesSetTheViewAndCheckOnlyTheirItem)
{
    TCinematicForm* first = OpenCinematic();
    ASSERT_NE(first, nullptr);
    QPointer<TCinematicForm> firstWindow(first);
    TCinematicForm* f = OpenCinematic();  // opening again replaces the window
    EXPECT_TRUE(firstWindow.isNull());
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->windowTitle(), QStringLiteral("Cinematic View"));
    EXPECT_EQ(f->View()->size(), QSize(800, 600));
    for (QAction* a : f->RenderSizeMenu->actions())
        EXPECT_FALSE(a->isChecked()) << a->text().toStdString();
    WindowItem(*f, "View", "720p")->trigger();
    EXPECT_EQ(f->View()->size(), QSize(1280, 720));
    for (QAction* a : f->RenderSizeMenu->actions())
        EXPECT_EQ(a->isChecked(), a->text() == QStringLiteral("720p"));
    EXPECT_GE(f->frameGeometry().left(), 0);
    EXPECT_GE(f->frameGeometry().top(), 0);
    EXPECT_EQ(WindowItem(*f, "File", "Save Viewport As Image...")->shortcut(),
              QKeySequence(Qt::CTRL | Qt::Key_S));
    // Esc closes (hides) it; it stays the window camera pushes reach.
    QTest::keyClick(f, Qt::Key_Escape);
    EXPECT_FALSE(f->isVisible());
    EXPECT_EQ(FindCinematicView(*Form), f);
}

TEST_F(CinematicWindowTest, TheCinematicCameraFollowsTheMainViewOnOpenF6AndTheCameraWindow)
{
    Form->Camera().Position = Vec3(1, 2, 3);
    Form->Camera().Yaw = 30;
    Form->Camera().Pitch = -10;
    TCinematicForm* f = OpenCinematic();
    ASSERT_NE(f, nullptr);
    TCameraPlacement p;
    f->ReadCameraSettings(p);
    EXPECT_TRUE(SameVec(p.Position, Vec3(1, 2, 3)));
    EXPECT_EQ(p.Yaw, 30);
    EXPECT_EQ(p.Pitch, -10);

    Form->Camera().Position = Vec3(-4, 5, 6);
    Form->activateWindow();
    QTest::keyClick(Form->GLView(), Qt::Key_F6);
    f->ReadCameraSettings(p);
    EXPECT_TRUE(SameVec(p.Position, Vec3(-4, 5, 6)));

    // The camera window on the main camera: its edits move the main camera, the stored
    // scene camera and the cinematic camera alike.
    Click("View", "Camera...");
    auto* cam = qobject_cast<TCameraForm*>(Form->ToolWindows().Find("camera"));
    ASSERT_NE(cam, nullptr);
    EXPECT_EQ(cam->windowTitle(), QStringLiteral("Camera Settings"));
    EXPECT_EQ(cam->XEdit->value(), -4);
    EXPECT_EQ(cam->FovEdit->value(), 60);
    EXPECT_EQ(cam->FovBar->value(), 60);
    EXPECT_EQ(cam->ExposureBar->value(), 0);
    EXPECT_EQ(cam->ExposureEdit->text(), QLocale().toString(0.0, 'f', 2));
    cam->XEdit->setValue(7.5);
    cam->PitchEdit->setValue(90);
    EXPECT_EQ(Form->Camera().Position.X, 7.5f);
    EXPECT_EQ(Form->Camera().Pitch, 89.0f);
    EXPECT_EQ(cam->PitchEdit->value(), 89.0);
    EXPECT_EQ(Form->Scene().CameraPosition.X, 7.5f);
    f->ReadCameraSettings(p);
    EXPECT_EQ(p.Position.X, 7.5f);
    EXPECT_EQ(p.Pitch, 89.0f);
    // Each keystroke applies, and the field being typed in keeps what was typed.
    for (QDoubleSpinBox* edit : {cam->PitchEdit, cam->YEdit}) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("-12.5"));
        EXPECT_EQ(edit->value(), -12.5) << edit->objectName().toStdString();
    }
    EXPECT_EQ(Form->Camera().Pitch, -12.5f);
    EXPECT_EQ(Form->Camera().Position.Y, -12.5f);

    // The lens: track bar and spin edit are partners through the clamping setters.
    cam->ExposureBar->setValue(150);
    EXPECT_FLOAT_EQ(Env().Exposure, 1.5f);
    EXPECT_EQ(cam->ExposureEdit->value(), 1.5);
    cam->ExposureEdit->setValue(1.234);  // more decimals than shown are kept
    EXPECT_FLOAT_EQ(Env().Exposure, 1.234f);
    EXPECT_EQ(cam->ExposureBar->value(), 123);
    cam->FovBar->setValue(120);
    EXPECT_EQ(Env().FieldOfView, 120.0f);
    EXPECT_EQ(cam->FovEdit->value(), 120.0);

    // "Read Current Camera" hands the main camera back to itself and refreshes the edits.
    Form->Camera().Position = Vec3(9, 8, 7);
    QTest::mouseClick(cam->findChild<QPushButton*>(QStringLiteral("ReadCurrentCamera")),
                      Qt::LeftButton);
    EXPECT_EQ(cam->XEdit->value(), 9.0);
    EXPECT_EQ(cam->ZEdit->value(), 7.0);
    EXPECT_EQ(Form->Scene().CameraPosition.Z, 7.0f);
}

// A camera window opened from a cinematic window that is then replaced: its edits reach
// nothing (no freed window), and the new cinematic window keeps its camera.
TEST_F(CinematicWindowTest, ACameraWindowOutlivingItsCinematicWindowEditsNothing)
{
    TCinematicForm* first = OpenCinematic();
    ASSERT_NE(first, nullptr);
    WindowItem(*first, "View", "Camera Settings...")->trigger();
    QPointer<TCameraForm> cam = qobject_cast<TCameraForm*>(Form->ToolWindows().Find("camera"));
    ASSERT_FALSE(cam.isNull());
    TCameraPlacement start;
    first->ReadCameraSettings(start);
    EXPECT_EQ(cam->YawEdit->value(), std::round(start.Yaw * 10) / 10);
    cam->YEdit->setValue(42);  // applies to the cinematic camera only
    TCameraPlacement p;
    first->ReadCameraSettings(p);
    EXPECT_EQ(p.Position.Y, 42.0f);
    EXPECT_NE(Form->Camera().Position.Y, 42.0f);

    TCinematicForm* second = OpenCinematic();
    ASSERT_NE(second, nullptr);
    ASSERT_FALSE(cam.isNull());
    TCameraPlacement before;
    second->ReadCameraSettings(before);
    cam->XEdit->setValue(-99);
    QTest::mouseClick(cam->findChild<QPushButton*>(QStringLiteral("ReadCurrentCamera")),
                      Qt::LeftButton);
    second->ReadCameraSettings(p);
    EXPECT_TRUE(SameVec(p.Position, before.Position));
    EXPECT_NE(Form->Camera().Position.X, -99.0f);
}

TEST_F(CinematicWindowTest, AFailingFrameIsReportedOnceNotAtEveryRedraw)
{
    TCinematicForm* f = OpenCinematic();
    ASSERT_NE(f, nullptr);
    TSceneObject* cube = Form->Scene().GetFirstObject();
    ASSERT_NE(cube, nullptr);
    cube->SetVisible(false);
    f->Renderer().SceneRenderer().ContactColors =
        [](TSceneObject&, const TMeshData&, const TMeshDrawOptions&, std::vector<TVec3>&) -> bool {
        throw EGeneralError("drawing failed");
    };
    for (int i = 0; i < 3; ++i)
        f->View()->grabFramebuffer();
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0], "drawing failed");
    Errors.clear();
    // The hidden cube is hidden again, and the next good frame draws.
    EXPECT_FALSE(cube->GetVisible());
    f->Renderer().SceneRenderer().ContactColors = nullptr;
    f->View()->grabFramebuffer();
    EXPECT_TRUE(Errors.empty());
}
