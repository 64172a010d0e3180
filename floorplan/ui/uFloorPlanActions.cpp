// The builder's buttons: plan templates, building floors, point tools, translation, the
// settings edits, and building or updating generated groups.
#include "floorplan/ui/uFloorPlanWindow.h"

#include "base/uErrors.h"
#include "base/uTextFile.h"
#include "document/uProjectDocument.h"
#include "editor/api/uEditorContext.h"
#include "floorplan/uFloorPlanBuild.h"
#include "floorplan/uFloorPlanCommands.h"
#include "floorplan/uFloorPlanDocument.h"
#include "floorplan/uFloorPlanTarget.h"
#include "floorplan/uPlanView.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace {

const TFloorPlanPointArray kDefaultPlanRectangle{
    {-2, -1.5f}, {2, -1.5f}, {2, 1.5f}, {-2, 1.5f}, {-2, -1.5f}};

bool ReadEdit(const QLineEdit* Edit, float& Value)
{
    return TryParsePlanNumber(Edit->text().toStdString(), Value);
}

}  // namespace

// ---- plan templates ----

void TFloorPlanForm::PlanButtonClick(int Tag)
{
    if (Updating)
        return;
    TFloorPlanDocument& plans = Plans();
    TFloorPlan* current = FindCurrentPlan();
    switch (Tag) {
    case 1: {
        TFloorPlan* plan = plans.AddPlan("");
        plan->SetPoints(kDefaultPlanRectangle);
        SelectPlan(plan->Id());
        break;
    }
    case 2: {
        if (!current)
            return;
        TFloorPlan* plan = plans.AddPlan(current->Name() + " copy");
        const uint32_t id = plan->Id();
        plan->Assign(current);
        plan->SetId(id);
        plan->SetName(current->Name() + " copy");
        plan->SetRevision(current->Revision());
        SelectPlan(id);
        break;
    }
    case 3: {
        if (!current)
            return;
        std::string name;
        if (!AskPlanName(current->Name(), name) || name.empty())
            return;
        if (NameTooLong(name)) {
            Warn("Rename plan", NameTooLongMessage());
            return;
        }
        // The box may have run events: look the plan up again.
        current = FindCurrentPlan();
        if (!current)
            return;
        current->SetName(name);
        break;
    }
    case 4:
        if (!current)
            return;
        if (!plans.DeletePlan(current->Id())) {
            Warn("Delete plan", "The plan is used by a floor or generated build.");
            return;
        }
        PlanCanvas->CancelPointDrag();
        CurrentPlan = kNoId;
        break;
    default:
        return;
    }
    Target()->MarkChanged();
    RefreshAll();
    NotifyChanged();
}

// ---- building floors ----

void TFloorPlanForm::FloorButtonClick(int Tag)
{
    if (Updating)
        return;
    TFloorPlanDocument& plans = Plans();
    TBuildingDefinition* building = plans.DefaultBuilding();
    const int row = SelectedFloorRow();
    uint32_t keep = SelectedFloorId();
    switch (Tag) {
    case 1: {
        const TFloorPlan* source = FindCurrentPlan();
        if (!source && plans.PlanCount() > 0)
            source = plans.GetPlan(0);
        TFloorDefinition* floor = plans.AddFloorCopyOf(source, kDefaultPlanRectangle);
        CurrentPlan = floor->PlanId();
        PlanCanvas->SelectedPoint = -1;
        keep = floor->Id();
        break;
    }
    case 2:
        if (row < 0 || row >= building->FloorCount())
            return;
        building->DeleteFloor(row);
        keep = kNoId;
        break;
    case 3:
    case 4: {
        const int to = Tag == 3 ? row - 1 : row + 1;
        if (row < 0 || to < 0 || to >= building->FloorCount())
            return;
        building->MoveFloor(row, to);
        break;
    }
    default:
        return;
    }
    AfterFloorChange(keep);
}

void TFloorPlanForm::AfterFloorChange(uint32_t KeepFloorId)
{
    Target()->MarkChanged();
    std::string failure;
    if (Plans().BuildingCount() > 0) {
        const TBuildingDefinition* building = Plans().GetBuilding(0);
        if (const TFloorPlanBuildBinding* b = FindBuildingBinding(Target(), building->Id()))
            if (!UpdateGeneratedBuilding(Target(), b->RootNodeId, failure) && failure.empty())
                failure = "Generated building root is missing";
    }
    RefreshPlanList();
    RefreshFloorList(KeepFloorId);
    RefreshSettingsControls();
    UpdateControlStates();
    if (!failure.empty())
        SetStatus(failure);
    PlanCanvas->update();
    NotifyChanged();
}

// ---- points ----

void TFloorPlanForm::PointButtonClick(int Tag)
{
    TFloorPlan* plan = FindCurrentPlan();
    if (!plan)
        return;
    std::string status;
    switch (Tag) {
    case 1:
        PlanCanvas->DrawMode = true;
        status = "Click points on the canvas";
        break;
    case 2:
        PlanCanvas->DrawMode = false;
        status = "Click and drag a point";
        break;
    case 3:
    case 4:
    case 5: {
        int& selected = PlanCanvas->SelectedPoint;
        if (Tag == 5 && (selected < 0 || selected >= plan->PointCount()))
            return;
        std::unique_ptr<TFloorPlan> copy = plan->Clone();
        if (Tag == 3) {
            plan->ClosePolygon();
        } else if (Tag == 4) {
            plan->ClearPoints();
            selected = -1;
        } else {
            plan->DeletePoint(selected);
            selected = std::min(selected, plan->PointCount() - 1);
        }
        CommitPlanEdit(std::move(copy));
        return;
    }
    default:
        return;
    }
    UpdateControlStates();
    SetStatus(status);
    PlanCanvas->update();
    NotifyChanged();
}

void TFloorPlanForm::ApplyTranslationClick()
{
    TFloorPlan* plan = FindCurrentPlan();
    if (!plan)
        return;
    float dx = 0, dz = 0;
    TFloorPlanPointArray points = plan->GetPoints();
    if (!ReadEdit(TranslateXEdit, dx) || !ReadEdit(TranslateZEdit, dz) ||
        !TranslatePlanPoints(points, dx, dz)) {
        SetStatus("Translation values must be numeric");
        return;
    }
    if (dx == 0 && dz == 0)
        return;
    std::unique_ptr<TFloorPlan> copy = plan->Clone();
    plan->SetPoints(points);
    CommitPlanEdit(std::move(copy));
    TranslateXEdit->setText(QStringLiteral("0"));
    TranslateZEdit->setText(QStringLiteral("0"));
}

// ---- settings ----

bool TFloorPlanForm::ReadSettingsControls(TFloorSettings& Settings) const
{
    TFloorSettings s = Settings;
    if (!ReadEdit(HeightEdit, s.Height) || !ReadEdit(WallEdit, s.WallThickness) ||
        !ReadEdit(SlabEdit, s.SlabThickness) || !ReadEdit(RiseEdit, s.RoofRise) ||
        !ReadEdit(InsetEdit, s.RoofInset))
        return false;
    if (RoofCombo->currentIndex() >= 0)
        s.RoofType = RoofCombo->currentIndex();
    Settings = s;
    return true;
}

void TFloorPlanForm::ApplySettingsControls()
{
    TFloorPlan* plan = FindCurrentPlan();
    if (Updating || !plan)
        return;
    TFloorDefinition* floor = SelectedFloor();
    TFloorSettings settings =
        floor && floor->OverrideSettings() ? floor->Settings() : plan->Settings();
    if (!ReadSettingsControls(settings))
        return;
    if (floor) {
        std::unique_ptr<TFloorDefinition> before = floor->Clone();
        floor->SetSettings(settings);
        floor->SetOverrideSettings(true);
        CommitFloorEdit(std::move(before));
        return;
    }
    std::unique_ptr<TFloorPlan> copy = plan->Clone();
    plan->SetSettings(settings);
    CommitPlanEdit(std::move(copy));
}

void TFloorPlanForm::ApplyGridEdit()
{
    if (Updating)
        return;
    float step = 0;
    if (ReadEdit(GridEdit, step) && step > 0.001f) {
        PlanCanvas->View().GridStep = step;
        PlanCanvas->update();
        return;
    }
    RefreshSettingsControls();
}

// ---- builds ----

void TFloorPlanForm::BuildButtonClick(int Tag)
{
    TFloorPlanTarget* target = Target();
    std::string message;
    std::string status;
    switch (Tag) {
    case 1: {
        const TFloorPlan* plan = FindCurrentPlan();
        if (!plan)
            return;
        if (const TFloorPlanBuildBinding* b = Plans().FindBindingForPlan(plan->Id())) {
            if (!UpdateGeneratedFloor(target, b->RootNodeId, message))
                throw EGeneralError(message);
        } else if (!Context.Run(TBuildFloorPlanCommand::CreateForPlan(target, plan->Id(), 0))) {
            return;
        }
        status = "Plan built";
        break;
    }
    case 2: {
        if (Plans().BuildingCount() == 0)
            return;
        const uint32_t buildingId = Plans().GetBuilding(0)->Id();
        if (const TFloorPlanBuildBinding* b = FindBuildingBinding(target, buildingId)) {
            if (!UpdateGeneratedBuilding(target, b->RootNodeId, message))
                throw EGeneralError(message);
        } else if (!Context.Run(std::make_unique<TBuildBuildingCommand>(target, buildingId, 0))) {
            return;
        }
        status = "Building built";
        break;
    }
    case 3: {
        const TFloorPlanBuildBinding* b = target->FindBindingForNode(NodeId);
        if (!b) {
            UpdateControlStates();
            SetStatus("Select a generated floor or building in the hierarchy");
            return;
        }
        const bool ok = b->BuildingId == kNoId
                            ? UpdateGeneratedFloor(target, b->RootNodeId, message)
                            : UpdateGeneratedBuilding(target, b->RootNodeId, message);
        if (!ok)
            throw EGeneralError(message);
        status = "Selected build updated";
        break;
    }
    case 4:
        close();
        return;
    default:
        return;
    }
    RefreshAll();
    SetStatus(status);
    NotifyChanged();
}
