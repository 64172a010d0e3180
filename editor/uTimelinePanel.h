#pragma once
// The timeline panel below the views: project time, playback and keys.
#include <QWidget>

class TEditorContext;

class TTimelinePanel : public QWidget {
    Q_OBJECT
public:
    TTimelinePanel(TEditorContext& Context, QWidget* Parent);

private:
    TEditorContext& Context;
};
