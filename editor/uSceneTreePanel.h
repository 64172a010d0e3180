#pragma once
// The hierarchy tree at the left of the views: the scene's nodes under a root item
// "Scene", rebuilt after every change while keeping which items were expanded and
// selected (by node id). A click selects the item's node, a double click frames it, and
// the popup menu renames, deletes, duplicates, hides, cuts and pastes and adds nodes.
#include <QTreeWidget>

#include <cstdint>
#include <unordered_set>

class QMenu;
class TEditorContext;
class TSceneNode;

class TSceneTreePanel : public QTreeWidget {
    Q_OBJECT
public:
    // The popup's items, by Tag.
    enum TPopupTag : int {
        ptRename = 1,
        ptDelete = 2,
        ptAddCube = 3,
        ptAddSphere = 4,
        ptDuplicate = 5,
        ptHideShow = 6,
        ptAddGroup = 7,
        ptCut = 8,
        ptPaste = 9,
    };

    TSceneTreePanel(TEditorContext& Context, QWidget* Parent);
    // Takes a deep tree of items apart without recursion.
    ~TSceneTreePanel() override;

    // Rebuilds every item from the scene; expanded and selected items stay so by id.
    void RebuildSceneTree();
    // The node the item stands for (the scene root for the "Scene" item); none for no
    // item or a node that is gone.
    TSceneNode* TreeNodeToSceneNode(const QTreeWidgetItem* Item) const;
    // The click handler: selects the clicked item's node, or nothing for "Scene".
    void TreeSelectionChange();
    void TreeDblClick();
    void TreePopupClick(int Tag);

    QMenu* PopupMenu() const { return Popup; }
    // The item of a node id (0 is "Scene"); none when the tree shows no such node.
    QTreeWidgetItem* ItemOfNode(uint32_t NodeId) const;
    // The node the popup's "Cut" remembered; 0 when there is none.
    uint32_t CutNodeId() const { return CutNode; }

private:
    QTreeWidgetItem* SelectedItem() const;
    TSceneNode* SelectedNode() const;
    void BuildPopupMenu();
    // Item texts again (names and " (hidden)"), without rebuilding.
    void RefreshItemTexts();
    void Rename(TSceneNode& Node);
    void Paste(TSceneNode* Target);
    void AddPrimitive(int Tag, TSceneNode* Under);

    TEditorContext& Context;
    QMenu* Popup = nullptr;
    uint32_t CutNode = 0;
    // The nodes whose items are expanded, kept as the user expands and collapses them.
    std::unordered_set<uint32_t> ExpandedIds;
};
