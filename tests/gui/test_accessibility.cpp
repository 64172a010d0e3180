// The window's controls worked through the accessibility interface, as a screen reader or
// switch access works them: each activation runs the control's handler, and the control
// shows the editor's state afterwards; what the window does not offer is not offered there.
#include "accessibility_support.h"
#include "editor/uSceneTreePanel.h"
#include "editor_window_fixture.h"
#include "main_form_test_support.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidgetItem>

namespace {

class AccessibilityTest : public EditorWindowTest {
protected:
    template <class W = QToolButton>
    W* Control(const char* Name) const
    {
        W* w = Form->findChild<W*>(QString::fromLatin1(Name));
        EXPECT_NE(w, nullptr) << Name;
        return w;
    }
    static void Act(QWidget* W) { AccessibleToggle(W); }
    bool Checked(const char* Name) const { return Control(Name)->isChecked(); }
    TEditorSelection& Sel() const { return Form->Selection(); }
};

TEST_F(AccessibilityTest, TheToolButtonsChooseTheTool)
{
    const struct {
        const char* Button;
        TGizmoMode Tool;
    } cases[] = {{"ToolButtonScale", gmScale},
                 {"ToolButtonRotate", gmRotate},
                 {"ToolButtonSelect", gmSelect},
                 {"ToolButtonMove", gmMove},
                 // Working the current tool's button keeps that tool.
                 {"ToolButtonMove", gmMove}};
    for (const auto& c : cases) {
        Act(Control(c.Button));
        EXPECT_EQ(Form->ObjectTransform().Tool(), c.Tool) << c.Button;
        for (QToolButton* b : Form->ToolButtons())
            EXPECT_EQ(b->isChecked(), b->objectName() == QLatin1String(c.Button))
                << c.Button << " " << b->objectName().toStdString();
    }
}

TEST_F(AccessibilityTest, EditAndTheSubModeButtonsFollowModelling)
{
    Act(Control("ToolButtonEdit"));
    ASSERT_TRUE(Sel().ModelingOn);
    EXPECT_TRUE(Checked("ToolButtonEdit"));
    EXPECT_EQ(Sel().ModelingSubMode, msFaces);

    const struct {
        const char* Button;
        int SubMode;
    } cases[] = {{"ToolButtonVert", msVertices},
                 {"ToolButtonEdge", msEdges},
                 {"ToolButtonFace", msFaces},
                 {"ToolButtonFace", msFaces}};
    for (const auto& c : cases) {
        Sel().SelectedFaces = {0};
        Act(Control(c.Button));
        EXPECT_EQ(Sel().ModelingSubMode, c.SubMode) << c.Button;
        EXPECT_TRUE(Sel().SelectedFaces.empty()) << c.Button;  // a choice clears the selection
        for (const char* b : {"ToolButtonVert", "ToolButtonEdge", "ToolButtonFace"})
            EXPECT_EQ(Checked(b), std::string(b) == c.Button) << c.Button << " " << b;
    }

    // The mouse goes the same way, also on the button that is down.
    QTest::mouseClick(Control("ToolButtonEdge"), Qt::LeftButton);
    EXPECT_EQ(Sel().ModelingSubMode, msEdges);
    EXPECT_FALSE(Checked("ToolButtonFace"));
    Sel().SelectedEdges = {0};
    QTest::mouseClick(Control("ToolButtonEdge"), Qt::LeftButton);
    EXPECT_TRUE(Checked("ToolButtonEdge"));
    EXPECT_TRUE(Sel().SelectedEdges.empty());

    Act(Control("ToolButtonEdit"));
    EXPECT_FALSE(Sel().ModelingOn);
    EXPECT_FALSE(Checked("ToolButtonEdit"));

    // Without a selected object modelling does not start, and "Edit" stays up.
    Key(Qt::Key_Escape);
    Act(Control("ToolButtonEdit"));
    EXPECT_FALSE(Sel().ModelingOn);
    EXPECT_FALSE(Checked("ToolButtonEdit"));
    EXPECT_EQ(Form->StatusPanels()->PanelText(0), "Select an object first, then press Tab");
}

TEST_F(AccessibilityTest, ThePaintToolsAndTheTimelineChecks)
{
    for (int tool : {1, 2, 0}) {
        Act(Form->findChild<QRadioButton*>(QStringLiteral("PaintTool%1").arg(tool)));
        EXPECT_EQ(Sel().PaintMode, tool);
    }
    auto* loop = Control<QCheckBox>("LoopProjectCheck");
    const bool looped = Form->Document().GetProjectTime().GetLoopTimeline();
    Act(loop);
    EXPECT_EQ(Form->Document().GetProjectTime().GetLoopTimeline(), !looped);
    EXPECT_EQ(loop->isChecked(), !looped);
    Act(loop);
    EXPECT_EQ(Form->Document().GetProjectTime().GetLoopTimeline(), looped);
}

// The side panel's tabs as a screen reader finds them: the pages offered and no other, each
// showing and enabled, and its Press shows that page and marks its tab.
TEST_F(AccessibilityTest, TheSidePanelOffersItsTabsAndNoHiddenOne)
{
    QTabWidget* tabs = Form->PanelTabs();
    const auto selectRoot = [&] {
        TSceneTreePanel* tree = Form->SceneTree();
        QTreeWidgetItem* root = tree->topLevelItem(0);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          tree->visualItemRect(root).center());
    };
    const auto selectCube = [&] {
        TSceneTreePanel* tree = Form->SceneTree();
        QTreeWidgetItem* item = tree->ItemOfNode(Cube->GetId());
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          tree->visualItemRect(item).center());
    };
    const auto modelling = [&] { Key(Qt::Key_F5); };
    const struct {
        const char* What;
        std::function<void()> Do;
        QStringList Offered;
        const char* Current;  // the page shown before the tabs are pressed
    } cases[] = {
        {"object mode", [] {}, {"Properties", "Modifiers"}, "Properties"},
        {"modelling", modelling, {"Properties", "Modifiers", "Paint"}, "Modifiers"},
        // Paint was pressed last.
        {"modelling left from Paint", modelling, {"Properties", "Modifiers"}, "Properties"},
        {"scene root", selectRoot, {"Properties"}, "Properties"},
        {"object again", selectCube, {"Properties", "Modifiers"}, "Properties"},
        {"modelling again", modelling, {"Properties", "Modifiers", "Paint"}, "Modifiers"},
    };
    const QString press = QAccessibleActionInterface::pressAction();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        c.Do();
        EXPECT_EQ(tabs->tabText(tabs->currentIndex()), c.Current);
        // As a screen reader asks, afresh after each change.
        QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(tabs->tabBar());
        ASSERT_NE(bar, nullptr);
        QStringList names;
        for (int i = 0; i < bar->childCount(); ++i) {
            QAccessibleInterface* tab = bar->child(i);
            ASSERT_NE(tab, nullptr);
            if (tab->role() != QAccessible::PageTab && tab->object() != nullptr)
                continue;  // the scroll buttons
            const QString name = tab->text(QAccessible::Name);
            names << name;
            EXPECT_FALSE(tab->state().invisible) << name.toStdString();
            EXPECT_FALSE(tab->state().disabled) << name.toStdString();
            QAccessibleActionInterface* action = tab->actionInterface();
            ASSERT_NE(action, nullptr);
            ASSERT_TRUE(action->actionNames().contains(press));
            action->doAction(press);
            EXPECT_EQ(tabs->currentIndex(), i) << name.toStdString();
            EXPECT_EQ(tabs->tabText(tabs->currentIndex()), name);
            EXPECT_TRUE(tabs->currentWidget()->isVisible()) << name.toStdString();
        }
        EXPECT_EQ(names, c.Offered);
        // The page control's pages are the offered ones too.
        ASSERT_EQ(tabs->count(), c.Offered.size());
        for (int i = 0; i < tabs->count(); ++i)
            EXPECT_EQ(tabs->tabText(i), c.Offered[i]);
    }
}

// What the accessibility interface presents as showing, in every window of the editor
// that is open: a widget that is not hidden, or a part of one with a place on the screen.
QStringList HiddenButShowing(QAccessibleInterface* Node, const QString& Path)
{
    QStringList found;
    if (Node == nullptr || !Node->isValid())
        return found;
    const QAccessible::State state = Node->state();
    if (state.invisible || state.offscreen)
        return found;
    const QString here = Path + QLatin1Char('/') + Node->text(QAccessible::Name);
    auto* widget = qobject_cast<QWidget*>(Node->object());
    if ((widget != nullptr && !widget->isVisible()) ||
        (widget == nullptr && Node->rect().isEmpty()))
        found << here;
    for (int i = 0; i < Node->childCount(); ++i)
        found << HiddenButShowing(Node->child(i), here);
    return found;
}

// The controls a window has hidden (not those of a page not shown) that assistive tools can
// still work: enabled, with an action. Taking the focus is no work; a tab bar's own scroll
// buttons are left to it.
QStringList HiddenButWorkable(QAccessibleInterface* Node, const QString& Path)
{
    QStringList found;
    if (Node == nullptr || !Node->isValid())
        return found;
    const QString here = Path + QLatin1Char('/') + Node->text(QAccessible::Name);
    auto* widget = qobject_cast<QWidget*>(Node->object());
    QStringList actions;
    if (Node->actionInterface() != nullptr)
        actions = Node->actionInterface()->actionNames();
    actions.removeAll(QAccessibleActionInterface::setFocusAction());
    if (widget != nullptr && widget->isHidden() && widget->isEnabled() && !actions.isEmpty() &&
        qobject_cast<QTabBar*>(widget->parentWidget()) == nullptr)
        found << here + QLatin1Char(' ') + widget->metaObject()->className() + QLatin1Char(' ') +
                     actions.join(QLatin1Char(','));
    for (int i = 0; i < Node->childCount(); ++i)
        found << HiddenButWorkable(Node->child(i), here);
    return found;
}

TEST_F(AccessibilityTest, NothingHiddenIsPresentedAsShowing)
{
    const auto check = [&](const char* What) {
        SCOPED_TRACE(What);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible()) {
                const QStringList found =
                    HiddenButShowing(QAccessible::queryAccessibleInterface(w), w->objectName());
                EXPECT_TRUE(found.isEmpty()) << found.join(QLatin1Char('\n')).toStdString();
                const QStringList workable =
                    HiddenButWorkable(QAccessible::queryAccessibleInterface(w), w->objectName());
                EXPECT_TRUE(workable.isEmpty()) << workable.join(QLatin1Char('\n')).toStdString();
            }
    };
    check("object mode");
    Key(Qt::Key_F5);
    for (const char* b : {"ToolButtonVert", "ToolButtonEdge", "ToolButtonFace"}) {
        Act(Control(b));
        check(b);
    }
    Key(Qt::Key_F5);
    TSceneTreePanel* tree = Form->SceneTree();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      tree->visualItemRect(tree->topLevelItem(0)).center());
    check("scene root");
}

// A list of the Properties page hidden by the view drops down for assistive tools all the
// same (the toolkit's doing); a choice made in it applies nothing.
TEST_F(AccessibilityTest, AHiddenListOfThePropertiesPageAppliesNothing)
{
    const auto choose = [&](const char* Name) {
        auto* combo = Form->findChild<QComboBox*>(QString::fromLatin1(Name));
        ASSERT_NE(combo, nullptr);
        ASSERT_TRUE(combo->isHidden());
        QAccessibleInterface* i = QAccessible::queryAccessibleInterface(combo);
        ASSERT_NE(i, nullptr);
        if (QAccessibleActionInterface* a = i->actionInterface())
            a->doAction(QAccessibleActionInterface::pressAction());
        if (combo->view()->isVisible()) {
            QTest::keyClick(combo->view(), Qt::Key_End);
            QTest::keyClick(combo->view(), Qt::Key_Return);
        }
        combo->hidePopup();
    };
    const auto type = [&](const char* Name, const char* Text) {
        auto* edit = Form->findChild<QLineEdit*>(QString::fromLatin1(Name));
        ASSERT_NE(edit, nullptr);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, QString::fromLatin1(Text));
    };
    // Object mode: the face texture list is hidden; a typed position is not applied by it.
    type("PosXEdit", "3");
    choose("FaceTextureCombo");
    EXPECT_EQ(Cube->GetPosition().X, 0.0f);
    // Modelling, vertices: the blend list is hidden; a typed colour is not applied by it.
    Key(Qt::Key_F5);
    Act(Control("ToolButtonVert"));
    Sel().SelectedVertices = {0};
    emit Form->Events().SelectionChanged();
    const TVec3 before = Cube->GetBaseMesh()->Vertices[0].Color;
    const TVertexColorBlend blend = Cube->Blend;
    type("ColorREdit", "0.25");
    choose("BlendCombo");
    EXPECT_EQ(Cube->GetBaseMesh()->Vertices[0].Color.X, before.X);
    EXPECT_EQ(Cube->Blend, blend);
}

// The tool windows, opened from the menus with the dialogs answered by the test.
using ToolWindowAccessibilityTest = MainFormFixture;

TEST_F(ToolWindowAccessibilityTest, NothingHiddenIsPresentedAsShowing)
{
    Click("Create", "Cube");
    for (const TToolWindowMenuItem& w : kToolWindowMenuItems) {
        SCOPED_TRACE(w.Item);
        Click(w.Menu, w.Item);
        std::vector<QPointer<QWidget>> opened;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->isVisible() && top != Form.get())
                opened.emplace_back(top);
        ASSERT_FALSE(opened.empty());
        for (const QPointer<QWidget>& top : opened)
            if (top != nullptr && QTest::qWaitForWindowExposed(top)) {
                const QStringList found =
                    HiddenButShowing(QAccessible::queryAccessibleInterface(top), top->objectName());
                EXPECT_TRUE(found.isEmpty()) << found.join(QLatin1Char('\n')).toStdString();
            }
        for (const QPointer<QWidget>& top : opened)
            if (top != nullptr)
                top->close();
    }
}

}  // namespace
