#include "editor/uPaintPage.h"

#include "editor/api/uEditorContext.h"

TPaintPage::TPaintPage(TEditorContext& Context, QWidget* Parent) : QWidget(Parent), Context(Context)
{
    setObjectName(QStringLiteral("PaintPage"));
}
