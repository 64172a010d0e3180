#pragma once
// The floor-plan builder: plan templates, the floors of the project's building, floor
// settings, point tools and the plan canvas, and the buttons that build generated groups
// from them or bring those up to date. Point and settings edits and first builds go through
// the project's history; list edits and updates of existing builds act directly.
//
// The window works on the editor context and holds only ids and its own view; it looks the
// plan and the floor up at every event. The project document being replaced closes it.
#include "floorplan/ui/uPlanCanvas.h"

#include <QWidget>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class TEditorContext;
class TFloorDefinition;
class TFloorPlanDocument;
class TFloorPlanTarget;
struct TFloorSettings;

class TFloorPlanForm : public QWidget, private TPlanCanvasOwner {
    Q_OBJECT
public:
    // NodeId: the node selected in the hierarchy, 0 for none.
    TFloorPlanForm(TEditorContext& Context, uint32_t NodeId, QWidget* Parent = nullptr);
    ~TFloorPlanForm() override;

    void SetSelectedNode(uint32_t NodeId);
    void SceneChanged(int Kind, uint32_t NodeId);

    // What the window shows, for the tests and the main window.
    uint32_t CurrentPlanId() const { return CurrentPlan; }
    std::string StatusText() const;
    TPlanCanvas& Canvas() const { return *PlanCanvas; }
    void CancelPointDrag() { PlanCanvas->CancelPointDrag(); }

    // Button handlers by tag, as the buttons call them.
    void PlanButtonClick(int Tag);   // 1 New, 2 Duplicate, 3 Rename, 4 Delete
    void FloorButtonClick(int Tag);  // 1 + Floor, 2 - Floor, 3 Up, 4 Down
    void PointButtonClick(int Tag);  // 1 Draw, 2 Select, 3 Close, 4 Clear, 5 Remove point
    void BuildButtonClick(int Tag);  // 1 plan, 2 building, 3 update selected, 4 close
    void ApplyTranslationClick();

    // The rename box; tests replace it. Returns False when cancelled.
    std::function<bool(const std::string& Current, std::string& Name)> AskPlanName;
    // The warning box; tests replace it.
    std::function<void(const std::string& Caption, const std::string& Text)> Warn;

private:
    // TPlanCanvasOwner
    TFloorPlan* CanvasPlan() override { return FindCurrentPlan(); }
    const TFloorPlan* ReferencePlan() override;
    void CommitPlanEdit(std::unique_ptr<TFloorPlan> Copy) override;
    void CanvasButtonPressed() override { CanvasFailure.clear(); }
    void CanvasButtonDone() override;

    void BuildControls();
    QWidget* BuildLeftPanel();
    QWidget* BuildRightPanel();
    QWidget* BuildBottomPanel();

    TFloorPlanDocument& Plans() const;
    TFloorPlanTarget* Target() const;
    TFloorPlan* FindCurrentPlan() const;
    TFloorDefinition* SelectedFloor() const;
    uint32_t SelectedFloorId() const;
    int SelectedFloorRow() const;

    void RefreshAll();
    void RefreshPlanList();
    void RefreshFloorList(uint32_t KeepFloorId);
    void RefreshSettingsControls();
    void UpdateControlStates();
    void SelectPlan(uint32_t PlanId);
    void SetStatus(const std::string& Text);
    void NotifyChanged();

    void CommitFloorEdit(std::unique_ptr<TFloorDefinition> Before);
    bool RunEdit(std::unique_ptr<class TEditorCommand> Command, std::string& Message);
    void ApplySettingsControls();
    void ApplyGridEdit();
    bool ReadSettingsControls(TFloorSettings& Settings) const;
    void AfterFloorChange(uint32_t KeepFloorId);

    TEditorContext& Context;
    uint32_t CurrentPlan;
    uint32_t NodeId;
    bool Updating = false;
    std::vector<uint32_t> PlanIds, FloorIds;
    // Why the last edit made with the mouse was refused; shown again after the button is
    // released, when the control states would write their default text over it.
    std::string CanvasFailure;

    QListWidget* PlanList = nullptr;
    QListWidget* FloorList = nullptr;
    std::vector<QPushButton*> PlanButtons, FloorButtons, PointButtons, BuildButtons;
    QLineEdit* HeightEdit = nullptr;
    QLineEdit* WallEdit = nullptr;
    QLineEdit* SlabEdit = nullptr;
    QLineEdit* RiseEdit = nullptr;
    QLineEdit* InsetEdit = nullptr;
    QLineEdit* GridEdit = nullptr;
    QComboBox* RoofCombo = nullptr;
    QLineEdit* TranslateXEdit = nullptr;
    QLineEdit* TranslateZEdit = nullptr;
    QPushButton* ApplyTranslationButton = nullptr;
    QLabel* StatusLabel = nullptr;
    TPlanCanvas* PlanCanvas = nullptr;
};

// Opens the builder on the project of Context (closing an open one), as the Tools menu item
// and the "Floor Plan" tool button do.
TFloorPlanForm* ShowFloorPlanWindow(TEditorContext& Context, uint32_t NodeId);
// The open builder, or nullptr.
TFloorPlanForm* FindFloorPlanWindow(TEditorContext& Context);
