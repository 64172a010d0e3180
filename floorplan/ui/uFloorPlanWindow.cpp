#include "floorplan/ui/uFloorPlanWindow.h"

#include "base/uCommandHistory.h"
#include "document/uProjectDocument.h"
#include "editor/api/uEditorContext.h"
#include "floorplan/uFloorPlanCommands.h"
#include "floorplan/uFloorPlanDocument.h"
#include "floorplan/uFloorPlanTarget.h"
#include "render/uErrorBox.h"
#include "scene/uScene.h"

#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <cassert>

namespace {

const char* const kWindowKind = "floorplan";

QLabel* MakeLabel(QWidget* Parent, const char* Text, int Left, int Top, bool Bold = false)
{
    auto* l = new QLabel(QString::fromLatin1(Text), Parent);
    l->setGeometry(Left, Top, 190, 18);
    if (Bold) {
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
    }
    return l;
}

QPushButton* MakeButton(QWidget* Parent, const char* Caption, int Left, int Top, int Width)
{
    auto* b = new QPushButton(QString::fromLatin1(Caption), Parent);
    b->setGeometry(Left, Top, Width, 26);
    b->setObjectName(QStringLiteral("Button ") + QString::fromLatin1(Caption));
    return b;
}

QLineEdit* MakeEdit(QWidget* Parent, const char* Name, int Top, int Left = 120)
{
    auto* e = new QLineEdit(Parent);
    e->setGeometry(Left, Top, 88, 24);
    e->setObjectName(QString::fromLatin1(Name));
    return e;
}

// The selected row of a single-selection list, -1 for none.
int SelectedRow(const QListWidget* List)
{
    const QList<QListWidgetItem*> items = List->selectedItems();
    return items.isEmpty() ? -1 : List->row(items.front());
}

QWidget* FixedPanel(QWidget* Parent, int Width, int Height)
{
    auto* p = new QWidget(Parent);
    if (Width > 0)
        p->setFixedWidth(Width);
    if (Height > 0)
        p->setFixedHeight(Height);
    return p;
}

}  // namespace

TFloorPlanForm::TFloorPlanForm(TEditorContext& Context, uint32_t NodeId, QWidget* Parent)
    : QWidget(Parent, Qt::Window), Context(Context), CurrentPlan(kNoId), NodeId(NodeId)
{
    setObjectName(QStringLiteral("FloorPlanForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Floor Plan Builder"));
    AskPlanName = [this](const std::string& Current, std::string& Name) {
        bool ok = false;
        const QString answer =
            QInputDialog::getText(this, QStringLiteral("Rename plan"), QStringLiteral("Name:"),
                                  QLineEdit::Normal, QString::fromStdString(Current), &ok);
        Name = answer.toStdString();
        return ok;
    };
    Warn = [this](const std::string& Caption, const std::string& Text) {
        QMessageBox::warning(this, QString::fromStdString(Caption), QString::fromStdString(Text));
    };
    BuildControls();
    resize(1120, 720);
    setMinimumSize(900, 560);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = geometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }

    TEditorEvents& events = Context.Events();
    connect(&events, &TEditorEvents::SceneChanged, this,
            [this](int Kind, uint32_t Id) { RunGuarded(this, [&] { SceneChanged(Kind, Id); }); });
    connect(&events, &TEditorEvents::SelectionChanged, this, [this] {
        RunGuarded(this, [&] { SetSelectedNode(this->Context.SelectedHierarchyNodeId()); });
    });
    connect(&events, &TEditorEvents::HistoryChanged, this,
            [this] { RunGuarded(this, [&] { RefreshAll(); }); });
    // A new project: what this window holds ids of is gone.
    connect(&events, &TEditorEvents::DocumentReplaced, this, &QWidget::close);

    // Floors sharing a plan get their own, so that editing one floor edits only it.
    if (Plans().SplitSharedPlans())
        Target()->MarkChanged();
    if (const TFloorPlanBuildBinding* b = Target()->FindBindingForNode(NodeId)) {
        this->NodeId = b->RootNodeId;
        if (b->BuildingId != kNoId) {
            const TBuildingDefinition* building = Plans().FindBuilding(b->BuildingId);
            if (building && building->FloorCount() > 0)
                CurrentPlan = building->GetFloor(0)->PlanId();
        } else {
            CurrentPlan = b->PlanId;
        }
    }
    if (CurrentPlan == kNoId && Plans().PlanCount() > 0)
        CurrentPlan = Plans().GetPlan(0)->Id();
    RefreshAll();
}

TFloorPlanForm::~TFloorPlanForm()
{
    // A drag the window ends is not an edit.
    if (PlanCanvas)
        PlanCanvas->CancelPointDrag();
}

void TFloorPlanForm::BuildControls()
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    auto* middle = new QHBoxLayout;
    middle->setSpacing(0);
    middle->addWidget(BuildLeftPanel());
    auto* centre = new QFrame(this);
    centre->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* centreLayout = new QVBoxLayout(centre);
    centreLayout->setContentsMargins(1, 1, 1, 1);
    PlanCanvas = new TPlanCanvas(*this, centre);
    centreLayout->addWidget(PlanCanvas);
    middle->addWidget(centre, 1);
    middle->addWidget(BuildRightPanel());
    outer->addLayout(middle, 1);
    outer->addWidget(BuildBottomPanel());
}

QWidget* TFloorPlanForm::BuildLeftPanel()
{
    QWidget* p = FixedPanel(this, 230, 0);
    MakeLabel(p, "Plan templates", 8, 8, true);
    PlanList = new QListWidget(p);
    PlanList->setObjectName(QStringLiteral("PlanList"));
    PlanList->setGeometry(8, 30, 190, 190);
    // Selection, not the current row: a list taking the focus makes its first row current
    // without selecting it, which must not switch the plan. A click on the row that is
    // still selected changes no selection, yet it chooses that row's plan all the same.
    const auto planRowChosen = [this] {
        const int Row = SelectedRow(PlanList);
        if (Updating || Row < 0 || Row >= int(PlanIds.size()))
            return;
        RunGuarded(this, [&] { SelectPlan(PlanIds[Row]); });
    };
    connect(PlanList, &QListWidget::itemSelectionChanged, this, planRowChosen);
    connect(PlanList, &QListWidget::itemClicked, this, planRowChosen);
    const struct {
        const char* Caption;
        int Left, Top, Width;
    } planButtons[] = {{"New", 8, 228, 66},
                       {"Duplicate", 82, 228, 80},
                       {"Rename", 170, 228, 52},
                       {"Delete", 8, 260, 66}};
    for (int i = 0; i < 4; ++i) {
        const auto& b = planButtons[i];
        QPushButton* button = MakeButton(p, b.Caption, b.Left, b.Top, b.Width);
        connect(button, &QPushButton::clicked, this,
                [this, i] { RunGuarded(this, [&] { PlanButtonClick(i + 1); }); });
        PlanButtons.push_back(button);
    }

    MakeLabel(p, "Building floors", 8, 310, true);
    FloorList = new QListWidget(p);
    FloorList->setObjectName(QStringLiteral("FloorList"));
    FloorList->setGeometry(8, 332, 190, 192);
    const auto floorRowChosen = [this] {
        const int Row = SelectedRow(FloorList);
        if (Updating || Row < 0 || Row >= int(FloorIds.size()))
            return;
        RunGuarded(this, [&] {
            const TFloorDefinition* floor = Plans().FindFloor(FloorIds[Row]);
            if (floor && Plans().FindPlan(floor->PlanId()))
                SelectPlan(floor->PlanId());
            else
                RefreshAll();
        });
    };
    connect(FloorList, &QListWidget::itemSelectionChanged, this, floorRowChosen);
    connect(FloorList, &QListWidget::itemClicked, this, floorRowChosen);
    const struct {
        const char* Caption;
        int Left, Width;
    } floorButtons[] = {
        {"+ Floor", 8, 64}, {"- Floor", 76, 64}, {"Up", 144, 34}, {"Down", 182, 40}};
    for (int i = 0; i < 4; ++i) {
        const auto& b = floorButtons[i];
        QPushButton* button = MakeButton(p, b.Caption, b.Left, 532, b.Width);
        connect(button, &QPushButton::clicked, this,
                [this, i] { RunGuarded(this, [&] { FloorButtonClick(i + 1); }); });
        FloorButtons.push_back(button);
    }
    return p;
}

QWidget* TFloorPlanForm::BuildRightPanel()
{
    QWidget* p = FixedPanel(this, 235, 0);
    MakeLabel(p, "Floor settings", 10, 8, true);
    const char* labels[] = {"Height",    "Wall thickness", "Slab thickness", "Roof",
                            "Roof rise", "Roof inset",     "Grid snap"};
    for (int i = 0; i < 7; ++i)
        MakeLabel(p, labels[i], 10, 38 + 32 * i);
    HeightEdit = MakeEdit(p, "HeightEdit", 34);
    WallEdit = MakeEdit(p, "WallEdit", 66);
    SlabEdit = MakeEdit(p, "SlabEdit", 98);
    RiseEdit = MakeEdit(p, "RiseEdit", 162);
    InsetEdit = MakeEdit(p, "InsetEdit", 194);
    GridEdit = MakeEdit(p, "GridEdit", 226);
    for (QLineEdit* e : {HeightEdit, WallEdit, SlabEdit, RiseEdit, InsetEdit})
        connect(e, &QLineEdit::editingFinished, this,
                [this] { RunGuarded(this, [&] { ApplySettingsControls(); }); });
    connect(GridEdit, &QLineEdit::editingFinished, this,
            [this] { RunGuarded(this, [&] { ApplyGridEdit(); }); });
    RoofCombo = new QComboBox(p);
    RoofCombo->setObjectName(QStringLiteral("RoofCombo"));
    RoofCombo->setGeometry(120, 130, 105, 24);
    RoofCombo->addItems(
        {QStringLiteral("None"), QStringLiteral("Flat"), QStringLiteral("Truncated")});
    connect(RoofCombo, &QComboBox::currentIndexChanged, this,
            [this] { RunGuarded(this, [&] { ApplySettingsControls(); }); });

    MakeLabel(p, "Translate", 10, 266, true);
    MakeLabel(p, "Translate X", 10, 296);
    MakeLabel(p, "Translate Z", 10, 328);
    TranslateXEdit = MakeEdit(p, "TranslateXEdit", 292);
    TranslateZEdit = MakeEdit(p, "TranslateZEdit", 324);
    ApplyTranslationButton = MakeButton(p, "Apply translation", 10, 356, 215);
    connect(ApplyTranslationButton, &QPushButton::clicked, this,
            [this] { RunGuarded(this, [&] { ApplyTranslationClick(); }); });

    MakeLabel(p, "Points", 10, 396, true);
    const struct {
        const char* Caption;
        int Left, Top, Width;
    } pointButtons[] = {{"Draw points", 10, 422, 105},
                        {"Select points", 120, 422, 105},
                        {"Close polygon", 10, 454, 105},
                        {"Clear polygon", 120, 454, 105},
                        {"Remove current point", 10, 486, 215}};
    for (int i = 0; i < 5; ++i) {
        const auto& b = pointButtons[i];
        QPushButton* button = MakeButton(p, b.Caption, b.Left, b.Top, b.Width);
        connect(button, &QPushButton::clicked, this,
                [this, i] { RunGuarded(this, [&] { PointButtonClick(i + 1); }); });
        PointButtons.push_back(button);
    }
    return p;
}

QWidget* TFloorPlanForm::BuildBottomPanel()
{
    QWidget* p = FixedPanel(this, 0, 42);
    const struct {
        const char* Caption;
        int Left, Width;
    } buildButtons[] = {{"Build / Update Plan", 8, 150},
                        {"Build / Update Building", 166, 165},
                        {"Update Selected", 339, 125},
                        {"Close", 1120 - 100, 90}};
    for (int i = 0; i < 4; ++i) {
        const auto& b = buildButtons[i];
        QPushButton* button = MakeButton(p, b.Caption, b.Left, 7, b.Width);
        connect(button, &QPushButton::clicked, this,
                [this, i] { RunGuarded(this, [&] { BuildButtonClick(i + 1); }); });
        BuildButtons.push_back(button);
    }
    BuildButtons[0]->setObjectName(QStringLiteral("BuildPlanButton"));
    StatusLabel = new QLabel(p);
    StatusLabel->setObjectName(QStringLiteral("StatusLabel"));
    StatusLabel->setGeometry(475, 11, 360, 20);
    return p;
}

// ---- look-ups ----

TFloorPlanDocument& TFloorPlanForm::Plans() const
{
    return Context.Document().GetFloorPlans();
}

TFloorPlanTarget* TFloorPlanForm::Target() const
{
    return Context.Document().FloorPlanTarget();
}

TFloorPlan* TFloorPlanForm::FindCurrentPlan() const
{
    return CurrentPlan == kNoId ? nullptr : Plans().FindPlan(CurrentPlan);
}

int TFloorPlanForm::SelectedFloorRow() const
{
    const int row = SelectedRow(FloorList);
    return row >= 0 && row < int(FloorIds.size()) ? row : -1;
}

uint32_t TFloorPlanForm::SelectedFloorId() const
{
    const int row = SelectedFloorRow();
    return row >= 0 ? FloorIds[row] : kNoId;
}

TFloorDefinition* TFloorPlanForm::SelectedFloor() const
{
    TFloorDefinition* floor = Plans().FindFloor(SelectedFloorId());
    return floor && floor->PlanId() == CurrentPlan && CurrentPlan != kNoId ? floor : nullptr;
}

const TFloorPlan* TFloorPlanForm::ReferencePlan()
{
    const int row = SelectedRow(FloorList);
    if (row < 1 || Plans().BuildingCount() == 0)
        return nullptr;
    const TBuildingDefinition* building = Plans().GetBuilding(0);
    if (row >= building->FloorCount())
        return nullptr;
    return Plans().FindPlan(building->GetFloor(row - 1)->PlanId());
}

std::string TFloorPlanForm::StatusText() const
{
    return StatusLabel->text().toStdString();
}

void TFloorPlanForm::SetStatus(const std::string& Text)
{
    StatusLabel->setText(QString::fromStdString(Text));
}

void TFloorPlanForm::NotifyChanged()
{
    Context.FloorPlanChanged();
}

// ---- refreshing ----

void TFloorPlanForm::RefreshAll()
{
    RefreshPlanList();
    RefreshFloorList(SelectedFloorId());
    RefreshSettingsControls();
    UpdateControlStates();
    PlanCanvas->update();
}

void TFloorPlanForm::RefreshPlanList()
{
    Updating = true;
    PlanList->clear();
    PlanIds.clear();
    int currentRow = -1;
    for (int i = 0; i < Plans().PlanCount(); ++i) {
        const TFloorPlan* plan = Plans().GetPlan(i);
        if (Plans().IsPlanInUse(plan->Id()))
            continue;
        if (plan->Id() == CurrentPlan)
            currentRow = int(PlanIds.size());
        PlanIds.push_back(plan->Id());
        PlanList->addItem(QString::fromStdString(plan->Name()));
    }
    if (currentRow < 0 && !FindCurrentPlan()) {
        // The current plan is gone: the first template takes its place, when there is one.
        CurrentPlan = PlanIds.empty() ? kNoId : PlanIds.front();
        currentRow = PlanIds.empty() ? -1 : 0;
    }
    PlanList->setCurrentRow(currentRow);
    Updating = false;
}

void TFloorPlanForm::RefreshFloorList(uint32_t KeepFloorId)
{
    Updating = true;
    FloorList->clear();
    FloorIds.clear();
    int row = 0;
    if (Plans().BuildingCount() > 0) {
        const TBuildingDefinition* building = Plans().GetBuilding(0);
        for (int i = 0; i < building->FloorCount(); ++i) {
            const TFloorDefinition* floor = building->GetFloor(i);
            if (floor->Id() == KeepFloorId)
                row = i;
            FloorIds.push_back(floor->Id());
            FloorList->addItem(QString::fromStdString(floor->Name() + "  [" +
                                                      std::to_string(floor->PlanId()) + "]"));
        }
    }
    FloorList->setCurrentRow(FloorIds.empty() ? -1 : std::min(row, int(FloorIds.size()) - 1));
    Updating = false;
}

void TFloorPlanForm::RefreshSettingsControls()
{
    Updating = true;
    TFloorSettings s = DefaultFloorSettings();
    if (const TFloorDefinition* floor = SelectedFloor(); floor && floor->OverrideSettings())
        s = floor->Settings();
    else if (const TFloorPlan* plan = FindCurrentPlan())
        s = plan->Settings();
    const auto show = [](QLineEdit* e, float v) {
        e->setText(QString::fromStdString(FormatPlanNumber(v)));
    };
    show(HeightEdit, s.Height);
    show(WallEdit, s.WallThickness);
    show(SlabEdit, s.SlabThickness);
    show(RiseEdit, s.RoofRise);
    show(InsetEdit, s.RoofInset);
    RoofCombo->setCurrentIndex(s.RoofType >= 0 && s.RoofType <= 2 ? s.RoofType : -1);
    show(GridEdit, PlanCanvas->View().GridStep);
    TranslateXEdit->setText(QStringLiteral("0"));
    TranslateZEdit->setText(QStringLiteral("0"));
    Updating = false;
}

void TFloorPlanForm::UpdateControlStates()
{
    const TFloorPlan* plan = FindCurrentPlan();
    const TFloorPlanBuildBinding* planBinding =
        plan ? Plans().FindBindingForPlan(plan->Id()) : nullptr;
    BuildButtons[0]->setEnabled(plan != nullptr);
    BuildButtons[0]->setText(planBinding ? QStringLiteral("Update Plan")
                                         : QStringLiteral("Build Plan"));
    const bool haveBuilding = Plans().BuildingCount() > 0;
    BuildButtons[1]->setEnabled(haveBuilding);
    const int row = SelectedRow(FloorList);
    const bool canRemove = haveBuilding && row >= 0;
    FloorButtons[0]->setEnabled(true);
    FloorButtons[1]->setEnabled(canRemove);
    FloorButtons[2]->setEnabled(canRemove && row > 0);
    FloorButtons[3]->setEnabled(canRemove && row < FloorList->count() - 1);
    ApplyTranslationButton->setEnabled(plan != nullptr);
    const int selected = PlanCanvas->SelectedPoint;
    PointButtons[4]->setEnabled(plan && selected >= 0 && selected < plan->PointCount());
    BuildButtons[2]->setEnabled(Target()->FindBindingForNode(NodeId) != nullptr);
    if (planBinding && Plans().IsBindingStale(planBinding))
        SetStatus("Plan changed: build output is stale");
    else if (plan)
        SetStatus("Click Draw points, then build the plan");
    else
        SetStatus("Create a plan to begin drawing");
}

void TFloorPlanForm::SelectPlan(uint32_t PlanId)
{
    PlanCanvas->CancelPointDrag();
    CurrentPlan = PlanId;
    PlanCanvas->SelectedPoint = -1;
    RefreshSettingsControls();
    UpdateControlStates();
    PlanCanvas->update();
}

void TFloorPlanForm::SetSelectedNode(uint32_t Id)
{
    NodeId = Id;
    UpdateControlStates();
}

void TFloorPlanForm::SceneChanged(int Kind, uint32_t Id)
{
    if (Kind == sckNodeRemoved && Id == NodeId)
        NodeId = 0;
    UpdateControlStates();
}

// ---- commits ----

bool TFloorPlanForm::RunEdit(std::unique_ptr<TEditorCommand> Command, std::string& Message)
{
    bool ok = false;
    try {
        Context.Document().GetHistory().Execute(std::move(Command));
        ok = true;
    } catch (const std::exception& e) {
        Message = e.what();
    }
    emit Context.Events().HistoryChanged();
    return ok;
}

void TFloorPlanForm::CommitPlanEdit(std::unique_ptr<TFloorPlan> Copy)
{
    TFloorPlan* plan = FindCurrentPlan();
    std::string failure;
    if (Copy && plan && Copy->Id() == plan->Id() && Copy->Revision() != plan->Revision()) {
        const std::unique_ptr<TFloorPlan> after = plan->Clone();
        plan->Assign(Copy.get());
        if (!RunEdit(std::make_unique<TEditFloorPlanCommand>(Target(), plan->Id(), Copy.get(),
                                                             after.get()),
                     failure))
            if (TFloorPlan* p = FindCurrentPlan())
                p->Assign(Copy.get());
    }
    UpdateControlStates();
    // Set after the states, which write the default text: the reason must stay readable.
    if (!failure.empty())
        SetStatus(failure);
    CanvasFailure = failure;
    PlanCanvas->update();
    NotifyChanged();
}

void TFloorPlanForm::CommitFloorEdit(std::unique_ptr<TFloorDefinition> Before)
{
    TFloorDefinition* floor = Before ? Plans().FindFloor(Before->Id()) : nullptr;
    std::string failure;
    if (floor) {
        const std::unique_ptr<TFloorDefinition> after = floor->Clone();
        floor->Assign(Before.get());
        const bool same = after->OverrideSettings() == Before->OverrideSettings() &&
                          after->Settings() == Before->Settings() &&
                          after->PlanId() == Before->PlanId() && after->Name() == Before->Name();
        // Tabbing through the edits changes nothing: no undo step, no rebuild.
        if (!same && !RunEdit(std::make_unique<TEditFloorSettingsCommand>(
                                  Target(), floor->Id(), Before.get(), after.get()),
                              failure))
            if (TFloorDefinition* f = Plans().FindFloor(Before->Id()))
                f->Assign(Before.get());
    }
    RefreshSettingsControls();
    UpdateControlStates();
    if (!failure.empty())
        SetStatus(failure);
    PlanCanvas->update();
    NotifyChanged();
}

void TFloorPlanForm::CanvasButtonDone()
{
    UpdateControlStates();
    if (!CanvasFailure.empty())
        SetStatus(CanvasFailure);
    NotifyChanged();
}

// ---- opening ----

TFloorPlanForm* ShowFloorPlanWindow(TEditorContext& Context, uint32_t NodeId)
{
    QWidget* w = Context.ToolWindows().Recreate(kWindowKind, [&]() -> QWidget* {
        return new TFloorPlanForm(Context, NodeId, Context.ParentWindow());
    });
    return static_cast<TFloorPlanForm*>(w);
}

TFloorPlanForm* FindFloorPlanWindow(TEditorContext& Context)
{
    return qobject_cast<TFloorPlanForm*>(Context.ToolWindows().Find(kWindowKind));
}
