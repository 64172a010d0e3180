#include "editor/uTimelinePanel.h"

#include "editor/api/uEditorContext.h"

TTimelinePanel::TTimelinePanel(TEditorContext& Context, QWidget* Parent)
    : QWidget(Parent), Context(Context)
{
    setObjectName(QStringLiteral("TimelinePanel"));
    setFixedHeight(84);
}
