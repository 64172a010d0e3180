#include "editor/uMainMenu.h"
#include "editor/uSceneTreePanel.h"

#include "base/uCommandHistory.h"
#include "editor/uAbout.h"
#include "editor/uMainForm.h"
#include "render/uErrorBox.h"
#include "render/uGLView.h"
#include "scene/uContactLighting.h"
#include "scene/uHierarchyCommands.h"
#include "scene/uTextures.h"
#include "terrain/uHeightmap.h"
#include "terrain/uTerrainOps.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QTreeWidget>

#include <cassert>
#include <random>

namespace {

std::mt19937& PrimitiveRandom()
{
    static std::mt19937 generator{std::random_device{}()};
    return generator;
}

float Random01()
{
    return std::uniform_real_distribution<float>(0.0f, 1.0f)(PrimitiveRandom());
}

}  // namespace

float GridSizeOfTag(int Tag)
{
    static const float sizes[5] = {10.0f, 1.0f, 0.5f, 0.25f, 0.1f};
    return Tag >= 0 && Tag < 5 ? sizes[Tag] : 0.0f;
}

std::string ControlsHelpText()
{
    static const char* const lines[] = {
        "Quillstone controls:",
        "Create objects from the Create menu.",
        "F1 / F2 / F3 / F4 = Select / Move / Scale / Rotate tool",
        "F5 = toggle edit mode   |   F6 = sync camera",
        "F = focus selected   |   Left-click object = select",
        "H = hide/show   D = duplicate   (Delete via Edit menu or scene-tree)",
        "",
        "Keyboard transforms (Move, Scale or Rotate tool, object selected):",
        "Press X / Y / Z to lock an axis - object then follows the mouse",
        "  (for Scale, type a number = exact factor, e.g. 2 = 2x)",
        "Left-click or Enter = apply    Right-click or Esc = cancel",
        "",
        "Camera:",
        "Hold RIGHT mouse button + move = look around",
        "Middle mouse or Alt + Left mouse = orbit / pan",
        "W A S D (while looking) = move",
        "Space / Z = up / down   |   Mouse wheel = dolly",
    };
    std::string text;
    for (const char* line : lines) {
        if (!text.empty())
            text += '\n';
        text += line;
    }
    return text;
}

QAction* TMainForm::AddMenuItem(QMenu* Menu, const QString& Caption, int Tag,
                                const std::function<void(int)>& Handler)
{
    QAction* item = Menu->addAction(Caption);
    item->setData(Tag);
    connect(item, &QAction::triggered, this,
            [this, Handler, Tag] { RunGuarded(this, [&] { Handler(Tag); }); });
    return item;
}

void TMainForm::BuildMainMenu()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu"));

    QMenu* file = bar->addMenu(QStringLiteral("File"));
    auto fileItem = [&](const char* caption, int tag, QKeySequence keys,
                        void (TMainForm::*handler)()) {
        AddMenuItem(file, QString::fromLatin1(caption), tag, [this, handler](int) {
            (this->*handler)();
        })->setShortcut(keys);
    };
    fileItem("New", 0, QKeySequence(Qt::CTRL | Qt::Key_N), &TMainForm::FileNewClick);
    file->addSeparator();
    fileItem("Open...", 1, QKeySequence(Qt::CTRL | Qt::Key_O), &TMainForm::FileOpenClick);
    fileItem("Save", 2, QKeySequence(Qt::CTRL | Qt::Key_S), &TMainForm::FileSaveClick);
    fileItem("Save As...", 3, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
             &TMainForm::FileSaveAsClick);
    file->addSeparator();
    fileItem("Quit", 4, QKeySequence(Qt::CTRL | Qt::Key_Q), &TMainForm::FileQuitClick);

    QMenu* create = bar->addMenu(QStringLiteral("Create"));
    for (int t = ptCube; t <= ptTerrain; ++t)
        AddMenuItem(create, QString::fromStdString(PrimitiveTypeName(TPrimitiveType(t))), t,
                    [this](int tag) { CreateMenuClick(tag); });
    create->addSeparator();
    AddMenuItem(create, QStringLiteral("Group"), 100, [this](int) { CreateGroupClick(); });

    QMenu* mode = bar->addMenu(QStringLiteral("Mode"));
    for (int t = gmSelect; t <= gmRotate; ++t)
        AddMenuItem(mode, QString::fromLatin1(GizmoModeName(TGizmoMode(t))), t,
                    [this](int tag) { ModeMenuClick(tag); });

    // Ctrl+Z and Ctrl+Y are taken by the window's key handling, which calls the same
    // routines; the items only show the keys, so one press undoes once.
    QMenu* edit = bar->addMenu(QStringLiteral("Edit"));
    auto editClick = [this](int tag) { EditMenuClick(tag); };
    AddMenuItem(edit, QStringLiteral("Undo\tCtrl+Z"), 10, editClick);
    AddMenuItem(edit, QStringLiteral("Redo\tCtrl+Y"), 11, editClick);
    edit->addSeparator();
    AddMenuItem(edit, QStringLiteral("Delete selected"), 0, editClick);
    AddMenuItem(edit, QStringLiteral("Clear scene"), 1, editClick);
    edit->addSeparator();
    QMenu* grid = edit->addMenu(QStringLiteral("Grid Size"));
    const char* gridCaptions[5] = {"10.0", "1.0", "0.5", "0.25", "0.1"};
    for (int t = 0; t < 5; ++t)
        AddMenuItem(grid, QString::fromLatin1(gridCaptions[t]), t,
                    [this](int tag) { GridSizeClick(tag); });

    // The tool windows' items stay hidden until their subsystem installs what they open
    // (TEditorShell); a separator between hidden items hides with them.
    QMenu* view = bar->addMenu(QStringLiteral("View"));
    const auto viewClick = [this](int tag) { ViewMenuClick(tag); };
    const auto toolItem = [&](QMenu* menu, const char* caption, int tag, QKeySequence keys) {
        QAction* item = AddMenuItem(menu, QString::fromLatin1(caption), tag, viewClick);
        item->setShortcut(keys);
        item->setVisible(false);
        ToolWindowItems[tag] = item;
    };
    const auto toolSeparator = [&](QMenu* menu, int tag) {
        QAction* s = menu->addSeparator();
        s->setVisible(false);
        ToolWindowSeparators[tag] = s;
    };
    const char* modes[4] = {"Shaded", "Wireframe", "Solid", "Cinematic"};
    for (int t = 0; t < 4; ++t)
        AddMenuItem(view, QString::fromLatin1(modes[t]), t, viewClick);
    view->addSeparator();
    toolItem(view, "Cinematic Window...", twiCinematicWindow, QKeySequence(Qt::Key_F12));
    toolSeparator(view, twiCinematicWindow);
    toolItem(view, "Textures...", twiTextures, QKeySequence(Qt::Key_F7));
    toolSeparator(view, twiTextures);
    toolItem(view, "Environment...", twiEnvironment, QKeySequence(Qt::Key_F8));
    AddMenuItem(view, QStringLiteral("Refresh Contact AO"), 0,
                [this](int) { RefreshContactAOClick(); });
    view->addSeparator();
    toolItem(view, "Camera...", twiCamera, QKeySequence(Qt::Key_F10));
    toolSeparator(view, twiCamera);
    toolItem(view, "Terrain Editor...", twiTerrainEditor, QKeySequence(Qt::Key_F9));
    toolSeparator(view, twiTerrainEditor);
    FToggleTreeAction = AddMenuItem(view, QStringLiteral("Toggle hierarchy tree"), 0,
                                    [this](int) { ToggleTreeClick(); });
    FToggleTreeAction->setCheckable(true);
    FToggleTreeAction->setChecked(true);

    QMenu* help = bar->addMenu(QStringLiteral("Help"));
    AddMenuItem(help, QStringLiteral("Controls..."), 0, [this](int tag) { HelpMenuClick(tag); });
    help->addSeparator();
    AddMenuItem(help, QStringLiteral("About..."), 1, [this](int tag) { HelpMenuClick(tag); });

    ToolsMenu = bar->addMenu(QStringLiteral("Tools"));
    toolItem(ToolsMenu, "Texture Ripper...", twiTextureRipper,
             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T));
    toolItem(ToolsMenu, "Floor Plan Builder...", twiFloorPlanBuilder,
             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
    ToolsMenu->menuAction()->setVisible(false);
}

void TMainForm::InstallToolWindowItem(TToolWindowItem Tag, std::function<void()> Open)
{
    const auto item = ToolWindowItems.find(int(Tag));
    assert(item != ToolWindowItems.end());
    ToolWindowOpeners[int(Tag)] = std::move(Open);
    item->second->setVisible(true);
    if (const auto s = ToolWindowSeparators.find(int(Tag)); s != ToolWindowSeparators.end())
        s->second->setVisible(true);
    if (Tag == twiTextureRipper || Tag == twiFloorPlanBuilder)
        ToolsMenu->menuAction()->setVisible(true);
}

void TMainForm::InstallTerrainEditor(std::function<void(uint32_t NodeId)> Open)
{
    ShowTerrainEditor = std::move(Open);
    InstallToolWindowItem(twiTerrainEditor, [this] { OpenTerrainEditor(); });
}

// ---------------------------------------------------------------------------------------
// Create.

void TMainForm::CreateMenuClick(int Tag)
{
    if (Tag < ptCube || Tag > ptTerrain)
        return;
    AddPrimitiveObject(TPrimitiveType(Tag));
}

TSceneObject* TMainForm::AddPrimitiveObject(TPrimitiveType Type)
{
    SelectObject(nullptr);
    TSceneObject* object = Scene().AddPrimitive(Type);
    object->Selected = true;
    switch (Type) {
    case ptSkybox: {
        object->SetPosition(Vec3(0, 0, 0));
        object->SetScaleX(1);
        object->SetScaleY(1);
        object->SetScaleZ(1);
        object->Color = Vec3(1, 1, 1);
        object->ApplyColorToVertices(object->Color);
        int32_t index = TextureRegistry->IndexOfName("skybox.bmp");
        if (index < 0) {
            if (FGLView)
                FGLView->makeCurrent();
            index = TextureRegistry->ImportFile(Options.ProgramFolder + "/textures/skybox.bmp");
            if (FGLView)
                FGLView->doneCurrent();
        }
        object->TexId = index + 1;  // a failed import leaves the skybox untextured
        RefreshTextureCombo();
        break;
    }
    case ptTerrain:
        object->SetPosition(Vec3(0, 0, 0));
        object->SetScaleX(1);
        object->SetScaleY(1);
        object->SetScaleZ(1);
        object->Color = Vec3(0.45f, 0.4f, 0.32f);
        object->ApplyColorToVertices(object->Color);
        if (THeightmap* map = object->GetHeightmap()) {
            TNoiseParams params;
            InitDefaultNoiseParams(params);
            params.Seed = std::uniform_int_distribution<int32_t>(0, 2147483646)(PrimitiveRandom());
            GenerateNoiseTerrain(map, params);
            object->RebuildTerrainMesh();
        }
        break;
    default:
        object->SetPosition(Vec3(0, 0.5f, 0));
        object->Color =
            Vec3(0.55f + 0.35f * Random01(), 0.55f + 0.35f * Random01(), 0.6f + 0.35f * Random01());
        object->ApplyColorToVertices(object->Color);
        break;
    }
    emit EditorEvents->DocumentEdited();
    if (Type == ptTerrain && ShowTerrainEditor)
        ShowTerrainEditor(object->GetId());
    return object;
}

void TMainForm::CreateGroupClick()
{
    Run(std::make_unique<TCreateGroupCommand>(Scene(), "Group", Scene().GetRoot(),
                                              Scene().GetRoot()->ChildCount()));
}

// ---------------------------------------------------------------------------------------
// Mode and Edit.

void TMainForm::ModeMenuClick(int Tag)
{
    if (Tag < gmSelect || Tag > gmRotate)
        return;
    SetTool(TGizmoMode(Tag));
}

void TMainForm::EditMenuClick(int Tag)
{
    switch (Tag) {
    case 0:
        if (TSceneObject* o = Scene().GetSelectedObject())
            Run(std::make_unique<TDeleteSubtreeCommand>(Scene(), o));
        break;
    case 1:
        Scene().Clear();
        emit EditorEvents->DocumentEdited();
        break;
    case 10:
        EditUndo();
        break;
    case 11:
        EditRedo();
        break;
    default:
        break;
    }
}

void TMainForm::EditUndo()
{
    RunGuarded(this, [&] { Document().GetHistory().Undo(); });
    emit EditorEvents->HistoryChanged();
}

void TMainForm::EditRedo()
{
    RunGuarded(this, [&] { Document().GetHistory().Redo(); });
    emit EditorEvents->HistoryChanged();
}

void TMainForm::GridSizeClick(int Tag)
{
    const float size = GridSizeOfTag(Tag);
    if (size <= 0)
        return;
    GridSize = size;
    if (FGLView)
        FGLView->update();
}

// ---------------------------------------------------------------------------------------
// View and Help.

void TMainForm::ViewMenuClick(int Tag)
{
    switch (Tag) {
    case dmShaded:
    case dmWireframe:
        DisplayMode = Tag;
        break;
    case dmSolid:
    case dmCinematic:
        // The mode changes whatever the answer; No only leaves the lighting off.
        ConfirmContactAORecalc(DisplayMode != Tag);
        DisplayMode = Tag;
        break;
    default:
        if (const auto open = ToolWindowOpeners.find(Tag); open != ToolWindowOpeners.end())
            open->second();
        break;
    }
    Repaint();
}

bool TMainForm::ConfirmContactAORecalc(bool Force)
{
    if (!ProjectDocument)
        return true;
    if (Force)
        Scene().InvalidateContactLighting();
    if (!Scene().ContactLightingNeedsRefresh()) {
        Scene().SetContactLightingEnabled(true);
        return true;
    }
    const bool yes = FEditorDialogs.AskYesNo(
        this, "Contact AO",
        "Contact AO must be recalculated for this view. Recalculate now?\n\n"
        "Choose No to skip it for now. You can run Refresh Contact AO from the "
        "View menu later.");
    Scene().SetContactLightingEnabled(yes);
    return yes;
}

void TMainForm::RefreshContactAOClick()
{
    Scene().SetContactLightingEnabled(true);
    InvalidateContactLighting();  // repaints
}

void TMainForm::ToggleTreeClick()
{
    if (!FSceneTree)
        return;
    FSceneTree->setVisible(FSceneTree->isHidden());
    if (FToggleTreeAction)
        FToggleTreeAction->setChecked(!FSceneTree->isHidden());
    if (FGLView) {
        FGLView->setFocus();
        FGLView->update();
    }
}

void TMainForm::HelpMenuClick(int Tag)
{
    if (Tag == 0)
        FEditorDialogs.Inform(this, "Controls", ControlsHelpText());
    else if (Tag == 1)
        ShowAboutBox();
}
