#include "editor/uSceneTreePanel.h"

#include "document/uProjectDocument.h"
#include "editor/api/uEditorContext.h"
#include "render/uErrorBox.h"
#include "scene/uHierarchyCommands.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"

#include <QMenu>

#include <cstdint>
#include <memory>
#include <unordered_set>
#include <utility>
#include <vector>

namespace {

constexpr int NodeIdRole = Qt::UserRole;
// The deepest the items nest (see RebuildSceneTree).
constexpr int kMaxItemNesting = 1000;

uint32_t ItemNodeId(const QTreeWidgetItem* Item)
{
    return Item->data(0, NodeIdRole).toUInt();
}

QString ItemText(const TSceneNode& Node)
{
    QString text = QString::fromStdString(Node.Name);
    if (!Node.GetVisible())
        text += QStringLiteral(" (hidden)");
    return text;
}

// Every item below (and with) the top-level ones, depth first.
template <class F>
void ForEachItem(const QTreeWidget& Tree, F&& Visit)
{
    std::vector<QTreeWidgetItem*> stack;
    for (int i = Tree.topLevelItemCount() - 1; i >= 0; --i)
        stack.push_back(Tree.topLevelItem(i));
    while (!stack.empty()) {
        QTreeWidgetItem* item = stack.back();
        stack.pop_back();
        Visit(*item);
        for (int i = item->childCount() - 1; i >= 0; --i)
            stack.push_back(item->child(i));
    }
}

// Frees every item of the tree. An item frees its children from its own destructor, one
// nested call per level, so a deep tree is taken apart first: out of the view, then each
// item's children taken from it deepest first (each then holds none, so taking them is
// cheap), and every item freed alone.
void DeleteAllItems(QTreeWidget& Tree)
{
    // The view keeps a model index for every expanded and selected item, and taking
    // items out walks each of them up to the top: let go of them first.
    Tree.collapseAll();
    Tree.clearSelection();
    std::vector<QTreeWidgetItem*> items;
    while (Tree.topLevelItemCount() > 0)
        items.push_back(Tree.takeTopLevelItem(Tree.topLevelItemCount() - 1));
    // Breadth first, so every item comes after its ancestors.
    for (size_t i = 0; i < items.size(); ++i)
        for (int c = 0; c < items[i]->childCount(); ++c)
            items.push_back(items[i]->child(c));
    for (auto it = items.rbegin(); it != items.rend(); ++it)
        (*it)->takeChildren();
    for (QTreeWidgetItem* item : items)
        delete item;
}

}  // namespace

TSceneTreePanel::TSceneTreePanel(TEditorContext& Context, QWidget* Parent)
    : QTreeWidget(Parent), Context(Context)
{
    setObjectName(QStringLiteral("SceneTree"));
    setFixedWidth(200);
    setHeaderHidden(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setRootIsDecorated(true);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setUniformRowHeights(true);
    // Selection stays visible while the tree has no focus.
    QPalette p = palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight,
               p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText,
               p.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(p);
    BuildPopupMenu();

    // A mouse click, not a selection change: every rebuild changes the selection.
    connect(this, &QTreeWidget::itemClicked, this,
            [this] { RunGuarded(this, [&] { TreeSelectionChange(); }); });
    connect(this, &QTreeWidget::itemDoubleClicked, this,
            [this] { RunGuarded(this, [&] { TreeDblClick(); }); });
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& At) { Popup->popup(viewport()->mapToGlobal(At)); });

    TEditorEvents& events = Context.Events();
    const auto rebuild = [this] { RebuildSceneTree(); };
    connect(&events, &TEditorEvents::SceneChanged, this, rebuild);
    // A rename sends no scene notification; its run, undo and redo come here.
    connect(&events, &TEditorEvents::HistoryChanged, this, rebuild);
    connect(&events, &TEditorEvents::DocumentReplaced, this, [this] {
        CutNode = 0;  // an id of the old project
        RebuildSceneTree();
    });
    // Hide and show are edits without a command or a notification.
    connect(&events, &TEditorEvents::DocumentEdited, this, [this] { RefreshItemTexts(); });
    connect(this, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* Item) { ExpandedIds.insert(ItemNodeId(Item)); });
    connect(this, &QTreeWidget::itemCollapsed, this,
            [this](QTreeWidgetItem* Item) { ExpandedIds.erase(ItemNodeId(Item)); });
    RebuildSceneTree();
}

TSceneTreePanel::~TSceneTreePanel()
{
    const QSignalBlocker blocker(this);
    DeleteAllItems(*this);
}

void TSceneTreePanel::BuildPopupMenu()
{
    Popup = new QMenu(this);
    Popup->setObjectName(QStringLiteral("TreePopup"));
    const auto add = [this](const char* Caption, int Tag) {
        QAction* a = Popup->addAction(QString::fromUtf8(Caption));
        a->setData(Tag);
        connect(a, &QAction::triggered, this,
                [this, Tag] { RunGuarded(this, [&] { TreePopupClick(Tag); }); });
    };
    add("Rename", ptRename);
    add("Delete", ptDelete);
    add("Hide/Show", ptHideShow);
    add("Duplicate", ptDuplicate);
    Popup->addSeparator();
    add("Cut", ptCut);
    add("Paste", ptPaste);
    Popup->addSeparator();
    add("Add Group", ptAddGroup);
    add("Add Cube", ptAddCube);
    add("Add Sphere", ptAddSphere);
}

void TSceneTreePanel::RebuildSceneTree()
{
    // 1. What is expanded and selected now, by id. Asking every item whether it is
    // expanded would look each up among its siblings, too slow for a long list of them.
    const std::unordered_set<uint32_t> expanded = std::move(ExpandedIds);
    ExpandedIds.clear();
    std::unordered_set<uint32_t> selected;
    for (const QTreeWidgetItem* item : selectedItems())
        selected.insert(ItemNodeId(item));
    uint32_t currentId = 0;
    bool hasCurrent = false;
    if (QTreeWidgetItem* current = currentItem()) {
        currentId = ItemNodeId(current);
        hasCurrent = true;
    }

    // 2-4. The items again, built off the tree and added in one step.
    const bool updates = updatesEnabled();
    setUpdatesEnabled(false);
    const QSignalBlocker blocker(this);
    DeleteAllItems(*this);
    clear();
    TScene& scene = Context.Document().GetScene();
    auto* root = new QTreeWidgetItem(QStringList(QStringLiteral("Scene")));
    root->setData(0, NodeIdRole, 0u);
    std::vector<QTreeWidgetItem*> marked;  // items to expand or select once in the tree
    const auto makeItem = [&](const TSceneNode& Node) {
        auto* item = new QTreeWidgetItem(QStringList(ItemText(Node)));
        const uint32_t id = Node.GetId();
        item->setData(0, NodeIdRole, id);
        if (expanded.count(id) != 0) {
            ExpandedIds.insert(id);
            marked.push_back(item);
        } else if (selected.count(id) != 0) {
            marked.push_back(item);
        }
        return item;
    };
    // The view lays out an expanded item's rows from inside the layout of its parent's,
    // one nested call per level: items nest kMaxItemNesting levels deep at most, and
    // what lies deeper is listed under its ancestor at that depth, in pre-order.
    constexpr size_t kNoAnchor = SIZE_MAX;
    std::vector<std::pair<QTreeWidgetItem*, QList<QTreeWidgetItem*>>> anchors;
    struct TPending {
        const TSceneNode* Node;
        QTreeWidgetItem* Item;  // none yet for an item listed under an anchor
        int Depth;              // levels below the scene root
        size_t Anchor;
    };
    std::vector<TPending> stack{{scene.GetRoot(), root, 0, kNoAnchor}};
    while (!stack.empty()) {
        TPending top = stack.back();
        stack.pop_back();
        const auto& children = top.Node->GetChildren();
        if (top.Item == nullptr) {
            top.Item = makeItem(*top.Node);
            anchors[top.Anchor].second.push_back(top.Item);
        }
        if (top.Depth < kMaxItemNesting) {
            QList<QTreeWidgetItem*> childItems;
            childItems.reserve(static_cast<qsizetype>(children.size()));
            for (const TSceneNode* child : children)
                childItems.push_back(makeItem(*child));
            top.Item->addChildren(childItems);
            for (qsizetype i = childItems.size() - 1; i >= 0; --i)
                stack.push_back(
                    {children[static_cast<size_t>(i)], childItems[i], top.Depth + 1, kNoAnchor});
            continue;
        }
        if (top.Anchor == kNoAnchor && !children.empty()) {
            top.Anchor = anchors.size();
            anchors.push_back({top.Item, {}});
        }
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.push_back({*it, nullptr, top.Depth + 1, top.Anchor});
    }
    for (auto& [anchor, items] : anchors)
        anchor->addChildren(items);
    addTopLevelItem(root);
    root->setExpanded(true);
    ExpandedIds.insert(0);
    if (selected.count(0) != 0)
        root->setSelected(true);
    QTreeWidgetItem* current = hasCurrent && currentId == 0 ? root : nullptr;
    for (QTreeWidgetItem* item : marked) {
        const uint32_t id = ItemNodeId(item);
        // A leaf shows nothing expanded, and expanding it costs a search of the view's rows.
        if (expanded.count(id) != 0 && item->childCount() > 0)
            item->setExpanded(true);
        if (selected.count(id) != 0)
            item->setSelected(true);
        if (hasCurrent && id == currentId)
            current = item;
    }
    if (current != nullptr)
        setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
    setUpdatesEnabled(updates);
}

void TSceneTreePanel::RefreshItemTexts()
{
    ForEachItem(*this, [&](QTreeWidgetItem& item) {
        const uint32_t id = ItemNodeId(&item);
        if (id == 0)
            return;
        if (const TSceneNode* node = Context.Document().GetScene().FindNodeById(id)) {
            const QString text = ItemText(*node);
            if (item.text(0) != text)
                item.setText(0, text);
        }
    });
}

TSceneNode* TSceneTreePanel::TreeNodeToSceneNode(const QTreeWidgetItem* Item) const
{
    if (Item == nullptr || !Item->data(0, NodeIdRole).isValid())
        return nullptr;
    return Context.Document().FindNode(ItemNodeId(Item));
}

QTreeWidgetItem* TSceneTreePanel::ItemOfNode(uint32_t NodeId) const
{
    QTreeWidgetItem* found = nullptr;
    ForEachItem(*this, [&](QTreeWidgetItem& item) {
        if (found == nullptr && ItemNodeId(&item) == NodeId)
            found = &item;
    });
    return found;
}

QTreeWidgetItem* TSceneTreePanel::SelectedItem() const
{
    QTreeWidgetItem* current = currentItem();
    if (current != nullptr && current->isSelected())
        return current;
    const QList<QTreeWidgetItem*> items = selectedItems();
    return items.isEmpty() ? nullptr : items.first();
}

TSceneNode* TSceneTreePanel::SelectedNode() const
{
    return TreeNodeToSceneNode(SelectedItem());
}

void TSceneTreePanel::TreeSelectionChange()
{
    QTreeWidgetItem* item = SelectedItem();
    if (item == nullptr)
        return;
    TSceneNode* node = TreeNodeToSceneNode(item);
    TEditorSelection& selection = Context.Selection();
    if (node == Context.Document().GetScene().GetRoot()) {
        // "Scene": modelling ends, the pages show the scene, nothing stays selected.
        Context.LeaveModelingMode();
        selection.SceneRootSelected = true;
        Context.SelectNode(0);
        return;
    }
    selection.SceneRootSelected = false;
    Context.SelectNode(node != nullptr ? node->GetId() : 0);
}

void TSceneTreePanel::TreeDblClick()
{
    if (auto* object = dynamic_cast<TSceneObject*>(SelectedNode())) {
        Context.Selection().SceneRootSelected = false;
        Context.SelectNode(object->GetId());
    }
    Context.FocusSelected();
}

void TSceneTreePanel::TreePopupClick(int Tag)
{
    TProjectDocument& document = Context.Document();
    TScene& scene = document.GetScene();
    TSceneNode* node = SelectedNode();
    switch (Tag) {
    case ptAddGroup: {
        TSceneNode* parent = node != nullptr ? node : scene.GetRoot();
        Context.Run(
            std::make_unique<TCreateGroupCommand>(scene, "Group", parent, parent->ChildCount()));
        break;
    }
    case ptRename:
        if (node != nullptr)
            Rename(*node);
        break;
    case ptDelete:
        if (node != nullptr)
            Context.Run(std::make_unique<TDeleteSubtreeCommand>(scene, node));
        break;
    case ptAddCube:
    case ptAddSphere:
        AddPrimitive(Tag, node);
        break;
    case ptDuplicate:
        if (node != nullptr)
            Context.Run(std::make_unique<TDuplicateSubtreeCommand>(scene, node));
        break;
    case ptHideShow:
        if (node != nullptr) {
            node->SetVisible(!node->GetVisible());
            // Visibility is saved with the scene: the project has unsaved changes now.
            document.MarkChanged();
            emit Context.Events().DocumentEdited();
        }
        break;
    case ptCut:
        CutNode = node != nullptr ? node->GetId() : 0;
        break;
    case ptPaste:
        Paste(node != nullptr ? node : scene.GetRoot());
        break;
    default:
        break;
    }
}

void TSceneTreePanel::Rename(TSceneNode& Node)
{
    const TEditorDialogs& dialogs = Context.Dialogs();
    if (!dialogs.InputBox)
        return;
    const uint32_t id = Node.GetId();
    const std::string name =
        dialogs.InputBox(Context.ParentWindow(), "Rename", "New name:", Node.Name);
    TProjectDocument& document = Context.Document();
    TSceneNode* node = document.FindNode(id);  // the box ran its own event loop
    if (name.empty() || node == nullptr)
        return;
    Context.Run(std::make_unique<TRenameNodeCommand>(document.GetScene(), name, node,
                                                     [&document] { document.MarkChanged(); }));
}

void TSceneTreePanel::Paste(TSceneNode* Target)
{
    TProjectDocument& document = Context.Document();
    TScene& scene = document.GetScene();
    // A cut node deleted since moves nothing.
    if (CutNode == 0 || scene.FindNodeById(CutNode) == nullptr)
        return;
    auto command = std::make_unique<TReparentNodesCommand>(
        scene, true, Target->ChildCount(), Target->GetId(), TSceneNodeIdArray{CutNode});
    try {
        document.GetHistory().Execute(std::move(command));
    } catch (const std::exception& e) {
        Context.Dialogs().Warn(Context.ParentWindow(), "Paste", e.what());
        return;
    }
    emit Context.Events().HistoryChanged();
}

void TSceneTreePanel::AddPrimitive(int Tag, TSceneNode* Under)
{
    const uint32_t underId = Under != nullptr ? Under->GetId() : 0;
    const bool underNode = Under != nullptr;
    TSceneObject* object = Context.AddPrimitiveObject(Tag == ptAddCube ? ptCube : ptSphere);
    if (object == nullptr || !underNode)
        return;
    TProjectDocument& document = Context.Document();
    if (TSceneNode* parent = document.FindNode(underId))
        document.GetScene().ReparentNode(object, parent, parent->ChildCount(), true);
}
