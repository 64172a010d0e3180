// Picking as a user does it: a click on an object in each of the four views selects it,
// a click on empty space deselects, the right-click menu lists everything under the
// cursor nearest first, and hidden objects and skyboxes are never hit.
#include "editor/uPicking.h"
#include "editor_window_fixture.h"

#include "scene/uAnimationRecorder.h"

#include <QAction>
#include <QMenu>

namespace {

class PickingTest : public EditorWindowTest {};

TEST_F(PickingTest, AClickSelectsTheObjectInEachViewAndEmptySpaceDeselects)
{
    Form->SetTool(gmSelect);
    TSceneObject* sphere = Form->Scene().AddPrimitive(ptSphere);
    sphere->SetPosition(Vec3(2.5f, 0.5f, -1.0f));
    Paint();
    const TVec3 cubeAt = Cube->GetWorldPosition(), sphereAt = sphere->GetWorldPosition();
    for (int view = 0; view < 4; ++view) {
        SCOPED_TRACE(view);
        Click(Qt::LeftButton, PixelIn(view, sphereAt));
        EXPECT_TRUE(sphere->Selected);
        EXPECT_FALSE(Cube->Selected);
        EXPECT_EQ(Form->StatusPanels()->PanelText(2).toStdString().find(sphere->Name) !=
                      std::string::npos,
                  true);
        Click(Qt::LeftButton, PixelIn(view, cubeAt));
        EXPECT_TRUE(Cube->Selected);
        EXPECT_FALSE(sphere->Selected);
    }
    // Empty space: the corner of the Top view.
    Click(Qt::LeftButton, QPoint(W() - 5, 5));
    EXPECT_EQ(Form->Scene().GetSelectedObject(), nullptr);
}

TEST_F(PickingTest, TheMenuListsOverlappingObjectsNearestFirstAndPicksOne)
{
    // A second cube straight behind the first, seen from the camera.
    const TVec3 eye = Form->Camera().Position, at = Cube->GetWorldPosition();
    const TVec3 behind = Vec3Add(at, Vec3Scale(Vec3Normalize(Vec3Sub(at, eye)), 3.0f));
    TSceneObject* far = Form->Scene().AddPrimitive(ptCube);
    far->Name = "Far cube";
    far->SetPosition(behind);
    Paint();
    const QPoint p = PerspectivePixel(at);

    const std::vector<TPickHit> hits = Form->CollectPickHits(p.x(), p.y());
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[0].NodeId, Cube->GetId());
    EXPECT_LT(hits[0].Distance, hits[1].Distance);

    Click(Qt::RightButton, p);
    const QList<QAction*> items = Form->PickMenu()->actions();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0]->text().toStdString(), Cube->Name);
    EXPECT_TRUE(items[0]->isChecked());
    EXPECT_EQ(items[1]->text(), QStringLiteral("Far cube"));
    EXPECT_FALSE(items[1]->isChecked());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form->PickMenu()));
    QTest::mouseClick(Form->PickMenu(), Qt::LeftButton, {},
                      Form->PickMenu()->actionGeometry(items[1]).center());
    EXPECT_TRUE(far->Selected);
    EXPECT_FALSE(Cube->Selected);

    // A left click takes the nearer one.
    Click(Qt::LeftButton, p);
    EXPECT_TRUE(Cube->Selected);

    // A node deleted while the menu is open is ignored.
    Click(Qt::RightButton, p);
    Form->PickMenu()->hide();
    Form->Scene().DeleteNode(far);
    Form->PickMenuClick(1);
    EXPECT_TRUE(Cube->Selected);
    Form->PickMenuClick(7);
    EXPECT_TRUE(Cube->Selected);
}

TEST_F(PickingTest, ARightClickOnNothingKeepsTheSelectionAndShowsNoMenu)
{
    Click(Qt::RightButton, QPoint(3, 3));
    EXPECT_TRUE(Form->PickMenu()->actions().isEmpty());
    EXPECT_FALSE(Form->PickMenu()->isVisible());
    EXPECT_TRUE(Cube->Selected);
}

TEST_F(PickingTest, HiddenSubtreesAndSkyboxesAreNeverHit)
{
    TSceneGroup* group = Form->Scene().CreateGroup("Group", nullptr, -1);
    TSceneObject* child = Form->Scene().AddPrimitive(ptCube);
    Form->Scene().ReparentNode(child, group, 0, true);
    child->SetPosition(Vec3(0, 0.5f, 0));
    TSceneObject* sky = Form->Scene().AddPrimitive(ptSkybox);
    sky->SetScaleX(50.0f);
    sky->SetScaleY(50.0f);
    sky->SetScaleZ(50.0f);
    Form->Scene().DeleteNode(Cube);
    Paint();
    const QPoint p = PerspectivePixel(Vec3(0, 0.5f, 0));
    std::vector<TPickHit> hits = Form->CollectPickHits(p.x(), p.y());
    ASSERT_EQ(hits.size(), 1u);  // the child; the skybox around the camera is no hit
    EXPECT_EQ(hits[0].NodeId, child->GetId());
    group->SetVisible(false);
    EXPECT_TRUE(Form->CollectPickHits(p.x(), p.y()).empty());
    Click(Qt::LeftButton, p);
    EXPECT_EQ(Form->Scene().GetSelectedObject(), nullptr);
}

TEST_F(PickingTest, OrthographicRaysAndProjectionWithoutAPaint)
{
    // Top view at zoom 20: 50 pixels right of the view's centre is 2.5 units right.
    TOrthoViews ortho;
    ortho.Centre = Vec3(1, 2, 3);
    TVec3 o, d;
    OrthoScreenRay(vkTop, 600 + 50, 100, 800, 400, ortho, o, d);
    EXPECT_FLOAT_EQ(o.X, 3.5f);
    EXPECT_FLOAT_EQ(o.Z, 3.0f);
    EXPECT_FLOAT_EQ(o.Y, 102.0f);
    EXPECT_TRUE(SameVec(d, Vec3(0, -1, 0)));
    OrthoScreenRay(vkFront, 200, 300 - 40, 800, 400, ortho, o, d);  // 40 px above the centre
    EXPECT_FLOAT_EQ(o.Y, 4.0f);
    EXPECT_TRUE(SameVec(d, Vec3(0, 0, -1)));
    OrthoScreenRay(vkLeft, 600 - 20, 300, 800, 400, ortho, o, d);
    EXPECT_FLOAT_EQ(o.Z, 2.0f);
    EXPECT_TRUE(SameVec(d, Vec3(1, 0, 0)));

    // Before the first paint the saved matrices are zero: nothing projects, nothing is hit.
    Form->Viewport()->SavedModelView = {};
    Form->Viewport()->SavedProjection = {};
    Form->Viewport()->SavedViewport = {};
    float x = 7, y = 7;
    EXPECT_FALSE(Form->ProjectToScreen(Vec3(0, 0, 0), x, y));
    EXPECT_EQ(x, 0.0f);
    EXPECT_EQ(y, 0.0f);
    Form->Viewport()->PressView = vkPerspective;
    EXPECT_TRUE(Form->CollectPickHits(100, 100).empty());
    // A point behind the camera does not project.
    Paint();
    const TVec3 behind = Vec3Sub(Form->Camera().Position, Form->Camera().CameraForward());
    EXPECT_FALSE(Form->ProjectToScreen(behind, x, y));
}

TEST_F(PickingTest, AnAnimatedObjectIsPickedWhereItIsDrawn)
{
    // Keyed at X = 3 (move, confirm, Space keys it), then its own position set back to 0.
    Key(Qt::Key_X);
    QTest::keyClicks(View(), QStringLiteral("3"));
    Key(Qt::Key_Return);
    Key(Qt::Key_Space);
    ASSERT_EQ(Form->Document().GetRecorder().Count(), 0);
    Cube->SetPosition(Vec3(0, 0.5f, 0));
    ASSERT_FLOAT_EQ(Form->Document().GetEvaluatedWorldPosition(Cube->GetId()).X, 3.0f);
    Paint();
    Click(Qt::LeftButton, PerspectivePixel(Vec3(0, 0.5f, 0)));
    EXPECT_FALSE(Cube->Selected);
    Click(Qt::LeftButton, PerspectivePixel(Vec3(3, 0.5f, 0)));
    EXPECT_TRUE(Cube->Selected);
    Key(Qt::Key_Escape);
    Click(Qt::LeftButton, OrthoPixel(vkTop, Vec3(0, 0.5f, 0)));
    EXPECT_FALSE(Cube->Selected);
    Click(Qt::LeftButton, OrthoPixel(vkTop, Vec3(3, 0.5f, 0)));
    EXPECT_TRUE(Cube->Selected);
}

TEST_F(PickingTest, EqualDistancesKeepTheirOrder)
{
    std::vector<TPickHit> hits = {{1, 5.0f}, {2, 1.0f}, {3, 5.0f}, {4, 1.0f}, {5, 0.5f}};
    SortPickHits(hits);
    const uint32_t expected[] = {5, 2, 4, 1, 3};
    for (size_t i = 0; i < hits.size(); ++i)
        EXPECT_EQ(hits[i].NodeId, expected[i]);
}

}  // namespace
