#include "editor/uPropertiesPage.h"

#include "editor/api/uEditorContext.h"

TPropertiesPage::TPropertiesPage(TEditorContext& Context, QWidget* Parent)
    : QWidget(Parent), Context(Context)
{
    setObjectName(QStringLiteral("PropertiesPage"));
}
