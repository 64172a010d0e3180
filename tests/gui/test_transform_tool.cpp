// The move, scale and rotate tools driven from the keyboard and the mouse: each axis and
// plane lock, typed values, grid snapping, Esc putting back exactly what was there, and
// a transform that stays with the object it started on.
#include "editor/uTransformTool.h"
#include "editor_window_fixture.h"
#include "scene/uAnimationRecorder.h"

#include <cmath>

namespace {

class TransformToolTest : public EditorWindowTest {
protected:
    struct TState {
        TVec3 P, R, S;
    };
    static TState Of(const TSceneNode* n)
    {
        return {n->GetPosition(), n->GetRotation(), n->GetScale()};
    }
    static void ExpectSame(const TState& a, const TState& b)
    {
        EXPECT_TRUE(SameVec(a.P, b.P) && SameVec(a.R, b.R) && SameVec(a.S, b.S));
    }
};

// Tool key, axis key, typed text: what the object shows, then Enter keeps it and Esc
// restores it exactly.
TEST_F(TransformToolTest, EachToolAndAxisWithATypedValueConfirmsAndCancels)
{
    struct TRow {
        int ToolKey, AxisKey;
        const char* Typed;
        TVec3 dP, dR, S;
    };
    const TRow rows[] = {
        {Qt::Key_F2, Qt::Key_X, "2", {2, 0, 0}, {0, 0, 0}, {1, 1, 1}},
        {Qt::Key_F2, Qt::Key_Y, "-1.5", {0, -1.5f, 0}, {0, 0, 0}, {1, 1, 1}},
        {Qt::Key_F2, Qt::Key_Z, ".25", {0, 0, 0.25f}, {0, 0, 0}, {1, 1, 1}},
        {Qt::Key_F3, Qt::Key_X, "3", {0, 0, 0}, {0, 0, 0}, {3, 1, 1}},
        {Qt::Key_F3, Qt::Key_Y, "0.5", {0, 0, 0}, {0, 0, 0}, {1, 0.5f, 1}},
        {Qt::Key_F3, Qt::Key_Z, "0", {0, 0, 0}, {0, 0, 0}, {1, 1, 0.05f}},
        {Qt::Key_F4, Qt::Key_X, "45", {0, 0, 0}, {45, 0, 0}, {1, 1, 1}},
        {Qt::Key_F4, Qt::Key_Y, "-30", {0, 0, 0}, {0, -30, 0}, {1, 1, 1}},
        {Qt::Key_F4, Qt::Key_Z, "90", {0, 0, 0}, {0, 0, 90}, {1, 1, 1}},
    };
    Cube->SetPosition(Vec3(1, 0.5f, -2));
    const TState before = Of(Cube);
    for (const TRow& r : rows) {
        SCOPED_TRACE(std::string(r.Typed) + " axis " + std::to_string(r.AxisKey - Qt::Key_X));
        Key(r.ToolKey);
        for (bool confirm : {false, true}) {
            Key(r.AxisKey);
            ASSERT_TRUE(Form->ObjectTransform().Running());
            EXPECT_EQ(Form->ObjectTransform().Axis(), r.AxisKey - Qt::Key_X);
            QTest::keyClicks(View(), QString::fromLatin1(r.Typed));
            EXPECT_EQ(Form->ObjectTransform().TypedText(), r.Typed);
            EXPECT_NEAR(Cube->GetPosition().X, before.P.X + r.dP.X, 1e-5);
            EXPECT_NEAR(Cube->GetPosition().Y, before.P.Y + r.dP.Y, 1e-5);
            EXPECT_NEAR(Cube->GetPosition().Z, before.P.Z + r.dP.Z, 1e-5);
            EXPECT_NEAR(Cube->GetRotation().X, r.dR.X, 1e-4);
            EXPECT_NEAR(Cube->GetRotation().Y, r.dR.Y, 1e-4);
            EXPECT_NEAR(Cube->GetRotation().Z, r.dR.Z, 1e-4);
            EXPECT_NEAR(Cube->GetScale().X, r.S.X, 1e-6);
            EXPECT_NEAR(Cube->GetScale().Y, r.S.Y, 1e-6);
            EXPECT_NEAR(Cube->GetScale().Z, r.S.Z, 1e-6);
            EXPECT_NE(Form->StatusPanels()->PanelText(0).indexOf(QString::fromLatin1(r.Typed)), -1);
            Key(confirm ? Qt::Key_Return : Qt::Key_Escape);
            EXPECT_FALSE(Form->ObjectTransform().Running());
            if (!confirm)
                ExpectSame(Of(Cube), before);
        }
        Cube->SetTransform(before.P, before.R, before.S);
    }
}

TEST_F(TransformToolTest, TypingRulesAndKeysThatEndATransform)
{
    // A minus only first, one point, Backspace removes the last character.
    struct TRow {
        const char* Typed;
        const char* Text;
    } rows[] = {{"2-", "2"}, {"-2", "-2"}, {"1.5.2", "1.52"}, {"--1", "-1"}, {".", "."}};
    for (const TRow& r : rows) {
        std::string text;
        for (const char* c = r.Typed; *c; ++c)
            AppendTypedCharacter(text, *c);
        EXPECT_EQ(text, r.Text) << r.Typed;
    }
    EXPECT_EQ(TypedTransformValue("."), 0.0f);
    EXPECT_EQ(TypedTransformValue("-"), 0.0f);
    EXPECT_EQ(TypedTransformValue("1.25"), 1.25f);

    const TVec3 start = Cube->GetPosition();
    Key(Qt::Key_F2);
    Key(Qt::Key_X);
    QTest::keyClicks(View(), QStringLiteral("12"));
    Key(Qt::Key_Backspace);
    EXPECT_EQ(Form->ObjectTransform().TypedText(), "1");
    EXPECT_FLOAT_EQ(Cube->GetPosition().X, start.X + 1);
    // The keypad's digits and decimal key type as well; the keypad comma is a point.
    Key(Qt::Key_Comma, Qt::KeypadModifier);
    Key(Qt::Key_5, Qt::KeypadModifier);
    EXPECT_EQ(Form->ObjectTransform().TypedText(), "1.5");
    EXPECT_FLOAT_EQ(Cube->GetPosition().X, start.X + 1.5f);
    // Key code Execute confirms, like Enter.
    Key(Qt::Key_Execute);
    EXPECT_FALSE(Form->ObjectTransform().Running());
    EXPECT_FLOAT_EQ(Cube->GetPosition().X, start.X + 1.5f);

    // A right click cancels a running transform and opens no menu.
    Key(Qt::Key_Z);
    QTest::keyClicks(View(), QStringLiteral("4"));
    Click(Qt::RightButton, PerspectivePixel(Cube->GetWorldPosition()));
    EXPECT_FALSE(Form->ObjectTransform().Running());
    EXPECT_FALSE(Form->PickMenu()->isVisible());
    EXPECT_FLOAT_EQ(Cube->GetPosition().Z, start.Z);

    // Scale tool: a digit starts a uniform scale at once; 0 gives the smallest factor.
    Key(Qt::Key_F3);
    Key(Qt::Key_2);
    EXPECT_TRUE(SameVec(Cube->GetScale(), Vec3(2, 2, 2)));
    Key(Qt::Key_Escape);
    EXPECT_TRUE(SameVec(Cube->GetScale(), Vec3(1, 1, 1)));
    Key(Qt::Key_0);
    Key(Qt::Key_Enter);
    EXPECT_NEAR(Cube->GetScale().X, 0.05f, 1e-7);
    EXPECT_NEAR(Cube->GetScale().Z, 0.05f, 1e-7);
}

TEST_F(TransformToolTest, MouseMoveAlongAnAxisSnapsAndSwitchingAxisKeepsTheOffset)
{
    Paint();
    Key(Qt::Key_F2);
    const QPoint start = PerspectivePixel(Cube->GetWorldPosition());
    MoveTo(start);
    Key(Qt::Key_X);
    // The object's world X lands on multiples of the grid however the mouse moves.
    for (int dx : {7, 23, 41, 66}) {
        MoveTo(start + QPoint(dx, dx / 3));
        const float x = Cube->GetWorldPosition().X;
        EXPECT_NEAR(std::fmod(std::fabs(x), 0.25f), 0.0f, 1e-5) << x;
        EXPECT_FLOAT_EQ(Cube->GetPosition().Y, 0.5f);
    }
    const float reachedX = Cube->GetPosition().X;
    EXPECT_GT(std::fabs(reachedX), 0.2f);
    // Y keeps the X offset reached and measures from there.
    Key(Qt::Key_Y);
    EXPECT_EQ(Form->ObjectTransform().Axis(), 1);
    EXPECT_FLOAT_EQ(Cube->GetPosition().X, reachedX);
    MoveTo(start + QPoint(66, -40));
    EXPECT_FLOAT_EQ(Cube->GetPosition().X, reachedX);
    EXPECT_GT(Cube->GetPosition().Y, 0.5f);
    // A left press confirms.
    Press(Qt::LeftButton, start + QPoint(66, -40));
    EXPECT_FALSE(Form->ObjectTransform().Running());
    Release(Qt::LeftButton, start + QPoint(66, -40));
    EXPECT_FLOAT_EQ(Cube->GetPosition().X, reachedX);
}

TEST_F(TransformToolTest, DragsInTheOrthographicViewsMoveScaleAndRotateOnTheirPlane)
{
    struct TRow {
        int ToolKey, View;
        QPoint Drag;
    };
    const TRow rows[] = {
        {Qt::Key_F2, 1, {40, 20}}, {Qt::Key_F2, 2, {40, -20}}, {Qt::Key_F2, 3, {40, -20}},
        {Qt::Key_F3, 1, {60, 30}}, {Qt::Key_F3, 2, {60, -30}}, {Qt::Key_F3, 3, {60, -30}},
        {Qt::Key_F4, 1, {40, 0}},  {Qt::Key_F4, 2, {40, 0}},   {Qt::Key_F4, 3, {40, 0}},
    };
    const TState before = Of(Cube);
    for (const TRow& r : rows) {
        SCOPED_TRACE(std::to_string(r.ToolKey - Qt::Key_F1) + " in view " + std::to_string(r.View));
        Key(r.ToolKey);
        const QPoint at = OrthoPixel(r.View, Cube->GetWorldPosition());
        Drag(Qt::LeftButton, at, at + r.Drag);
        EXPECT_FALSE(Form->ObjectTransform().Running());  // confirmed on release
        const TState now = Of(Cube);
        const int fixedAxis = r.View == 1 ? 1 : r.View == 2 ? 2 : 0;  // the view's own axis
        const float P0[3] = {before.P.X, before.P.Y, before.P.Z},
                    P1[3] = {now.P.X, now.P.Y, now.P.Z};
        const float S1[3] = {now.S.X, now.S.Y, now.S.Z}, R1[3] = {now.R.X, now.R.Y, now.R.Z};
        for (int a = 0; a < 3; ++a) {
            if (r.ToolKey == Qt::Key_F2) {
                if (a == fixedAxis)
                    EXPECT_EQ(P1[a], P0[a]);
                else
                    EXPECT_NE(P1[a], P0[a]) << a;
            } else if (r.ToolKey == Qt::Key_F3) {
                if (a == fixedAxis)
                    EXPECT_EQ(S1[a], 1.0f);
                else
                    EXPECT_NE(S1[a], 1.0f) << a;
            } else {
                if (a == fixedAxis)
                    EXPECT_NEAR(std::fabs(R1[a]), 20.0f, 1e-4);  // 0.5 degree per pixel
                else
                    EXPECT_EQ(R1[a], 0.0f);
            }
        }
        Cube->SetTransform(before.P, before.R, before.S);
    }
    // Esc during an orthographic drag restores; the release then changes nothing.
    Key(Qt::Key_F2);
    const QPoint at = OrthoPixel(1, Cube->GetWorldPosition());
    Press(Qt::LeftButton, at);
    MoveTo(at + QPoint(50, 50), Qt::LeftButton);
    EXPECT_FALSE(SameVec(Cube->GetPosition(), before.P));
    Key(Qt::Key_Escape);
    Release(Qt::LeftButton, at + QPoint(50, 50));
    ExpectSame(Of(Cube), before);
}

TEST_F(TransformToolTest, APlainClickInPerspectiveDuringATransformCancelsAndSelects)
{
    TSceneObject* other = Form->Scene().AddPrimitive(ptSphere);
    other->SetPosition(Vec3(3, 0.5f, -1));
    Paint();
    Key(Qt::Key_F2);
    const QPoint p = PerspectivePixel(other->GetWorldPosition());
    Press(Qt::LeftButton, p);  // selects the sphere
    ASSERT_TRUE(other->Selected);
    Key(Qt::Key_X);  // a transform starts while the button is held
    ASSERT_TRUE(Form->ObjectTransform().Running());
    MoveTo(p + QPoint(2, 1), Qt::LeftButton);
    Release(Qt::LeftButton, p + QPoint(2, 1));  // within 3 pixels: a plain click
    EXPECT_FALSE(Form->ObjectTransform().Running());
    EXPECT_TRUE(SameVec(other->GetPosition(), Vec3(3, 0.5f, -1)));
    EXPECT_TRUE(other->Selected);
    // Moved further, the release confirms.
    Key(Qt::Key_X);
    Press(Qt::LeftButton, p);
    EXPECT_FALSE(Form->ObjectTransform().Running());  // a left press confirms
    Release(Qt::LeftButton, p);
}

TEST_F(TransformToolTest, ChildOfARotatedGroupKeepsItsWorldYAndZAndCancelIsExact)
{
    TSceneGroup* group = Form->Scene().CreateGroup("Group", nullptr, -1);
    group->SetTransform(Vec3(1.3f, -0.7f, 2.1f), Vec3(10, 35, -20), Vec3(1.5f, 0.75f, 2));
    Form->Scene().ReparentNode(Cube, group, 0, true);
    Cube->SetTransform(Vec3(0.3f, 0.1f, -0.4f), Vec3(5, 6, 7), Vec3(1, 2, 3));
    const TState before = Of(Cube);
    const TVec3 world = Cube->GetWorldPosition();
    Key(Qt::Key_F2);
    Key(Qt::Key_X);
    QTest::keyClicks(View(), QStringLiteral("1"));
    const TVec3 moved = Cube->GetWorldPosition();
    EXPECT_NEAR(moved.X, SnapValueToGrid(world.X + 1, 0.25f), 1e-4);
    EXPECT_NEAR(moved.Y, world.Y, 1e-4);
    EXPECT_NEAR(moved.Z, world.Z, 1e-4);
    Key(Qt::Key_Escape);
    ExpectSame(Of(Cube), before);
    // A rotation cancelled leaves the position untouched, bit for bit.
    Key(Qt::Key_F4);
    Key(Qt::Key_Y);
    QTest::keyClicks(View(), QStringLiteral("33"));
    Key(Qt::Key_Escape);
    ExpectSame(Of(Cube), before);
}

TEST_F(TransformToolTest, AParentWithAZeroScaleDoesNotThrowTheChildToTheOrigin)
{
    TSceneGroup* group = Form->Scene().CreateGroup("Flat", nullptr, -1);
    group->SetScaleY(0.0f);
    Form->Scene().ReparentNode(Cube, group, 0, true);
    Cube->SetPosition(Vec3(1, 2, 3));
    const TState before = Of(Cube);
    for (int tool : {Qt::Key_F2, Qt::Key_F3, Qt::Key_F4}) {
        Key(tool);
        Key(Qt::Key_X);
        QTest::keyClicks(View(), QStringLiteral("2"));
        EXPECT_TRUE(SameVec(Cube->GetPosition(), before.P));
        Key(Qt::Key_Escape);
        ExpectSame(Of(Cube), before);
    }
}

TEST_F(TransformToolTest, ATransformStaysWithItsObjectWhenTheSelectionChanges)
{
    TSceneObject* other = Form->Scene().AddPrimitive(ptSphere);
    other->SetPosition(Vec3(4, 0, 0));
    const TState cubeBefore = Of(Cube), otherBefore = Of(other);
    Key(Qt::Key_F2);
    Key(Qt::Key_X);
    QTest::keyClicks(View(), QStringLiteral("3"));
    Form->SelectObject(other);  // as a click in the tree does
    QTest::keyClicks(View(), QStringLiteral("5"));
    EXPECT_FLOAT_EQ(Cube->GetPosition().X, 35.0f);
    Key(Qt::Key_Escape);
    ExpectSame(Of(Cube), cubeBefore);
    ExpectSame(Of(other), otherBefore);

    // The object deleted under a running transform ends it.
    Form->SelectObject(Cube);
    Key(Qt::Key_X);
    Form->Scene().DeleteNode(Cube);
    Cube = nullptr;
    Form->SelectObject(other);
    QTest::keyClicks(View(), QStringLiteral("1"));
    Key(Qt::Key_Escape);
    EXPECT_FALSE(Form->ObjectTransform().Running());
    ExpectSame(Of(other), otherBefore);
}

TEST_F(TransformToolTest, TheStartIsRecordedForKeyingAndToolsAndFocusCancel)
{
    Key(Qt::Key_F2);
    Key(Qt::Key_X);
    EXPECT_EQ(Form->Document().GetRecorder().Count(), 9);
    QTest::keyClicks(View(), QStringLiteral("2"));
    const TState before = {Vec3(0, 0.5f, 0), Vec3(0, 0, 0), Vec3(1, 1, 1)};
    Key(Qt::Key_F3);  // a tool change cancels
    EXPECT_FALSE(Form->ObjectTransform().Running());
    ExpectSame(Of(Cube), before);
    Key(Qt::Key_Y);
    QTest::keyClicks(View(), QStringLiteral("2"));
    Form->FocusSelected();  // framing cancels
    EXPECT_FALSE(Form->ObjectTransform().Running());
    ExpectSame(Of(Cube), before);
    Key(Qt::Key_Z);
    QTest::keyClicks(View(), QStringLiteral("2"));
    Key(Qt::Key_F5);
    EXPECT_FALSE(Form->ObjectTransform().Running());
    ExpectSame(Of(Cube), before);
}

TEST_F(TransformToolTest, GizmoHoverAndGridSizes)
{
    Paint();
    const float L = 1.2f + 0.6f;
    for (int a = 0; a < 3; ++a) {
        const TVec3 tip = Vec3Add(Cube->GetWorldPosition(), Vec3Scale(AxisVector(a), L));
        const QPoint p = PerspectivePixel(tip);
        MoveTo(p + QPoint(3, 2));
        EXPECT_EQ(Form->ObjectTransform().HoveredAxis(), a);
    }
    MoveTo(QPoint(2, 2));
    EXPECT_EQ(Form->ObjectTransform().HoveredAxis(), -1);
    Key(Qt::Key_F1);
    EXPECT_EQ(Form->ObjectTransform().HitTestGizmo(2, 2), -1);

    const float sizes[] = {10.0f, 1.0f, 0.5f, 0.25f, 0.1f};
    for (int tag = 0; tag < 5; ++tag) {
        Form->GridSizeClick(tag);
        EXPECT_EQ(GridSize, sizes[tag]);
    }
    Form->GridSizeClick(9);
    EXPECT_EQ(GridSize, 0.1f);
    EXPECT_EQ(SnapValueToGrid(0.375f, 0.25f), 0.5f);  // 1.5 -> 2
    EXPECT_EQ(SnapValueToGrid(0.125f, 0.25f), 0.0f);  // 0.5 -> 0
    EXPECT_EQ(SnapValueToGrid(0.3f, 0.0f), 0.3f);
}

// The hover highlight shows what is under the cursor: when the mouse leaves the view or
// the window loses the focus, the gizmo's handle and the modelling element are no longer
// highlighted, and the views are drawn again to show it.
TEST_F(TransformToolTest, TheHoverGoesWhenTheMouseLeavesTheViewOrTheWindowLosesFocus)
{
    Paint();
    int paints = 0;
    TGLView* gl = Form->GLView();
    const std::function<void()> paint = gl->OnPaint;
    gl->OnPaint = [&] {
        ++paints;
        paint();
    };
    const TVec3 tip = Vec3Add(Cube->GetWorldPosition(), Vec3Scale(AxisVector(0), 1.8f));
    const TVec3 corner = Vec3Add(Cube->GetWorldPosition(), Vec3(0.5f, 0.5f, 0.5f));
    TEditorSelection& s = Form->Selection();
    const struct {
        const char* Label;
        std::function<void()> Away;
    } ways[] = {
        {"leave",
         [&] {
             QEvent leave(QEvent::Leave);
             QApplication::sendEvent(View(), &leave);
         }},
        {"deactivate",
         [&] {
             QEvent deactivate(QEvent::WindowDeactivate);
             QApplication::sendEvent(Form.get(), &deactivate);
         }},
    };
    for (const auto& w : ways) {
        Form->LeaveModelingMode();
        MoveTo(PerspectivePixel(tip));
        ASSERT_EQ(Form->ObjectTransform().HoveredAxis(), 0) << w.Label;
        QApplication::processEvents();
        int before = paints;
        w.Away();
        EXPECT_EQ(Form->ObjectTransform().HoveredAxis(), -1) << w.Label;
        QTRY_VERIFY2(paints > before, w.Label);

        Key(Qt::Key_F5);
        ASSERT_TRUE(s.ModelingOn);
        Form->SubModeButtonClick(5);  // vertices
        MoveTo(PerspectivePixel(corner));
        ASSERT_GE(s.HoveredVertex, 0) << w.Label;
        QApplication::processEvents();
        before = paints;
        w.Away();
        EXPECT_EQ(s.HoveredVertex, -1) << w.Label;
        QTRY_VERIFY2(paints > before, w.Label);
    }
    gl->OnPaint = paint;
}

}  // namespace

// A typed scale or a drag that would leave a world matrix non-finite (the cube inside a
// group scaled 1e20) refuses the whole transform: the cube is back where it started, the
// transform ends, and the message names the cube.
TEST_F(TransformToolTest, ATransformThatWouldOverflowAWorldMatrixIsRefused)
{
    TScene& scene = Form->Scene();
    TSceneGroup* big = scene.CreateGroup("Big", nullptr, 0);
    big->SetScaleX(1e20f);
    scene.ReparentNode(Cube, big, 0, true);
    Form->SelectNode(Cube->GetId());
    const std::string message = "Unable to apply the transform: the world matrix of \"" +
                                Cube->Name + "\" would not be finite.";
    const TState before = Of(Cube);

    // Typed digit by digit: a scale of 1e18 is taken, 1e19 is not.
    Key(Qt::Key_F3);
    Key(Qt::Key_X);
    QTest::keyClicks(View(), QStringLiteral("1000000000000000000"));
    ASSERT_TRUE(Form->ObjectTransform().Running());
    EXPECT_EQ(Cube->GetScale().X, 1e18f);
    EXPECT_TRUE(Errors.empty());
    QTest::keyClicks(View(), QStringLiteral("0"));
    EXPECT_FALSE(Form->ObjectTransform().Running());
    ExpectSame(Of(Cube), before);
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0], message);
    Errors.clear();
    EXPECT_EQ(Form->Document().GetRecorder().Count(), 0);

    // A drag in the Front view that more than doubles a scale of 2e18.
    Cube->SetScaleX(2e18f);
    const TState start = Of(Cube);
    const QPoint at = OrthoPixel(2, Cube->GetWorldPosition());
    Press(Qt::LeftButton, at);
    ASSERT_TRUE(Form->ObjectTransform().Running());
    MoveTo(at + QPoint(W() / 3, 0), Qt::LeftButton);
    EXPECT_FALSE(Form->ObjectTransform().Running());
    ExpectSame(Of(Cube), start);
    Release(Qt::LeftButton, at + QPoint(W() / 3, 0));
    ExpectSame(Of(Cube), start);
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0], message);
    Errors.clear();
    // A small drag stays in range and is taken.
    Drag(Qt::LeftButton, at, at + QPoint(10, 0));
    EXPECT_GT(Cube->GetScale().X, 2e18f);
    EXPECT_TRUE(Errors.empty());
}
