#pragma once
// The Paint page: vertex colours of the selected elements.
#include <QWidget>

class TEditorContext;

class TPaintPage : public QWidget {
    Q_OBJECT
public:
    TPaintPage(TEditorContext& Context, QWidget* Parent);

private:
    TEditorContext& Context;
};
