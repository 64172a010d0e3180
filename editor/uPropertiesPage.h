#pragma once
// The Properties page: what is selected, shown and edited through the project document.
#include <QWidget>

class TEditorContext;

class TPropertiesPage : public QWidget {
    Q_OBJECT
public:
    TPropertiesPage(TEditorContext& Context, QWidget* Parent);

private:
    TEditorContext& Context;
};
