#pragma once
// The timeline panel below the views: the project time (range, frame rate, loop, current
// frame), the selected object's clip (start, length, loop), stepping between its keys,
// playback, and keying the properties touched since the last key. Edits of the animation
// are commands; the project time is changed directly.
#include <QWidget>

#include <cstdint>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class TEditorContext;

class TTimelinePanel : public QWidget {
    Q_OBJECT
public:
    // The buttons, by Tag.
    enum TButtonTag : int {
        tbFirst = 1,
        tbPrevious = 2,
        tbPlay = 3,
        tbNext = 4,
        tbLast = 5,
        tbKey = 6,
    };

    TTimelinePanel(TEditorContext& Context, QWidget* Parent);

    // Shows the project time, the selected object's clip and the touched count.
    void UpdateTimelineUI();
    void TimelineButtonClick(int Tag);
    void GoToFrame(int32_t Frame);
    void TogglePlayback();
    void KeyTouchedProperties();

private:
    void BuildTimelinePanel();
    QPushButton* CreateTimelineButton(const char* Caption, int Left, int Tag, int Width);
    QLineEdit* CreateEdit(const char* Name, int Left, int Top, int Width);
    QLabel* CreateLabel(const char* Caption, int Left, int Top, int Width, int Height);
    void FrameControlChange(bool FromSlider);
    void ProjectRangeChange();
    void LoopProjectClick();
    void ClipRangeChange();
    void ClipLoopClick();
    void FrameChanged();
    // Runs a handler of a control: errors go to the error box and the panel shows the
    // stored values again.
    template <class F>
    void Handle(F&& Body);

    TEditorContext& Context;
    // Set while the panel writes into its own controls; the handlers then do nothing.
    bool Updating = false;
    QPushButton* PlayButton = nullptr;
    QLineEdit* FrameEdit = nullptr;
    QSlider* FrameSlider = nullptr;
    QLineEdit* StartEdit = nullptr;
    QLineEdit* EndEdit = nullptr;
    QLineEdit* FpsEdit = nullptr;
    QCheckBox* LoopProjectCheck = nullptr;
    QLineEdit* ClipStartEdit = nullptr;
    QLineEdit* ClipLengthEdit = nullptr;
    QCheckBox* ClipLoopCheck = nullptr;
    QLabel* TouchedLabel = nullptr;
};
