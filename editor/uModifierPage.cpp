#include "editor/uModifierPage.h"

#include "document/uProjectDocument.h"
#include "editor/api/uEditorContext.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifierStack.h"
#include "modifiers/uModifiers.h"
#include "modifiers/ui/uModifierWindowManager.h"
#include "render/uErrorBox.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"

#include <QCursor>
#include <QFont>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>

#include <algorithm>

namespace {

bool SameTextAscii(const std::string& a, const std::string& b)
{
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

}  // namespace

TModifierPage::TModifierPage(TEditorContext& Context, QWidget* Parent)
    : QWidget(Parent), Context(Context)
{
    setObjectName(QStringLiteral("ModifierPage"));
    Windows = std::make_unique<TModifierWindowManager>(Context);
    BuildModifierPanel();
    const auto refresh = [this] { RunGuarded(this, [this] { UpdateModifierList(); }); };
    TEditorEvents& events = Context.Events();
    connect(&events, &TEditorEvents::SelectionChanged, this, refresh);
    connect(&events, &TEditorEvents::SceneChanged, this, refresh);
    connect(&events, &TEditorEvents::HistoryChanged, this, refresh);
    connect(&events, &TEditorEvents::DocumentReplaced, this, refresh);
    connect(&events, &TEditorEvents::DocumentEdited, this, refresh);
}

TModifierPage::~TModifierPage() = default;

void TModifierPage::BuildModifierPanel()
{
    auto* title = new QLabel(QStringLiteral("Modifier Stack"), this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    title->adjustSize();
    title->move(8, 6);

    List = new QListWidget(this);
    List->setObjectName(QStringLiteral("ModifierList"));
    List->setGeometry(8, 28, 244, 80);
    connect(List, &QListWidget::itemDoubleClicked, this,
            [this] { RunGuarded(this, [this] { ModifierListDblClick(); }); });

    const auto button = [this](const QString& Caption, int X, int Y, int W,
                               void (TModifierPage::*Click)()) {
        auto* b = new QPushButton(Caption, this);
        b->setObjectName(Caption);
        b->setGeometry(X, Y, W, b->sizeHint().height());
        connect(b, &QPushButton::clicked, this,
                [this, Click] { RunGuarded(this, [&] { (this->*Click)(); }); });
        return b;
    };
    AddButton = button(QStringLiteral("Add Modifier..."), 8, 112, 130,
                       &TModifierPage::AddModifierButtonClick);
    button(QStringLiteral("Del"), 142, 112, 50, &TModifierPage::DeleteModifierClick);
    button(QStringLiteral("Dup"), 194, 112, 55, &TModifierPage::DuplicateModifierClick);
    button(QStringLiteral("Up"), 8, 138, 56, &TModifierPage::MoveModifierUpClick);
    button(QStringLiteral("Down"), 68, 138, 56, &TModifierPage::MoveModifierDownClick);
    button(QStringLiteral("Clear Stack"), 148, 138, 100, &TModifierPage::ClearStackClick);

    Message = new QLabel(this);
    Message->setObjectName(QStringLiteral("ModifierMessage"));
    Message->setWordWrap(true);
    Message->setStyleSheet(QStringLiteral("color: #b00000;"));
    Message->setGeometry(8, 170, 244, 80);
    Message->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // The popup depends only on the registry. It is filled just before it shows, never
    // inside the click of one of its own items.
    AddMenu = new QMenu(this);
    AddMenu->setObjectName(QStringLiteral("AddModifierMenu"));
    connect(AddMenu, &QMenu::aboutToShow, this, [this] {
        if (MenuTypeCount != ModifierDescriptorCount())
            BuildAddModifierMenu(AddMenu);
    });
    UpdateModifierList();
}

TSceneObject* TModifierPage::SelectedObject() const
{
    return Context.Document().GetScene().GetSelectedObject();
}

int TModifierPage::SelectedRow() const
{
    return List ? List->currentRow() : -1;
}

void TModifierPage::UpdateModifierList()
{
    if (!List)
        return;
    // The selected modifier stays selected while it is listed.
    const int oldRow = SelectedRow();
    const uint32_t selectedId =
        oldRow >= 0 && oldRow < int(RowIds.size()) ? RowIds[size_t(oldRow)] : 0;
    List->setUpdatesEnabled(false);
    List->clear();
    RowIds.clear();
    TSceneObject* object = SelectedObject();
    QString message;
    if (object) {
        const TModifierStack& stack = object->GetModifiers();
        for (int32_t i = 0; i < stack.Count(); ++i) {
            const TModifier* m = stack.GetItem(i);
            QString text = QString::fromStdString(m->GetDisplayName());
            if (!m->GetEnabled())
                text.prepend(QStringLiteral("(disabled) "));
            List->addItem(text);
            RowIds.push_back(m->GetId());
        }
        // The views draw the object anyway; evaluating it here tells whether the stack's
        // output was refused, and why.
        object->Evaluate();
        message = QString::fromStdString(object->GetEvaluationMessage());
    }
    const auto it = std::find(RowIds.begin(), RowIds.end(), selectedId);
    if (selectedId != 0 && it != RowIds.end())
        List->setCurrentRow(int(it - RowIds.begin()));
    List->setUpdatesEnabled(true);
    Message->setText(message);
}

void TModifierPage::BuildAddModifierMenu(QMenu* Menu)
{
    for (QAction* a : Menu->actions())
        if (QMenu* sub = a->menu())
            sub->deleteLater();
    Menu->clear();
    const int32_t count = ModifierDescriptorCount();
    // Categories in the order of their first entry, compared ignoring letter case, and
    // each entry filed under its category the same way.
    std::vector<std::string> categories;
    for (int32_t i = 0; i < count; ++i) {
        const std::string& c = GetModifierDescriptor(i).Category;
        if (std::none_of(categories.begin(), categories.end(),
                         [&](const std::string& k) { return SameTextAscii(k, c); }))
            categories.push_back(c);
    }
    for (const std::string& category : categories) {
        QMenu* sub = Menu->addMenu(category.empty() ? QStringLiteral("Other")
                                                    : QString::fromStdString(category));
        for (int32_t i = 0; i < count; ++i) {
            const TModifierDescriptor& d = GetModifierDescriptor(i);
            if (!SameTextAscii(d.Category, category))
                continue;
            QAction* item = sub->addAction(QString::fromStdString(d.DisplayName));
            item->setData(i);
            connect(item, &QAction::triggered, this,
                    [this, i] { RunGuarded(this, [&] { AddModifierMenuClick(i); }); });
        }
    }
    MenuTypeCount = count;
}

void TModifierPage::Edited()
{
    UpdateModifierList();
    emit Context.Events().DocumentEdited();
}

void TModifierPage::AddModifierButtonClick()
{
    AddMenu->popup(QCursor::pos());
}

void TModifierPage::AddModifierMenuClick(int Tag)
{
    TSceneObject* object = SelectedObject();
    if (!object || Tag < 0)
        return;
    if (std::unique_ptr<TModifier> m = CreateModifierByIndex(Tag))
        object->AddModifier(std::move(m));
    Edited();
}

void TModifierPage::DeleteModifierClick()
{
    TSceneObject* object = SelectedObject();
    const int row = SelectedRow();
    if (!object || row < 0 || row >= int(RowIds.size()))
        return;
    object->GetModifiers().Remove(RowIds[size_t(row)]);
    Edited();
}

void TModifierPage::DuplicateModifierClick()
{
    TSceneObject* object = SelectedObject();
    const int row = SelectedRow();
    if (!object || row < 0 || row >= int(RowIds.size()))
        return;
    object->DuplicateModifier(RowIds[size_t(row)]);
    Edited();
}

void TModifierPage::MoveModifierUpClick()
{
    TSceneObject* object = SelectedObject();
    const int row = SelectedRow();
    if (!object || row < 1 || row >= object->GetModifiers().Count())
        return;
    object->MoveModifier(row, row - 1);
    Edited();
    List->setCurrentRow(row - 1);
}

void TModifierPage::MoveModifierDownClick()
{
    TSceneObject* object = SelectedObject();
    const int row = SelectedRow();
    if (!object || row < 0 || row >= object->GetModifiers().Count() - 1)
        return;
    object->MoveModifier(row, row + 1);
    Edited();
    List->setCurrentRow(row + 1);
}

void TModifierPage::ClearStackClick()
{
    TSceneObject* object = SelectedObject();
    if (!object)
        return;
    object->ClearModifiers();
    Edited();
}

void TModifierPage::RefreshStackClick()
{
    if (TSceneObject* object = SelectedObject()) {
        object->MarkMeshDirty();
        object->Evaluate();
    }
    Edited();
}

void TModifierPage::ModifierListDblClick()
{
    TSceneObject* object = SelectedObject();
    const int row = SelectedRow();
    if (!object || row < 0 || row >= int(RowIds.size()))
        return;
    Windows->OpenEditor(&Context.Document().GetScene(),
                        MakeModifierRef(object->GetId(), RowIds[size_t(row)]));
}
