#pragma once
// The main window: builds and owns the project, the texture registry and the pieces of
// the editor (the four-view viewport and its camera, the frame loop and status bar, the
// scene drawing), lays out its panels, and tears everything down in an order in which no
// notification reaches a freed receiver.
#include "document/uProjectDocument.h"
#include "editor/api/uEditorContext.h"
#include "editor/api/uEditorShell.h"
#include "editor/uFileCommands.h"
#include "editor/uFrameLoop.h"
#include "editor/uPicking.h"
#include "render/uCamera.h"
#include "render/uGizmoMode.h"
#include "render/uSceneDraw.h"
#include "render/uViewport.h"

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QToolButton;
class QTabWidget;
class QTimer;
class QTreeWidget;
class TGLView;
class TModelingMode;
class TObjectTransformMode;
class TPaintPage;
class TViewportInput;
class TSceneTreePanel;
class TTimelinePanel;
class TStatusBar;
class TContactLightingCache;
class TSceneObject;
class TTextureManager;

struct TMainFormOptions {
    // Milliseconds since system start; the monotonic clock when unset.
    std::function<uint64_t()> Clock;
    // Folder of the autosave file; the program's own folder when empty.
    std::string ProgramFolder;
};

class TMainForm : public QMainWindow, public TEditorContext, public TEditorShell {
    Q_OBJECT
public:
    explicit TMainForm(const TMainFormOptions& Options = {}, QWidget* Parent = nullptr);
    ~TMainForm() override;

    // The editor context every piece works through.
    TProjectDocument& Document() override { return *ProjectDocument; }
    TScene& Scene() { return ProjectDocument->GetScene(); }
    TTextureManager& Textures() override { return *TextureRegistry; }
    TEditorEvents& Events() override { return *EditorEvents; }
    TEditorDialogs& Dialogs() override { return FEditorDialogs; }
    TEditorSelection& Selection() override { return SelectionState; }
    TToolWindowHost& ToolWindows() override { return WindowHost; }
    QWidget* ParentWindow() override { return this; }
    uint32_t SelectedNodeId() const override;
    uint32_t SelectedHierarchyNodeId() const override;
    void SelectNode(uint32_t NodeId) override;
    bool Run(std::unique_ptr<TEditorCommand> Command) override;
    void Undo() override { EditUndo(); }
    void Redo() override { EditRedo(); }
    void Repaint() override;
    void SetStatusText(const std::string& Text) override;
    std::string ProjectFileName() const override { return FFileName; }
    void SetPlaybackAccumulator(double Frame) override;

    // The shell the subsystems' windows install themselves through.
    TEditorContext& Context() override { return *this; }
    void InstallToolWindowItem(TToolWindowItem Tag, std::function<void()> Open) override;
    void InstallToolButton(const std::string& Caption, std::function<void()> Click) override;
    void InstallPushCamera(std::function<void()> Push) override;
    void InstallTerrainEditor(std::function<void(uint32_t NodeId)> Open) override;

    // The pieces of the editor.
    TCamera& Camera() { return FCamera; }
    const TCamera& Camera() const { return FCamera; }
    TOrthoViews& Ortho() { return FOrtho; }
    const TOrthoViews& Ortho() const { return FOrtho; }
    TViewport* Viewport() const { return FViewport.get(); }
    TFrameLoop* FrameLoop() const { return FFrameLoop.get(); }
    TSceneRenderer& SceneRenderer() { return FSceneRenderer; }

    // The views' input and its modes (tools, transforms, modelling, paint picking).
    TViewportInput& ViewportInput() { return *ViewInput; }
    TObjectTransformMode& ObjectTransform();
    TModelingMode& Modeling();
    TPaintPage& PaintPage() { return *PaintPagePtr; }
    // Controls.
    QWidget* ToolBarPanel() const { return FToolBarPanel; }
    TSceneTreePanel* SceneTree() const { return FSceneTree; }
    QMenu* PickMenu() const { return FPickMenu; }
    QTabWidget* PanelTabs() const { return FPanelTabs; }
    TGLView* GLView() const { return FGLView; }
    // Perspective, Top, Front, Left.
    const std::array<QLabel*, 4>& ViewNameLabels() const { return FViewNameLabels; }
    TStatusBar* StatusPanels() const { return FStatusPanels; }
    TTimelinePanel* TimelinePanel() const { return FTimelinePanel; }
    QTimer* FrameTimer() const { return FFrameTimer; }
    // Select, Move, Scale, Rotate.
    const std::array<QToolButton*, 4>& ToolButtons() const { return FToolButtons; }

    // The contact lighting the Solid and Cinematic modes draw with; kept until invalidated.
    TContactLightingCache& ContactCache() { return Scene().GetContactCache(); }
    void InvalidateContactLighting() override;

    // Tool windows that must close before the project goes.
    void RegisterToolWindow(QWidget* Window) { WindowHost.Track(Window); }

    // Handlers and routines of the window.
    void FrameTimerTick();
    void UpdateStatusBar();
    bool UpdateCameraMotion(float dt);
    void AutosaveTick();
    void GLPaint();
    void GLResize();
    // The view-name labels to the corners of the views, in the GL view's parent.
    void PlaceViewNameLabels();
    void PaintViewport();
    void FocusSelected() override;
    void LeaveModelingMode() override;
    void ResetViewCursor();
    TVec3 SelectionColorNow() const;
    void TextureBindHook(int32_t TexId);
    void SceneChanged(TSceneChangeKind Kind, uint32_t NodeId);
    void SceneNodeRemoving(TSceneNode& Node);
    void FrameChanged();

    // Main menu, file commands and tool bar (uMainMenu.cpp, uFileCommands.cpp, uToolBar.cpp).
    // Menu items of one menu share one handler that dispatches on the item's Tag; the
    // keys that do the same (undo, redo, tools) call the same routines.
    void FileNewClick();
    void FileOpenClick();
    void FileSaveClick();
    void FileSaveAsClick();
    void FileQuitClick();
    void CreateMenuClick(int Tag);
    void CreateGroupClick();
    void ModeMenuClick(int Tag);
    // Tag 0 delete selected, 1 clear scene, 10 undo, 11 redo.
    void EditMenuClick(int Tag);
    // Undo / redo one command with every refresh that follows (Edit menu, Ctrl+Z, Ctrl+Y).
    void EditUndo();
    void EditRedo();
    void GridSizeClick(int Tag);
    void ViewMenuClick(int Tag);
    void HelpMenuClick(int Tag);
    void ToggleTreeClick();
    void RefreshContactAOClick();
    bool ConfirmContactAORecalc(bool Force) override;
    TSceneObject* AddPrimitiveObject(TPrimitiveType Type) override;
    void ToolButtonClick(int Tag);
    void SubModeButtonClick(int Tag);
    void SelectAllClick();
    void SetTool(TGizmoMode Tool);

    // Tool-window glue (uToolWindowGlue.cpp): what the main window hands the tool windows.
    void RefreshTextureCombo() override;
    void ReadCameraSettings(TCameraPlacement& Placement) const override;
    void ApplyCameraSettings(const TCameraPlacement& Placement) override;
    void TerrainEdited() override;
    void FloorPlanChanged() override;
    void OpenTerrainEditor();
    void MakeTextureContextCurrent() override;
    void DoneTextureContext() override;

    // Picking and selection (uPicking.cpp). X, Y are logical pixels of the GL view.
    bool ProjectToScreen(const TVec3& Point, float& x, float& y) const;
    void ScreenRay(int X, int Y, TVec3& Origin, TVec3& Direction) const;
    std::vector<TPickHit> CollectPickHits(int X, int Y);
    TSceneObject* PickObjectAt(int X, int Y);
    void ShowPickMenu(int X, int Y);
    void PickMenuClick(int Index);
    void SelectObject(TSceneNode* Node);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    // Quit and the close box: unsaved work is saved, discarded or the close is cancelled.
    void closeEvent(QCloseEvent* Event) override;

private:
    friend class TViewportInput;
    void FormCreate();
    void FormDestroy();
    void BuildToolBarPanel(QWidget* Parent);
    void BuildTreePanel(QWidget* Parent);
    void BuildPropertiesPanel(QWidget* Parent);
    void BuildModifierPanel();
    void BuildGLView(QWidget* Parent);
    void BuildMainMenu();
    QAction* AddMenuItem(QMenu* Menu, const QString& Caption, int Tag,
                         const std::function<void(int)>& Handler);
    void BuildToolButtons();
    void BuildToolWindowButtons();
    bool SaveProjectAs(bool AskForName);
    // True when the project may go: it is unmodified, or the user saved or discarded it.
    bool QueryCloseProject();
    void DocumentReplaced();
    void ConnectOwnRefreshes();
    void BuildTimelinePanel(QWidget* Parent);
    void AddDefaultSceneContent();
    bool TextEntryHasFocus() const;
    void BuildModelingButtons();
    // The "Edit", "Vert", "Edge" and "Face" buttons show the modelling state.
    void RefreshModelingButtons();
    // Runs a checkable tool-bar button's handler on each activation, however it comes.
    void ConnectToolBarButton(QToolButton* Button, std::function<void()> Handler);
    // Key events travel up the widget chain, and the window's filter sees each step.
    const QEvent* LastKeyEvent = nullptr;
    QPointer<QObject> LastKeyTarget;

    TMainFormOptions Options;
    std::string FFileName;
    TCamera FCamera;
    TOrthoViews FOrtho;
    std::unique_ptr<TViewport> FViewport;
    std::unique_ptr<TFrameLoop> FFrameLoop;
    TSceneRenderer FSceneRenderer;
    TEditorDialogs FEditorDialogs = StandardEditorDialogs();
    QWidget* FToolBarPanel = nullptr;
    TSceneTreePanel* FSceneTree = nullptr;
    QMenu* FPickMenu = nullptr;
    std::vector<uint32_t> FPickMenuIds;  // the node of each item of the pick menu
    QTabWidget* FPanelTabs = nullptr;
    TGLView* FGLView = nullptr;
    std::array<QLabel*, 4> FViewNameLabels{};
    TStatusBar* FStatusPanels = nullptr;
    TTimelinePanel* FTimelinePanel = nullptr;
    QTimer* FFrameTimer = nullptr;
    QAction* FToggleTreeAction = nullptr;
    std::array<QToolButton*, 4> FToolButtons{};
    std::unique_ptr<TTextureManager> TextureRegistry;
    std::unique_ptr<TProjectDocument> ProjectDocument;
    TEditorEvents* EditorEvents = nullptr;  // a child of the window
    TEditorSelection SelectionState;
    TToolWindowHost WindowHost;
    // What the installed View and Tools items and tool buttons do.
    std::map<int, QAction*> ToolWindowItems;
    std::map<int, QAction*> ToolWindowSeparators;
    QMenu* ToolsMenu = nullptr;
    std::map<int, std::function<void()>> ToolWindowOpeners;
    std::map<std::string, QToolButton*> InstalledButtons;
    std::function<void()> PushCamera;
    std::function<void(uint32_t)> ShowTerrainEditor;
    std::unique_ptr<TViewportInput> ViewInput;
    TPaintPage* PaintPagePtr = nullptr;  // a page of PanelTabs
    QToolButton* EditButton = nullptr;
    std::array<QToolButton*, 3> SubModeButtons{};  // Vert, Edge, Face
    int SubModeShown = 2;  // the sub-mode button shown down (Faces at start)
    bool Destroying = false;
};
