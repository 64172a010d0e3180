#pragma once
// The Modifiers page: the selected object's modifier stack.
#include <QWidget>

class TEditorContext;

class TModifierPage : public QWidget {
    Q_OBJECT
public:
    TModifierPage(TEditorContext& Context, QWidget* Parent);

private:
    TEditorContext& Context;
};
