#pragma once
// A shown, active main window with its frame timer stopped, painted once so the views'
// matrices are known, and helpers that click, drag and type on its views as a user does.
#include "document/uProjectDocument.h"
#include "editor/modes/uModelingMode.h"
#include "editor/modes/uObjectTransformMode.h"
#include "editor/uInstallSubsystems.h"
#include "editor/uMainForm.h"
#include "editor/uSceneTreePanel.h"
#include "editor/uStatusBar.h"
#include "editor/uTimelinePanel.h"
#include "editor/uViewportInput.h"
#include "gl_test_support.h"
#include "render/uErrorBox.h"
#include "render/uGLView.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

class EditorWindowTest : public ::testing::Test {
public:
    void SetUp() override
    {
        ASSERT_TRUE(Folder.isValid());
        SetErrorBoxHandler([this](QWidget*, const std::string& m) { Errors.push_back(m); });
        TMainFormOptions o;
        o.Clock = [this] { return Now; };
        o.ProgramFolder = Folder.path().toStdString();
        Form = std::make_unique<TMainForm>(o);
        InstallSubsystemWindows(*Form);
        Form->FrameTimer()->stop();
        Form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
        Form->activateWindow();
        (void)QTest::qWaitForWindowActive(Form.get());
        Paint();
        PinLoadedLibraries();
        Form->GLView()->setFocus();
        Cube = Form->Scene().GetSelectedObject();
        ASSERT_NE(Cube, nullptr);
    }
    void TearDown() override
    {
        Form.reset();
        SetErrorBoxHandler(nullptr);
        EXPECT_TRUE(Errors.empty()) << Errors.front();
    }
    // Paints now, so the Perspective view's matrices follow the camera.
    void Paint() { Form->GLView()->grabFramebuffer(); }
    QWidget* View() const { return Form->GLView(); }
    int W() const { return Form->GLView()->width(); }
    int H() const { return Form->GLView()->height(); }

    // Where a world point shows in the Perspective view.
    QPoint PerspectivePixel(const TVec3& p)
    {
        float x = -1, y = -1;
        EXPECT_TRUE(Form->ProjectToScreen(p, x, y));
        return QPoint(int(std::lround(x)), int(std::lround(y)));
    }
    // Where a world point shows in an orthographic view (1 Top, 2 Front, 3 Left).
    QPoint OrthoPixel(int View, const TVec3& p) const
    {
        const TVec3 c = Form->Ortho().Centre;
        const double z = Form->Ortho().Zoom, w = W(), h = H();
        switch (View) {
        case 1:
            return QPoint(int(std::lround(0.75 * w + (p.X - c.X) * z)),
                          int(std::lround(h - 0.75 * h - (c.Z - p.Z) * z)));
        case 2:
            return QPoint(int(std::lround(0.25 * w + (p.X - c.X) * z)),
                          int(std::lround(h - 0.25 * h - (p.Y - c.Y) * z)));
        default:
            return QPoint(int(std::lround(0.75 * w + (p.Z - c.Z) * z)),
                          int(std::lround(h - 0.25 * h - (p.Y - c.Y) * z)));
        }
    }
    QPoint PixelIn(int View, const TVec3& p)
    {
        return View == 0 ? PerspectivePixel(p) : OrthoPixel(View, p);
    }

    void Press(Qt::MouseButton b, QPoint at, Qt::KeyboardModifiers m = {})
    {
        QTest::mousePress(View(), b, m, at);
    }
    void Release(Qt::MouseButton b, QPoint at, Qt::KeyboardModifiers m = {})
    {
        QTest::mouseRelease(View(), b, m, at);
    }
    void Click(Qt::MouseButton b, QPoint at, Qt::KeyboardModifiers m = {})
    {
        QTest::mouseClick(View(), b, m, at);
    }
    // A move with the given buttons held (QTest's mouseMove carries no buttons).
    void MoveTo(QPoint at, Qt::MouseButtons held = Qt::NoButton, Qt::KeyboardModifiers m = {})
    {
        QMouseEvent e(QEvent::MouseMove, QPointF(at), View()->mapToGlobal(QPointF(at)),
                      Qt::NoButton, held, m);
        QApplication::sendEvent(View(), &e);
    }
    void Drag(Qt::MouseButton b, QPoint from, QPoint to, Qt::KeyboardModifiers m = {})
    {
        Press(b, from, m);
        MoveTo(to, b, m);
        Release(b, to, m);
    }
    // A press and a release through Qt's own path (short-cuts first). Keys that QTest
    // cannot type (Execute) are sent as plain events.
    void Key(int key, Qt::KeyboardModifiers m = {}, QWidget* target = nullptr)
    {
        QWidget* w = target ? target : View();
        if (key != Qt::Key_Execute) {
            QTest::keyClick(w, Qt::Key(key), m);
            return;
        }
        QKeyEvent press(QEvent::KeyPress, key, m);
        QApplication::sendEvent(w, &press);
        QKeyEvent release(QEvent::KeyRelease, key, m);
        QApplication::sendEvent(w, &release);
    }

    uint64_t Now = 1000;
    QTemporaryDir Folder;
    std::vector<std::string> Errors;
    std::unique_ptr<TMainForm> Form;
    TSceneObject* Cube = nullptr;
};

inline bool SameVec(const TVec3& a, const TVec3& b)
{
    return a.X == b.X && a.Y == b.Y && a.Z == b.Z;
}
