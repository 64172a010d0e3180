#pragma once
// The terrain editor: a tool window for one terrain object with noise generation,
// whole-map tools, erosion, a brush painted on a preview of the heightmap, the grid
// resolution and the heightmap's own undo and redo. It holds the object's id and looks the
// object up at every event, doing nothing once it is gone; it closes itself when the
// object leaves the scene or the project is replaced.
#include "terrain/uNoise.h"
#include "terrain/uTerrainOps.h"
#include "terrain/uTerrainPainting.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QSlider;
class TEditorContext;
class THeightmap;
class TSceneObject;
class TTerrainPreview;

class TTerrainForm : public QWidget {
    Q_OBJECT
public:
    // The tool-window host's kind of this window.
    static constexpr const char* WindowKind = "Terrain";

    TTerrainForm(TEditorContext& Context, uint32_t NodeId, QWidget* Parent = nullptr);
    ~TTerrainForm() override;

    uint32_t GetNodeId() const { return NodeId; }
    // The edited terrain object, or nullptr when the id no longer names one.
    TSceneObject* TerrainObject() const;
    THeightmap* Heightmap() const;

    // Seams: the millisecond clock of the stroke throttle, and the source of the seeds
    // "New (regenerate)" uses (a random integer in 0..2147483646 by default).
    void SetClock(std::function<uint64_t()> Clock) { Now = std::move(Clock); }
    void SetSeedSource(std::function<int32_t()> Source) { NextSeed = std::move(Source); }
    TTerrainPreview* Preview() const { return PreviewBox; }
    const TNoiseParams& GetNoiseParams() const { return NoiseParams; }
    const TBrushKernel* GetBrushKernel() const { return BrushKernel.get(); }

    // Handlers.
    void RegenerateClick();
    void WholeMapButtonClick(int Tag);
    void ErodeGlobalClick();
    void GridResolutionClick(int Index);
    void UndoClick();
    void RedoClick();
    void ResetFlattenClick();
    void ApplyClick();
    void CloseClick();
    void ContourDisplayClick();
    void NoiseScaleChange();
    void BrushSettingChange();
    void ErosionSettingChange();

    // The brush on the preview.
    void PreviewMouseDown(TGridCell Cell, bool Ctrl);
    void PreviewMouseMove(TGridCell Cell, bool Ctrl);
    void PreviewMouseUp();

protected:
    void resizeEvent(QResizeEvent* Event) override;

private:
    void BuildControls();
    QSlider* AddTrackBar(QWidget* Box, const QString& Caption, const QString& Name, int Top,
                         int Min, int Max, int Position, QLabel*& Value);
    QButtonGroup* AddRadioGroup(QWidget* Box, const QString& Caption, const QString& Name, int Top,
                                int Height, const QStringList& Items, int Checked);
    QPushButton* AddButton(QWidget* Box, const QString& Caption, int Top, int Left, int Width);
    void ConnectSceneEvents();
    void SceneChanged(int Kind, uint32_t Id);

    void RebuildBrushKernel();
    void UpdateResolutionRadio();
    void UpdateUndoButtons();
    void UpdateCaption();
    // After an edit of the whole map: the preview, the scene, the undo buttons.
    void Finish();
    // The map into the object's mesh, then the main window told.
    void ApplyToScene();
    // The cells painted since the last push into the mesh, at most every 45 ms.
    void ThrottledApply();
    // The cells painted since the last push into the mesh (with the object's colour over
    // every vertex when Recolour), then the main window told.
    void PushPainted(bool Recolour);
    // Whether every vertex of the mesh has the object's colour, as a rebuild leaves it.
    bool MeshShowsObjectColour() const;
    void StrokeBrush(TGridCell From, TGridCell To, bool Ctrl);
    void ApplyBrushAt(TGridCell Cell, bool Ctrl);
    void Guarded(const std::function<void()>& Body);

    TEditorContext& Context;
    const uint32_t NodeId;
    bool Updating = false;
    TNoiseParams NoiseParams;
    std::unique_ptr<TBrushKernel> BrushKernel;
    float BrushSize = 0.25f;
    float BrushHardness = 0.5f;
    bool Painting = false;
    bool StrokeStarted = false;
    TGridCell LastCell;
    uint64_t LastApplyTick = 0;
    // Cells painted and not yet in the mesh; whether the map differs from the mesh.
    TGridRect PendingCells;
    bool Unpushed = false;
    std::function<uint64_t()> Now;
    std::function<int32_t()> NextSeed;

    // Controls.
    QScrollArea* ScrollBox = nullptr;
    TTerrainPreview* PreviewBox = nullptr;
    QButtonGroup *AlgorithmGroup = nullptr, *ShapeGroup = nullptr, *DimensionsGroup = nullptr;
    QButtonGroup *BrushModeGroup = nullptr, *ResolutionGroup = nullptr;
    QSlider *NoiseBar = nullptr, *SizeBar = nullptr, *HardnessBar = nullptr, *FlowBar = nullptr;
    QSlider *ErosionAmountBar = nullptr, *ErosionRadiusBar = nullptr;
    QLabel *NoiseValue = nullptr, *SizeValue = nullptr, *HardnessValue = nullptr,
           *FlowValue = nullptr, *ErosionAmountValue = nullptr, *ErosionRadiusValue = nullptr;
    QCheckBox* ContourCheck = nullptr;
    QPushButton *UndoButton = nullptr, *RedoButton = nullptr;
    QPushButton *ApplyButton = nullptr, *CloseButton = nullptr;
};

// Closes the open terrain editor and opens one on the object NodeId; when building the
// window fails, says so in an error box and opens nothing. Returns the window or nullptr.
TTerrainForm* ShowTerrainEditor(TEditorContext& Context, uint32_t NodeId);
