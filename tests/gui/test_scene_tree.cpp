// The hierarchy tree driven as a user does: clicks, double clicks and its popup menu.
#include "base/uTextFile.h"
#include "editor/uPropertiesPage.h"
#include "editor_window_fixture.h"
#include "scene/uAnimationRecorder.h"

#include <QLabel>
#include <QMessageBox>
#include <QTabWidget>

namespace {

class SceneTreeTest : public EditorWindowTest {
public:
    void SetUp() override
    {
        EditorWindowTest::SetUp();
        if (HasFatalFailure())
            return;
        Tree = Form->SceneTree();
        TEditorDialogs& d = Form->Dialogs();
        d.InputBox = [this](QWidget*, const std::string& caption, const std::string& prompt,
                            const std::string& value) {
            Asked.push_back(caption + "|" + prompt + "|" + value);
            return Answer.empty() ? value : Answer;
        };
        d.ShowError = [this](QWidget*, const std::string& caption, const std::string& text) {
            Shown.push_back("error|" + caption + "|" + text);
        };
        d.Warn = [this](QWidget*, const std::string& caption, const std::string& text) {
            Shown.push_back("warning|" + caption + "|" + text);
        };
    }

    QTreeWidgetItem* Item(const TSceneNode* Node) const
    {
        return Tree->ItemOfNode(Node != nullptr ? Node->GetId() : 0);
    }
    void ClickItem(QTreeWidgetItem* Item, Qt::KeyboardModifiers m = {})
    {
        ASSERT_NE(Item, nullptr);
        Tree->scrollToItem(Item);
        QTest::mouseClick(Tree->viewport(), Qt::LeftButton, m, Tree->visualItemRect(Item).center());
    }
    void Popup(const char* Caption)
    {
        for (QAction* a : Tree->PopupMenu()->actions())
            if (a->text() == QString::fromLatin1(Caption)) {
                a->trigger();
                return;
            }
        FAIL() << "no popup item " << Caption;
    }
    TSceneNode* Named(const std::string& Name) const
    {
        for (TSceneNode* n : Form->Scene().GetNodes())
            if (n->Name == Name)
                return n;
        return nullptr;
    }

    TSceneTreePanel* Tree = nullptr;
    std::string Answer;
    std::vector<std::string> Asked, Shown;
};

}  // namespace

TEST_F(SceneTreeTest, TheTreeMirrorsTheSceneUnderScene)
{
    ASSERT_EQ(Tree->topLevelItemCount(), 1);
    QTreeWidgetItem* root = Tree->topLevelItem(0);
    EXPECT_EQ(root->text(0), "Scene");
    EXPECT_TRUE(root->isExpanded());
    ASSERT_EQ(root->childCount(), 1);
    EXPECT_EQ(root->child(0)->text(0).toStdString(), Cube->Name);
    EXPECT_EQ(Tree->TreeNodeToSceneNode(root), Form->Scene().GetRoot());
    EXPECT_EQ(Tree->TreeNodeToSceneNode(root->child(0)), Cube);
    EXPECT_EQ(Tree->TreeNodeToSceneNode(nullptr), nullptr);
}

TEST_F(SceneTreeTest, RenameDeleteAndTheirUndoAndRedoThroughThePopup)
{
    const uint32_t id = Cube->GetId();
    const TVec3 colour = Cube->Color;
    ClickItem(Item(Cube));
    EXPECT_EQ(Form->SelectedNodeId(), id);

    // Rename: the box asks with the node's name; the project is modified afterwards.
    Form->Document().MarkSaved();
    const std::string oldName = Cube->Name;
    Answer = "Crate";
    Popup("Rename");
    ASSERT_EQ(Asked.size(), 1u);
    EXPECT_EQ(Asked[0], "Rename|New name:|" + oldName);
    EXPECT_EQ(Cube->Name, "Crate");
    EXPECT_EQ(Item(Cube)->text(0), "Crate");
    EXPECT_TRUE(Form->Document().IsModified());

    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Cube->Name, oldName);
    EXPECT_EQ(Item(Cube)->text(0).toStdString(), oldName);
    Key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(Item(Cube)->text(0), "Crate");

    // An empty answer renames nothing and runs no command.
    Answer.clear();
    Form->Dialogs().InputBox = [](QWidget*, const std::string&, const std::string&,
                                  const std::string&) { return std::string(); };
    const size_t undoSteps = Form->Document().GetHistory().UndoCount();
    Popup("Rename");
    EXPECT_EQ(Cube->Name, "Crate");
    EXPECT_EQ(Form->Document().GetHistory().UndoCount(), undoSteps);

    // Delete, undo (the same node back, colour and all), redo.
    ClickItem(Item(Cube));
    Popup("Delete");
    EXPECT_EQ(Form->Scene().FindNodeById(id), nullptr);
    EXPECT_EQ(Tree->ItemOfNode(id), nullptr);
    Key(Qt::Key_Z, Qt::ControlModifier);
    auto* back = dynamic_cast<TSceneObject*>(Form->Scene().FindNodeById(id));
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(SameVec(back->Color, colour));
    EXPECT_NE(Tree->ItemOfNode(id), nullptr);
    Key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(Form->Scene().FindNodeById(id), nullptr);
    EXPECT_EQ(Tree->ItemOfNode(id), nullptr);
}

TEST_F(SceneTreeTest, ExpandedAndSelectedItemsStayAcrossRebuildsAndAddCubeGoesUnderTheGroup)
{
    ClickItem(Tree->topLevelItem(0));  // "Scene": the group goes under the root
    Popup("Add Group");
    TSceneNode* group = Named("Group");
    ASSERT_NE(group, nullptr);
    group->SetPosition({3, 0, 0});
    ClickItem(Item(group));
    Popup("Add Cube");
    TSceneObject* added = Form->Scene().GetSelectedObject();
    ASSERT_NE(added, nullptr);
    ASSERT_EQ(added->GetParent(), group);
    EXPECT_TRUE(SameVec(added->GetPosition(), {0, 0.5f, 0}));  // local, under the group

    ClickItem(Tree->topLevelItem(0));
    Popup("Add Group");
    TSceneNode* other = Form->Scene().GetRoot()->GetChildren().back();
    ASSERT_NE(other, group);
    Item(group)->setExpanded(true);
    Item(other)->setExpanded(false);
    Tree->clearSelection();
    ClickItem(Item(added));
    // Any scene change rebuilds the tree.
    Form->CreateMenuClick(ptSphere);
    EXPECT_TRUE(Item(group)->isExpanded());
    EXPECT_FALSE(Item(other)->isExpanded());
    EXPECT_TRUE(Item(added)->isSelected());
    EXPECT_FALSE(Item(group)->isSelected());
}

TEST_F(SceneTreeTest, CutAndPasteKeepsTheLocalPlacementAndRefusesAMoveIntoItself)
{
    ClickItem(Tree->topLevelItem(0));
    Popup("Add Group");
    TSceneNode* group = Named("Group");
    ASSERT_NE(group, nullptr);
    group->SetTransform({0, 2, 0}, {0, 45, 0}, {1, 1, 1});
    const TVec3 local = Cube->GetPosition();

    ClickItem(Item(Cube));
    Popup("Cut");
    EXPECT_EQ(Tree->CutNodeId(), Cube->GetId());
    ClickItem(Item(group));
    Popup("Paste");
    ASSERT_EQ(Cube->GetParent(), group);
    EXPECT_TRUE(SameVec(Cube->GetPosition(), local));
    EXPECT_EQ(Item(Cube)->parent(), Item(group));
    EXPECT_TRUE(Shown.empty());

    // Undo puts it back under the root.
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Cube->GetParent(), Form->Scene().GetRoot());

    // The group into its own child: the hierarchy error in the "Paste" box, nothing moved.
    Key(Qt::Key_Y, Qt::ControlModifier);
    ClickItem(Item(group));
    Popup("Cut");
    ClickItem(Item(Cube));
    const size_t undoSteps = Form->Document().GetHistory().UndoCount();
    Popup("Paste");
    ASSERT_EQ(Shown.size(), 1u);
    EXPECT_EQ(Shown[0], "warning|Paste|Invalid hierarchy operation.");
    EXPECT_EQ(group->GetParent(), Form->Scene().GetRoot());
    EXPECT_EQ(Form->Document().GetHistory().UndoCount(), undoSteps);

    // With no item selected the cut node goes to the end of the root's children.
    Tree->clearSelection();
    Tree->setCurrentItem(nullptr);
    Popup("Cut");  // nothing selected: no cut node
    EXPECT_EQ(Tree->CutNodeId(), 0u);
    ClickItem(Item(Cube));
    Popup("Cut");
    Tree->clearSelection();
    Tree->setCurrentItem(nullptr);
    Popup("Paste");
    EXPECT_EQ(Form->Scene().GetRoot()->GetChildren().back(), Cube);

    // A cut node deleted before the paste: nothing moves, nothing is reported.
    ClickItem(Item(Cube));
    Popup("Cut");
    Popup("Delete");
    const size_t steps = Form->Document().GetHistory().UndoCount();
    ClickItem(Item(group));
    Popup("Paste");
    EXPECT_EQ(Form->Document().GetHistory().UndoCount(), steps);
    EXPECT_EQ(Shown.size(), 1u);
}

TEST_F(SceneTreeTest, ARefusedPasteShowsTheToolkitsWarningBox)
{
    // The toolkit's own boxes, as the user sees them.
    const TEditorDialogs standard = StandardEditorDialogs();
    Form->Dialogs().Warn = standard.Warn;
    Form->Dialogs().ShowError = standard.ShowError;
    ClickItem(Tree->topLevelItem(0));
    Popup("Add Group");
    TSceneNode* group = Named("Group");
    ASSERT_NE(group, nullptr);
    ClickItem(Item(Cube));
    Popup("Cut");
    ClickItem(Item(group));
    Popup("Paste");  // the cube into the group
    ASSERT_EQ(Cube->GetParent(), group);
    ClickItem(Item(group));
    Popup("Cut");
    ClickItem(Item(Cube));

    struct TSeen {
        QMessageBox::Icon Icon = QMessageBox::NoIcon;
        QString Title, Text;
        int Boxes = 0;
    } seen;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            ++seen.Boxes;
            seen.Icon = box->icon();
            seen.Title = box->windowTitle();
            seen.Text = box->text();
            box->accept();
        }
    });
    watcher.start(20);
    Popup("Paste");  // the group into its own child
    watcher.stop();
    EXPECT_EQ(seen.Boxes, 1);
    EXPECT_EQ(seen.Icon, QMessageBox::Warning);
    EXPECT_EQ(seen.Title, "Paste");
    EXPECT_EQ(seen.Text, "Invalid hierarchy operation.");
    EXPECT_EQ(group->GetParent(), Form->Scene().GetRoot());
}

TEST_F(SceneTreeTest, HideShowDuplicateAndTheSceneItem)
{
    ClickItem(Item(Cube));
    Form->Document().MarkSaved();
    Popup("Hide/Show");
    EXPECT_FALSE(Cube->GetVisible());
    EXPECT_EQ(Item(Cube)->text(0).toStdString(), Cube->Name + " (hidden)");
    EXPECT_TRUE(Form->Document().IsModified());
    Popup("Hide/Show");
    EXPECT_TRUE(Cube->GetVisible());
    EXPECT_EQ(Item(Cube)->text(0).toStdString(), Cube->Name);

    Popup("Duplicate");
    TSceneObject* copy = Form->Scene().GetSelectedObject();
    ASSERT_NE(copy, Cube);
    EXPECT_NE(Item(copy), nullptr);
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(Cube->Selected);  // the source has its selection back

    // "Scene": everything deselected, the page shows the statistics, only "Properties".
    Form->Selection().ModelingOn = true;
    ClickItem(Tree->topLevelItem(0));
    EXPECT_EQ(Form->Scene().GetSelectedObject(), nullptr);
    EXPECT_FALSE(Form->Selection().ModelingOn);
    QTabWidget* tabs = Form->PanelTabs();
    ASSERT_EQ(tabs->count(), 1);
    EXPECT_EQ(tabs->tabText(0), "Properties");
    auto* info = Form->findChild<QLabel*>(QStringLiteral("PropertiesInfo"));
    ASSERT_NE(info, nullptr);
    EXPECT_TRUE(info->text().startsWith(
        QStringLiteral("Scene Statistics:\r\n  Objects: 1\r\n  Vertices: 24\r\n")))
        << info->text().toStdString();

    // A click on the object brings the Modifiers page back.
    ClickItem(Item(Cube));
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->tabText(1), "Modifiers");
    EXPECT_EQ(info->text().toStdString(), Cube->Name);
}

TEST_F(SceneTreeTest, ADoubleClickSelectsAndFramesTheObject)
{
    Form->CreateMenuClick(ptSphere);
    TSceneObject* sphere = Form->Scene().GetSelectedObject();
    sphere->SetPosition({4, 1, -2});
    Form->SelectNode(0);
    // A double click is a click first, then the double click.
    const auto doubleClick = [this](QTreeWidgetItem* item) {
        ClickItem(item);
        QTest::mouseDClick(Tree->viewport(), Qt::LeftButton, {},
                           Tree->visualItemRect(item).center());
    };
    doubleClick(Item(Cube));
    EXPECT_EQ(Form->Scene().GetSelectedObject(), Cube);
    const TVec3 pivot = Form->Camera().OrbitPivot;
    EXPECT_TRUE(SameVec(pivot, Cube->GetWorldPosition()));
    doubleClick(Item(sphere));
    EXPECT_TRUE(SameVec(Form->Camera().OrbitPivot, Vec3(4, 1, -2)));
}

TEST_F(SceneTreeTest, ANewProjectEmptiesTheTreeAndForgetsTheCutNode)
{
    ClickItem(Item(Cube));
    Popup("Cut");
    ASSERT_NE(Tree->CutNodeId(), 0u);
    Form->Dialogs().AskYesNo = [](QWidget*, const std::string&, const std::string&) {
        return true;
    };
    Form->FileNewClick();
    ASSERT_EQ(Tree->topLevelItemCount(), 1);
    EXPECT_EQ(Tree->topLevelItem(0)->text(0), "Scene");
    EXPECT_EQ(Tree->topLevelItem(0)->childCount(), 0);
    EXPECT_EQ(Tree->CutNodeId(), 0u);
    auto* info = Form->findChild<QLabel*>(QStringLiteral("PropertiesInfo"));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->text(), "Press Tab for modeling\n(select an object first)");
}

// A rename longer than the name limit (a paste gone wrong in the box) is refused with its
// message and leaves no undo step; a paste that would put a node past the float range
// under its new parent is refused and leaves the node where it was.
TEST_F(SceneTreeTest, RenameOverTheNameLimitAndAPasteThatWouldOverflowAreRefused)
{
    ClickItem(Item(Cube));
    const std::string before = Cube->Name;
    const size_t steps = Form->Document().GetHistory().UndoCount();
    Answer = std::string(kMaxNameChars + 1, 'x');
    Popup("Rename");
    EXPECT_EQ(Cube->Name, before);
    EXPECT_EQ(Item(Cube)->text(0).toStdString(), before);
    EXPECT_EQ(Form->Document().GetHistory().UndoCount(), steps);
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0], "A name can have at most 65536 characters.");
    Errors.clear();
    Answer.pop_back();
    Popup("Rename");
    EXPECT_EQ(Cube->Name, Answer);

    TScene& scene = Form->Scene();
    TSceneGroup* far = scene.CreateGroup("Far", nullptr, 0);
    far->SetPosition({3e38f, 0, 0});
    Cube->Name = "Crate";
    Cube->SetPosition({3e38f, 0, 0});
    ClickItem(Item(Cube));
    Popup("Cut");
    ClickItem(Item(far));
    Popup("Paste");
    ASSERT_EQ(Shown.size(), 1u);
    EXPECT_EQ(Shown[0], "warning|Paste|Unable to move \"Crate\": the world matrix of \"Crate\" "
                        "would not be finite.");
    EXPECT_EQ(Cube->GetParent(), scene.GetRoot());
    EXPECT_EQ(Cube->GetPosition().X, 3e38f);
    EXPECT_EQ(Item(Cube)->parent(), Tree->topLevelItem(0));
}
