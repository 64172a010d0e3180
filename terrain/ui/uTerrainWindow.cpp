#include "terrain/ui/uTerrainWindow.h"

#include "document/uProjectDocument.h"
#include "editor/api/uEditorContext.h"
#include "render/uErrorBox.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"
#include "terrain/uHeightmap.h"
#include "terrain/uTerrainMesh.h"
#include "terrain/ui/uTerrainPreview.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QSlider>

#include <algorithm>
#include <chrono>
#include <random>

namespace {

// Mesh pushes while a stroke is under way are at least this far apart.
constexpr uint64_t kStrokePushInterval = 45;
constexpr int kErodeIterations = 200;
// Erosions shorter than this finish before their progress dialog would show.
constexpr int kErodeProgressDelay = 300;
constexpr int kMaxSeed = 2147483646;

uint64_t SteadyMilliseconds()
{
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

int32_t RandomSeed()
{
    static std::mt19937 Generator{std::random_device{}()};
    return std::uniform_int_distribution<int32_t>(0, kMaxSeed)(Generator);
}

// Turns the override cursor into an hourglass while a long operation runs.
class TBusyCursor {
public:
    TBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TBusyCursor() { QApplication::restoreOverrideCursor(); }
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
};

}  // namespace

TTerrainForm::TTerrainForm(TEditorContext& EditorContext, uint32_t Id, QWidget* Parent)
    : QWidget(Parent, Qt::Window), Context(EditorContext), NodeId(Id), Now(SteadyMilliseconds),
      NextSeed(RandomSeed)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName("TerrainEditor");
    InitDefaultNoiseParams(NoiseParams);
    BuildControls();
    UpdateCaption();
    RebuildBrushKernel();
    BrushSettingChange();
    NoiseScaleChange();
    ErosionSettingChange();
    UpdateResolutionRadio();
    UpdateUndoButtons();
    ConnectSceneEvents();
}

TTerrainForm::~TTerrainForm() = default;

TSceneObject* TTerrainForm::TerrainObject() const
{
    auto* object = dynamic_cast<TSceneObject*>(Context.Document().GetScene().FindNodeById(NodeId));
    return object && object->PrimType == ptTerrain ? object : nullptr;
}

THeightmap* TTerrainForm::Heightmap() const
{
    const TSceneObject* object = TerrainObject();
    return object ? object->GetHeightmap() : nullptr;
}

void TTerrainForm::Guarded(const std::function<void()>& Body)
{
    RunGuarded(this, Body);
}

// ---------------------------------------------------------------------------------------
// The scene and the project.

void TTerrainForm::ConnectSceneEvents()
{
    TEditorEvents& events = Context.Events();
    connect(&events, &TEditorEvents::NodeRemoving, this, [this](uint32_t Id) {
        if (Id == NodeId)
            close();
    });
    connect(&events, &TEditorEvents::SceneChanged, this,
            [this](int Kind, uint32_t Id) { SceneChanged(Kind, Id); });
    connect(&events, &TEditorEvents::DocumentReplaced, this, [this] { close(); });
}

void TTerrainForm::SceneChanged(int Kind, uint32_t Id)
{
    // Whatever went (the object, a group above it, the whole scene), the window goes
    // once its object is no longer there.
    if (Kind == 1 && (Id == NodeId || Id == 0 || !TerrainObject())) {
        Painting = StrokeStarted = false;
        close();
    }
}

void TTerrainForm::UpdateCaption()
{
    const TSceneObject* object = TerrainObject();
    setWindowTitle(object ? QString("Terrain Editor - ") + QString::fromStdString(object->Name)
                          : QString("Terrain Editor"));
}

void TTerrainForm::ApplyToScene()
{
    TSceneObject* object = TerrainObject();
    if (!object)
        return;
    object->RebuildTerrainMesh();
    PendingCells = TGridRect{};
    Unpushed = false;
    Context.TerrainEdited();
}

void TTerrainForm::ThrottledApply()
{
    const uint64_t now = Now();
    if (LastApplyTick != 0 && now - LastApplyTick < kStrokePushInterval)
        return;
    LastApplyTick = now;
    PushPainted(false);
}

void TTerrainForm::PushPainted(bool Recolour)
{
    TSceneObject* object = TerrainObject();
    const THeightmap* map = Heightmap();
    if (!object || !map)
        return;
    // Only the painted cells change: their vertices are brought up to date in place,
    // unless the mesh is not the map's grid any more. Faces and edges of the grid stay
    // as a rebuild would make them.
    TMeshData* mesh = object->GetBaseMesh();
    if (mesh && UpdateTerrainMeshRegion(*mesh, *map, object->TerrainSize, object->TerrainHeight,
                                        PendingCells)) {
        if (Recolour)
            object->ApplyColorToVertices(object->Color);  // as a rebuild does
        object->MarkMeshDirty();
    } else {
        object->RebuildTerrainMesh();
    }
    PendingCells = TGridRect{};
    Unpushed = false;
    Context.TerrainEdited();
}

void TTerrainForm::Finish()
{
    PreviewBox->MarkPreviewDirty();
    ApplyToScene();
    UpdateUndoButtons();
}

void TTerrainForm::UpdateUndoButtons()
{
    const THeightmap* map = Heightmap();
    UndoButton->setEnabled(map && map->CanUndo());
    RedoButton->setEnabled(map && map->CanRedo());
}

void TTerrainForm::RebuildBrushKernel()
{
    const THeightmap* map = Heightmap();
    if (!map)
        return;
    BrushKernel = std::make_unique<TBrushKernel>(
        BrushKernelSizeFor(map->GetResolution(), BrushSize), BrushHardness);
}

void TTerrainForm::UpdateResolutionRadio()
{
    const THeightmap* map = Heightmap();
    Updating = true;
    const int n = map ? map->GetResolution() : 0;
    QAbstractButton* match = nullptr;
    for (int i = 0; i < 6; ++i)
        if (n == 16 << i)
            match = ResolutionGroup->button(i);
    if (match) {
        match->setChecked(true);
    } else if (QAbstractButton* checked = ResolutionGroup->checkedButton()) {
        // No item for this resolution: none is selected.
        ResolutionGroup->setExclusive(false);
        checked->setChecked(false);
        ResolutionGroup->setExclusive(true);
    }
    Updating = false;
    PreviewBox->MarkPreviewDirty();
}

// ---------------------------------------------------------------------------------------
// Handlers of the controls.

void TTerrainForm::RegenerateClick()
{
    Guarded([&] {
        THeightmap* map = Heightmap();
        if (!map)
            return;
        map->BeginEdit();
        NoiseParams.Algorithm = AlgorithmGroup->checkedId();
        NoiseParams.Shape = ShapeGroup->checkedId();
        NoiseParams.Dimensions = DimensionsGroup->checkedId();
        NoiseParams.Scale = static_cast<float>(NoiseBar->value()) / 10.0f;
        NoiseParams.Seed = std::clamp(NextSeed(), 0, kMaxSeed);
        {
            TBusyCursor busy;
            GenerateNoiseTerrain(map, NoiseParams);
        }
        RebuildBrushKernel();
        Finish();
    });
}

void TTerrainForm::WholeMapButtonClick(int Tag)
{
    Guarded([&] {
        THeightmap* map = Heightmap();
        if (!map)
            return;
        map->BeginEdit();
        // Tags 0..2 raise, lower and smooth; the last button rounds the edges.
        ApplyWholeMapEdit(map, Tag >= 0 && Tag < 3 ? static_cast<TWholeMapEdit>(Tag)
                                                   : TWholeMapEdit::RoundEdges);
        Finish();
    });
}

void TTerrainForm::ErodeGlobalClick()
{
    Guarded([&] {
        THeightmap* map = Heightmap();
        if (!map)
            return;
        // A copy is eroded, so that Cancel leaves the map and its undo steps untouched.
        // The dialog holds every window meanwhile: nothing else can change the scene.
        std::unique_ptr<THeightmap> eroded = map->Clone();
        QProgressDialog progress("Eroding the terrain...", "Cancel", 0, kErodeIterations, this);
        progress.setWindowTitle("Terrain Editor");
        progress.setWindowModality(Qt::ApplicationModal);
        progress.setMinimumDuration(kErodeProgressDelay);
        bool done = false;
        {
            TBusyCursor busy;
            done = ErodeTerrain(eroded.get(), kErodeIterations, ErosionRadiusBar->value(),
                                static_cast<float>(ErosionAmountBar->value()) / 100.0f,
                                [&progress](int Done, int) {
                                    progress.setValue(Done);
                                    return !progress.wasCanceled();
                                });
        }
        progress.reset();
        if (!done)
            return;
        map->BeginEdit();
        std::copy(eroded->Data(), eroded->Data() + eroded->CellCount(), map->Data());
        map->SetMinMax(eroded->GetMinHeight(), eroded->GetMaxHeight());
        Finish();
    });
}

void TTerrainForm::GridResolutionClick(int Index)
{
    if (Updating)
        return;
    Guarded([&] {
        THeightmap* map = Heightmap();
        if (!map || Index < 0 || Index > 5)
            return;
        const int wanted = 16 << Index;
        if (wanted == map->GetResolution())
            return;
        map->BeginEdit();
        map->Resample(wanted);
        RebuildBrushKernel();
        Finish();
    });
}

void TTerrainForm::UndoClick()
{
    Guarded([&] {
        THeightmap* map = Heightmap();
        if (map && map->Undo())
            Finish();
    });
}

void TTerrainForm::RedoClick()
{
    Guarded([&] {
        THeightmap* map = Heightmap();
        if (map && map->Redo())
            Finish();
    });
}

void TTerrainForm::ResetFlattenClick()
{
    Guarded([&] {
        THeightmap* map = Heightmap();
        if (!map)
            return;
        map->BeginEdit();
        map->Fill(0.0f);
        Finish();
    });
}

void TTerrainForm::ApplyClick()
{
    // The mesh is rebuilt only when it lags behind the map: a rebuild from an unchanged
    // map would only undo what was done to the mesh elsewhere (vertex paint, edits).
    Guarded([&] {
        if (Unpushed)
            ApplyToScene();
    });
}

void TTerrainForm::CloseClick()
{
    ApplyClick();
    close();
}

void TTerrainForm::ContourDisplayClick()
{
    PreviewBox->SetContours(ContourCheck->isChecked());
}

void TTerrainForm::NoiseScaleChange()
{
    const double value = std::max(0.1, NoiseBar->value() / 10.0);
    NoiseValue->setText(QLocale().toString(value, 'f', 1));
}

void TTerrainForm::BrushSettingChange()
{
    Guarded([&] {
        BrushSize = static_cast<float>(SizeBar->value()) / 100.0f;
        BrushHardness = static_cast<float>(HardnessBar->value()) / 100.0f;
        SizeValue->setText(QLocale().toString(SizeBar->value() / 100.0, 'f', 2));
        HardnessValue->setText(QLocale().toString(HardnessBar->value() / 100.0, 'f', 2));
        FlowValue->setText(QLocale().toString(FlowBar->value() / 100.0, 'f', 2));
        RebuildBrushKernel();
    });
}

void TTerrainForm::ErosionSettingChange()
{
    ErosionAmountValue->setText(QLocale().toString(ErosionAmountBar->value() / 100.0, 'f', 2));
    ErosionRadiusValue->setText(QLocale().toString(ErosionRadiusBar->value()));
}

// ---------------------------------------------------------------------------------------
// The brush.

void TTerrainForm::PreviewMouseDown(TGridCell Cell, bool Ctrl)
{
    Guarded([&] {
        THeightmap* map = Heightmap();
        if (!map)
            return;
        if (!BrushKernel)
            RebuildBrushKernel();
        Painting = true;
        if (!StrokeStarted) {
            map->BeginEdit();
            StrokeStarted = true;
        }
        ApplyBrushAt(Cell, Ctrl);
        LastCell = Cell;
        ThrottledApply();
        UpdateUndoButtons();
    });
}

void TTerrainForm::PreviewMouseMove(TGridCell Cell, bool Ctrl)
{
    if (!Painting || Cell == LastCell)
        return;
    Guarded([&] {
        if (!Heightmap())
            return;
        StrokeBrush(LastCell, Cell, Ctrl);
        LastCell = Cell;
        ThrottledApply();
    });
}

void TTerrainForm::PreviewMouseUp()
{
    if (!Painting)
        return;
    Painting = StrokeStarted = false;
    // The end of the stroke leaves the mesh as a rebuild from the map would, but only
    // the cells painted since the last push are worked on again. When the last push
    // already left it so, nothing changes and the views are not drawn again for it.
    Guarded([&] {
        if (Unpushed || !MeshShowsObjectColour())
            PushPainted(true);
    });
}

bool TTerrainForm::MeshShowsObjectColour() const
{
    const TSceneObject* object = TerrainObject();
    const TMeshData* mesh = object ? object->GetBaseMesh() : nullptr;
    if (!mesh)
        return false;
    return std::all_of(mesh->Vertices.begin(), mesh->Vertices.end(),
                       [&](const TMeshVertex& v) { return v.Color == object->Color; });
}

void TTerrainForm::StrokeBrush(TGridCell From, TGridCell To, bool Ctrl)
{
    std::vector<TGridCell> cells;
    StrokeDabCells(From, To, BrushKernel ? BrushKernel->GetRadius() : 1, cells);
    for (const TGridCell& c : cells)
        ApplyBrushAt(c, Ctrl);
}

void TTerrainForm::ApplyBrushAt(TGridCell Cell, bool Ctrl)
{
    THeightmap* map = Heightmap();
    if (!map || !BrushKernel)
        return;
    // Ctrl turns raising into lowering and back; smoothing and eroding ignore it.
    ApplyBrush(map, Cell.X, Cell.Y, Ctrl, static_cast<float>(FlowBar->value()) / 100.0f,
               BrushModeGroup->checkedId(), BrushKernel.get());
    const TGridRect cells = DabCells(Cell, BrushKernel->GetRadius(), map->GetResolution());
    PendingCells.Include(cells);
    PreviewBox->MarkCellsDirty(cells);
    Unpushed = true;
}

// ---------------------------------------------------------------------------------------

TTerrainForm* ShowTerrainEditor(TEditorContext& Context, uint32_t NodeId)
{
    try {
        QWidget* w = Context.ToolWindows().Recreate(TTerrainForm::WindowKind, [&] {
            return new TTerrainForm(Context, NodeId, Context.ParentWindow());
        });
        return static_cast<TTerrainForm*>(w);
    } catch (const std::exception& e) {
        Context.Dialogs().ShowError(Context.ParentWindow(), "Error",
                                    std::string("Terrain Editor init error: ") + e.what());
        return nullptr;
    }
}
