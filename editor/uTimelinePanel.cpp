#include "editor/uTimelinePanel.h"

#include "document/uProjectDocument.h"
#include "editor/api/uEditorContext.h"
#include "editor/uUserNumbers.h"
#include "render/uErrorBox.h"
#include "scene/uAnimationCommands.h"
#include "scene/uAnimationDocument.h"
#include "scene/uAnimationRecorder.h"
#include "scene/uProjectTime.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

#include <memory>

namespace {

// Writes only what differs: the panel is refreshed on every tick while playing.
void SetText(QLineEdit* Edit, const QString& Text)
{
    if (Edit->text() != Text)
        Edit->setText(Text);
}
void SetText(QAbstractButton* Button, const QString& Text)
{
    if (Button->text() != Text)
        Button->setText(Text);
}
void SetText(QLabel* Label, const QString& Text)
{
    if (Label->text() != Text)
        Label->setText(Text);
}

}  // namespace

TTimelinePanel::TTimelinePanel(TEditorContext& Context, QWidget* Parent)
    : QWidget(Parent), Context(Context)
{
    setObjectName(QStringLiteral("TimelinePanel"));
    setFixedHeight(84);
    BuildTimelinePanel();

    TEditorEvents& events = Context.Events();
    const auto refresh = [this] { UpdateTimelineUI(); };
    connect(&events, &TEditorEvents::FrameChanged, this, refresh);
    connect(&events, &TEditorEvents::SelectionChanged, this, refresh);
    connect(&events, &TEditorEvents::HistoryChanged, this, refresh);
    connect(&events, &TEditorEvents::SceneChanged, this, refresh);
    connect(&events, &TEditorEvents::DocumentEdited, this, refresh);
    connect(&events, &TEditorEvents::DocumentReplaced, this, refresh);
    UpdateTimelineUI();
}

QPushButton* TTimelinePanel::CreateTimelineButton(const char* Caption, int Left, int Tag, int Width)
{
    auto* button = new QPushButton(QString::fromUtf8(Caption), this);
    button->setGeometry(Left, 5, Width, 24);
    button->setFocusPolicy(Qt::NoFocus);  // Space keeps playing, not pressing the button
    button->setProperty("tag", Tag);
    connect(button, &QPushButton::clicked, this,
            [this, Tag] { Handle([&] { TimelineButtonClick(Tag); }); });
    return button;
}

QLineEdit* TTimelinePanel::CreateEdit(const char* Name, int Left, int Top, int Width)
{
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(Name));
    edit->setGeometry(Left, Top, Width, 22);
    return edit;
}

QLabel* TTimelinePanel::CreateLabel(const char* Caption, int Left, int Top, int Width, int Height)
{
    auto* label = new QLabel(QString::fromUtf8(Caption), this);
    label->setGeometry(Left, Top, Width, Height);
    return label;
}

void TTimelinePanel::BuildTimelinePanel()
{
    CreateTimelineButton("|<", 4, tbFirst, 32)->setObjectName(QStringLiteral("TimelineFirst"));
    CreateTimelineButton("<", 38, tbPrevious, 32)->setObjectName(QStringLiteral("TimelinePrev"));
    PlayButton = CreateTimelineButton("Play", 72, tbPlay, 48);
    PlayButton->setObjectName(QStringLiteral("TimelinePlay"));
    CreateTimelineButton(">", 122, tbNext, 32)->setObjectName(QStringLiteral("TimelineNext"));
    CreateTimelineButton(">|", 156, tbLast, 32)->setObjectName(QStringLiteral("TimelineLast"));
    CreateTimelineButton("Key", 192, tbKey, 48)->setObjectName(QStringLiteral("TimelineKey"));

    CreateLabel("Frame", 290, 5, 54, 16);
    FrameEdit = CreateEdit("FrameEdit", 290, 22, 54);
    connect(FrameEdit, &QLineEdit::editingFinished, this,
            [this] { Handle([&] { FrameControlChange(false); }); });
    FrameSlider = new QSlider(Qt::Horizontal, this);
    FrameSlider->setObjectName(QStringLiteral("FrameSlider"));
    FrameSlider->setGeometry(350, 8, 360, 40);
    connect(FrameSlider, &QSlider::valueChanged, this,
            [this] { Handle([&] { FrameControlChange(true); }); });

    CreateLabel("Start", 728, 5, 48, 16);
    StartEdit = CreateEdit("StartEdit", 728, 22, 48);
    CreateLabel("End", 810, 5, 48, 16);
    EndEdit = CreateEdit("EndEdit", 810, 22, 48);
    CreateLabel("FPS", 892, 5, 54, 16);
    FpsEdit = CreateEdit("FpsEdit", 892, 22, 54);
    for (QLineEdit* edit : {StartEdit, EndEdit, FpsEdit})
        connect(edit, &QLineEdit::editingFinished, this,
                [this] { Handle([&] { ProjectRangeChange(); }); });
    LoopProjectCheck = new QCheckBox(QStringLiteral("Loop project timeline"), this);
    LoopProjectCheck->setObjectName(QStringLiteral("LoopProjectCheck"));
    LoopProjectCheck->setGeometry(960, 4, 170, 24);
    // toggled, not clicked: an assistive tool's toggle sends no click. The panel's own
    // updates run while Updating, and Handle ignores them.
    connect(LoopProjectCheck, &QCheckBox::toggled, this,
            [this] { Handle([&] { LoopProjectClick(); }); });

    CreateLabel("Selected clip", 4, 62, 92, 16);
    CreateLabel("Start", 100, 40, 48, 16);
    ClipStartEdit = CreateEdit("ClipStartEdit", 100, 58, 54);
    CreateLabel("Length", 162, 40, 48, 16);
    ClipLengthEdit = CreateEdit("ClipLengthEdit", 162, 58, 54);
    for (QLineEdit* edit : {ClipStartEdit, ClipLengthEdit})
        connect(edit, &QLineEdit::editingFinished, this,
                [this] { Handle([&] { ClipRangeChange(); }); });
    ClipLoopCheck = new QCheckBox(QStringLiteral("Loop selected clip"), this);
    ClipLoopCheck->setObjectName(QStringLiteral("ClipLoopCheck"));
    ClipLoopCheck->setGeometry(228, 58, 160, 24);
    connect(ClipLoopCheck, &QCheckBox::toggled, this, [this] { Handle([&] { ClipLoopClick(); }); });
    TouchedLabel = CreateLabel("", 400, 62, 280, 18);
    TouchedLabel->setObjectName(QStringLiteral("TouchedLabel"));
}

template <class F>
void TTimelinePanel::Handle(F&& Body)
{
    if (Updating)
        return;
    RunGuarded(this, Body);
    UpdateTimelineUI();
}

void TTimelinePanel::UpdateTimelineUI()
{
    if (Updating)
        return;
    Updating = true;
    struct TDone {
        bool& Flag;
        ~TDone() { Flag = false; }
    } done{Updating};
    const QSignalBlocker sliderBlock(FrameSlider);

    TProjectDocument& document = Context.Document();
    const TProjectTime& time = document.GetProjectTime();
    if (FrameSlider->minimum() != time.GetStartFrame() ||
        FrameSlider->maximum() != time.GetEndFrame())
        FrameSlider->setRange(time.GetStartFrame(), time.GetEndFrame());
    if (FrameSlider->value() != time.GetCurrentFrame())
        FrameSlider->setValue(time.GetCurrentFrame());
    SetText(FrameEdit, QString::number(time.GetCurrentFrame()));
    SetText(StartEdit, QString::number(time.GetStartFrame()));
    SetText(EndEdit, QString::number(time.GetEndFrame()));
    // Shown as it is read: with ".".
    SetText(FpsEdit, FormatDotNumber(time.GetFPS(), 2));
    if (LoopProjectCheck->isChecked() != time.GetLoopTimeline())
        LoopProjectCheck->setChecked(time.GetLoopTimeline());

    const TAnimationClip* clip = nullptr;
    if (const uint32_t id = Context.SelectedNodeId())
        clip = document.GetAnimation().FindClipByNode(id);
    ClipStartEdit->setEnabled(clip != nullptr);
    ClipLengthEdit->setEnabled(clip != nullptr);
    ClipLoopCheck->setEnabled(clip != nullptr);
    SetText(ClipStartEdit, clip ? QString::number(clip->StartFrame) : QStringLiteral("-"));
    SetText(ClipLengthEdit, clip ? QString::number(clip->GetLength()) : QStringLiteral("-"));
    const bool clipLoops = clip != nullptr && clip->PlaybackMode == cpmLoop;
    if (ClipLoopCheck->isChecked() != clipLoops)
        ClipLoopCheck->setChecked(clipLoops);

    SetText(PlayButton, time.Playing ? QStringLiteral("Stop") : QStringLiteral("Play"));
    SetText(TouchedLabel, QStringLiteral("Touched: %1").arg(document.GetRecorder().Count()));
}

void TTimelinePanel::FrameChanged()
{
    emit Context.Events().FrameChanged();
}

void TTimelinePanel::GoToFrame(int32_t Frame)
{
    TProjectDocument& document = Context.Document();
    TProjectTime& time = document.GetProjectTime();
    if (Frame == time.GetCurrentFrame())
        return;
    // Touched but unkeyed changes are thrown away before the frame moves.
    if (document.GetRecorder().Count() > 0) {
        document.RestoreRecordedValues();
        emit Context.Events().DocumentEdited();
    }
    time.Playing = false;
    time.SetCurrentFrame(Frame);
    Context.SetPlaybackAccumulator(time.GetCurrentFrame());
    FrameChanged();
}

void TTimelinePanel::TogglePlayback()
{
    TProjectDocument& document = Context.Document();
    TProjectTime& time = document.GetProjectTime();
    if (document.GetRecorder().Count() > 0) {
        document.RestoreRecordedValues();
        emit Context.Events().DocumentEdited();
    }
    time.Playing = !time.Playing;
    if (time.Playing) {
        if (time.GetCurrentFrame() >= time.GetEndFrame())
            time.SetCurrentFrame(time.GetStartFrame());
        Context.SetPlaybackAccumulator(time.GetCurrentFrame());
    }
    FrameChanged();
}

void TTimelinePanel::KeyTouchedProperties()
{
    TProjectDocument& document = Context.Document();
    TAnimationRecorder& recorder = document.GetRecorder();
    if (recorder.Count() == 0) {
        Context.SetStatusText("No changed animatable properties to key");
        return;
    }
    {
        // The touches are used up either way: ones that changed nothing would otherwise
        // make every later key fail the same way.
        struct TClearRecorder {
            TAnimationRecorder& Recorder;
            ~TClearRecorder() { Recorder.Clear(); }
        } clear{recorder};
        Context.Run(std::make_unique<TInsertOrUpdateTouchedKeysCommand>(
            document.AnimationCommandTarget(), document.GetProjectTime().GetCurrentFrame(),
            &recorder));
    }
    // The history's refresh ran before the touches were used up; the Space key comes
    // here without the button's refresh.
    UpdateTimelineUI();
    Context.Repaint();
}

void TTimelinePanel::TimelineButtonClick(int Tag)
{
    TProjectDocument& document = Context.Document();
    const TProjectTime& time = document.GetProjectTime();
    const TAnimationDocument& animation = document.GetAnimation();
    const uint32_t selected = Context.SelectedNodeId();
    int32_t key = 0;
    switch (Tag) {
    case tbFirst:
        GoToFrame(time.GetStartFrame());
        break;
    case tbPrevious:
        GoToFrame(selected != 0 && animation.FindPrevKeyFrame(selected, time.GetCurrentFrame(), key)
                      ? key
                      : time.GetStartFrame());
        break;
    case tbPlay:
        TogglePlayback();
        return;
    case tbNext:
        GoToFrame(selected != 0 && animation.FindNextKeyFrame(selected, time.GetCurrentFrame(), key)
                      ? key
                      : time.GetEndFrame());
        break;
    case tbLast:
        GoToFrame(time.GetEndFrame());
        break;
    case tbKey:
        KeyTouchedProperties();
        return;
    default:
        return;
    }
    Context.Repaint();
}

void TTimelinePanel::FrameControlChange(bool FromSlider)
{
    int32_t frame = 0;
    if (FromSlider)
        frame = FrameSlider->value();
    else if (!ParseUserInt(FrameEdit->text(), frame))
        return;  // the refresh puts the current frame back
    GoToFrame(frame);
    Context.Repaint();
}

void TTimelinePanel::ProjectRangeChange()
{
    TProjectDocument& document = Context.Document();
    TProjectTime& time = document.GetProjectTime();
    int32_t start = 0, end = 0;
    float fps = 0;
    if (!ParseUserInt(StartEdit->text(), start) || !ParseUserInt(EndEdit->text(), end) ||
        !ParseUserFloat(FpsEdit->text(), fps))
        return;
    // A field left as the panel showed it keeps the stored value (a rounded frame rate
    // such as 23.976 shows as "23.98").
    if (FpsEdit->text().trimmed() == FormatDotNumber(time.GetFPS(), 2))
        fps = time.GetFPS();
    // Leaving a field without a change must not throw away touched edits or stop playback.
    if (start == time.GetStartFrame() && end == time.GetEndFrame() && fps == time.GetFPS())
        return;
    if (document.GetRecorder().Count() > 0) {
        document.RestoreRecordedValues();
        emit Context.Events().DocumentEdited();
    }
    time.SetRange(start, end);
    // The range and the frame rate are saved with the project; a refused rate below
    // leaves the new range standing.
    document.MarkChanged();
    time.Playing = false;
    try {
        time.SetFPS(fps);
    } catch (...) {
        FrameChanged();  // the range took effect
        throw;
    }
    FrameChanged();
}

void TTimelinePanel::LoopProjectClick()
{
    TProjectDocument& document = Context.Document();
    document.GetProjectTime().SetLoop(LoopProjectCheck->isChecked());
    document.MarkChanged();
}

void TTimelinePanel::ClipRangeChange()
{
    TProjectDocument& document = Context.Document();
    const uint32_t id = Context.SelectedNodeId();
    const TAnimationClip* clip = id != 0 ? document.GetAnimation().FindClipByNode(id) : nullptr;
    int32_t start = 0, length = 0;
    if (clip == nullptr || !ParseUserInt(ClipStartEdit->text(), start) ||
        !ParseUserInt(ClipLengthEdit->text(), length) || length <= 0)
        return;
    if (start == clip->StartFrame && length == clip->GetLength())
        return;  // no undo step for leaving a field unchanged
    Context.Run(std::make_unique<TChangeClipRangeCommand>(document.AnimationCommandTarget(), id,
                                                          start, length));
    Context.Repaint();
}

void TTimelinePanel::ClipLoopClick()
{
    TProjectDocument& document = Context.Document();
    const uint32_t id = Context.SelectedNodeId();
    if (id == 0 || document.GetAnimation().FindClipByNode(id) == nullptr)
        return;
    Context.Run(std::make_unique<TChangeClipPlaybackModeCommand>(
        document.AnimationCommandTarget(), id, ClipLoopCheck->isChecked() ? cpmLoop : cpmOnce));
    Context.Repaint();
}
