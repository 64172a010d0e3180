// The main menu and the tool bar as a user meets them: the items in their menus, each
// primitive from the Create menu, undo and redo of what is undoable, tools, grid sizes,
// display modes with the contact-lighting question, the tree toggle and the help boxes.
#include "base/uCommandHistory.h"
#include "editor/api/uToolWindowGlue.h"
#include "editor/uAbout.h"
#include "editor/uMainMenu.h"
#include "editor/uStatusBar.h"
#include "main_form_test_support.h"
#include "render/uSceneDraw.h"
#include "scene/uSceneObject.h"
#include "scene/uTextures.h"
#include "terrain/uHeightmap.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>

namespace {

class MainMenuTest : public MainFormFixture {
protected:
    QString Objects() const { return Form->StatusPanels()->PanelText(TStatusBar::spObjects); }
    int SelectedCount() const
    {
        int n = 0;
        for (TSceneNode* node : Form->Scene().GetNodes())
            n += node->Selected;
        return n;
    }
};

}  // namespace

std::vector<std::string> VisibleItems(QMenu* Menu)
{
    std::vector<std::string> items;
    for (QAction* a : Menu->actions())
        if (a->isVisible())
            items.push_back(a->isSeparator() ? "-" : a->text().toStdString());
    return items;
}

TEST_F(MainMenuTest, InstalledToolWindowItemsShowInTheirPlacesAndOpenTheirWindows)
{
    std::vector<int> opened;
    Form->InstallToolWindowItem(twiTextures, [&] { opened.push_back(twiTextures); });
    Form->InstallToolWindowItem(twiCamera, [&] { opened.push_back(twiCamera); });
    Form->InstallToolWindowItem(twiFloorPlanBuilder,
                                [&] { opened.push_back(twiFloorPlanBuilder); });
    EXPECT_EQ(VisibleItems(TopMenu(QStringLiteral("View"))),
              (std::vector<std::string>{"Shaded", "Wireframe", "Solid", "Cinematic", "-",
                                        "Cinematic Window...", "-", "Textures...", "-",
                                        "Environment...", "Refresh Contact AO", "-", "Camera...",
                                        "-", "Terrain Editor...", "-", "Toggle hierarchy tree"}));
    QMenu* tools = TopMenu(QStringLiteral("Tools"));
    ASSERT_NE(tools, nullptr);
    EXPECT_TRUE(tools->menuAction()->isVisible());
    EXPECT_EQ(VisibleItems(tools),
              (std::vector<std::string>{"Texture Ripper...", "Floor Plan Builder..."}));
    for (QAction* a : TopMenu(QStringLiteral("View"))->actions())
        if (a->text() == QStringLiteral("Camera..."))
            a->trigger();
    for (QAction* a : tools->actions())
        if (a->text() == QStringLiteral("Floor Plan Builder..."))
            a->trigger();
    EXPECT_EQ(opened, (std::vector<int>{twiCamera, twiFloorPlanBuilder}));
}

TEST_F(MainMenuTest, InstalledToolButtonsShowAndClick)
{
    auto* floorPlan = Form->findChild<QToolButton*>(QStringLiteral("ToolButtonFloorPlan"));
    auto* pushCam = Form->findChild<QToolButton*>(QStringLiteral("ToolButtonPushCam"));
    ASSERT_NE(floorPlan, nullptr);
    ASSERT_NE(pushCam, nullptr);
    EXPECT_TRUE(pushCam->isVisible());  // the cinematic window installed it
    // The floor-plan builder installed its button with the subsystems' windows.
    EXPECT_TRUE(floorPlan->isVisible());
    EXPECT_EQ(floorPlan->geometry(), QRect(588, 3, 90, 24));
    int pushes = 0;
    Form->InstallPushCamera([&] { ++pushes; });
    EXPECT_TRUE(pushCam->isVisible());
    QTest::mouseClick(pushCam, Qt::LeftButton);
    QTest::keyClick(Form.get(), Qt::Key_F6);  // F6 pushes the camera too
    EXPECT_EQ(pushes, 2);
}

TEST_F(MainMenuTest, TerrainEditorOpensOnlyForASelectedTerrain)
{
    std::vector<uint32_t> openedFor;
    Form->InstallTerrainEditor([&](uint32_t id) { openedFor.push_back(id); });
    QAction* item = nullptr;
    for (QAction* a : TopMenu(QStringLiteral("View"))->actions())
        if (a->text() == QStringLiteral("Terrain Editor..."))
            item = a;
    ASSERT_NE(item, nullptr);
    ASSERT_TRUE(item->isVisible());
    item->trigger();  // the cube is selected
    Form->SelectNode(0);
    item->trigger();
    std::vector<std::string> informed;
    for (const auto& call : Calls)
        if (call.Kind == "inform" && call.Caption == "Terrain Editor")
            informed.push_back(call.Text);
    EXPECT_EQ(informed, (std::vector<std::string>{"The selected object is not a terrain.",
                                                  "Select a terrain object first."}));
    EXPECT_TRUE(openedFor.empty());
    TSceneObject* terrain = Form->AddPrimitiveObject(ptTerrain);  // opens the editor at once
    item->trigger();
    EXPECT_EQ(openedFor, (std::vector<uint32_t>{terrain->GetId(), terrain->GetId()}));
}

TEST_F(MainMenuTest, MenusHoldTheirItemsInOrder)
{
    struct TMenuCase {
        const char* Title;
        std::vector<std::string> Items;  // "-" is a separator
    };
    const TMenuCase menus[] = {
        {"File", {"New", "-", "Open...", "Save", "Save As...", "-", "Quit"}},
        {"Create",
         {"Cube", "Sphere", "Cylinder", "Cone", "Torus", "Plane", "Skybox", "Terrain", "-",
          "Group"}},
        {"Mode", {"Select", "Move", "Scale", "Rotate"}},
        {"Edit",
         {"Undo\tCtrl+Z", "Redo\tCtrl+Y", "-", "Delete selected", "Clear scene", "-", "Grid Size"}},
        {"View",
         {"Shaded", "Wireframe", "Solid", "Cinematic", "-", "Cinematic Window...", "-",
          "Textures...", "-", "Environment...", "Refresh Contact AO", "-", "Camera...", "-",
          "Terrain Editor...", "-", "Toggle hierarchy tree"}},
        {"Help", {"Controls...", "-", "About..."}},
        {"Tools", {"Texture Ripper...", "Floor Plan Builder..."}},
    };
    std::vector<std::string> titles;
    for (QAction* a : Form->menuBar()->actions())
        if (a->isVisible())
            titles.push_back(a->text().toStdString());
    EXPECT_EQ(titles, (std::vector<std::string>{"File", "Create", "Mode", "Edit", "View", "Help",
                                                "Tools"}));
    for (const TMenuCase& m : menus) {
        QMenu* menu = TopMenu(QString::fromLatin1(m.Title));
        ASSERT_NE(menu, nullptr) << m.Title;
        std::vector<std::string> items;
        for (QAction* a : menu->actions())
            if (a->isVisible())
                items.push_back(a->isSeparator() ? "-" : a->text().toStdString());
        EXPECT_EQ(items, m.Items) << m.Title;
    }

    const std::pair<const char*, QKeySequence> keys[] = {
        {"New", QKeySequence(Qt::CTRL | Qt::Key_N)},
        {"Open...", QKeySequence(Qt::CTRL | Qt::Key_O)},
        {"Save", QKeySequence(Qt::CTRL | Qt::Key_S)},
        {"Save As...", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
        {"Quit", QKeySequence(Qt::CTRL | Qt::Key_Q)},
    };
    for (const auto& [item, key] : keys)
        EXPECT_EQ(MenuItem("File", item)->shortcut(), key) << item;
    const std::pair<const char*, QKeySequence> viewKeys[] = {
        {"Cinematic Window...", QKeySequence(Qt::Key_F12)},
        {"Environment...", QKeySequence(Qt::Key_F8)},
        {"Camera...", QKeySequence(Qt::Key_F10)},
    };
    for (const auto& [item, key] : viewKeys)
        EXPECT_EQ(MenuItem("View", item)->shortcut(), key) << item;
    // Ctrl+Z and Ctrl+Y go through the window's key handling only: one press, one step.
    EXPECT_TRUE(MenuItem("Edit", "Undo\tCtrl+Z")->shortcut().isEmpty());
    EXPECT_TRUE(MenuItem("Edit", "Redo\tCtrl+Y")->shortcut().isEmpty());
    EXPECT_TRUE(MenuItem("View", "Toggle hierarchy tree")->isChecked());
}

TEST_F(MainMenuTest, CreateMenuAddsEachPrimitiveSelected)
{
    for (int t = ptCube; t <= ptTerrain; ++t) {
        const TPrimitiveType type = TPrimitiveType(t);
        const int before = Form->Scene().NodeCount();
        Click("Create", QString::fromStdString(PrimitiveTypeName(type)));
        ASSERT_EQ(Form->Scene().NodeCount(), before + 1) << t;
        TSceneObject* o = Form->Scene().GetSelectedObject();
        ASSERT_NE(o, nullptr);
        EXPECT_EQ(o->PrimType, type);
        EXPECT_EQ(SelectedCount(), 1);
        EXPECT_EQ(o->GetParent(), Form->Scene().GetRoot());
        EXPECT_EQ(o->Name.rfind(PrimitiveTypeName(type) + " ", 0), 0u) << o->Name;
        EXPECT_EQ(Objects(), QStringLiteral("Objects: %1").arg(before + 1));
        const TVec3 p = o->GetPosition();
        if (type == ptSkybox || type == ptTerrain) {
            EXPECT_EQ(p.Y, 0.0f);
        } else {
            EXPECT_EQ(p.Y, 0.5f);
            EXPECT_GE(o->Color.X, 0.55f);
            EXPECT_LT(o->Color.X, 0.9f);
            EXPECT_GE(o->Color.Z, 0.6f);
            EXPECT_LT(o->Color.Z, 0.95f);
            ASSERT_FALSE(o->GetBaseMesh()->Vertices.empty());
            EXPECT_FLOAT_EQ(o->GetBaseMesh()->Vertices[0].Color.Y, o->Color.Y);
        }
        EXPECT_EQ(p.X, 0.0f);
        EXPECT_EQ(p.Z, 0.0f);
    }
    // The skybox is white and, without a texture beside the program, untextured.
    TSceneObject* sky = nullptr;
    TSceneObject* terrain = nullptr;
    for (TSceneNode* n : Form->Scene().GetNodes())
        if (auto* o = dynamic_cast<TSceneObject*>(n)) {
            if (o->PrimType == ptSkybox)
                sky = o;
            if (o->PrimType == ptTerrain)
                terrain = o;
        }
    ASSERT_NE(sky, nullptr);
    EXPECT_EQ(sky->TexId, 0);
    EXPECT_EQ(sky->Color.X, 1.0f);
    // The terrain comes out of noise, not flat.
    ASSERT_NE(terrain, nullptr);
    ASSERT_NE(terrain->GetHeightmap(), nullptr);
    EXPECT_FLOAT_EQ(terrain->Color.X, 0.45f);
    float lo = 1e9f, hi = -1e9f;
    for (const TMeshVertex& v : terrain->GetBaseMesh()->Vertices) {
        lo = std::min(lo, v.Position.Y);
        hi = std::max(hi, v.Position.Y);
    }
    EXPECT_GT(hi - lo, 0.01f);

    // Adding a primitive is not a command: undo leaves them all.
    const int count = Form->Scene().NodeCount();
    EXPECT_FALSE(Form->Document().GetHistory().CanUndo());
    Click("Edit", "Undo\tCtrl+Z");
    EXPECT_EQ(Form->Scene().NodeCount(), count);
}

TEST_F(MainMenuTest, SkyboxTakesTheTextureBesideTheProgramOnce)
{
    ASSERT_TRUE(QDir(Folder.path()).mkdir(QStringLiteral("textures")));
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(QColor(10, 120, 200));
    ASSERT_TRUE(image.save(Folder.filePath(QStringLiteral("textures/skybox.bmp")), "BMP"));

    Click("Create", "Skybox");
    Click("Create", "Skybox");
    ASSERT_EQ(Form->Textures().Count(), 1);
    EXPECT_EQ(Form->Textures().GetTexture(0).Name, "skybox.bmp");
    for (TSceneNode* n : Form->Scene().GetNodes())
        if (auto* o = dynamic_cast<TSceneObject*>(n); o && o->PrimType == ptSkybox)
            EXPECT_EQ(o->TexId, 1);
    Form->GLView()->grabFramebuffer();  // draws textured without an error
}

TEST_F(MainMenuTest, UndoAndRedoOfGroupsAndDeletes)
{
    TSceneObject* cube = Form->Scene().GetSelectedObject();
    ASSERT_NE(cube, nullptr);
    const uint32_t cubeId = cube->GetId();

    Click("Create", "Group");
    TSceneNode* root = Form->Scene().GetRoot();
    ASSERT_EQ(root->ChildCount(), 2);
    TSceneNode* group = root->GetChild(1);
    EXPECT_EQ(group->Name, "Group");
    const uint32_t groupId = group->GetId();
    EXPECT_EQ(Objects(), "Objects: 2");

    Click("Edit", "Undo\tCtrl+Z");
    EXPECT_EQ(Form->Scene().FindNodeById(groupId), nullptr);
    EXPECT_EQ(Objects(), "Objects: 1");
    Click("Edit", "Redo\tCtrl+Y");
    ASSERT_NE(Form->Scene().FindNodeById(groupId), nullptr);
    EXPECT_EQ(root->GetChild(1)->GetId(), groupId);

    // The cube is still selected: delete it, bring it back, delete it again.
    Click("Edit", "Delete selected");
    EXPECT_EQ(Form->Scene().FindNodeById(cubeId), nullptr);
    EXPECT_EQ(Objects(), "Objects: 1");
    Click("Edit", "Undo\tCtrl+Z");
    ASSERT_NE(Form->Scene().FindNodeById(cubeId), nullptr);
    EXPECT_EQ(root->GetChild(0)->GetId(), cubeId);
    Click("Edit", "Redo\tCtrl+Y");
    EXPECT_EQ(Form->Scene().FindNodeById(cubeId), nullptr);

    // Delete with nothing selected does nothing.
    const size_t steps = Form->Document().GetHistory().UndoCount();
    Click("Edit", "Delete selected");
    EXPECT_EQ(Form->Document().GetHistory().UndoCount(), steps);

    // Clear scene is no command: everything goes, the history stays as it was.
    Click("Edit", "Clear scene");
    EXPECT_EQ(Form->Scene().NodeCount(), 0);
    EXPECT_EQ(Form->Document().GetHistory().UndoCount(), steps);
    EXPECT_EQ(Objects(), "Objects: 0");

    // Undo and redo past either end change nothing.
    Form->Document().GetHistory().Clear();
    Click("Edit", "Undo\tCtrl+Z");
    Click("Edit", "Redo\tCtrl+Y");
    EXPECT_EQ(Form->Scene().NodeCount(), 0);
}

TEST_F(MainMenuTest, ModeMenuAndToolButtonsSwitchTheTool)
{
    const char* captions[4] = {"Select", "Move", "Scale", "Rotate"};
    const int lefts[4] = {4, 60, 116, 172};
    for (int i = 0; i < 4; ++i) {
        QToolButton* b = Form->ToolButtons()[size_t(i)];
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->text(), captions[i]);
        EXPECT_EQ(b->geometry(), QRect(lefts[i], 3, 54, 24)) << captions[i];
        EXPECT_EQ(b->isChecked(), i == gmMove) << captions[i];
    }
    auto expectTool = [&](TGizmoMode tool) {
        EXPECT_EQ(Form->ObjectTransform().Tool(), tool);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(Form->ToolButtons()[size_t(i)]->isChecked(), i == tool) << captions[i];
        EXPECT_EQ(Form->StatusPanels()->PanelText(TStatusBar::spMode),
                  QStringLiteral("Mode: %1").arg(QString::fromLatin1(captions[tool])));
    };
    Click("Mode", "Scale");
    expectTool(gmScale);
    QTest::mouseClick(Form->ToolButtons()[gmRotate], Qt::LeftButton);
    expectTool(gmRotate);
    // A click on the button that is down keeps it down.
    QTest::mouseClick(Form->ToolButtons()[gmRotate], Qt::LeftButton);
    expectTool(gmRotate);
    Click("Mode", "Select");
    expectTool(gmSelect);
}

TEST_F(MainMenuTest, GridSizeItemsSetTheGrid)
{
    const std::pair<const char*, float> sizes[] = {
        {"10.0", 10.0f}, {"1.0", 1.0f}, {"0.5", 0.5f}, {"0.1", 0.1f}, {"0.25", 0.25f}};
    for (const auto& [caption, size] : sizes) {
        Click("Edit", QStringLiteral("Grid Size/%1").arg(QString::fromLatin1(caption)));
        EXPECT_FLOAT_EQ(GridSize, size) << caption;
    }
    EXPECT_EQ(GridSizeOfTag(5), 0.0f);
    EXPECT_EQ(GridSizeOfTag(-1), 0.0f);
}

TEST_F(MainMenuTest, DisplayModesAskAboutStaleContactLighting)
{
    auto asked = [&] {
        size_t n = 0;
        for (const TDialogCall& c : Calls)
            n += c.Kind == "ask" && c.Caption == "Contact AO";
        return n;
    };
    Click("View", "Shaded");
    EXPECT_EQ(DisplayMode, dmShaded);
    EXPECT_EQ(asked(), 0u);

    // From another mode Solid invalidates the lighting and asks; No still switches.
    YesNoAnswers = {false};
    Click("View", "Solid");
    EXPECT_EQ(DisplayMode, dmSolid);
    ASSERT_EQ(asked(), 1u);
    EXPECT_EQ(Calls.back().Text, "Contact AO must be recalculated for this view. Recalculate "
                                 "now?\n\nChoose No to skip it for now. "
                                 "You can run Refresh Contact AO from the View menu later.");
    EXPECT_FALSE(Form->Scene().ContactLightingOn);
    Form->GLView()->grabFramebuffer();
    EXPECT_FALSE(Form->ContactCache().IsBuilt());

    // Solid again: the lighting is still stale, so it asks again; Yes builds it.
    YesNoAnswers = {true};
    Click("View", "Solid");
    EXPECT_EQ(asked(), 2u);
    EXPECT_TRUE(Form->Scene().ContactLightingOn);
    Form->GLView()->grabFramebuffer();
    EXPECT_TRUE(Form->ContactCache().IsBuilt());

    // Fresh lighting: no question in the same mode; a change of mode asks.
    Click("View", "Solid");
    EXPECT_EQ(asked(), 2u);
    YesNoAnswers = {true};
    Click("View", "Cinematic");
    EXPECT_EQ(DisplayMode, dmCinematic);
    EXPECT_EQ(asked(), 3u);
    EXPECT_FALSE(Form->ContactCache().IsBuilt());

    // Refresh Contact AO switches it on again and rebuilds at the next paint.
    Form->GLView()->grabFramebuffer();
    Form->Scene().SetContactLightingEnabled(false);
    Click("View", "Refresh Contact AO");
    EXPECT_TRUE(Form->Scene().ContactLightingOn);
    EXPECT_FALSE(Form->ContactCache().IsBuilt());
    Form->GLView()->grabFramebuffer();
    EXPECT_TRUE(Form->ContactCache().IsBuilt());

    Click("View", "Wireframe");
    EXPECT_EQ(DisplayMode, dmWireframe);
    EXPECT_EQ(asked(), 3u);
}

TEST_F(MainMenuTest, ToggleHierarchyTreeHidesAndShowsIt)
{
    QAction* item = MenuItem("View", "Toggle hierarchy tree");
    Click("View", "Toggle hierarchy tree");
    EXPECT_FALSE(Form->SceneTree()->isVisible());
    EXPECT_FALSE(item->isChecked());
    QApplication::processEvents();  // the layout gives the view the room
    EXPECT_EQ(Form->GLView()->geometry().left(), 0);
    Click("View", "Toggle hierarchy tree");
    EXPECT_TRUE(Form->SceneTree()->isVisible());
    EXPECT_TRUE(item->isChecked());
}

TEST_F(MainMenuTest, HelpShowsTheControlsAndTheAboutWindow)
{
    Click("Help", "Controls...");
    ASSERT_FALSE(Calls.empty());
    EXPECT_EQ(Calls.back().Kind, "inform");
    EXPECT_EQ(Calls.back().Caption, "Controls");
    const QStringList lines = QString::fromStdString(Calls.back().Text).split('\n');
    ASSERT_EQ(lines.size(), 17);
    EXPECT_EQ(lines[0], "Quillstone controls:");
    EXPECT_EQ(lines[6], "");
    EXPECT_EQ(lines[16], "Space / Z = up / down   |   Mouse wheel = dolly");

    // The about window is modal: look at it from inside its loop, then close it.
    QString title;
    bool sawPictures = false;
    int tries = 0;
    std::function<void()> inspect = [&] {
        auto* about = qobject_cast<TAboutForm*>(QApplication::activeModalWidget());
        if (!about) {
            if (++tries < 200)
                QTimer::singleShot(10, inspect);
            return;
        }
        title = about->windowTitle();
        sawPictures =
            !about->AboutPicture->pixmap().isNull() && !about->LogoPicture->pixmap().isNull();
        QTest::mouseClick(about->CloseButton, Qt::LeftButton);
    };
    QTimer::singleShot(0, inspect);
    Click("Help", "About...");
    EXPECT_EQ(title, "About Quillstone");
    EXPECT_TRUE(sawPictures);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(MainMenuTest, QuitClosesTheWindow)
{
    Click("File", "Quit");
    EXPECT_FALSE(Form->isVisible());
}

TEST_F(MainMenuTest, CameraWindowSettingsClampThePitchAndGoIntoTheScene)
{
    const TVec3 pivot = Form->Camera().OrbitPivot;
    const float distance = Form->Camera().OrbitDistance;
    const std::pair<float, float> pitches[] = {{120, 89}, {-120, -89}, {30, 30}, {89, 89}};
    for (const auto& [given, kept] : pitches) {
        TCameraPlacement in;
        in.Position = Vec3(1, 2, 3);
        in.Yaw = 75;
        in.Pitch = given;
        Form->ApplyCameraSettings(in);
        TCameraPlacement out;
        Form->ReadCameraSettings(out);
        EXPECT_FLOAT_EQ(out.Pitch, kept) << given;
        EXPECT_FLOAT_EQ(out.Yaw, 75);
        EXPECT_FLOAT_EQ(out.Position.Z, 3);
        EXPECT_FLOAT_EQ(Form->Scene().CameraPitch, kept);
        EXPECT_FLOAT_EQ(Form->Scene().CameraYaw, 75);
        EXPECT_FLOAT_EQ(Form->Scene().CameraPosition.Y, 2);
        // The orbit stays about the same point.
        EXPECT_FLOAT_EQ(Form->Camera().OrbitPivot.X, pivot.X);
        EXPECT_FLOAT_EQ(Form->Camera().OrbitDistance, distance);
    }
}

TEST_F(MainMenuTest, FaceTextureListNamesEveryRegisteredTexture)
{
    EXPECT_EQ(TextureComboItems(Form->Textures()), std::vector<std::string>{"0 = none"});
    const char* names[3] = {"brick.bmp", "grass.bmp", "sky.bmp"};
    Form->GLView()->makeCurrent();
    for (const char* name : names) {
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(Qt::gray);
        const QString file = Folder.filePath(QString::fromLatin1(name));
        ASSERT_TRUE(image.save(file, "BMP"));
        EXPECT_GE(Form->Textures().ImportFile(file.toStdString()), 0);
    }
    Form->GLView()->doneCurrent();
    EXPECT_EQ(TextureComboItems(Form->Textures()),
              (std::vector<std::string>{"0 = none", "1: brick.bmp", "2: grass.bmp", "3: sky.bmp"}));

    // File > New empties the registry.
    YesNoAnswers = {true};
    Click("File", "New");
    EXPECT_EQ(Form->Textures().Count(), 0);
}

TEST_F(MainMenuTest, NewAndOpenCloseTheToolWindowsOfTheOldProject)
{
    const QString file = Path("windows.qstn");
    FileAnswers = {file.toStdString()};
    Click("File", "Save As...");

    struct TCase {
        const char* Item;
        bool Answer;
        bool Closed;
    };
    const TCase cases[] = {{"New", false, false}, {"New", true, true}, {"Open...", true, true}};
    for (const TCase& c : cases) {
        QPointer<QWidget> window = new QWidget();
        window->show();
        Form->RegisterToolWindow(window);
        FileAnswers = {file.toStdString()};
        YesNoAnswers = {c.Answer};
        Click("File", QString::fromLatin1(c.Item));
        EXPECT_EQ(window.isNull(), c.Closed) << c.Item << " " << c.Answer;
        delete window.data();
    }
}
