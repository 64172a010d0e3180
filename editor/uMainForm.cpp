#include "editor/uMainForm.h"

#include "editor/modes/uModelingMode.h"
#include "editor/modes/uObjectTransformMode.h"
#include "editor/uModifierPage.h"
#include "editor/uPaintPage.h"
#include "editor/uPropertiesPage.h"
#include "editor/uSceneTreePanel.h"
#include "editor/uStatusBar.h"
#include "editor/uTimelinePanel.h"
#include "editor/uViewportInput.h"
#include "render/uErrorBox.h"
#include "render/uGLView.h"
#include "render/uMeshDraw.h"
#include "scene/uContactLighting.h"

#include "render/uTextureUpload.h"
#include "scene/uSceneObject.h"
#include "scene/uTextures.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <GL/gl.h>

#include <cassert>
#include <ctime>

namespace {

uint64_t MonotonicMilliseconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
}

constexpr int ClientWidth = 1280;
constexpr int ClientHeight = 760;

}  // namespace

TMainForm::TMainForm(const TMainFormOptions& options, QWidget* Parent)
    : QMainWindow(Parent), Options(options)
{
    if (!Options.Clock)
        Options.Clock = MonotonicMilliseconds;
    if (Options.ProgramFolder.empty())
        Options.ProgramFolder = QCoreApplication::applicationDirPath().toStdString();
    FormCreate();
}

TMainForm::~TMainForm()
{
    FormDestroy();
}

void TMainForm::FormCreate()
{
    // 1. Caption, geometry and key preview.
    setWindowTitle(QStringLiteral("Quillstone"));
    setGeometry(120, 80, 1024, 720);
    qApp->installEventFilter(this);

    // 2. Texture registry, published for drawing and the scene file.
    static TGLTextureGpu glTextures;  // texture objects of the GL views' shared context
    TextureRegistry = std::make_unique<TTextureManager>(&glTextures);
    CurrentTextureManager = TextureRegistry.get();
    ::TextureBindHook = [this](int32_t TexId) { TextureBindHook(TexId); };

    // 3. Modelling off.
    SelectionState.ModelingOn = false;
    SelectionState.ModelingSubMode = 0;
    SelectionState.ClearHover();
    SelectionState.ClearElements();

    // The events every piece refreshes from; the window itself repaints and refreshes its
    // status bar on them.
    EditorEvents = new TEditorEvents(this);
    ConnectOwnRefreshes();

    // 4. The project, made current; the window hears the scene's changes.
    ProjectDocument = std::make_unique<TProjectDocument>();
    ProjectDocument->MakeCurrent();
    Scene().OnNodeRemoving = [this](TScene&, TSceneNode& Node) {
        RunGuarded(this, [&] { SceneNodeRemoving(Node); });
    };
    Scene().OnChange = [this](TScene&, TSceneChangeKind Kind, uint32_t NodeId) {
        RunGuarded(this, [&] { SceneChanged(Kind, NodeId); });
    };

    // 6. Paint state from the scene's palette.
    SelectionState.PaintMode = 0;
    SelectionState.RecentColors = Scene().Palette;
    SelectionState.RecentColorCount = Scene().PaletteCount;

    // 7, 8. Camera, tool and view defaults.
    FCamera.ResetToDefaults();
    DisplayMode = dmWireframe;
    GridSize = 0.25f;
    FOrtho = TOrthoViews{};

    // 9. A selected cube.
    AddDefaultSceneContent();

    // 10-18. The user interface: tool bar on top, tree on the left, pages on the right,
    // the GL view in the middle, the timeline and the status bar at the bottom.
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    BuildToolBarPanel(central);
    column->addWidget(FToolBarPanel);
    auto* row = new QHBoxLayout();
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    BuildTreePanel(central);
    row->addWidget(FSceneTree);
    FPickMenu = new QMenu(this);
    BuildGLView(central);
    row->addWidget(FGLView, 1);
    BuildPropertiesPanel(central);
    row->addWidget(FPanelTabs);
    column->addLayout(row, 1);
    BuildMainMenu();
    FStatusPanels = new TStatusBar(this);
    setStatusBar(FStatusPanels);
    BuildTimelinePanel(central);
    column->addWidget(FTimelinePanel);
    setCentralWidget(central);

    // The client area (below the menu bar) is 1280 x 760, centred on the screen.
    const int menuHeight = menuBar()->isVisible() || !menuBar()->actions().isEmpty()
                               ? menuBar()->sizeHint().height()
                               : 0;
    resize(ClientWidth, ClientHeight + menuHeight);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        move(avail.center() - QPoint(ClientWidth / 2, (ClientHeight + menuHeight) / 2));
    }

    // 19. The frame loop on a 16 ms timer.
    TFrameLoop::THooks hooks;
    hooks.UpdateCameraMotion = [this](float dt) { return UpdateCameraMotion(dt); };
    hooks.GetPlayback = [this](TPlaybackState& s) {
        const TProjectTime& t = Document().GetProjectTime();
        s = {t.GetStartFrame(), t.GetEndFrame(), t.GetCurrentFrame(),
             t.GetFPS(),        t.Playing,       t.GetLoopTimeline()};
        return true;
    };
    hooks.SetCurrentFrame = [this](int32_t f) { Document().GetProjectTime().SetCurrentFrame(f); };
    hooks.StopPlayback = [this] { Document().GetProjectTime().Playing = false; };
    // The timeline follows playback on FrameChanged.
    hooks.UpdateTimelineUI = [this] { FrameChanged(); };
    hooks.FrameChanged = [this] { Repaint(); };
    hooks.UpdateStatusBar = [this] { UpdateStatusBar(); };
    hooks.SceneHasNodes = [this] { return Scene().NodeCount() > 0; };
    hooks.ProjectRevision = [this] { return Document().GetRevision(); };
    hooks.AutosavePath = [this] { return AutosaveFilePath(Options.ProgramFolder); };
    hooks.SaveAutosave = [this](const std::string& path) { Document().SaveToFile(path, false); };
    hooks.Repaint = [this] {
        if (FGLView)
            FGLView->update();
    };
    hooks.ReportError = [this](const std::string& m) { ShowErrorBox(this, m); };
    FFrameLoop = std::make_unique<TFrameLoop>(Options.Clock, hooks);
    FFrameTimer = new QTimer(this);
    FFrameTimer->setTimerType(Qt::PreciseTimer);
    FFrameTimer->setInterval(16);
    connect(FFrameTimer, &QTimer::timeout, this, [this] { FrameTimerTick(); });
    for (auto edited : {&TEditorEvents::DocumentEdited, &TEditorEvents::EnvironmentChanged,
                        &TEditorEvents::TexturesChanged})
        connect(EditorEvents, edited, this, [this] {
            if (!Destroying && FFrameLoop)
                FFrameLoop->ProjectEdited();
        });
    FFrameLoop->Start();
    FFrameTimer->start();

    // 20. Framing of the cube; the tree and the timeline filled themselves when built.
    FocusSelected();
}

void TMainForm::FormDestroy()
{
    Destroying = true;
    // The timer first: no tick may run into half-freed state.
    if (FFrameTimer)
        FFrameTimer->stop();
    if (FFrameLoop)
        FFrameLoop->Destroying = true;
    // Widgets freed under the cursor send the view a leave after the window's members went.
    if (FGLView)
        FGLView->OnMouseLeave = nullptr;
    qApp->removeEventFilter(this);
    // A field that loses the focus later, while the window's widgets are freed, would
    // report an edit to a half-destroyed window: it loses it now, silently.
    if (QWidget* focus = QApplication::focusWidget(); focus && focus->window() == this) {
        const QSignalBlocker silent(focus);
        focus->clearFocus();
    }

    // Every tool window goes before the project it shows.
    WindowHost.CloseAll();

    if (FSceneTree)
        FSceneTree->clear();
    SelectionState.ClearElements();

    // The scene sends its last notifications while it is freed; nothing of the window
    // may hear them any more.
    if (ProjectDocument) {
        Scene().OnChange = nullptr;
        Scene().OnNodeRemoving = nullptr;
    }

    // GL objects (textures) are deleted with the view's context current.
    if (FGLView)
        FGLView->makeCurrent();
    ProjectDocument.reset();
    if (CurrentTextureManager == TextureRegistry.get())
        CurrentTextureManager = nullptr;
    TextureRegistry.reset();
    FSceneRenderer.DrawCache().Clear();
    if (FGLView)
        FGLView->doneCurrent();
    ::TextureBindHook = nullptr;
}

void TMainForm::ConnectOwnRefreshes()
{
    const auto refresh = [this] {
        if (Destroying)
            return;
        UpdateStatusBar();
        Repaint();
    };
    connect(EditorEvents, &TEditorEvents::SceneChanged, this, refresh);
    connect(EditorEvents, &TEditorEvents::SelectionChanged, this, refresh);
    connect(EditorEvents, &TEditorEvents::SelectionChanged, this,
            [this] { RefreshModelingButtons(); });
    connect(EditorEvents, &TEditorEvents::HistoryChanged, this, refresh);
    connect(EditorEvents, &TEditorEvents::DocumentReplaced, this, refresh);
    connect(EditorEvents, &TEditorEvents::DocumentEdited, this, refresh);
    connect(EditorEvents, &TEditorEvents::FrameChanged, this, [this] { Repaint(); });
    connect(EditorEvents, &TEditorEvents::TexturesChanged, this, [this] { Repaint(); });
    connect(EditorEvents, &TEditorEvents::EnvironmentChanged, this, [this] { Repaint(); });
}

// ---------------------------------------------------------------------------------------
// The editor context.

uint32_t TMainForm::SelectedNodeId() const
{
    if (!ProjectDocument)
        return 0;
    const TSceneObject* o = ProjectDocument->GetScene().GetSelectedObject();
    return o ? o->GetId() : 0;
}

uint32_t TMainForm::SelectedHierarchyNodeId() const
{
    if (!ProjectDocument)
        return 0;
    const TScene& scene = ProjectDocument->GetScene();
    for (const TSceneNode* n : scene.GetNodes())
        if (n->Selected && n != scene.GetRoot())
            return n->GetId();
    return 0;
}

void TMainForm::SelectNode(uint32_t NodeId)
{
    SelectObject(NodeId ? Scene().FindNodeById(NodeId) : nullptr);
}

bool TMainForm::Run(std::unique_ptr<TEditorCommand> Command)
{
    assert(Command);
    bool ok = false;
    RunGuarded(this, [&] {
        Document().GetHistory().Execute(std::move(Command));
        ok = true;
    });
    emit EditorEvents->HistoryChanged();
    return ok;
}

void TMainForm::Repaint()
{
    if (FGLView)
        FGLView->update();
}

void TMainForm::SetStatusText(const std::string& Text)
{
    if (FStatusPanels)
        FStatusPanels->SetPanelText(TStatusBar::spMode, Text);
}

void TMainForm::SetPlaybackAccumulator(double Frame)
{
    if (!FFrameLoop)
        return;
    FFrameLoop->SetPlaybackAccumulator(Frame);
    // The next step counts from now, not from a tick before the jump or the start.
    FFrameLoop->Start();
}

void TMainForm::AddDefaultSceneContent()
{
    TSceneObject* cube = Scene().AddPrimitive(ptCube);
    cube->SetPosition(Vec3(0, 0.5f, 0));
    cube->Color = Vec3(0.85f, 0.55f, 0.3f);
    cube->ApplyColorToVertices(cube->Color);
    cube->Selected = true;
}

// ---------------------------------------------------------------------------------------
// Panels.

void TMainForm::BuildToolBarPanel(QWidget* Parent)
{
    FToolBarPanel = new QWidget(Parent);
    FToolBarPanel->setObjectName(QStringLiteral("ToolBarPanel"));
    FToolBarPanel->setFixedHeight(30);
    BuildToolButtons();
    BuildToolWindowButtons();
}

void TMainForm::BuildTreePanel(QWidget* Parent)
{
    FSceneTree = new TSceneTreePanel(*this, Parent);
}

void TMainForm::BuildPropertiesPanel(QWidget* Parent)
{
    FPanelTabs = new QTabWidget(Parent);
    FPanelTabs->setObjectName(QStringLiteral("PanelTabs"));
    FPanelTabs->setFixedWidth(260);
    auto* properties = new TPropertiesPage(*this, FPanelTabs);
    FPanelTabs->addTab(properties, QStringLiteral("Properties"));
    BuildModifierPanel();
    PaintPagePtr = new TPaintPage(*this, FPanelTabs);
    FPanelTabs->addTab(PaintPagePtr, QStringLiteral("Paint"));
    // The Properties page's colour and face UV buttons do the Paint page's edits.
    connect(properties, &TPropertiesPage::PickColorClicked, PaintPagePtr,
            [this] { RunGuarded(this, [&] { PaintPagePtr->PickColorClick(); }); });
    connect(properties, &TPropertiesPage::FaceUVButtonClicked, PaintPagePtr,
            [this](int Tag) { RunGuarded(this, [&] { PaintPagePtr->FaceUVButtonClick(Tag); }); });
    // "Refresh Stack" re-evaluates through the Modifiers page.
    auto* modifiers = qobject_cast<TModifierPage*>(FPanelTabs->widget(1));
    assert(modifiers != nullptr);
    connect(properties, &TPropertiesPage::RefreshStackClicked, modifiers,
            [this, modifiers] { RunGuarded(this, [&] { modifiers->RefreshStackClick(); }); });
    // Which pages are offered is known only once all three are in the page control.
    properties->SetSidePages(modifiers, PaintPagePtr);
    properties->UpdatePropertiesPanel();
}

void TMainForm::BuildModifierPanel()
{
    FPanelTabs->insertTab(1, new TModifierPage(*this, FPanelTabs), QStringLiteral("Modifiers"));
}

void TMainForm::BuildGLView(QWidget* Parent)
{
    FGLView = new TGLView(Parent);
    FGLView->setObjectName(QStringLiteral("GLView"));
    FViewport = std::make_unique<TViewport>(FCamera, FOrtho);
    ViewInput = std::make_unique<TViewportInput>(*this);
    FViewport->GridSize = [] { return GridSize; };
    FViewport->SelectionColor = [this] { return SelectionColorNow(); };
    FViewport->CursorInView = [this](int& x, int& y) {
        const QPoint p = FGLView->mapFromGlobal(QCursor::pos());
        x = p.x();
        y = p.y();
        return FGLView->rect().contains(p);
    };
    FGLView->OnInitialize = [] { glClearColor(0, 0, 0, 1); };
    FGLView->OnPaint = [this] { GLPaint(); };
    FGLView->OnResize = [this] { GLResize(); };
    FGLView->OnMouseDown = [this](QMouseEvent* e) {
        const QPoint p = e->position().toPoint();
        ViewInput->GLMouseDown(e->button(), e->modifiers(), p.x(), p.y());
    };
    FGLView->OnMouseMove = [this](QMouseEvent* e) {
        const QPoint p = e->position().toPoint();
        ViewInput->GLMouseMove(e->buttons(), e->modifiers(), p.x(), p.y());
    };
    FGLView->OnMouseUp = [this](QMouseEvent* e) {
        const QPoint p = e->position().toPoint();
        ViewInput->GLMouseUp(e->button(), e->modifiers(), p.x(), p.y());
    };
    FGLView->OnMouseWheel = [this](QWheelEvent* e) {
        ViewInput->GLMouseWheel(e->angleDelta().y());
        e->accept();
    };
    FGLView->OnMouseLeave = [this] { ViewInput->ForgetHover(); };
    // The names are the window's, beneath the GL view: the view covers them, and its own
    // stroke-font names are the ones that show.
    const char* names[4] = {"Perspective", "Top", "Front", "Left"};
    for (int i = 0; i < 4; ++i) {
        auto* l = new QLabel(QString::fromLatin1(names[i]), Parent);
        l->setObjectName(QStringLiteral("ViewLabel%1").arg(names[i]));
        l->setAttribute(Qt::WA_TransparentForMouseEvents);
        l->setAttribute(Qt::WA_TranslucentBackground);
        l->setStyleSheet(QStringLiteral("color: #707070; background: transparent;"));
        l->adjustSize();
        l->stackUnder(FGLView);
        FViewNameLabels[size_t(i)] = l;
    }
    FGLView->OnMove = [this] { PlaceViewNameLabels(); };
    ResetViewCursor();
}

void TMainForm::BuildTimelinePanel(QWidget* Parent)
{
    FTimelinePanel = new TTimelinePanel(*this, Parent);
}

// ---------------------------------------------------------------------------------------
// Frame loop, status bar, views.

void TMainForm::FrameTimerTick()
{
    if (Destroying)
        return;
    FFrameLoop->FrameTimerTick();  // guarded inside
}

bool TMainForm::UpdateCameraMotion(float dt)
{
    return ::UpdateCameraMotion(FCamera, dt);
}

void TMainForm::AutosaveTick()
{
    RunGuarded(this, [&] { FFrameLoop->AutosaveTick(Options.Clock()); });
}

void TMainForm::UpdateStatusBar()
{
    if (!FStatusPanels || !ProjectDocument)
        return;
    TStatusInputs in;
    ObjectTransform().FillStatus(in);
    Modeling().FillStatus(in);
    in.NodeCount = Scene().NodeCount();
    if (TSceneObject* o = Scene().GetSelectedObject()) {
        in.HasSelectedObject = true;
        in.SelectedName = o->Name;
    }
    in.FramesPerSecond = FFrameLoop ? FFrameLoop->FramesPerSecond : 0.0f;
    FStatusPanels->UpdateStatusBar(in);
}

TVec3 TMainForm::SelectionColorNow() const
{
    return SelectionColorFor(ViewInput->Transform().Tool(), SelectionState.ModelingOn);
}

void TMainForm::GLPaint()
{
    if (FGLView)
        PaintViewport();
}

void TMainForm::PaintViewport()
{
    if (!FGLView || FGLView->width() < 4 || !ProjectDocument)
        return;
    // The animation is evaluated once and shared by the four views.
    TAnimationEvaluation evaluation;
    const TProjectTime& time = Document().GetProjectTime();
    Document().EvaluateAnimation(time.GetCurrentFrame(), &evaluation);
    TPropertyEvaluationContext context;
    context.Frame = time.GetCurrentFrame();
    context.FPS = time.GetFPS();
    const double fps = context.FPS > 0.001f ? double(context.FPS) : 0.001;
    context.Time = double(context.Frame) / fps;
    context.Evaluation = &evaluation;
    SelectionColor = SelectionColorNow();
    TSceneDrawContext& draw = FSceneRenderer.Draw;
    draw.DisplayMode = DisplayMode;
    draw.GridSize = GridSize;
    draw.SelectionColor = SelectionColor;
    draw.LightDirection = SceneLightDirection;
    if (!draw.BindTexture)
        draw.BindTexture = [this](int32_t TexId) { TextureBindHook(TexId); };

    FViewport->DrawScene = [&](int) { FSceneRenderer.Render(Scene(), context); };
    FViewport->DrawPerspectiveExtras = [&] { ViewInput->DrawOverlays(); };
    FSceneRenderer.BeginPaint();
    struct TScissorOff {
        ~TScissorOff() { glDisable(GL_SCISSOR_TEST); }
    } scissorOff;
    FViewport->PaintViewport(FGLView->DeviceWidth(), FGLView->DeviceHeight(),
                             FGLView->devicePixelRatioF());
    FViewport->DrawScene = nullptr;
    FViewport->DrawPerspectiveExtras = nullptr;
}

void TMainForm::GLResize()
{
    if (!FGLView)
        return;
    PlaceViewNameLabels();
    FGLView->update();
}

void TMainForm::PlaceViewNameLabels()
{
    if (!FGLView)
        return;
    const int hw = FGLView->width() / 2, hh = FGLView->height() / 2;
    const QPoint corner = FGLView->pos();
    const QPoint at[4] = {{6, 4}, {hw + 6, 4}, {6, hh + 4}, {hw + 6, hh + 4}};
    for (int i = 0; i < 4; ++i)
        if (FViewNameLabels[size_t(i)])
            FViewNameLabels[size_t(i)]->move(corner + at[i]);
}

void TMainForm::FocusSelected()
{
    TSceneObject* o = Scene().GetSelectedObject();
    if (!o)
        return;
    ObjectTransform().CancelModalTransform();
    const float d = FramingDistance(o->GetBoundingRadius(), o->MaxScale());
    const TVec3 pivot = Document().GetEvaluatedWorldPosition(o->GetId());
    FCamera.OrbitPivot = pivot;
    FCamera.Position = Vec3Sub(pivot, Vec3Scale(FCamera.CameraForward(), d));
    FCamera.OrbitDistance = d;
    if (FGLView)
        FGLView->update();
}

void TMainForm::InvalidateContactLighting()
{
    Scene().InvalidateContactLighting();
    if (FGLView)
        FGLView->update();
}

void TMainForm::ResetViewCursor()
{
    if (FGLView)
        FGLView->setCursor(Qt::BlankCursor);
}

void TMainForm::TextureBindHook(int32_t TexId)
{
    if (!TextureRegistry)
        return;
    if (TexId > 0)
        TextureRegistry->Bind(TexId - 1);
    else
        TextureRegistry->Unbind();
}

// ---------------------------------------------------------------------------------------
// Scene notifications and the panels that follow them.

void TMainForm::SceneChanged(TSceneChangeKind Kind, uint32_t NodeId)
{
    if (Destroying)
        return;
    Document().MarkChanged();
    emit EditorEvents->SceneChanged(int(Kind), NodeId);
}

void TMainForm::SceneNodeRemoving(TSceneNode& Node)
{
    if (Destroying)
        return;
    emit EditorEvents->NodeRemoving(Node.GetId());
}

void TMainForm::FrameChanged()
{
    emit EditorEvents->FrameChanged();
}

// ---------------------------------------------------------------------------------------
// Keys: the window sees every key before the focused control.

bool TMainForm::TextEntryHasFocus() const
{
    QWidget* f = QApplication::focusWidget();
    if (!f)
        return false;
    if (qobject_cast<QLineEdit*>(f) || qobject_cast<QAbstractSpinBox*>(f) ||
        qobject_cast<QTextEdit*>(f) || qobject_cast<QPlainTextEdit*>(f))
        return true;
    if (auto* c = qobject_cast<QComboBox*>(f))
        return c->isEditable();
    return false;
}

bool TMainForm::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Destroying)
        return false;
    const QEvent::Type t = Event->type();
    if (t == QEvent::WindowDeactivate && Watched == this) {
        ViewInput->ReleaseHeldInput();  // a key released elsewhere would stay held
        return false;
    }
    if (t != QEvent::KeyPress && t != QEvent::KeyRelease && t != QEvent::ShortcutOverride)
        return false;
    auto* w = qobject_cast<QWidget*>(Watched);
    if (!w || w->window() != this)
        return false;
    auto* k = static_cast<QKeyEvent*>(Event);
    if (t == QEvent::ShortcutOverride) {
        // Ctrl+Z and Ctrl+Y arrive as key presses and undo or redo once; no menu
        // short-cut and no text field's own undo acts on them as well.
        const bool ctrlOnly =
            (k->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier |
                               Qt::MetaModifier)) == Qt::ControlModifier;
        if (ctrlOnly && (k->key() == Qt::Key_Z || k->key() == Qt::Key_Y)) {
            k->accept();
            return true;
        }
        return false;
    }
    // The same event visits the target's parents when nobody takes it; act on it once.
    if (Event == LastKeyEvent && LastKeyTarget && LastKeyTarget != Watched) {
        for (QObject* p = LastKeyTarget->parent(); p; p = p->parent())
            if (p == Watched)
                return false;
    }
    LastKeyEvent = Event;
    LastKeyTarget = Watched;
    bool consumed = false;
    if (t == QEvent::KeyPress) {
        RunGuarded(this, [&] { consumed = ViewInput->FormKeyDown(k->key(), k->modifiers()); });
    } else if (!k->isAutoRepeat()) {
        RunGuarded(this, [&] { ViewInput->FormKeyUp(k->key()); });
    }
    return consumed;
}
