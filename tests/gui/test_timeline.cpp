// The timeline panel driven as a user does: typed fields, buttons, Space and the clock.
#include "editor_window_fixture.h"
#include "scene/uAnimationDocument.h"
#include "scene/uAnimationRecorder.h"
#include "scene/uProjectTime.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

namespace {

class TimelineTest : public EditorWindowTest {
public:
    void SetUp() override
    {
        EditorWindowTest::SetUp();
        if (HasFatalFailure())
            return;
        Time = &Form->Document().GetProjectTime();
    }
    template <class W = QLineEdit>
    W* Control(const char* Name) const
    {
        W* w = Form->findChild<W*>(QString::fromLatin1(Name));
        EXPECT_NE(w, nullptr) << Name;
        return w;
    }
    // Types into a field and leaves it with Return, as a user does.
    void Type(const char* Field, const QString& Text)
    {
        QLineEdit* edit = Control(Field);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, Text);
        QTest::keyClick(edit, Qt::Key_Return);
        Form->GLView()->setFocus();
    }
    void Press(const char* Button)
    {
        QTest::mouseClick(Control<QPushButton>(Button), Qt::LeftButton);
    }
    // Runs the frame loop for Ms milliseconds in ticks of 50 ms.
    void Run(int Ms)
    {
        for (int t = 0; t < Ms; t += 50) {
            Now += 50;
            Form->FrameTimerTick();
        }
    }
    QString Touched() const { return Control<QLabel>("TouchedLabel")->text(); }

    TProjectTime* Time = nullptr;
};

}  // namespace

TEST_F(TimelineTest, ATypedPositionIsAppliedKeyedAndPlayedBackAtItsPlace)
{
    const uint32_t id = Cube->GetId();
    Type("FrameEdit", "30");
    EXPECT_EQ(Time->GetCurrentFrame(), 30);
    EXPECT_EQ(Control<QSlider>("FrameSlider")->value(), 30);

    Type("PosXEdit", "2");
    QTest::mouseClick(Control<QPushButton>("ApplyButton"), Qt::LeftButton);
    EXPECT_EQ(Cube->GetPosition().X, 2.0f);
    EXPECT_EQ(Touched(), "Touched: 1");
    // The untouched fields were not written: nothing else was recorded.
    ASSERT_EQ(Form->Document().GetRecorder().Count(), 1);

    Press("TimelineKey");
    EXPECT_EQ(Touched(), "Touched: 0");
    const TAnimationClip* clip = Form->Document().GetAnimation().FindClipByNode(id);
    ASSERT_NE(clip, nullptr);
    EXPECT_EQ(Control("ClipStartEdit")->text(), "0");
    EXPECT_EQ(Control("ClipLengthEdit")->text(), "101");
    EXPECT_TRUE(Control("ClipStartEdit")->isEnabled());

    // Back to the start: the rest value; played to frame 30: the keyed place.
    Press("TimelineFirst");
    EXPECT_EQ(Time->GetCurrentFrame(), 0);
    EXPECT_EQ(Form->Document().GetEvaluatedWorldPosition(id).X, 0.0f);
    Press("TimelinePlay");
    EXPECT_TRUE(Time->Playing);
    EXPECT_EQ(Control<QPushButton>("TimelinePlay")->text(), "Stop");
    Run(1000);  // 30 frames at 30 per second
    Press("TimelinePlay");
    EXPECT_FALSE(Time->Playing);
    EXPECT_EQ(Control<QPushButton>("TimelinePlay")->text(), "Play");
    const int32_t frame = Time->GetCurrentFrame();
    EXPECT_NEAR(frame, 30, 1);
    EXPECT_NEAR(Form->Document().GetEvaluatedWorldPosition(id).X, 2.0f * float(frame) / 30.0f,
                1e-4f);
    Type("FrameEdit", "30");
    EXPECT_FLOAT_EQ(Form->Document().GetEvaluatedWorldPosition(id).X, 2.0f);
    // Seen there: a pick at the keyed place finds the cube.
    Paint();
    EXPECT_EQ(Form->PickObjectAt(PerspectivePixel(Vec3(2, 0.5f, 0)).x(),
                                 PerspectivePixel(Vec3(2, 0.5f, 0)).y()),
              Cube);

    // "<" and ">" step between the keys, then to the range's ends.
    Press("TimelinePrev");
    EXPECT_EQ(Time->GetCurrentFrame(), 0);
    Press("TimelinePrev");
    EXPECT_EQ(Time->GetCurrentFrame(), 0);
    Press("TimelineNext");
    EXPECT_EQ(Time->GetCurrentFrame(), 30);
    Press("TimelineNext");
    EXPECT_EQ(Time->GetCurrentFrame(), 100);
    Press("TimelineFirst");
    Press("TimelineLast");
    EXPECT_EQ(Time->GetCurrentFrame(), 100);

    // Undo takes the keys away.
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Form->Document().GetAnimation().FindClipByNode(id), nullptr);
    EXPECT_EQ(Control("ClipStartEdit")->text(), "-");
    EXPECT_FALSE(Control("ClipStartEdit")->isEnabled());
}

TEST_F(TimelineTest, PlaybackWrapsWithLoopAndStopsWithoutAndTheClipModes)
{
    Type("StartEdit", "0");
    Type("EndEdit", "10");
    EXPECT_EQ(Time->GetEndFrame(), 10);
    EXPECT_EQ(Control<QSlider>("FrameSlider")->maximum(), 10);

    // Play at the last frame starts from the first.
    Press("TimelineLast");
    Press("TimelinePlay");
    EXPECT_EQ(Time->GetCurrentFrame(), 0);
    Run(500);  // 15 frames: stops at the end without loop
    EXPECT_FALSE(Time->Playing);
    EXPECT_EQ(Time->GetCurrentFrame(), 10);

    QTest::mouseClick(Control<QCheckBox>("LoopProjectCheck"), Qt::LeftButton);
    EXPECT_TRUE(Time->GetLoopTimeline());
    Press("TimelinePlay");
    Run(450);  // 0 + 13.5 frames over an 11-frame range
    EXPECT_TRUE(Time->Playing);
    EXPECT_GT(Time->GetCurrentFrame(), 0);  // past the end and round again
    EXPECT_LT(Time->GetCurrentFrame(), 5);
    EXPECT_EQ(Control("FrameEdit")->text(), QString::number(Time->GetCurrentFrame()));
    Press("TimelinePlay");

    // The clip of the selected object: loop on and off as commands, range as a command.
    const uint32_t id = Cube->GetId();
    Form->Document().GetAnimation().GetOrAddClip(id, 0, 11);
    emit Form->Events().SelectionChanged();
    QCheckBox* clipLoop = Control<QCheckBox>("ClipLoopCheck");
    ASSERT_TRUE(clipLoop->isEnabled());
    QTest::mouseClick(clipLoop, Qt::LeftButton);
    EXPECT_EQ(Form->Document().GetAnimation().FindClipByNode(id)->PlaybackMode, cpmLoop);
    Type("ClipLengthEdit", "4");
    EXPECT_EQ(Form->Document().GetAnimation().FindClipByNode(id)->GetLength(), 4);
    // A length of 0 and text that is not a number are refused and shown back.
    Type("ClipLengthEdit", "0");
    Type("ClipStartEdit", "x");
    EXPECT_EQ(Form->Document().GetAnimation().FindClipByNode(id)->GetLength(), 4);
    EXPECT_EQ(Control("ClipLengthEdit")->text(), "4");
    EXPECT_EQ(Control("ClipStartEdit")->text(), "0");
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Form->Document().GetAnimation().FindClipByNode(id)->GetLength(), 11);
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Form->Document().GetAnimation().FindClipByNode(id)->PlaybackMode, cpmOnce);
    EXPECT_FALSE(clipLoop->isChecked());
}

TEST_F(TimelineTest, BadInputIsRefusedAndTheErrorsAreTheProjectTimesOwn)
{
    // Text that does not convert, nan, inf and out-of-range numbers change nothing.
    for (const char* bad : {"abc", "nan", "inf", "-inf", "1e39", "", "3.5.1"}) {
        Type("FpsEdit", QString::fromLatin1(bad));
        EXPECT_EQ(Time->GetFPS(), 30.0f) << bad;
        EXPECT_EQ(Control("FpsEdit")->text(), "30") << bad;
    }
    for (const char* bad : {"abc", "1.5", "99999999999", "nan"}) {
        Type("EndEdit", QString::fromLatin1(bad));
        EXPECT_EQ(Time->GetEndFrame(), 100) << bad;
        EXPECT_EQ(Control("EndEdit")->text(), "100") << bad;
        Type("FrameEdit", QString::fromLatin1(bad));
        EXPECT_EQ(Time->GetCurrentFrame(), 0) << bad;
        EXPECT_EQ(Control("FrameEdit")->text(), "0") << bad;
    }
    EXPECT_TRUE(Errors.empty());

    Type("StartEdit", "50");
    Type("EndEdit", "10");
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0], "Project start frame must not exceed end frame");
    EXPECT_EQ(Time->GetStartFrame(), 50);
    EXPECT_EQ(Time->GetEndFrame(), 100);
    EXPECT_EQ(Control("EndEdit")->text(), "100");
    Type("StartEdit", "0");
    Errors.clear();
    Type("FpsEdit", "0");
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0], "Project FPS must be greater than zero");
    EXPECT_EQ(Time->GetFPS(), 30.0f);
    Errors.clear();

    // A fractional rate shows as it is read and survives leaving the field.
    Type("FpsEdit", "29.97");
    EXPECT_EQ(Time->GetFPS(), 29.97f);
    EXPECT_EQ(Control("FpsEdit")->text(), "29.97");
    // Typing 150 into the frame field goes to the last frame.
    Type("FrameEdit", "150");
    EXPECT_EQ(Time->GetCurrentFrame(), 100);

    // Nothing touched: Key says so in the status bar.
    Press("TimelineKey");
    EXPECT_EQ(Form->StatusPanels()->PanelText(TStatusBar::spMode),
              "No changed animatable properties to key");
    // Touched and put back by hand: the key command refuses, and the touch is gone after.
    Type("PosYEdit", "3");
    QTest::mouseClick(Control<QPushButton>("ApplyButton"), Qt::LeftButton);
    Type("PosYEdit", "0.5");
    QTest::mouseClick(Control<QPushButton>("ApplyButton"), Qt::LeftButton);
    EXPECT_EQ(Touched(), "Touched: 1");
    Press("TimelineKey");
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0], "No touched properties changed");
    Errors.clear();
    EXPECT_EQ(Touched(), "Touched: 0");
    EXPECT_EQ(Form->Document().GetAnimation().ClipCount(), 0);
}

TEST_F(TimelineTest, LeavingARangeFieldUnchangedKeepsTouchedEditsAndPlayback)
{
    Type("PosYEdit", "3");
    QTest::mouseClick(Control<QPushButton>("ApplyButton"), Qt::LeftButton);
    ASSERT_EQ(Form->Document().GetRecorder().Count(), 1);
    const int64_t revision = Form->Document().GetRevision();
    for (const char* field : {"StartEdit", "EndEdit", "FpsEdit"}) {
        QLineEdit* edit = Control(field);
        edit->setFocus();
        Form->GLView()->setFocus();  // focus leaves: editingFinished
        Type(field, edit->text());
    }
    EXPECT_EQ(Form->Document().GetRecorder().Count(), 1);
    EXPECT_EQ(Cube->GetPosition().Y, 3.0f);
    EXPECT_EQ(Form->Document().GetRevision(), revision);
    // Moving the slider throws the touched change away before the frame moves.
    Control<QSlider>("FrameSlider")->setValue(5);
    EXPECT_EQ(Time->GetCurrentFrame(), 5);
    EXPECT_EQ(Cube->GetPosition().Y, 0.5f);
    EXPECT_EQ(Touched(), "Touched: 0");
}

TEST_F(TimelineTest, ATransformCancelledWithEscapeLeavesSpaceToPlay)
{
    Key(Qt::Key_F2);
    Key(Qt::Key_X);
    ASSERT_TRUE(Form->ObjectTransform().Running());
    QTest::keyClicks(View(), QStringLiteral("2"));
    Key(Qt::Key_Escape);
    EXPECT_FALSE(Form->ObjectTransform().Running());
    EXPECT_EQ(Form->Document().GetRecorder().Count(), 0);
    EXPECT_EQ(Touched(), "Touched: 0");
    Key(Qt::Key_Space);
    EXPECT_TRUE(Time->Playing);
    EXPECT_TRUE(Errors.empty());
    Key(Qt::Key_Space);
    EXPECT_FALSE(Time->Playing);

    // A confirmed transform is keyed by Space.
    Key(Qt::Key_X);
    QTest::keyClicks(View(), QStringLiteral("2"));
    Key(Qt::Key_Return);
    Key(Qt::Key_Space);
    EXPECT_FALSE(Time->Playing);
    EXPECT_NE(Form->Document().GetAnimation().FindClipByNode(Cube->GetId()), nullptr);
    EXPECT_TRUE(Errors.empty());
}

TEST_F(TimelineTest, ClosingTheWindowWhileAFieldIsBeingTypedInIsQuiet)
{
    QLineEdit* edit = Control("FrameEdit");
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("42"));
    ASSERT_EQ(QApplication::focusWidget(), edit);
    Form.reset();  // no edit reaches the window while it is freed
    EXPECT_TRUE(Errors.empty());
}
