#include "editor/uModifierPage.h"

#include "editor/api/uEditorContext.h"

TModifierPage::TModifierPage(TEditorContext& Context, QWidget* Parent)
    : QWidget(Parent), Context(Context)
{
    setObjectName(QStringLiteral("ModifierPage"));
}
