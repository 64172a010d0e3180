#include "editor/uSceneTreePanel.h"

#include "editor/api/uEditorContext.h"

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
    // Selection stays visible while the tree has no focus.
    QPalette p = palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight,
               p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText,
               p.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(p);
}
