// A file whose hierarchy is one long chain (objects or groups nested one in the other)
// goes through the editor as a user takes it: open, a drawn frame, a click into the view,
// the tree, delete with undo and redo, duplicate, save, and a new project. Deep enough
// that a walk recursing once per level exhausts the stack in this build.
#include "main_form_test_support.h"
#include "scene/uSceneObject.h"
#include "tests/document/hostile_scene_files.h"

#include <QFile>

namespace {

class DeepHierarchyTest : public MainFormFixture {
protected:
    void Open(const QString& File)
    {
        FileAnswers = {File.toStdString()};
        YesNoAnswers = {true};
        Click("File", "Open...");
    }
    void Draw() { Form->GLView()->grabFramebuffer(); }
    TSceneNode* Node(uint32_t Id) const { return Form->Scene().FindNodeById(Id); }
    // Levels below the root, walking up from Node.
    static int DepthOf(const TSceneNode* Node)
    {
        int depth = 0;
        for (const TSceneNode* n = Node; n->GetParent() != nullptr; n = n->GetParent())
            ++depth;
        return depth;
    }
    void TreePopup(const char* Caption)
    {
        for (QAction* a : Form->SceneTree()->PopupMenu()->actions())
            if (a->text() == QString::fromLatin1(Caption)) {
                a->trigger();
                return;
            }
        FAIL() << "no popup item " << Caption;
    }
};

struct TChainCase {
    const char* Name;
    int Depth;
    bool Objects;
};

// Deep enough to overflow a walk that recurses per level in this build, small enough to
// run in a few seconds with the sanitizers.
constexpr int kNestedLevels = 1000;
const TChainCase kChains[] = {{"objects", 20000, true}, {"groups", 40000, false}};

}  // namespace

TEST_F(DeepHierarchyTest, AChainOpensDrawsTakesAClickSavesAndMakesWayForANewProject)
{
    for (const TChainCase& c : kChains) {
        SCOPED_TRACE(c.Name);
        const QString file = Path("chain.qstn");
        HostileFiles::WriteDeepChain(file.toStdString(), c.Depth, c.Objects);
        Open(file);
        ASSERT_EQ(Form->ProjectFileName(), file.toStdString());
        ASSERT_EQ(Form->Scene().NodeCount(), c.Depth);
        ASSERT_EQ(DepthOf(Node(static_cast<uint32_t>(c.Depth))), c.Depth);

        Draw();
        QTest::mouseClick(Form->GLView(), Qt::LeftButton, {},
                          QPoint(Form->GLView()->width() / 2, Form->GLView()->height() / 2));
        // The tree nests the first thousand levels (the view lays out expanded items one
        // nested call per level) and lists the deeper ones in order under the thousandth.
        TSceneTreePanel* tree = Form->SceneTree();
        QTreeWidgetItem* deepest = tree->ItemOfNode(static_cast<uint32_t>(c.Depth));
        ASSERT_NE(deepest, nullptr);
        int levels = 0;
        for (QTreeWidgetItem* i = deepest; i->parent() != nullptr; i = i->parent())
            ++levels;
        EXPECT_EQ(levels, kNestedLevels + 1);
        QTreeWidgetItem* anchor = tree->ItemOfNode(kNestedLevels);
        ASSERT_NE(anchor, nullptr);
        ASSERT_EQ(anchor->childCount(), c.Depth - kNestedLevels);
        for (int i : {0, 1, c.Depth - kNestedLevels - 1})
            EXPECT_EQ(tree->TreeNodeToSceneNode(anchor->child(i)),
                      Node(static_cast<uint32_t>(kNestedLevels + 1 + i)));
        // Every item expanded at once from the top, as the "*" key does.
        QTreeWidgetItem* top = tree->ItemOfNode(1);
        tree->setCurrentItem(top);
        QTest::keyClick(tree, Qt::Key_Asterisk);
        EXPECT_TRUE(anchor->isExpanded());
        EXPECT_FALSE(tree->visualItemRect(top).isEmpty());

        // Saved in pre-order: node i + 1 under node i all the way down.
        const QString saved = Path("saved.qstn");
        FileAnswers = {saved.toStdString()};
        Click("File", "Save As...");
        QFile text(saved);
        ASSERT_TRUE(text.open(QIODevice::ReadOnly));
        int parent = 0;
        while (!text.atEnd()) {
            const QByteArray line = text.readLine().trimmed();
            if (line.startsWith("PARENT "))
                ASSERT_EQ(line, "PARENT " + QByteArray::number(parent++));
        }
        EXPECT_EQ(parent, c.Depth);

        YesNoAnswers = {true};
        Click("File", "New");
        EXPECT_EQ(Form->Scene().NodeCount(), 0);
    }
}

TEST_F(DeepHierarchyTest, DeleteUndoRedoAndDuplicateOfAChainFromTheTree)
{
    const TChainCase& c = kChains[0];
    const QString file = Path("chain.qstn");
    HostileFiles::WriteDeepChain(file.toStdString(), c.Depth, c.Objects);
    Open(file);
    ASSERT_EQ(Form->Scene().NodeCount(), c.Depth);

    // The chain's top selected in the tree, then deleted with everything below it.
    TSceneTreePanel* tree = Form->SceneTree();
    QTreeWidgetItem* top = tree->ItemOfNode(1);
    ASSERT_NE(top, nullptr);
    tree->scrollToItem(top);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(top).center());
    ASSERT_TRUE(Node(1)->Selected);
    TreePopup("Delete");
    EXPECT_EQ(Form->Scene().NodeCount(), 0);

    Click("Edit", "Undo\tCtrl+Z");
    ASSERT_EQ(Form->Scene().NodeCount(), c.Depth);
    EXPECT_EQ(DepthOf(Node(static_cast<uint32_t>(c.Depth))), c.Depth);
    Draw();
    Click("Edit", "Redo\tCtrl+Y");
    EXPECT_EQ(Form->Scene().NodeCount(), 0);
    Click("Edit", "Undo\tCtrl+Z");
    ASSERT_EQ(Form->Scene().NodeCount(), c.Depth);

    // A duplicate copies the whole chain beside it.
    top = tree->ItemOfNode(1);
    ASSERT_NE(top, nullptr);
    tree->scrollToItem(top);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(top).center());
    TreePopup("Duplicate");
    ASSERT_EQ(Form->Scene().NodeCount(), 2 * c.Depth);
    const TSceneNode* copy = Form->Scene().GetRoot()->GetChild(1);
    int depth = 1;
    for (const TSceneNode* n = copy; n->ChildCount() > 0; n = n->GetChild(0))
        ++depth;
    EXPECT_EQ(depth, c.Depth);
    Click("Edit", "Undo\tCtrl+Z");
    EXPECT_EQ(Form->Scene().NodeCount(), c.Depth);
    Click("Edit", "Clear scene");
    EXPECT_EQ(Form->Scene().NodeCount(), 0);
}
