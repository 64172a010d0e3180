// The modelling mode and vertex painting driven as a user drives them: F5 and the tool
// buttons, picking and hovering each element kind in the Perspective view (and nothing in
// the others), select all, the overlay on screen, the paint, fill and gradient tools with
// their undo steps, the colour entry of the Paint page, and the gizmo drawn where the
// object is drawn during an animation.
#include "base/uCommandHistory.h"
#include "editor/modes/uPaintPickMode.h"
#include "editor/uPaintPage.h"
#include "editor_window_fixture.h"
#include "scene/uAnimationDocument.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>

#include <cmath>

namespace {

class ModellingTest : public EditorWindowTest {
protected:
    void SetUp() override
    {
        EditorWindowTest::SetUp();
        if (HasFatalFailure())
            return;
        // A large triangle whose corners lie far apart on the screen.
        Tri = Form->Scene().AddPrimitive(ptPlane);
        auto mesh = std::make_unique<TMeshData>();
        for (const TVec3& p : {Vec3(-1.2f, 0, 0), Vec3(1.2f, 0, 0), Vec3(0, 1.8f, 0)}) {
            TMeshVertex v;
            v.Position = p;
            v.Normal = Vec3(0, 0, 1);
            v.Color = Vec3(1, 1, 1);
            mesh->AddVertex(v);
        }
        mesh->AddTriangle(0, 1, 2);
        mesh->RebuildEdges();
        Tri->SetBaseMesh(std::move(mesh));
        Tri->SetPosition(Vec3(0, 0, 3));
        Form->SelectObject(Tri);
        // Face on, from in front.
        TCamera& camera = Form->Camera();
        camera.Yaw = 0;
        camera.Pitch = 0;
        camera.OrbitPivot = Vec3(0, 0.6f, 3);
        camera.OrbitDistance = 3;
        camera.Position = Vec3(0, 0.6f, 6);
        Paint();
    }
    QToolButton* Button(const char* Name) const
    {
        return Form->findChild<QToolButton*>(QString::fromLatin1(Name));
    }
    TEditorSelection& Sel() { return Form->Selection(); }
    QPoint Corner(int i)
    {
        return PerspectivePixel(Vec3Add(Tri->GetPosition(), Mesh().Vertices[size_t(i)].Position));
    }
    TMeshData& Mesh() { return *Tri->GetBaseMesh(); }
    int EdgeIndex(int a, int b)
    {
        for (size_t e = 0; e < Mesh().Edges.size(); ++e)
            if (Mesh().Edges[e] == TMeshEdge{std::min(a, b), std::max(a, b)})
                return int(e);
        return -1;
    }
    void ShowPaintPage() { Form->PanelTabs()->setCurrentWidget(&Form->PaintPage()); }
    void ChoosePaintTool(int Index)
    {
        auto* r = Form->findChild<QRadioButton*>(QStringLiteral("PaintTool%1").arg(Index));
        ASSERT_NE(r, nullptr);
        r->click();
    }
    std::string LastUndo() const
    {
        const TEditorCommand* c = Form->Document().GetHistory().NextUndo();
        return c ? c->GetDescription() : std::string();
    }

    TSceneObject* Tri = nullptr;
};

TEST_F(ModellingTest, F5AndTheToolButtonsEnterAndLeave)
{
    Key(Qt::Key_Escape);  // nothing selected
    Key(Qt::Key_F5);
    EXPECT_FALSE(Sel().ModelingOn);
    EXPECT_EQ(Form->StatusPanels()->PanelText(0), "Select an object first, then press Tab");

    Form->SelectObject(Tri);
    Key(Qt::Key_F5);
    ASSERT_TRUE(Sel().ModelingOn);
    EXPECT_EQ(Sel().ModelingSubMode, 2);
    EXPECT_TRUE(Button("ToolButtonEdit")->isChecked());
    EXPECT_TRUE(Button("ToolButtonFace")->isChecked());
    EXPECT_EQ(Form->StatusPanels()->PanelText(0), "MODELING [Faces]  Tab=back  1/2/3=sub-mode");

    QTest::mouseClick(Button("ToolButtonVert"), Qt::LeftButton);
    EXPECT_EQ(Sel().ModelingSubMode, 0);
    QTest::mouseClick(Button("ToolButtonEdit"), Qt::LeftButton);
    EXPECT_FALSE(Sel().ModelingOn);
    EXPECT_FALSE(Button("ToolButtonEdit")->isChecked());
    // Outside modelling the sub-mode buttons change nothing.
    QTest::mouseClick(Button("ToolButtonEdge"), Qt::LeftButton);
    EXPECT_EQ(Sel().ModelingSubMode, 0);
    QTest::mouseClick(Button("ToolButtonEdit"), Qt::LeftButton);
    EXPECT_TRUE(Sel().ModelingOn);
    // What the tree's "Scene" item asks for.
    Form->LeaveModelingMode();
    EXPECT_FALSE(Sel().ModelingOn);
    EXPECT_FALSE(Button("ToolButtonEdit")->isChecked());
    Form->LeaveModelingMode();
    EXPECT_FALSE(Sel().ModelingOn);
}

TEST_F(ModellingTest, EachElementKindIsPickedAndHoveredInThePerspectiveView)
{
    Key(Qt::Key_F5);
    ASSERT_TRUE(Sel().ModelingOn);
    const QPoint c2 = Corner(2);

    // Vertices: a click 70 pixels away selects; hovering needs 15.
    QTest::mouseClick(Button("ToolButtonVert"), Qt::LeftButton);
    Click(Qt::LeftButton, c2 + QPoint(70, 0));
    EXPECT_EQ(Sel().SelectedVertices, (std::vector<int32_t>{2}));
    MoveTo(c2 + QPoint(14, 0));
    EXPECT_EQ(Sel().HoveredVertex, 2);
    MoveTo(c2 + QPoint(16, 0));
    EXPECT_EQ(Sel().HoveredVertex, -1);
    // A click on nothing keeps the selection; a click on another replaces it.
    Click(Qt::LeftButton, c2 + QPoint(90, 0));
    EXPECT_EQ(Sel().SelectedVertices, (std::vector<int32_t>{2}));
    Click(Qt::LeftButton, Corner(0));
    EXPECT_EQ(Sel().SelectedVertices, (std::vector<int32_t>{0}));

    // Edges: measured to the midpoint, 60 to select, 12 to hover.
    QTest::mouseClick(Button("ToolButtonEdge"), Qt::LeftButton);
    EXPECT_TRUE(Sel().SelectedVertices.empty());  // a new sub-mode starts empty
    const QPoint mid = (Corner(0) + Corner(1)) / 2;
    Click(Qt::LeftButton, mid + QPoint(0, 50));
    EXPECT_EQ(Sel().SelectedEdges, (std::vector<int32_t>{EdgeIndex(0, 1)}));
    MoveTo(mid + QPoint(0, 11));
    EXPECT_EQ(Sel().HoveredEdge, EdgeIndex(0, 1));

    // Faces: by the ray.
    QTest::mouseClick(Button("ToolButtonFace"), Qt::LeftButton);
    const QPoint inside = (Corner(0) + Corner(1) + Corner(2)) / 3;
    MoveTo(inside);
    EXPECT_EQ(Sel().HoveredFace, 0);
    Click(Qt::LeftButton, inside);
    EXPECT_EQ(Sel().SelectedFaces, (std::vector<int32_t>{0}));

    // Another view: nothing hovers, and a click there does not pick elements.
    const QPoint top = OrthoPixel(vkTop, Tri->GetPosition());
    MoveTo(top);
    EXPECT_EQ(Sel().HoveredFace, -1);
    EXPECT_EQ(Sel().SelectedFaces, (std::vector<int32_t>{0}));

    // Selecting another object clears the elements and stays in modelling.
    Form->SelectObject(Cube);
    EXPECT_TRUE(Sel().ModelingOn);
    EXPECT_TRUE(Sel().SelectedFaces.empty());
}

TEST_F(ModellingTest, SelectAllEscapeAndTheOverlayOnScreen)
{
    Key(Qt::Key_F5);
    QTest::mouseClick(Button("ToolButtonEdge"), Qt::LeftButton);
    QTest::mouseClick(Button("ToolButtonAll"), Qt::LeftButton);
    EXPECT_EQ(Sel().SelectedEdges, (std::vector<int32_t>{0, 1, 2}));
    Key(Qt::Key_Escape);
    EXPECT_TRUE(Sel().SelectedEdges.empty());
    EXPECT_TRUE(Tri->Selected);  // Esc in modelling clears elements, not the object
    Key(Qt::Key_A);
    EXPECT_EQ(Sel().SelectedEdges.size(), 3u);

    // A selected vertex shows as a large yellow point where the vertex is.
    QTest::mouseClick(Button("ToolButtonVert"), Qt::LeftButton);
    Click(Qt::LeftButton, Corner(2));
    ASSERT_EQ(Sel().SelectedVertices, (std::vector<int32_t>{2}));
    MoveTo(QPoint(5, 5));  // the crosshair away from the point
    const QImage image = Form->GLView()->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    const double dpr = Form->GLView()->devicePixelRatioF();
    const QColor c = image.pixelColor(int(Corner(2).x() * dpr), int(Corner(2).y() * dpr));
    EXPECT_EQ(c, QColor(255, 230, 51)) << c.name().toStdString();

    // Out-of-range indices (the mesh changed under the selection) are skipped.
    Sel().SelectedVertices = {2, 99, -4};
    Paint();
}

TEST_F(ModellingTest, PaintStrokeFillAndGradientAreUndoSteps)
{
    Key(Qt::Key_F5);
    ShowPaintPage();
    ChoosePaintTool(0);
    const QPoint inside = (Corner(0) + Corner(1) + Corner(2)) / 3;
    const size_t before = Form->Document().GetHistory().UndoCount();

    // A stroke across the face paints it once.
    Press(Qt::LeftButton, inside);
    MoveTo(inside + QPoint(5, 0), Qt::LeftButton);
    MoveTo(inside + QPoint(10, 0), Qt::LeftButton);
    Release(Qt::LeftButton, inside + QPoint(10, 0));
    EXPECT_EQ(Form->Document().GetHistory().UndoCount(), before + 1);
    EXPECT_EQ(LastUndo(), "Paint (3 elements)");
    for (const TMeshVertex& v : Mesh().Vertices)
        EXPECT_TRUE(SameVec(v.Color, Vec3(1, 0, 0)));
    // The colour joined the recent colours and the scene's palette.
    EXPECT_EQ(Sel().RecentColorCount, 1);
    EXPECT_EQ(Form->Scene().PaletteCount, 1);
    EXPECT_TRUE(SameVec(Form->Scene().Palette[0], Vec3(1, 0, 0)));
    Key(Qt::Key_Z, Qt::ControlModifier);
    for (const TMeshVertex& v : Mesh().Vertices)
        EXPECT_TRUE(SameVec(v.Color, Vec3(1, 1, 1)));

    // Fill from vertex 0 over the same-coloured vertices; vertex 1 has another colour.
    Mesh().Vertices[1].Color = Vec3(0, 0, 0);
    QTest::mouseClick(Button("ToolButtonVert"), Qt::LeftButton);
    ChoosePaintTool(1);
    Click(Qt::LeftButton, Corner(0));
    EXPECT_EQ(LastUndo(), "Fill (2 elements)");
    EXPECT_TRUE(SameVec(Mesh().Vertices[0].Color, Vec3(1, 0, 0)));
    EXPECT_TRUE(SameVec(Mesh().Vertices[1].Color, Vec3(0, 0, 0)));
    EXPECT_TRUE(SameVec(Mesh().Vertices[2].Color, Vec3(1, 0, 0)));
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(SameVec(Mesh().Vertices[0].Color, Vec3(1, 1, 1)));

    // Gradient: a press selects the face; the button paints its corners with the main
    // colours, rotated by 90 degrees (one corner on a triangle).
    QTest::mouseClick(Button("ToolButtonFace"), Qt::LeftButton);
    ChoosePaintTool(2);
    auto* apply = Form->findChild<QPushButton*>(QStringLiteral("ApplyGradient"));
    ASSERT_NE(apply, nullptr);
    EXPECT_FALSE(apply->isEnabled());
    Click(Qt::LeftButton, inside);
    ASSERT_EQ(Sel().SelectedFaces, (std::vector<int32_t>{0}));
    EXPECT_TRUE(apply->isEnabled());
    Form->findChild<QSlider*>(QStringLiteral("GradientRotation"))->setValue(90);
    QTest::mouseClick(apply, Qt::LeftButton);
    EXPECT_EQ(LastUndo(), "Gradient (1 faces)");
    EXPECT_TRUE(SameVec(Mesh().Vertices[0].Color, Vec3(0, 0, 1)));
    EXPECT_TRUE(SameVec(Mesh().Vertices[1].Color, Vec3(1, 0, 0)));
    EXPECT_TRUE(SameVec(Mesh().Vertices[2].Color, Vec3(0, 1, 0)));
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(SameVec(Mesh().Vertices[2].Color, Vec3(1, 1, 1)));

    // Off the Paint page a press selects again.
    Form->PanelTabs()->setCurrentIndex(0);
    ChoosePaintTool(0);
    const size_t count = Form->Document().GetHistory().UndoCount();
    Click(Qt::LeftButton, inside);
    EXPECT_EQ(Form->Document().GetHistory().UndoCount(), count);
}

TEST_F(ModellingTest, ColourEntryOnThePaintPage)
{
    ShowPaintPage();
    TPaintPage& page = Form->PaintPage();
    auto* hex = Form->findChild<QLineEdit*>(QStringLiteral("PaintHex"));
    auto* red = Form->findChild<QLineEdit*>(QStringLiteral("PaintChannelR"));
    ASSERT_TRUE(hex && red);
    hex->selectAll();
    QTest::keyClicks(hex, QStringLiteral("#00ff00"));
    EXPECT_TRUE(SameVec(page.CurrentColor(), Vec3(0, 1, 0)));
    EXPECT_TRUE(SameVec(page.MainColors()[0], Vec3(0, 1, 0)));
    EXPECT_EQ(red->text(), "0.000");
    // Typing into the page's fields does not reach the views' keys.
    EXPECT_FALSE(Form->ObjectTransform().Running());

    // A channel that does not read as a finite number keeps its value; others clamp.
    for (const char* text : {"nan", "inf", "abc"}) {
        red->selectAll();
        QTest::keyClicks(red, QString::fromLatin1(text));
        EXPECT_TRUE(SameVec(page.CurrentColor(), Vec3(0, 1, 0))) << text;
    }
    red->setText(QStringLiteral("1e39"));  // pasted: beyond a float
    emit red->textEdited(red->text());
    EXPECT_TRUE(SameVec(page.CurrentColor(), Vec3(0, 1, 0)));
    red->selectAll();
    QTest::keyClicks(red, QStringLiteral("7"));
    EXPECT_TRUE(SameVec(page.CurrentColor(), Vec3(1, 1, 0)));
    EXPECT_EQ(hex->text(), "#ffff00");

    // The wheel: its centre is white; outside the circle nothing changes.
    QWidget* wheel = Form->findChild<QWidget*>(QStringLiteral("ColorWheel"));
    QTest::mouseClick(wheel, Qt::LeftButton, {}, QPoint(60, 60));
    EXPECT_TRUE(SameVec(page.CurrentColor(), Vec3(1, 1, 1)));
    QTest::mouseClick(wheel, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_TRUE(SameVec(page.CurrentColor(), Vec3(1, 1, 1)));

    // Slots beyond 0 are for the gradient tool only.
    QWidget* slot2 = Form->findChild<QWidget*>(QStringLiteral("MainSwatch2"));
    EXPECT_FALSE(slot2->isEnabled());
    ChoosePaintTool(2);
    EXPECT_TRUE(slot2->isEnabled());
    QTest::mouseClick(slot2, Qt::LeftButton);
    EXPECT_EQ(page.ActiveColorSlot(), 2);
    EXPECT_TRUE(SameVec(page.CurrentColor(), Vec3(0, 0, 1)));
    ChoosePaintTool(0);
    EXPECT_EQ(page.ActiveColorSlot(), 0);
}

TEST_F(ModellingTest, PickColourAndFaceUVButtonsActOnTheSelection)
{
    Key(Qt::Key_F5);
    const QPoint inside = (Corner(0) + Corner(1) + Corner(2)) / 3;
    Click(Qt::LeftButton, inside);
    ASSERT_EQ(Sel().SelectedFaces, (std::vector<int32_t>{0}));
    TPaintPage& page = Form->PaintPage();
    page.ChooseColor = [](QWidget*) { return std::optional<TVec3>(Vec3(0, 0.5f, 1)); };
    const size_t count = Form->Document().GetHistory().UndoCount();
    page.PickColorClick();
    for (const TMeshVertex& v : Mesh().Vertices)
        EXPECT_TRUE(SameVec(v.Color, Vec3(0, 0.5f, 1)));
    EXPECT_EQ(Form->Document().GetHistory().UndoCount(), count);  // no undo step
    EXPECT_EQ(Sel().RecentColorCount, 0);

    page.FaceUVButtonClick(5);
    EXPECT_EQ(Mesh().Faces[0].UVs[2], (TVec2{0, 1}));
    page.FaceUVButtonClick(1);
    EXPECT_EQ(Mesh().Faces[0].UVs[1], (TVec2{0, 0}));
}

TEST_F(ModellingTest, TheGizmoIsDrawnWhereTheAnimatedObjectIs)
{
    // The cube keyed at X = 4 on the current frame; its own position stays at 0.
    Form->SelectObject(Cube);
    Form->Document().GetAnimation().SetKey(MakeNodePropertyPath(Cube->GetId(), 1),
                                           Form->Document().GetProjectTime().GetCurrentFrame(),
                                           MakeFloatPropertyValue(4), MakeFloatPropertyValue(0), 0);
    ASSERT_FLOAT_EQ(Form->Document().GetEvaluatedWorldPosition(Cube->GetId()).X, 4.0f);
    ASSERT_FLOAT_EQ(Cube->GetPosition().X, 0.0f);
    TCamera& camera = Form->Camera();
    camera.Yaw = 0;
    camera.Pitch = 0;
    camera.OrbitPivot = Vec3(2, 1, 0);
    camera.OrbitDistance = 9;
    camera.Position = Vec3(2, 1, 9);
    Paint();
    MoveTo(QPoint(5, 5));
    const float L = NodeMaxScale(*Cube) * 1.2f + 0.6f;
    const QImage image = Form->GLView()->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    const double dpr = Form->GLView()->devicePixelRatioF();
    const auto at = [&](const TVec3& p) {
        const QPoint q = PerspectivePixel(p);
        return image.pixelColor(int(q.x() * dpr), int(q.y() * dpr));
    };
    // The Y arm (green) halfway up from the animated place; nothing at the authored one.
    EXPECT_EQ(at(Vec3(4, 0.5f + 0.5f * L, 0)), QColor(51, 255, 51));
    EXPECT_NE(at(Vec3(0, 0.5f + 0.5f * L, 0)), QColor(51, 255, 51));
}

// In modelling the transform keys still move the object; Esc first ends a running
// transform, then clears the elements.
TEST_F(ModellingTest, TransformsInModellingMoveTheObjectAndEscapeEndsThemFirst)
{
    Key(Qt::Key_F5);
    const QPoint inside = (Corner(0) + Corner(1) + Corner(2)) / 3;
    Click(Qt::LeftButton, inside);
    ASSERT_EQ(Sel().SelectedFaces, (std::vector<int32_t>{0}));
    const TVec3 start = Tri->GetPosition();
    Key(Qt::Key_X);
    Key(Qt::Key_2);
    ASSERT_TRUE(Form->ObjectTransform().Running());
    EXPECT_FLOAT_EQ(Tri->GetPosition().X, start.X + 2);
    Key(Qt::Key_Escape);
    EXPECT_FALSE(Form->ObjectTransform().Running());
    EXPECT_TRUE(SameVec(Tri->GetPosition(), start));
    EXPECT_EQ(Sel().SelectedFaces, (std::vector<int32_t>{0}));
    Key(Qt::Key_Escape);
    EXPECT_TRUE(Sel().SelectedFaces.empty());
    EXPECT_TRUE(Tri->Selected);
    // The selection colour says modelling.
    EXPECT_TRUE(SameVec(Form->SelectionColorNow(), Vec3(1, 0.4f, 0.4f)));
}

// Picking works with the object's own transform: under a moved parent the elements are
// found where the object would be without it.
TEST_F(ModellingTest, AParentedObjectIsPickedByItsOwnTransform)
{
    TSceneGroup* group = Form->Scene().CreateGroup("Offset", Form->Scene().GetRoot(), 0);
    group->SetPosition(Vec3(0.8f, 0, 0));
    Form->Scene().ReparentNode(Tri, group, 0, true);
    Form->SelectObject(Tri);
    Paint();
    Key(Qt::Key_F5);
    QTest::mouseClick(Button("ToolButtonVert"), Qt::LeftButton);
    // Corner() ignores the parent: that is where the vertex is picked.
    MoveTo(Corner(2));
    EXPECT_EQ(Sel().HoveredVertex, 2);
    const QPoint drawn = PerspectivePixel(
        Vec3Add(group->GetPosition(), Vec3Add(Tri->GetPosition(), Mesh().Vertices[2].Position)));
    ASSERT_GT(std::abs(drawn.x() - Corner(2).x()), 20);
    MoveTo(drawn);
    EXPECT_EQ(Sel().HoveredVertex, -1);
}

}  // namespace

namespace {

// Each keystroke in a channel applies; the refresh that follows leaves the text being
// typed as it is, and the other fields show the colour.
TEST_F(ModellingTest, ChannelAndHexFieldsCanBeTypedInto)
{
    Key(Qt::Key_F5);
    ASSERT_TRUE(Sel().ModelingOn);
    ShowPaintPage();
    TPaintPage& page = Form->PaintPage();
    auto* green = Form->findChild<QLineEdit*>(QStringLiteral("PaintChannelG"));
    auto* red = Form->findChild<QLineEdit*>(QStringLiteral("PaintChannelR"));
    auto* hex = Form->findChild<QLineEdit*>(QStringLiteral("PaintHex"));
    ASSERT_TRUE(green && red && hex);
    green->setFocus();
    green->selectAll();
    QTest::keyClicks(green, QStringLiteral("0.25"));
    EXPECT_EQ(green->text(), "0.25");
    EXPECT_TRUE(SameVec(page.CurrentColor(), Vec3(1, 0.25f, 0)));
    EXPECT_EQ(red->text(), "1.000");
    EXPECT_EQ(hex->text(), "#ff4000");
    // A refresh from elsewhere while the colour is still the typed one keeps the text.
    emit Form->Events().SelectionChanged();
    EXPECT_EQ(green->text(), "0.25");
    // Backspace and retyping go on from what is shown.
    QTest::keyClick(green, Qt::Key_Backspace);
    QTest::keyClicks(green, QStringLiteral("75"));
    EXPECT_EQ(green->text(), "0.275");
    EXPECT_FLOAT_EQ(page.CurrentColor().Y, 0.275f);
    // A colour from elsewhere is shown in every field.
    QTest::mouseClick(Form->findChild<QWidget*>(QStringLiteral("ColorWheel")), Qt::LeftButton, {},
                      QPoint(60, 60));
    EXPECT_EQ(green->text(), "1.000");

    hex->setFocus();
    hex->selectAll();
    QTest::keyClicks(hex, QStringLiteral("#00FF80"));
    EXPECT_EQ(hex->text(), "#00FF80");
    EXPECT_EQ(green->text(), "1.000");
    EXPECT_EQ(red->text(), "0.000");
    // Once the typing is over, the next refresh writes the page's own form.
    green->setFocus();
    emit Form->Events().SelectionChanged();
    EXPECT_EQ(hex->text(), "#00ff80");
}

}  // namespace
