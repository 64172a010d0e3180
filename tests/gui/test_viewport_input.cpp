// The views' bindings as a user meets them: every key row of the table checked in one
// table, the camera drags, orthographic pan and zoom, the wheel, and the window losing
// the keyboard in the middle of a drag or with keys held.
#include "base/uCommandHistory.h"
#include "editor/uViewportInput.h"
#include "editor_window_fixture.h"
#include "scene/uAnimationRecorder.h"
#include "scene/uProjectTime.h"

#include <QCursor>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QWheelEvent>

#include <cmath>
#include <functional>

namespace {

class ViewportInputTest : public EditorWindowTest {
public:
    void Wheel(QPoint at, int delta)
    {
        MoveTo(at);
        QWheelEvent e(QPointF(at), View()->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(View(), &e);
    }
    QLineEdit* AddLineEdit()
    {
        auto* edit = new QLineEdit(Form->TimelinePanel());
        edit->show();
        edit->setFocus();
        QApplication::processEvents();
        return edit;
    }
};

// One row per binding: what is set up, the key pressed, what must follow.
TEST_F(ViewportInputTest, KeyBindingTable)
{
    using TFn = std::function<void(ViewportInputTest&)>;
    struct TRow {
        const char* Name;
        TFn Setup;
        int Key;
        Qt::KeyboardModifiers Mods;
        std::function<bool(ViewportInputTest&)> Check;
    };
    auto& f = *this;
    const auto tool = [](TGizmoMode t) {
        return [t](ViewportInputTest& x) { return x.Form->ObjectTransform().Tool() == t; };
    };
    const auto none = [](ViewportInputTest&) {};
    const auto scaleTool = [](ViewportInputTest& x) { x.Form->SetTool(gmScale); };
    const auto moveX = [](ViewportInputTest& x) {
        x.Form->SetTool(gmMove);
        x.Form->ObjectTransform().BeginModalTransform(0);
        x.Form->ObjectTransform().KeyDown(Qt::Key_2, {});
    };
    const auto cubeAt = [](float X) {
        return [X](ViewportInputTest& x) { return x.Cube->GetPosition().X == X; };
    };
    const TRow rows[] = {
        {"F1 select tool", none, Qt::Key_F1, {}, tool(gmSelect)},
        {"F2 move tool", [](auto& x) { x.Form->SetTool(gmSelect); }, Qt::Key_F2, {}, tool(gmMove)},
        {"F3 scale tool", none, Qt::Key_F3, {}, tool(gmScale)},
        {"F4 rotate tool", none, Qt::Key_F4, {}, tool(gmRotate)},
        {"F5 cancels a transform and enters modelling",
         moveX,
         Qt::Key_F5,
         {},
         [](auto& x) {
             return !x.Form->ObjectTransform().Running() && x.Cube->GetPosition().X == 0 &&
                    x.Form->Selection().ModelingOn;
         }},
        {"F6 is taken and harmless",
         none,
         Qt::Key_F6,
         {},
         [](auto& x) { return x.Cube->Selected; }},
        {"Esc deselects",
         none,
         Qt::Key_Escape,
         {},
         [](auto& x) { return !x.Form->Scene().GetSelectedObject(); }},
        {"Esc cancels a transform",
         moveX,
         Qt::Key_Escape,
         {},
         [](auto& x) {
             return !x.Form->ObjectTransform().Running() && x.Cube->Selected &&
                    x.Cube->GetPosition().X == 0;
         }},
        {"Enter confirms", moveX, Qt::Key_Return, {}, cubeAt(2)},
        {"keypad Enter confirms", moveX, Qt::Key_Enter, {}, cubeAt(2)},
        {"other keys do nothing in a transform",
         moveX,
         Qt::Key_Q,
         {},
         [](auto& x) {
             return x.Form->ObjectTransform().Running() && x.Cube->GetPosition().X == 2;
         }},
        {"X starts an X move",
         none,
         Qt::Key_X,
         {},
         [](auto& x) {
             return x.Form->ObjectTransform().Running() && x.Form->ObjectTransform().Axis() == 0;
         }},
        {"Y starts a Y scale",
         scaleTool,
         Qt::Key_Y,
         {},
         [](auto& x) {
             return x.Form->ObjectTransform().Running() && x.Form->ObjectTransform().Axis() == 1;
         }},
        {"Z starts a Z rotation",
         [](auto& x) { x.Form->SetTool(gmRotate); },
         Qt::Key_Z,
         {},
         [](auto& x) {
             return x.Form->ObjectTransform().Running() && x.Form->ObjectTransform().Axis() == 2;
         }},
        {"X does nothing with the select tool",
         [](auto& x) { x.Form->SetTool(gmSelect); },
         Qt::Key_X,
         {},
         [](auto& x) { return !x.Form->ObjectTransform().Running(); }},
        {"X does nothing without a selection",
         [](auto& x) { x.Form->SelectObject(nullptr); },
         Qt::Key_X,
         {},
         [](auto& x) { return !x.Form->ObjectTransform().Running(); }},
        {"X does nothing during a camera drag",
         [](auto& x) { x.Form->Camera().DragMode = 1; },
         Qt::Key_X,
         {},
         [](auto& x) { return !x.Form->ObjectTransform().Running(); }},
        {"Y during a transform switches the axis",
         moveX,
         Qt::Key_Y,
         {},
         [](auto& x) {
             return x.Form->ObjectTransform().Axis() == 1 && x.Cube->GetPosition().X == 2;
         }},
        {"a key with nothing selected ends a transform",
         [moveX](auto& x) {
             moveX(x);
             x.Form->SelectObject(nullptr);
         },
         Qt::Key_5,
         {},
         [](auto& x) {
             return !x.Form->ObjectTransform().Running() && x.Cube->GetPosition().X == 0;
         }},
        {"3 with the scale tool scales by 3",
         scaleTool,
         Qt::Key_3,
         {},
         [](auto& x) {
             return x.Form->ObjectTransform().Axis() == -1 &&
                    SameVec(x.Cube->GetScale(), Vec3(3, 3, 3));
         }},
        {"keypad 3 starts nothing", scaleTool, Qt::Key_3, Qt::KeypadModifier,
         [](auto& x) { return !x.Form->ObjectTransform().Running(); }},
        {"a digit with the move tool starts nothing",
         none,
         Qt::Key_3,
         {},
         [](auto& x) { return !x.Form->ObjectTransform().Running(); }},
        {"F frames the selection",
         [](auto& x) { x.Form->Camera().Position = Vec3(50, 50, 50); },
         Qt::Key_F,
         {},
         [](auto& x) {
             return Vec3Length(Vec3Sub(x.Form->Camera().Position, x.Cube->GetWorldPosition())) < 10;
         }},
        {"H hides", none, Qt::Key_H, {}, [](auto& x) { return !x.Cube->GetVisible(); }},
        {"Ctrl+H hides as H does", none, Qt::Key_H, Qt::ControlModifier,
         [](auto& x) { return !x.Cube->GetVisible(); }},
        {"H shows again",
         [](auto& x) { x.Cube->SetVisible(false); },
         Qt::Key_H,
         {},
         [](auto& x) { return x.Cube->GetVisible(); }},
        {"D duplicates",
         none,
         Qt::Key_D,
         {},
         [](auto& x) { return x.Form->Scene().NodeCount() == 2; }},
        {"Ctrl+D duplicates as D does", none, Qt::Key_D, Qt::ControlModifier,
         [](auto& x) { return x.Form->Scene().NodeCount() == 2; }},
        {"Ctrl+Z undoes once",
         [](auto& x) {
             x.Key(Qt::Key_D);
             x.Key(Qt::Key_D);
         },
         Qt::Key_Z, Qt::ControlModifier,
         [](auto& x) {
             return x.Form->Scene().NodeCount() == 2 && !x.Form->Camera().KeyHeld('Z') &&
                    !x.Form->ObjectTransform().Running();
         }},
        {"Ctrl+Y redoes once",
         [](auto& x) {
             x.Key(Qt::Key_D);
             x.Key(Qt::Key_D);
             x.Key(Qt::Key_Z, Qt::ControlModifier);
             x.Key(Qt::Key_Z, Qt::ControlModifier);
         },
         Qt::Key_Y, Qt::ControlModifier, [](auto& x) { return x.Form->Scene().NodeCount() == 2; }},
        {"Ctrl+Shift+Z is no undo", [](auto& x) { x.Key(Qt::Key_D); }, Qt::Key_Z,
         Qt::ControlModifier | Qt::ShiftModifier,
         [](auto& x) { return x.Form->Scene().NodeCount() == 2; }},
        {"Space starts playback",
         none,
         Qt::Key_Space,
         {},
         [](auto& x) { return x.Form->Document().GetProjectTime().Playing; }},
        {"Space stops playback",
         [](auto& x) { x.Key(Qt::Key_Space); },
         Qt::Key_Space,
         {},
         [](auto& x) { return !x.Form->Document().GetProjectTime().Playing; }},
        {"Space keys a touched transform",
         [moveX](auto& x) {
             moveX(x);
             x.Key(Qt::Key_Return);
         },
         Qt::Key_Space,
         {},
         [](auto& x) {
             return x.Form->Document().GetRecorder().Count() == 0 &&
                    !x.Form->Document().GetProjectTime().Playing &&
                    x.Form->Document().GetHistory().CanUndo();
         }},
    };
    for (const TRow& r : rows) {
        SCOPED_TRACE(r.Name);
        TearDown();
        Errors.clear();
        SetUp();
        r.Setup(f);
        Key(r.Key, r.Mods);
        EXPECT_TRUE(r.Check(f));
        Key(Qt::Key_Escape);  // ends whatever the row left running
    }
}

TEST_F(ViewportInputTest, HeldKeysFlyTheCameraAndAutoRepeatReleasesAreIgnored)
{
    // Holding Space: the repeats (a release and a press each) toggle nothing.
    QTest::keyPress(View(), Qt::Key_Space);
    EXPECT_TRUE(Form->Document().GetProjectTime().Playing);
    for (int i = 0; i < 3; ++i) {
        QKeyEvent up(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
        QApplication::sendEvent(View(), &up);
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
        QApplication::sendEvent(View(), &down);
    }
    EXPECT_TRUE(Form->Document().GetProjectTime().Playing);
    QTest::keyRelease(View(), Qt::Key_Space);
    Key(Qt::Key_Space);
    EXPECT_FALSE(Form->Document().GetProjectTime().Playing);
    // Z starts a Z move and flies the camera down while held.
    QTest::keyPress(View(), Qt::Key_Z);
    EXPECT_TRUE(Form->ObjectTransform().Running());
    EXPECT_TRUE(Form->Camera().KeyHeld('Z'));
    const float y = Form->Camera().Position.Y;
    Form->UpdateCameraMotion(0.5f);
    EXPECT_LT(Form->Camera().Position.Y, y);
    QTest::keyRelease(View(), Qt::Key_Z);
    EXPECT_FALSE(Form->Camera().KeyHeld('Z'));
    Key(Qt::Key_Escape);
}

TEST_F(ViewportInputTest, LosingTheKeyboardReleasesHeldKeysTheSpaceLatchAndDrags)
{
    QTest::keyPress(View(), Qt::Key_E);
    QTest::keyPress(View(), Qt::Key_Space);
    Press(Qt::MiddleButton, QPoint(W() / 4, H() / 4));
    EXPECT_TRUE(Form->Camera().KeyHeld('E'));
    EXPECT_EQ(Form->Camera().DragMode, 1);
    EXPECT_TRUE(Form->ViewportInput().State().SpaceLatch);
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(Form.get(), &deactivate);
    EXPECT_FALSE(Form->Camera().KeyHeld('E'));
    EXPECT_EQ(Form->Camera().DragMode, 0);
    EXPECT_FALSE(Form->ViewportInput().State().SpaceLatch);
    const TVec3 p = Form->Camera().Position;
    Form->UpdateCameraMotion(0.5f);
    EXPECT_TRUE(SameVec(Form->Camera().Position, p));
    // An orthographic pan ends as well.
    Press(Qt::RightButton, QPoint(3 * W() / 4, H() / 4));
    EXPECT_TRUE(Form->ViewportInput().State().OrthoPanActive);
    QApplication::sendEvent(Form.get(), &deactivate);
    EXPECT_FALSE(Form->ViewportInput().State().OrthoPanActive);
}

TEST_F(ViewportInputTest, KeysTypedIntoATextFieldStayThere)
{
    QLineEdit* edit = AddLineEdit();
    ASSERT_TRUE(edit->hasFocus());
    Form->SetTool(gmScale);
    QTest::keyClicks(edit, QStringLiteral("50dhxf"));
    EXPECT_EQ(edit->text(), QStringLiteral("50dhxf"));
    EXPECT_FALSE(Form->ObjectTransform().Running());
    EXPECT_TRUE(SameVec(Cube->GetScale(), Vec3(1, 1, 1)));
    EXPECT_EQ(Form->Scene().NodeCount(), 1);
    EXPECT_TRUE(Cube->GetVisible());
    EXPECT_FALSE(Form->Camera().KeyHeld('D'));
    Key(Qt::Key_Escape, {}, edit);
    EXPECT_TRUE(Cube->Selected);
    Key(Qt::Key_Space, {}, edit);
    EXPECT_FALSE(Form->Document().GetProjectTime().Playing);
    // The function keys and the undo keys still act.
    Key(Qt::Key_F2, {}, edit);
    EXPECT_EQ(Form->ObjectTransform().Tool(), gmMove);
    View()->setFocus();
    Key(Qt::Key_D);  // from the view
    ASSERT_EQ(Form->Scene().NodeCount(), 2);
    edit->setFocus();
    Key(Qt::Key_Z, Qt::ControlModifier, edit);
    EXPECT_EQ(Form->Scene().NodeCount(), 1);
    EXPECT_EQ(edit->text(), QStringLiteral("50dhxf "));  // the field's own undo did not run
}

TEST_F(ViewportInputTest, CameraDragsOfThePerspectiveView)
{
    const QPoint c(W() / 4, H() / 4);
    // Orbit: the pitch stops at 89 and -89 degrees however far the mouse goes.
    Drag(Qt::MiddleButton, c, c + QPoint(40, -2000));
    EXPECT_FLOAT_EQ(Form->Camera().Pitch, 89.0f);
    EXPECT_EQ(Form->Camera().DragMode, 0);
    Drag(Qt::LeftButton, c, c + QPoint(0, 4000), Qt::AltModifier);
    EXPECT_FLOAT_EQ(Form->Camera().Pitch, -89.0f);
    // Alt picks the object under the cursor as the pivot.
    Form->Camera().Pitch = -22;
    Form->Camera().Yaw = 45;
    Form->FocusSelected();
    Paint();
    Form->Camera().OrbitPivot = Vec3(9, 9, 9);
    const QPoint onCube = PerspectivePixel(Cube->GetWorldPosition());
    Drag(Qt::LeftButton, onCube, onCube + QPoint(30, 0), Qt::AltModifier);
    EXPECT_TRUE(SameVec(Form->Camera().OrbitPivot, Cube->GetWorldPosition()));
    EXPECT_NEAR(Vec3Length(Vec3Sub(Form->Camera().Position, Form->Camera().OrbitPivot)),
                Form->Camera().OrbitDistance, 1e-3);
    // Dolly (Ctrl) stops 0.1 before the pivot.
    Drag(Qt::LeftButton, c, c + QPoint(0, -5000), Qt::ControlModifier);
    EXPECT_NEAR(Form->Camera().OrbitDistance, 0.1f, 1e-3);
    // Pan (Shift) moves camera and pivot together.
    const TVec3 offset = Vec3Sub(Form->Camera().Position, Form->Camera().OrbitPivot);
    const TVec3 pivot = Form->Camera().OrbitPivot;
    Drag(Qt::LeftButton, c, c + QPoint(100, 0), Qt::ShiftModifier);
    EXPECT_NEAR(
        Vec3Length(Vec3Sub(Vec3Sub(Form->Camera().Position, Form->Camera().OrbitPivot), offset)), 0,
        1e-4);
    EXPECT_NEAR(Vec3Length(Vec3Sub(Form->Camera().OrbitPivot, pivot)), 0.25f,
                1e-4);  // 100 x 0.0025
    // Fly (Shift+Ctrl) moves both along forward by 0.05 per pixel.
    const TVec3 before = Form->Camera().Position;
    Drag(Qt::LeftButton, c, c + QPoint(0, -20), Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_NEAR(Vec3Dot(Vec3Sub(Form->Camera().Position, before), Form->Camera().CameraForward()),
                1.0f, 1e-4);
    // The wheel moves the camera with no stop at the pivot.
    const float d = Form->Camera().OrbitDistance;
    Wheel(c, 120);
    EXPECT_NEAR(Form->Camera().OrbitDistance, std::fabs(d - 2.4f), 1e-3);
}

TEST_F(ViewportInputTest, OrthographicPanZoomAndSnap)
{
    struct TRow {
        int View;
        Qt::MouseButton Button;
        Qt::KeyboardModifiers Mods;
    };
    const TRow rows[] = {{1, Qt::RightButton, {}},
                         {2, Qt::MiddleButton, {}},
                         {3, Qt::LeftButton, Qt::AltModifier},
                         {1, Qt::LeftButton, Qt::AltModifier},
                         {2, Qt::RightButton, {}},
                         {3, Qt::MiddleButton, {}}};
    for (const TRow& r : rows) {
        SCOPED_TRACE(r.View);
        Form->Ortho().Centre = Vec3(0, 0, 0);
        const QPoint c = OrthoPixel(r.View, Vec3(0, 0, 0));
        // The content follows the mouse while dragging.
        Press(r.Button, c, r.Mods);
        MoveTo(c + QPoint(30, 10), r.Button, r.Mods);
        const TVec3 world = Form->Ortho().Centre;
        const QPoint origin = OrthoPixel(r.View, Vec3(0, 0, 0));
        EXPECT_EQ(origin, c + QPoint(30, 10)) << world.X << " " << world.Y << " " << world.Z;
        Release(r.Button, c + QPoint(30, 10), r.Mods);
        // Released, the centre lies on the grid.
        for (float v : {Form->Ortho().Centre.X, Form->Ortho().Centre.Y, Form->Ortho().Centre.Z})
            EXPECT_FLOAT_EQ(v, std::nearbyint(v / 0.25f) * 0.25f);
        EXPECT_FALSE(Form->ViewportInput().State().OrthoPanActive);
        EXPECT_FALSE(Form->ViewportInput().State().AltPan);
    }
    // A right press on an orthographic view opens no menu.
    EXPECT_FALSE(Form->PickMenu()->isVisible());
    // Zoom stops at 1 pixel per unit.
    const QPoint top(3 * W() / 4, H() / 4);
    Wheel(top, 120);
    EXPECT_FLOAT_EQ(Form->Ortho().Zoom, 22.4f);
    for (int i = 0; i < 20; ++i)
        Wheel(top, -120);
    EXPECT_FLOAT_EQ(Form->Ortho().Zoom, 1.0f);
    SnapOrthoCentre(Form->Ortho(), 0.25f);
    TOrthoViews o;
    o.Centre = Vec3(0.125f, 0.375f, -0.125f);  // halves go to even
    SnapOrthoCentre(o, 0.25f);
    EXPECT_TRUE(SameVec(o.Centre, Vec3(0, 0.5f, 0)));
}

}  // namespace

namespace {

TEST_F(ViewportInputTest, KeysOfOtherWindowsAreNotTheViewsKeys)
{
    // A tool window of the main window: Esc, H and F2 there are its own.
    auto* tool = new QWidget(Form.get(), Qt::Tool);
    auto* field = new QWidget(tool);
    field->setFocusPolicy(Qt::StrongFocus);
    tool->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(tool));
    for (int key :
         {int(Qt::Key_Escape), int(Qt::Key_H), int(Qt::Key_F3), int(Qt::Key_X), int(Qt::Key_Space)})
        Key(key, {}, field);
    EXPECT_TRUE(Cube->Selected);
    EXPECT_TRUE(Cube->GetVisible());
    EXPECT_EQ(Form->ObjectTransform().Tool(), gmMove);
    EXPECT_FALSE(Form->ObjectTransform().Running());
    EXPECT_FALSE(Form->Document().GetProjectTime().Playing);
    delete tool;
}

}  // namespace

// The views are drawn when something they show changes. The crosshair follows the system
// cursor, so the cursor leaving the view, to another control or out of the window, is
// such a change: the screen must not keep the crosshair where the mouse left.
TEST_F(ViewportInputTest, TheCrosshairGoesWhenTheMouseLeavesTheView)
{
    const QColor cross = QColor::fromRgbF(0.4f, 0.7f, 1.0f);  // the Move tool's colour
    // Crosshair pixels on row y of the Perspective view, as the screen shows them.
    const auto crossPixelsOnRow = [&](int y) {
        QTest::qWait(200);
        const QPoint at = View()->mapToGlobal(QPoint(0, y));
        const QImage row = View()
                               ->screen()
                               ->grabWindow(0, at.x(), at.y(), W() / 2, 1)
                               .toImage()
                               .convertToFormat(QImage::Format_RGB32);
        int n = 0;
        for (int x = 0; x < row.width(); ++x) {
            const QColor c = row.pixelColor(x, 0);
            n += std::abs(c.red() - cross.red()) <= 8 && std::abs(c.green() - cross.green()) <= 8 &&
                         std::abs(c.blue() - cross.blue()) <= 8
                     ? 1
                     : 0;
        }
        return n;
    };
    const QPoint inView(W() / 8, H() / 8);  // upper left of the Perspective view, off the cube
    struct TCase {
        const char* Label;
        std::function<QPoint()> Destination;  // global
    };
    const TCase cases[] = {
        {"to the tree",
         [&] { return Form->SceneTree()->mapToGlobal(Form->SceneTree()->rect().center()); }},
        {"out of the window", [&] { return View()->screen()->geometry().bottomRight(); }},
    };
    // The selected cube's outline has the same colour: what the row shows without the
    // crosshair is counted first.
    QCursor::setPos(View()->screen()->geometry().bottomRight());
    View()->update();
    const int withoutCrosshair = crossPixelsOnRow(inView.y());
    for (const TCase& c : cases) {
        QCursor::setPos(View()->mapToGlobal(inView));
        QTRY_COMPARE(Form->Viewport()->LastMouseY, inView.y());
        EXPECT_GT(crossPixelsOnRow(inView.y()), withoutCrosshair + W() / 4) << c.Label;
        QCursor::setPos(c.Destination());
        EXPECT_EQ(crossPixelsOnRow(inView.y()), withoutCrosshair) << c.Label;
    }
}
