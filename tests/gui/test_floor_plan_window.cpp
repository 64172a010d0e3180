// The floor-plan builder as a user drives it: drawing on the canvas, building, editing a
// built plan, undo and redo from the main window, the refusals, and the window following
// the document across a close and a reopen.
#include "base/uTextFile.h"
#include "editor_window_fixture.h"
#include "floorplan/uFloorPlanBuild.h"
#include "floorplan/uFloorPlanDocument.h"
#include "floorplan/ui/uFloorPlanWindow.h"
#include "scene/uHierarchyCommands.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <QWheelEvent>

#include <algorithm>
#include <functional>

namespace {

class FloorPlanWindowTest : public EditorWindowTest {
public:
    TFloorPlanDocument& Plans() { return Form->Document().GetFloorPlans(); }

    // Opens the builder with the tool button, as a user does.
    TFloorPlanForm* Open()
    {
        auto* button = Form->findChild<QToolButton*>(QStringLiteral("ToolButtonFloorPlan"));
        EXPECT_NE(button, nullptr);
        EXPECT_TRUE(button && button->isVisible());
        if (button)
            QTest::mouseClick(button, Qt::LeftButton);
        TFloorPlanForm* w = FindFloorPlanWindow(*Form);
        EXPECT_NE(w, nullptr);
        if (w) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(w));
            w->Warn = [this](const std::string& c, const std::string& t) {
                Warnings.push_back(c + ": " + t);
            };
        }
        return w;
    }
    // By caption; the plan build button by its object name, as its caption changes.
    QPushButton* Button(TFloorPlanForm* w, const char* caption)
    {
        const QString name = QLatin1String(caption) == QLatin1String("Build Plan")
                                 ? QStringLiteral("BuildPlanButton")
                                 : QStringLiteral("Button ") + QLatin1String(caption);
        auto* b = w->findChild<QPushButton*>(name);
        EXPECT_NE(b, nullptr) << caption;
        return b;
    }
    void ClickButton(TFloorPlanForm* w, const char* caption)
    {
        QPushButton* b = Button(w, caption);
        ASSERT_TRUE(b->isEnabled()) << caption;
        QTest::mouseClick(b, Qt::LeftButton);
    }
    QPoint At(TFloorPlanForm* w, float x, float z)
    {
        const TPlanPixel p = w->Canvas().View().PlanToScreen(x, z);
        return QPoint(p.X, p.Y);
    }
    void ClickPlan(TFloorPlanForm* w, float x, float z)
    {
        QTest::mouseClick(&w->Canvas(), Qt::LeftButton, {}, At(w, x, z));
        // Clicks far apart in time, so no two of them make a double click.
        QTest::qWait(QApplication::doubleClickInterval() / 4);
    }
    void DragOnCanvas(TFloorPlanForm* w, Qt::MouseButton b, QPoint from, QPoint to)
    {
        QWidget* c = &w->Canvas();
        QTest::mousePress(c, b, {}, from);
        QMouseEvent move(QEvent::MouseMove, QPointF(to), c->mapToGlobal(QPointF(to)), Qt::NoButton,
                         b, {});
        QApplication::sendEvent(c, &move);
        QTest::mouseRelease(c, b, {}, to);
    }
    void TypeInto(TFloorPlanForm* w, const char* edit, const QString& text)
    {
        auto* e = w->findChild<QLineEdit*>(QLatin1String(edit));
        ASSERT_NE(e, nullptr) << edit;
        e->setText(text);
        emit e->editingFinished();
    }
    QString EditText(TFloorPlanForm* w, const char* edit)
    {
        return w->findChild<QLineEdit*>(QLatin1String(edit))->text();
    }
    TSceneNode* RootChildNamed(const std::string& name)
    {
        for (TSceneNode* c : Form->Scene().GetRoot()->GetChildren())
            if (c->Name == name)
                return c;
        return nullptr;
    }
    static float MaxX(const TSceneNode* group, const char* part)
    {
        for (const TSceneNode* c : group->GetChildren())
            if (c->Name == part) {
                const TMeshData* m = dynamic_cast<const TSceneObject*>(c)->GetBaseMesh();
                float x = -1e30f;
                for (const TMeshVertex& v : m->Vertices)
                    x = std::max(x, v.Position.X);
                return x;
            }
        return -1;
    }
    // The tree shows a node with this name, when the tree lists the scene at all.
    void ExpectInTreeIfListed(const std::string& name)
    {
        auto* tree = Form->findChild<QTreeWidget*>();
        if (!tree || tree->topLevelItemCount() == 0)
            return;
        const QList<QTreeWidgetItem*> found =
            tree->findItems(QString::fromStdString(name), Qt::MatchExactly | Qt::MatchRecursive);
        EXPECT_FALSE(found.isEmpty()) << name;
    }

    std::vector<std::string> Warnings;
};

}  // namespace

TEST_F(FloorPlanWindowTest, DrawARectangleBuildItMoveAPointUndoAndRedo)
{
    TFloorPlanForm* w = Open();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "Floor Plan Builder");
    EXPECT_EQ(w->StatusText(), "Create a plan to begin drawing");
    EXPECT_FALSE(Button(w, "Build Plan")->isEnabled());

    ClickButton(w, "New");
    const TFloorPlan* plan = Plans().FindPlan(w->CurrentPlanId());
    ASSERT_NE(plan, nullptr);
    EXPECT_EQ(plan->Name(), "Plan 1");
    EXPECT_EQ(plan->PointCount(), 4);
    ClickButton(w, "Clear polygon");
    EXPECT_EQ(plan->PointCount(), 0);

    ClickButton(w, "Draw points");
    EXPECT_EQ(w->StatusText(), "Click points on the canvas");
    // Clicks land on the grid: 0.1 off a corner still adds the corner.
    ClickPlan(w, -2.1f, -1.5f);
    ClickPlan(w, 2, -1.4f);
    ClickPlan(w, 2, 1.5f);
    ClickPlan(w, -2, 1.5f);
    ASSERT_EQ(plan->PointCount(), 4);
    EXPECT_TRUE(plan->IsClosed());
    EXPECT_EQ(plan->GetPoint(0).X, -2);
    EXPECT_EQ(plan->GetPoint(1).Z, -1.5f);
    std::string message;
    EXPECT_TRUE(plan->Validate(message)) << message;
    EXPECT_EQ(Form->Document().GetHistory().NextUndo()->GetDescription(), "Edit floor plan");

    // A double click adds its point once.
    ClickPlan(w, -2.5f, 0);
    EXPECT_EQ(plan->PointCount(), 5);
    QTest::mouseDClick(&w->Canvas(), Qt::LeftButton, {}, At(w, -2.5f, 0));
    EXPECT_EQ(plan->PointCount(), 5);
    ClickButton(w, "Select points");
    EXPECT_EQ(w->StatusText(), "Click and drag a point");
    QTest::mouseClick(&w->Canvas(), Qt::LeftButton, {}, At(w, -2.5f, 0));
    ClickButton(w, "Remove current point");
    EXPECT_EQ(plan->PointCount(), 4);

    ClickButton(w, "Build Plan");
    EXPECT_EQ(w->StatusText(), "Plan built");
    EXPECT_EQ(Button(w, "Build Plan")->text(), "Update Plan");
    TSceneNode* group = RootChildNamed("Floor - Plan 1");
    ASSERT_NE(group, nullptr);
    ASSERT_EQ(group->ChildCount(), 2);
    EXPECT_EQ(group->GetChild(0)->Name, "Slab");
    EXPECT_EQ(group->GetChild(1)->Name, "Walls");
    ExpectInTreeIfListed("Floor - Plan 1");
    EXPECT_EQ(MaxX(group, "Slab"), 2);
    const uint32_t groupId = group->GetId();

    // Drag point 1 from x = 2 to x = 3: one edit, and the group follows at once.
    DragOnCanvas(w, Qt::LeftButton, At(w, 2, -1.5f), At(w, 3, -1.5f));
    EXPECT_EQ(plan->GetPoint(1).X, 3);
    group = Form->Scene().FindNodeById(groupId);
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(MaxX(group, "Slab"), 3);
    EXPECT_FALSE(Plans().IsBindingStale(Plans().FindBindingForPlan(plan->Id())));

    Form->Undo();
    EXPECT_EQ(plan->GetPoint(1).X, 2);
    EXPECT_EQ(MaxX(Form->Scene().FindNodeById(groupId), "Slab"), 2);
    Form->Redo();
    EXPECT_EQ(plan->GetPoint(1).X, 3);
    EXPECT_EQ(MaxX(Form->Scene().FindNodeById(groupId), "Slab"), 3);

    // Pan with the right button and zoom with the wheel move the view, not the plan.
    const float ppu = w->Canvas().View().PixelsPerUnit;
    DragOnCanvas(w, Qt::RightButton, QPoint(100, 100), QPoint(135, 100));
    EXPECT_FLOAT_EQ(w->Canvas().View().CenterX, -35 / ppu);
    QWheelEvent wheel(QPointF(50, 50), w->Canvas().mapToGlobal(QPointF(50, 50)), QPoint(),
                      QPoint(0, 120), Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&w->Canvas(), &wheel);
    EXPECT_FLOAT_EQ(w->Canvas().View().PixelsPerUnit, ppu * 1.15f);
    EXPECT_EQ(plan->GetPoint(1).X, 3);
}

TEST_F(FloorPlanWindowTest, RefusalsKeepThePlanAndSayWhy)
{
    TFloorPlanForm* w = Open();
    ASSERT_NE(w, nullptr);
    ClickButton(w, "New");
    TFloorPlan* plan = Plans().FindPlan(w->CurrentPlanId());
    ASSERT_NE(plan, nullptr);

    // Grid snap of 0.001 or less, or not a number: the old value comes back.
    for (const char* text : {"0.001", "abc", "nan"}) {
        TypeInto(w, "GridEdit", QString::fromLatin1(text));
        EXPECT_EQ(EditText(w, "GridEdit"), "0.25") << text;
    }
    TypeInto(w, "GridEdit", QStringLiteral("0.5"));
    EXPECT_EQ(w->Canvas().View().GridStep, 0.5f);

    // Settings that are not finite singles are ignored; a good one is an undoable edit.
    const TFloorSettings before = plan->Settings();
    for (const char* text : {"nan", "inf", "1e39", "3,5"}) {
        TypeInto(w, "HeightEdit", QString::fromLatin1(text));
        EXPECT_EQ(plan->Settings(), before) << text;
    }
    TypeInto(w, "HeightEdit", QStringLiteral("4.5"));
    EXPECT_EQ(plan->Settings().Height, 4.5f);
    EXPECT_EQ(EditText(w, "HeightEdit"), "4.5");
    Form->Undo();
    EXPECT_EQ(plan->Settings().Height, before.Height);
    EXPECT_EQ(EditText(w, "HeightEdit"), "3");

    // Translation: text and overflow are refused with the same message.
    for (const char* text : {"abc", "1e39"}) {
        TypeInto(w, "TranslateXEdit", QString::fromLatin1(text));
        ClickButton(w, "Apply translation");
        EXPECT_EQ(w->StatusText(), "Translation values must be numeric") << text;
        EXPECT_EQ(plan->GetPoint(1).X, 2) << text;
    }
    TypeInto(w, "TranslateXEdit", QStringLiteral("3e38"));
    ClickButton(w, "Apply translation");
    EXPECT_EQ(plan->GetPoint(1).X, 3e38f);
    // Points that far away still draw, and a click still finds the near ones.
    EXPECT_FALSE(w->Canvas().grab().isNull());
    TypeInto(w, "TranslateXEdit", QStringLiteral("3e38"));
    ClickButton(w, "Apply translation");
    EXPECT_EQ(w->StatusText(), "Translation values must be numeric");
    EXPECT_EQ(plan->GetPoint(1).X, 3e38f);
    Form->Undo();
    EXPECT_EQ(plan->GetPoint(1).X, 2);
    TypeInto(w, "TranslateXEdit", QStringLiteral("1"));
    ClickButton(w, "Apply translation");
    EXPECT_EQ(plan->GetPoint(1).X, 3);
    EXPECT_EQ(EditText(w, "TranslateXEdit"), "0");

    // A built plan refuses a point on a straight edge; the reason stays in the status text
    // and names the point by the plan's own number.
    ClickButton(w, "Build Plan");
    ClickButton(w, "Draw points");
    ClickPlan(w, -1, 0);  // on the edge from (-1, 1.5) back to (-1, -1.5)
    EXPECT_EQ(w->StatusText(), "Inset is unstable at polygon point 4");
    EXPECT_EQ(plan->PointCount(), 4);

    // A build that fails shows its message in the error box and builds nothing.
    ClickButton(w, "New");
    TFloorPlan* second = Plans().FindPlan(w->CurrentPlanId());
    ASSERT_NE(second, nullptr);
    ClickButton(w, "Clear polygon");
    ClickPlan(w, 0, 0);
    ClickPlan(w, 1, 0);
    const int nodes = Form->Scene().NodeCount();
    ClickButton(w, "Build Plan");
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0], "Floor-plan polygon needs at least three points");
    Errors.clear();
    EXPECT_EQ(Form->Scene().NodeCount(), nodes);

    // Update Selected without a generated node selected.
    w->BuildButtonClick(3);
    EXPECT_EQ(w->StatusText(), "Select a generated floor or building in the hierarchy");

    // A plan a floor uses cannot be deleted.
    ClickButton(w, "+ Floor");
    const uint32_t floorPlan = w->CurrentPlanId();
    EXPECT_TRUE(Plans().IsPlanInUse(floorPlan));
    ClickButton(w, "Delete");
    ASSERT_EQ(Warnings.size(), 1u);
    EXPECT_EQ(Warnings[0], "Delete plan: The plan is used by a floor or generated build.");
    EXPECT_NE(Plans().FindPlan(floorPlan), nullptr);
}

TEST_F(FloorPlanWindowTest, ReopenedWindowFollowsTheChangedDocument)
{
    TFloorPlanForm* w = Open();
    ASSERT_NE(w, nullptr);
    ClickButton(w, "New");
    ClickButton(w, "Build Plan");
    TSceneNode* group = RootChildNamed("Floor - Plan 1");
    ASSERT_NE(group, nullptr);
    const uint32_t groupId = group->GetId();
    QPointer<TFloorPlanForm> closed = w;
    ClickButton(w, "Close");
    QTRY_VERIFY(closed.isNull());
    EXPECT_EQ(FindFloorPlanWindow(*Form), nullptr);

    // While it is closed: another plan, and the generated group deleted.
    Plans().AddPlan("Garage");
    ASSERT_TRUE(Form->Run(std::make_unique<TDeleteSubtreeCommand>(Form->Scene(), group)));
    EXPECT_EQ(Plans().BindingCount(), 0);

    w = Open();
    ASSERT_NE(w, nullptr);
    auto* list = w->findChild<QListWidget*>(QStringLiteral("PlanList"));
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(1)->text(), "Garage");
    EXPECT_EQ(Button(w, "Build Plan")->text(), "Build Plan");

    // Undoing the delete binds the group again, and the open window shows it.
    Form->Undo();
    ASSERT_NE(Form->Scene().FindNodeById(groupId), nullptr);
    EXPECT_EQ(Button(w, "Build Plan")->text(), "Update Plan");

    // Opened on a node of the generated group, the window edits its plan.
    list->setCurrentRow(1);
    EXPECT_EQ(Plans().FindPlan(w->CurrentPlanId())->Name(), "Garage");
    Form->SelectNode(Form->Scene().FindNodeById(groupId)->GetChild(0)->GetId());
    w = Open();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(Plans().FindPlan(w->CurrentPlanId())->Name(), "Plan 1");
    EXPECT_TRUE(Button(w, "Update Selected")->isEnabled());
    ClickButton(w, "Update Selected");
    EXPECT_EQ(w->StatusText(), "Selected build updated");

    // File > New closes it.
    QPointer<TFloorPlanForm> open = w;
    Form->Dialogs().AskYesNo = [](QWidget*, const std::string&, const std::string&) {
        return true;
    };
    Form->FileNewClick();
    EXPECT_TRUE(open.isNull());
    EXPECT_EQ(FindFloorPlanWindow(*Form), nullptr);
}

TEST_F(FloorPlanWindowTest, FloorsStackIntoABuildingThatFollowsTheirOrder)
{
    TFloorPlanForm* w = Open();
    ASSERT_NE(w, nullptr);
    auto* floors = w->findChild<QListWidget*>(QStringLiteral("FloorList"));
    auto* plans = w->findChild<QListWidget*>(QStringLiteral("PlanList"));
    EXPECT_FALSE(Button(w, "Build / Update Building")->isEnabled());

    // "+ Floor" on an empty project makes the plan it copies, then each floor its own plan.
    ClickButton(w, "+ Floor");
    ClickButton(w, "+ Floor");
    ASSERT_EQ(floors->count(), 2);
    EXPECT_EQ(plans->count(), 1);  // the source plan; the floors' plans are not templates
    const TBuildingDefinition* building = Plans().GetBuilding(0);
    EXPECT_EQ(building->Name(), "Building 1");
    const uint32_t ground = building->GetFloor(0)->Id(), upper = building->GetFloor(1)->Id();
    // The second copies the current plan, the first floor's.
    EXPECT_EQ(Plans().FindPlan(building->GetFloor(1)->PlanId())->Name(),
              "Plan 1 - Floor 1 - Floor 2");
    EXPECT_EQ(floors->item(1)->text().toStdString(),
              "Floor 2  [" + std::to_string(building->GetFloor(1)->PlanId()) + "]");
    EXPECT_EQ(floors->currentRow(), 1);
    EXPECT_EQ(w->CurrentPlanId(), building->GetFloor(1)->PlanId());

    ClickButton(w, "Build / Update Building");
    EXPECT_EQ(w->StatusText(), "Building built");
    TSceneNode* root = RootChildNamed("Building 1");
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->ChildCount(), 2);
    EXPECT_EQ(root->GetChild(0)->Name, "Floor 1");
    EXPECT_EQ(root->GetChild(1)->Name, "Floor 2");
    EXPECT_EQ(root->GetChild(1)->GetPosition().Y, 3);
    ExpectInTreeIfListed("Building 1");

    // A floor's own settings: the building is rebuilt at once, and undo brings it back.
    TypeInto(w, "HeightEdit", QStringLiteral("4"));
    EXPECT_EQ(Plans().FindFloor(upper)->Settings().Height, 4);
    EXPECT_EQ(Form->Document().GetHistory().NextUndo()->GetDescription(), "Edit floor settings");
    // Moving the upper floor down restacks the generated floors without undo.
    ClickButton(w, "Up");
    EXPECT_EQ(Plans().GetBuilding(0)->GetFloor(0)->Id(), upper);
    EXPECT_EQ(floors->currentRow(), 0);
    root = RootChildNamed("Building 1");
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->ChildCount(), 2);
    EXPECT_EQ(root->GetChild(1)->GetPosition().Y, 4);  // above the 4 high floor now at the bottom
    EXPECT_FALSE(Plans().IsBindingStale(
        FindBuildingBinding(Form->Document().FloorPlanTarget(), Plans().GetBuilding(0)->Id())));

    // With the second row selected the floor below is the reference outline.
    floors->setCurrentRow(1);
    EXPECT_EQ(w->CurrentPlanId(), Plans().FindFloor(ground)->PlanId());
    ClickButton(w, "- Floor");
    EXPECT_EQ(floors->count(), 1);
    EXPECT_EQ(plans->count(), 2);  // the removed floor's plan is a template again
    root = RootChildNamed("Building 1");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->ChildCount(), 1);

    // Deleting every template leaves the plan list empty and nothing current.
    while (plans->count() > 0) {
        plans->setCurrentRow(0);
        ClickButton(w, "Delete");
    }
    EXPECT_EQ(w->CurrentPlanId(), kNoId);
    EXPECT_EQ(w->StatusText(), "Create a plan to begin drawing");
    EXPECT_FALSE(Button(w, "Build Plan")->isEnabled());
    QTest::mouseClick(&w->Canvas(), Qt::LeftButton, {}, QPoint(20, 20));  // does nothing
    EXPECT_TRUE(Warnings.empty());
}

TEST_F(FloorPlanWindowTest, NumbersShowAndReadWithADotInACommaLocale)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    TFloorPlanForm* w = Open();
    ASSERT_NE(w, nullptr);
    ClickButton(w, "New");
    EXPECT_EQ(EditText(w, "WallEdit"), "0.2");
    TypeInto(w, "WallEdit", QStringLiteral("0.3"));
    EXPECT_EQ(Plans().FindPlan(w->CurrentPlanId())->Settings().WallThickness, 0.3f);
    EXPECT_EQ(EditText(w, "WallEdit"), "0.3");
    QLocale::setDefault(saved);
}

// A click on a row makes its plan current even when that row is still highlighted from
// before: the other list's plan must not stay current under the canvas and the edits.
TEST_F(FloorPlanWindowTest, AClickOnAStillHighlightedRowMakesItsPlanCurrent)
{
    TFloorPlanForm* w = Open();
    ASSERT_NE(w, nullptr);
    auto* floors = w->findChild<QListWidget*>(QStringLiteral("FloorList"));
    auto* plans = w->findChild<QListWidget*>(QStringLiteral("PlanList"));
    ClickButton(w, "New");
    const uint32_t templatePlan = w->CurrentPlanId();
    ClickButton(w, "+ Floor");
    const uint32_t floorPlan = Plans().GetBuilding(0)->GetFloor(0)->PlanId();
    ASSERT_NE(floorPlan, templatePlan);
    ASSERT_EQ(plans->count(), 1);
    ASSERT_EQ(floors->count(), 1);
    const auto clickRow = [](QListWidget* list, int row) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
        QTest::qWait(QApplication::doubleClickInterval() + 50);
    };

    // Back and forth between the lists; each row keeps its highlight throughout.
    const struct {
        QListWidget* List;
        uint32_t Plan;
    } clicks[] = {
        {plans, templatePlan}, {floors, floorPlan}, {plans, templatePlan}, {floors, floorPlan}};
    for (const auto& c : clicks) {
        clickRow(c.List, 0);
        EXPECT_EQ(plans->currentRow(), 0);
        EXPECT_EQ(floors->currentRow(), 0);
        EXPECT_EQ(w->CurrentPlanId(), c.Plan) << c.List->objectName().toStdString();
    }

    // The edits follow: "Clear polygon" clears the floor's plan, not the template.
    ClickButton(w, "Clear polygon");
    EXPECT_EQ(Plans().FindPlan(floorPlan)->PointCount(), 0);
    EXPECT_EQ(Plans().FindPlan(templatePlan)->PointCount(), 4);
}

// A generated group clicked in the hierarchy reaches the window, as its objects do:
// "Update Selected" brings that build up to date, and the window opens on its plan.
TEST_F(FloorPlanWindowTest, AGeneratedGroupSelectedInTheTreeCanBeUpdated)
{
    TFloorPlanForm* w = Open();
    ASSERT_NE(w, nullptr);
    ClickButton(w, "New");
    const uint32_t planId = w->CurrentPlanId();
    ClickButton(w, "Build Plan");
    ClickButton(w, "+ Floor");
    ClickButton(w, "Build / Update Building");
    const uint32_t storeyPlan = Plans().GetBuilding(0)->GetFloor(0)->PlanId();
    TSceneTreePanel* tree = Form->SceneTree();
    const auto clickInTree = [&](const TSceneNode* node) {
        ASSERT_NE(node, nullptr);
        QTreeWidgetItem* item = tree->ItemOfNode(node->GetId());
        ASSERT_NE(item, nullptr);
        tree->scrollToItem(item);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          tree->visualItemRect(item).center());
    };
    const auto planGroup = [&] { return RootChildNamed("Floor - Plan 1"); };
    const auto buildingGroup = [&] { return RootChildNamed("Building 1"); };
    const auto storeyGroup = [&]() -> TSceneNode* {
        TSceneNode* b = buildingGroup();
        return b && b->ChildCount() > 0 ? b->GetChild(0) : nullptr;
    };

    // The plan's group, the building's group and the storey's group within it. The plan
    // moves behind the window's back, so the build is stale until the update.
    const struct {
        std::function<TSceneNode*()> Group, Storey;
        uint32_t Plan;
        const char* Label;
    } cases[] = {{planGroup, planGroup, planId, "plan group"},
                 {buildingGroup, storeyGroup, storeyPlan, "building group"},
                 {storeyGroup, storeyGroup, storeyPlan, "storey group"}};
    float x = 2;
    for (const auto& c : cases) {
        clickInTree(Form->Scene().GetRoot());  // "Scene": nothing bound is selected
        EXPECT_FALSE(Button(w, "Update Selected")->isEnabled()) << c.Label;
        clickInTree(c.Group());
        ASSERT_TRUE(c.Group()->Selected) << c.Label;
        ASSERT_TRUE(Button(w, "Update Selected")->isEnabled()) << c.Label;
        x += 1;
        ASSERT_TRUE(Plans().FindPlan(c.Plan)->MovePoint(1, {x, -1.5f})) << c.Label;
        ClickButton(w, "Update Selected");
        EXPECT_EQ(w->StatusText(), "Selected build updated") << c.Label;
        ASSERT_NE(c.Storey(), nullptr) << c.Label;
        EXPECT_EQ(MaxX(c.Storey(), "Slab"), x) << c.Label;
    }

    // Opened with a group selected, the window works on that group's plan.
    clickInTree(planGroup());
    w = Open();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->CurrentPlanId(), planId);
    EXPECT_TRUE(Button(w, "Update Selected")->isEnabled());
}

// A plan name over the limit is refused at the rename with its message; one at the limit
// is taken.
TEST_F(FloorPlanWindowTest, RenameRefusesANameOverTheLimit)
{
    TFloorPlanForm* w = Open();
    ASSERT_NE(w, nullptr);
    ClickButton(w, "New");
    const TFloorPlan* plan = Plans().FindPlan(w->CurrentPlanId());
    ASSERT_NE(plan, nullptr);
    std::string answer(kMaxNameChars + 1, 'p');
    w->AskPlanName = [&](const std::string&, std::string& Name) {
        Name = answer;
        return true;
    };
    const int64_t revision = plan->Revision();
    ClickButton(w, "Rename");
    EXPECT_EQ(plan->Name(), "Plan 1");
    EXPECT_EQ(plan->Revision(), revision);
    ASSERT_EQ(Warnings.size(), 1u);
    EXPECT_EQ(Warnings[0], "Rename plan: A name can have at most 65536 characters.");
    answer.pop_back();
    ClickButton(w, "Rename");
    EXPECT_EQ(plan->Name(), answer);
    EXPECT_EQ(Warnings.size(), 1u);
}
