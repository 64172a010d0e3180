#pragma once
// The Modifiers page: the selected object's modifier stack as a list, with buttons that add,
// delete, duplicate, reorder and clear modifiers, and a double-click that opens a modifier's
// settings window. Edits act on the object directly (no undo). Below the buttons the page
// shows why the stack's last evaluation failed; the views keep the last good mesh meanwhile.
#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class TEditorContext;
class TModifierWindowManager;
class TSceneObject;

class TModifierPage : public QWidget {
    Q_OBJECT
public:
    TModifierPage(TEditorContext& Context, QWidget* Parent);
    ~TModifierPage() override;

    void UpdateModifierList();
    // Fills Menu with one submenu per category and one item per registered modifier type.
    void BuildAddModifierMenu(QMenu* Menu);

    void AddModifierButtonClick();
    void AddModifierMenuClick(int Tag);
    void DeleteModifierClick();
    void DuplicateModifierClick();
    void MoveModifierUpClick();
    void MoveModifierDownClick();
    void ClearStackClick();
    // Re-evaluates the selected object (the Properties page's "Refresh Stack").
    void RefreshStackClick();
    void ModifierListDblClick();

    QListWidget* ModifierList() const { return List; }
    QMenu* AddModifierMenu() const { return AddMenu; }
    QLabel* MessageLabel() const { return Message; }
    TModifierWindowManager& WindowManager() const { return *Windows; }
    const std::vector<uint32_t>& GetRowIds() const { return RowIds; }

private:
    void BuildModifierPanel();
    TSceneObject* SelectedObject() const;
    int SelectedRow() const;
    // After an edit: the list, the pages and the views follow.
    void Edited();

    TEditorContext& Context;
    QListWidget* List = nullptr;
    QPushButton* AddButton = nullptr;
    QMenu* AddMenu = nullptr;
    QLabel* Message = nullptr;
    // The modifier id shown in each row, in stack order.
    std::vector<uint32_t> RowIds;
    // The number of modifier types the popup was built from.
    int32_t MenuTypeCount = -1;
    std::unique_ptr<TModifierWindowManager> Windows;
};
