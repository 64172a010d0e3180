#pragma once
// The hierarchy tree at the left of the views: the scene's nodes, mirrored after every change.
#include <QTreeWidget>

class TEditorContext;

class TSceneTreePanel : public QTreeWidget {
    Q_OBJECT
public:
    TSceneTreePanel(TEditorContext& Context, QWidget* Parent);

private:
    TEditorContext& Context;
};
