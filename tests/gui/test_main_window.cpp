// The main window as a user meets it: title, client size and panels, the status bar, the
// frame loop on an injected clock, camera flight with held keys, the autosave file and
// a clean exit.
#include "editor/modes/uObjectTransformMode.h"
#include "editor/uInstallSubsystems.h"
#include "editor/uMainForm.h"
#include "editor/uSceneTreePanel.h"
#include "editor/uStatusBar.h"
#include "editor/uTimelinePanel.h"
#include "gl_test_support.h"
#include "render/uErrorBox.h"
#include "render/uGLView.h"
#include "render/uMeshDraw.h"
#include "scene/uScene.h"
#include "scene/uTextures.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Folder.isValid());
        SetErrorBoxHandler([this](QWidget*, const std::string& m) { Errors.push_back(m); });
        TMainFormOptions o;
        o.Clock = [this] { return Now; };
        o.ProgramFolder = Folder.path().toStdString();
        Form = std::make_unique<TMainForm>(o);
        InstallSubsystemWindows(*Form);
        Form->FrameTimer()->stop();  // the test drives the ticks
        Form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
        Form->GLView()->grabFramebuffer();  // the driver is loaded by now
        PinLoadedLibraries();
    }
    void TearDown() override
    {
        Form.reset();
        SetErrorBoxHandler(nullptr);
        EXPECT_TRUE(Errors.empty()) << Errors.front();
    }
    void Tick(uint64_t ms)
    {
        Now += ms;
        Form->FrameTimerTick();
    }
    QString Panel(int i) const { return Form->StatusPanels()->PanelText(i); }

    uint64_t Now = 1000;
    QTemporaryDir Folder;
    std::vector<std::string> Errors;
    std::unique_ptr<TMainForm> Form;
};

}  // namespace

TEST_F(MainWindowTest, WindowHasItsTitleClientSizeAndPanels)
{
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("Quillstone"));
    // The client area below the menu bar: the central widget and the status bar.
    const QWidget* central = Form->centralWidget();
    EXPECT_EQ(central->width(), 1280);
    EXPECT_EQ(central->height() + Form->statusBar()->height(), 760);

    EXPECT_EQ(Form->ToolBarPanel()->height(), 30);
    EXPECT_EQ(Form->ToolBarPanel()->geometry().top(), 0);
    EXPECT_EQ(Form->ToolBarPanel()->width(), 1280);

    EXPECT_EQ(Form->SceneTree()->width(), 200);
    EXPECT_EQ(Form->SceneTree()->geometry().left(), 0);
    EXPECT_EQ(Form->SceneTree()->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(Form->SceneTree()->editTriggers(), QAbstractItemView::NoEditTriggers);

    // "Paint" joins them in modelling mode only.
    ASSERT_EQ(Form->PanelTabs()->count(), 2);
    EXPECT_EQ(Form->PanelTabs()->tabText(0), "Properties");
    EXPECT_EQ(Form->PanelTabs()->tabText(1), "Modifiers");
    EXPECT_EQ(Form->PanelTabs()->width(), 260);
    EXPECT_EQ(Form->PanelTabs()->geometry().right(), 1279);

    EXPECT_EQ(Form->TimelinePanel()->height(), 84);
    EXPECT_EQ(Form->TimelinePanel()->geometry().bottom(), central->height() - 1);

    // The GL view fills the rest.
    const QRect gl = Form->GLView()->geometry();
    EXPECT_EQ(gl.left(), 200);
    EXPECT_EQ(gl.width(), 1280 - 200 - 260);
    EXPECT_EQ(gl.top(), 30);
    EXPECT_EQ(gl.height(), central->height() - 30 - 84);
    EXPECT_EQ(Form->GLView()->format().profile(), QSurfaceFormat::CompatibilityProfile);

    // The four view names sit 6 right of and 4 below their views' corners.
    const int hw = gl.width() / 2, hh = gl.height() / 2;
    const char* names[4] = {"Perspective", "Top", "Front", "Left"};
    const QPoint at[4] = {{6, 4}, {hw + 6, 4}, {6, hh + 4}, {hw + 6, hh + 4}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Form->ViewNameLabels()[size_t(i)]->text(), names[i]);
        const QLabel* l = Form->ViewNameLabels()[size_t(i)];
        EXPECT_EQ(l->mapTo(Form.get(), QPoint(0, 0)),
                  Form->GLView()->mapTo(Form.get(), QPoint(0, 0)) + at[i])
            << names[i];
        EXPECT_TRUE(
            Form->ViewNameLabels()[size_t(i)]->testAttribute(Qt::WA_TransparentForMouseEvents));
    }

    // Centred on the screen.
    const QRect avail = Form->screen()->availableGeometry();
    EXPECT_LE(std::abs(Form->geometry().center().x() - avail.center().x()), 2);
}

TEST_F(MainWindowTest, StatusBarShowsItsStartTextsThenRefreshesAboutOnceASecond)
{
    EXPECT_EQ(Panel(0), "Mode: Move (W)");
    EXPECT_EQ(Panel(1), "Objects: 1");
    EXPECT_EQ(Panel(2), "Selected: -");
    EXPECT_EQ(Panel(3), "FPS: -");

    Now = 5000;
    Form->FrameLoop()->Start();
    for (int i = 0; i < 70; ++i)
        Tick(16);  // crosses a whole second
    EXPECT_EQ(Panel(0), "Mode: Move");
    EXPECT_EQ(Panel(1), QString("Objects: %1").arg(Form->Scene().NodeCount()));
    EXPECT_EQ(Panel(3), "FPS: 62");  // 1 / 0.016 = 62.5, averaged up from 0
    EXPECT_GT(Form->FrameLoop()->FrameCounter, 60);

    // Other states of the mode panel.
    Form->Selection().ModelingOn = true;
    Form->Selection().ModelingSubMode = 1;
    Form->UpdateStatusBar();
    EXPECT_EQ(Panel(0), "MODELING [Edges]  Tab=back  1/2/3=sub-mode");
    Form->Selection().ModelingOn = false;
    Form->SetTool(gmScale);
    Form->ObjectTransform().BeginModalTransform(-2);
    ASSERT_TRUE(Form->ObjectTransform().Running());
    EXPECT_EQ(Panel(0), "Scale XZ: mouse   [Left/Enter = apply   Right/Esc = cancel]");
    for (const int key : {Qt::Key_Y, Qt::Key_2, Qt::Key_Period, Qt::Key_5})
        Form->ObjectTransform().KeyDown(key, {});
    EXPECT_EQ(Panel(0), "Scale Y: 2.5   [Left/Enter = apply   Right/Esc = cancel]");
}

TEST(StatusTexts, FrameRateRoundsHalvesToEven)
{
    struct {
        float fps;
        const char* text;
    } cases[] = {
        {62.5f, "FPS: 62"},
        {63.5f, "FPS: 64"},
        {0.4f, "FPS: 0"},
        {59.9f, "FPS: 60"},
        {std::numeric_limits<float>::infinity(), "FPS: -"},
        {std::nanf(""), "FPS: -"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StatusFpsText(c.fps), c.text) << c.fps;
    EXPECT_EQ(StatusSelectedText(false, "Cube 1"), "Selected: -");
    EXPECT_EQ(StatusSelectedText(true, "Cube 1"), "Selected: Cube 1");
    EXPECT_EQ(StatusObjectsText(0), "Objects: 0");
}

TEST_F(MainWindowTest, HeldKeysFlyTheCamera)
{
    Form->FrameLoop()->Start();
    const float y0 = Form->Camera().Position.Y;
    QTest::keyPress(Form->GLView(), Qt::Key_E);
    for (int i = 0; i < 10; ++i)
        Tick(100);  // one second of flight up
    QTest::keyRelease(Form->GLView(), Qt::Key_E);
    Tick(100);
    EXPECT_NEAR(Form->Camera().Position.Y - y0, 7.0f, 1e-3);
    QTest::keyPress(Form->GLView(), Qt::Key_Z);
    Tick(250);
    Tick(1000);  // a stall moves it a quarter second only
    QTest::keyRelease(Form->GLView(), Qt::Key_Z);
    EXPECT_NEAR(Form->Camera().Position.Y - y0, 7.0f - 3.5f, 1e-3);
}

TEST_F(MainWindowTest, PlaybackAdvancesTheProjectFrameOnTheTimer)
{
    TProjectTime& t = Form->Document().GetProjectTime();
    t.SetLoop(true);
    t.Playing = true;
    Form->FrameLoop()->SetPlaybackAccumulator(t.GetCurrentFrame());
    Form->FrameLoop()->Start();
    for (int i = 0; i < 34; ++i)
        Tick(100);
    EXPECT_EQ(t.GetCurrentFrame(), 2);
    EXPECT_TRUE(t.Playing);
}

TEST_F(MainWindowTest, ViewsPaintIntoTheGLView)
{
    const QImage frame = Form->GLView()->grabFramebuffer();
    ASSERT_FALSE(frame.isNull());
    if (qEnvironmentVariableIsSet("QUILL_DUMP_WINDOW")) {
        Form->grab().save(qEnvironmentVariable("QUILL_DUMP_WINDOW"));
        frame.save(qEnvironmentVariable("QUILL_DUMP_WINDOW") + ".gl.png");
    }
    EXPECT_EQ(frame.width(), Form->GLView()->DeviceWidth());
}

TEST_F(MainWindowTest, AutosaveFileAppearsAfterThirtySecondsWhileTheSceneIsNotEmpty)
{
    const QString path = QDir(Folder.path()).filePath("Quillstone.autosave.qstn");
    Now = 1000;
    Form->FrameLoop()->Start();
    for (int i = 0; i < 100; ++i)
        Tick(250);  // 25 s
    EXPECT_FALSE(QFileInfo::exists(path));
    const bool modified = Form->Document().IsModified();
    for (int i = 0; i < 30; ++i)
        Tick(250);  // past 30 s of uptime
    ASSERT_TRUE(QFileInfo::exists(path));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readLine().trimmed(), "#Quillstone");
    EXPECT_EQ(Form->Document().IsModified(), modified);  // an autosave is no save
    // No temporary or backup files are left beside it.
    EXPECT_EQ(QDir(Folder.path()).entryList(QDir::Files).size(), 1);

    // An empty scene is never autosaved.
    f.close();
    ASSERT_TRUE(QFile::remove(path));
    Form->Scene().Clear();
    for (int i = 0; i < 160; ++i)
        Tick(250);
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST_F(MainWindowTest, ToolWindowsCloseBeforeTheProjectGoes)
{
    // A tool window that still reaches into the scene while it closes.
    auto* tool = new QWidget(Form.get(), Qt::Tool);
    tool->show();
    Form->RegisterToolWindow(tool);
    bool sceneAliveAtClose = false;
    QObject::connect(tool, &QObject::destroyed,
                     [&] { sceneAliveAtClose = CurrentScene != nullptr; });
    TScene* scene = &Form->Scene();
    EXPECT_EQ(CurrentScene, scene);
    Form.reset();
    EXPECT_TRUE(sceneAliveAtClose);
    EXPECT_EQ(CurrentScene, nullptr);
    EXPECT_EQ(CurrentTextureManager, nullptr);
    EXPECT_FALSE(TextureBindHook);
}

TEST_F(MainWindowTest, ClosesCleanly)
{
    Form->Dialogs().AskSaveChanges = [](QWidget*, const std::string&, const std::string&) {
        return TSaveChangesAnswer::Discard;
    };
    Form->close();
    QApplication::processEvents();
    Form.reset();  // the scene's last notifications reach no freed receiver
    SUCCEED();
}
