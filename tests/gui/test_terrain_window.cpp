// The terrain editor as a user drives it: opened from the menus, regenerated, painted with
// the mouse on its preview, undone and redone, closed with its object or the project, and
// its sculpt kept through a save and an open.
#include "accessibility_support.h"
#include "main_form_test_support.h"

#include "scene/uHierarchyCommands.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"
#include "terrain/uHeightmap.h"
#include "terrain/uTerrainMesh.h"
#include "terrain/uTerrainOps.h"
#include "terrain/uTerrainPainting.h"
#include "terrain/ui/uTerrainPreview.h"
#include "terrain/ui/uTerrainWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>

#include <vector>

namespace {

std::vector<float> HeightsOf(const THeightmap& Map)
{
    return std::vector<float>(Map.Data(), Map.Data() + Map.CellCount());
}

// The heights the mesh shows, one per vertex.
std::vector<float> MeshHeights(const TSceneObject& Object)
{
    std::vector<float> heights;
    for (const TMeshVertex& v : Object.GetBaseMesh()->Vertices)
        heights.push_back(v.Position.Y);
    return heights;
}

class TerrainWindowTest : public MainFormFixture {
protected:
    void SetUp() override
    {
        MainFormFixture::SetUp();
        Click("Create", "Terrain");  // opens the editor on the new terrain
        Terrain = Form->Scene().GetSelectedObject();
        ASSERT_NE(Terrain, nullptr);
        ASSERT_EQ(Terrain->PrimType, ptTerrain);
        Window = OpenWindow();
        ASSERT_NE(Window, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Window));
        Window->SetClock([this] { return Clock; });
    }

    TTerrainForm* OpenWindow() const
    {
        return dynamic_cast<TTerrainForm*>(Form->ToolWindows().Find(TTerrainForm::WindowKind));
    }
    // Lets closed windows go.
    static void Settle()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
    }
    QPushButton* Button(const QString& Caption) const
    {
        for (QPushButton* b : Window->findChildren<QPushButton*>())
            if (b->text() == Caption)
                return b;
        ADD_FAILURE() << "no button " << Caption.toStdString();
        return nullptr;
    }
    void Press(const QString& Caption) { QTest::mouseClick(Button(Caption), Qt::LeftButton); }
    QRadioButton* Radio(const char* Group, const QString& Item) const
    {
        auto* box = Window->findChild<QGroupBox*>(QString::fromLatin1(Group));
        for (QRadioButton* r : box->findChildren<QRadioButton*>())
            if (r->text() == Item)
                return r;
        ADD_FAILURE() << "no item " << Item.toStdString();
        return nullptr;
    }
    QSlider* Bar(const char* Name) const
    {
        return Window->findChild<QSlider*>(QString::fromLatin1(Name));
    }
    // Clicks an item of a radio group on its caption, as a user does.
    void Choose(const char* Group, const QString& Item)
    {
        QRadioButton* r = Radio(Group, Item);
        QTest::mouseClick(r, Qt::LeftButton, {}, QPoint(8, r->height() / 2));
    }
    THeightmap& Map() const { return *Terrain->GetHeightmap(); }

    // A stroke on the preview with the left button, through the given cells.
    void Stroke(const std::vector<TGridCell>& Cells, Qt::KeyboardModifiers Keys = {})
    {
        QWidget* preview = Window->Preview();
        QTest::mousePress(preview, Qt::LeftButton, Keys, Window->Preview()->CellToPoint(Cells[0]));
        for (size_t i = 1; i < Cells.size(); ++i) {
            Clock += 50;
            const QPointF at(Window->Preview()->CellToPoint(Cells[i]));
            QMouseEvent move(QEvent::MouseMove, at, preview->mapToGlobal(at), Qt::NoButton,
                             Qt::LeftButton, Keys);
            QApplication::sendEvent(preview, &move);
        }
        QTest::mouseRelease(preview, Qt::LeftButton, Keys,
                            Window->Preview()->CellToPoint(Cells.back()));
    }
    // What the mesh of the map would be built as from scratch.
    std::vector<float> BuiltHeights() const
    {
        TMeshData mesh;
        BuildTerrainMesh(&mesh, &Map(), Terrain->TerrainSize, Terrain->TerrainHeight);
        std::vector<float> heights;
        for (const TMeshVertex& v : mesh.Vertices)
            heights.push_back(v.Position.Y);
        return heights;
    }

    uint64_t Clock = 1000;
    TSceneObject* Terrain = nullptr;
    TTerrainForm* Window = nullptr;
};

}  // namespace

TEST_F(TerrainWindowTest, OpensOnTheTerrainAndReplacesTheOpenOne)
{
    EXPECT_EQ(Window->windowTitle().toStdString(), "Terrain Editor - " + Terrain->Name);
    EXPECT_EQ(Window->GetNodeId(), Terrain->GetId());
    EXPECT_TRUE(Radio("GridResolution", "128")->isChecked());
    EXPECT_TRUE(Radio("Algorithm", "Ridged")->isChecked());
    EXPECT_EQ(Window->findChild<QLabel*>("NoiseScaleValue")->text(),
              QLocale().toString(3.0, 'f', 1));
    EXPECT_FALSE(Button("Undo")->isEnabled());
    EXPECT_FALSE(Button("Redo")->isEnabled());

    QPointer<TTerrainForm> first = Window;
    Click("View", "Terrain Editor...");  // the terrain is still selected
    Settle();
    EXPECT_TRUE(first.isNull());
    ASSERT_NE(OpenWindow(), nullptr);
    EXPECT_EQ(OpenWindow()->GetNodeId(), Terrain->GetId());

    // The main window still hears the scene afterwards.
    const int64_t revision = Form->Document().GetRevision();
    Click("Create", "Cube");
    EXPECT_GT(Form->Document().GetRevision(), revision);
}

TEST_F(TerrainWindowTest, RegenerateWithASeedGivesTheSameHeightsAgain)
{
    Window->SetSeedSource([] { return 4242; });
    QTest::mouseClick(Bar("NoiseScale"), Qt::LeftButton);  // focus only; the bar keeps 30
    Bar("NoiseScale")->setValue(45);
    Press("New (regenerate)");
    const std::vector<float> first = HeightsOf(Map());
    EXPECT_EQ(Window->GetNoiseParams().Seed, 4242);
    EXPECT_EQ(Window->GetNoiseParams().Algorithm, 1);

    // The heights are the generator's for those settings, and the mesh shows them.
    THeightmap expected(128);
    TNoiseParams p;
    p.Algorithm = 1;
    p.Scale = 4.5f;
    p.Seed = 4242;
    GenerateNoiseTerrain(&expected, p);
    EXPECT_EQ(first, HeightsOf(expected));
    EXPECT_EQ(MeshHeights(*Terrain), BuiltHeights());

    Press("Raise All");
    Press("Smooth All");
    EXPECT_NE(HeightsOf(Map()), first);
    Press("New (regenerate)");
    EXPECT_EQ(HeightsOf(Map()), first);

    // Another seed, another terrain.
    Window->SetSeedSource([] { return 77; });
    Press("New (regenerate)");
    EXPECT_NE(HeightsOf(Map()), first);
}

TEST_F(TerrainWindowTest, AMouseStrokeChangesTheCellsUnderTheBrush)
{
    Press("Reset (flatten)");
    for (float h : HeightsOf(Map()))
        ASSERT_EQ(h, 0.0f);
    THeightmap expected(128);
    expected.Fill(0.0f);
    const TBrushKernel kernel(BrushKernelSizeFor(128, 0.25f), 0.5f);
    ASSERT_EQ(Window->GetBrushKernel()->GetSize(), kernel.GetSize());

    // Press at (40, 60), drag to (60, 60) and (60, 75): one dab, then each segment's dabs.
    const std::vector<TGridCell> path = {{40, 60}, {60, 60}, {60, 75}};
    Stroke(path);
    std::vector<TGridCell> dabs = {path[0]};
    StrokeDabCells(path[0], path[1], kernel.GetRadius(), dabs);
    StrokeDabCells(path[1], path[2], kernel.GetRadius(), dabs);
    for (const TGridCell& c : dabs)
        ApplyBrush(&expected, c.X, c.Y, false, 0.6f, bmRaise, &kernel);
    EXPECT_EQ(HeightsOf(Map()), HeightsOf(expected));
    EXPECT_GT(Map().Get(50, 60), 0.1f);
    EXPECT_EQ(Map().Get(5, 5), 0.0f) << "far from the stroke";
    EXPECT_EQ(Map().Get(100, 20), 0.0f);
    EXPECT_EQ(MeshHeights(*Terrain), BuiltHeights()) << "the release pushes the stroke";

    // With Ctrl held, Raise lowers; Lower with Ctrl raises.
    Stroke({{50, 60}}, Qt::ControlModifier);
    ApplyBrush(&expected, 50, 60, true, 0.6f, bmRaise, &kernel);
    EXPECT_EQ(HeightsOf(Map()), HeightsOf(expected));
    Choose("BrushMode", "Lower");
    Bar("BrushFlow")->setValue(100);
    Stroke({{100, 100}}, Qt::ControlModifier);
    ApplyBrush(&expected, 100, 100, true, 1.0f, bmLower, &kernel);
    EXPECT_EQ(HeightsOf(Map()), HeightsOf(expected));
    EXPECT_NEAR(Map().Get(100, 100), 0.08f, 1e-6f);
}

TEST_F(TerrainWindowTest, TheMeshFollowsWhileTheStrokeIsUnderWay)
{
    Press("Reset (flatten)");
    QWidget* preview = Window->Preview();
    QTest::mousePress(preview, Qt::LeftButton, {}, Window->Preview()->CellToPoint({30, 30}));
    EXPECT_EQ(MeshHeights(*Terrain), BuiltHeights()) << "the first dab is pushed";
    // Within 45 ms of the last push the mesh waits; after that it catches up.
    const auto moveTo = [&](TGridCell c) {
        const QPointF at(Window->Preview()->CellToPoint(c));
        QMouseEvent move(QEvent::MouseMove, at, preview->mapToGlobal(at), Qt::NoButton,
                         Qt::LeftButton, {});
        QApplication::sendEvent(preview, &move);
    };
    Clock += 10;
    moveTo({90, 30});
    EXPECT_NE(MeshHeights(*Terrain), BuiltHeights());
    Clock += 40;
    moveTo({90, 90});
    EXPECT_EQ(MeshHeights(*Terrain), BuiltHeights());
    QTest::mouseRelease(preview, Qt::LeftButton, {}, Window->Preview()->CellToPoint({90, 90}));
    EXPECT_EQ(MeshHeights(*Terrain), BuiltHeights());
}

// Letting go of the button brings over only the cells painted since the last push, yet
// leaves the mesh as a rebuild from the map does: heights, normals, the object's colour
// on every vertex (a vertex coloured by hand gets it back), faces and edges.
TEST_F(TerrainWindowTest, TheReleasedStrokeLeavesTheMeshAsARebuildWould)
{
    Choose("GridResolution", "512");
    ASSERT_EQ(Map().GetResolution(), 512);
    Terrain->GetBaseMesh()->Vertices[5].Color = TVec3{0.9f, 0.1f, 0.2f};
    QWidget* preview = Window->Preview();
    QTest::mousePress(preview, Qt::LeftButton, {}, Window->Preview()->CellToPoint({100, 100}));
    for (int i = 1; i <= 32; ++i) {
        Clock += 10;  // a push every fifth move; the last two wait for the release
        const QPointF at(Window->Preview()->CellToPoint({100 + 8 * i, 100 + 5 * i}));
        QMouseEvent move(QEvent::MouseMove, at, preview->mapToGlobal(at), Qt::NoButton,
                         Qt::LeftButton, {});
        QApplication::sendEvent(preview, &move);
    }
    EXPECT_NE(MeshHeights(*Terrain), BuiltHeights()) << "the last moves are not pushed yet";
    QTest::mouseRelease(preview, Qt::LeftButton, {}, Window->Preview()->CellToPoint({356, 260}));

    TMeshData rebuilt;
    BuildTerrainMesh(&rebuilt, &Map(), Terrain->TerrainSize, Terrain->TerrainHeight);
    for (TMeshVertex& v : rebuilt.Vertices)
        v.Color = Terrain->Color;
    const TMeshData& mesh = *Terrain->GetBaseMesh();
    EXPECT_TRUE(mesh.Vertices == rebuilt.Vertices);
    EXPECT_TRUE(mesh.Faces == rebuilt.Faces);
    EXPECT_TRUE(mesh.Edges == rebuilt.Edges);
}

// Letting go pushes, and so redraws the views, only when the mesh still differs from a
// rebuild: cells painted since the last push, or vertices coloured by hand.
TEST_F(TerrainWindowTest, TheReleaseRedrawsOnlyWhenTheMeshStillDiffers)
{
    struct TCase {
        const char* Name;
        bool CellsLeft, HandColoured;
        int Pushes;
    } cases[] = {
        {"everything pushed", false, false, 0},
        {"cells left", true, false, 1},
        {"a vertex coloured by hand", false, true, 1},
    };
    QWidget* preview = Window->Preview();
    const auto moveTo = [&](TGridCell c) {
        const QPointF at(Window->Preview()->CellToPoint(c));
        QMouseEvent move(QEvent::MouseMove, at, preview->mapToGlobal(at), Qt::NoButton,
                         Qt::LeftButton, {});
        QApplication::sendEvent(preview, &move);
    };
    int edits = 0;
    QObject::connect(&Form->Events(), &TEditorEvents::DocumentEdited, Window,
                     [&edits] { ++edits; });
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Clock += 100;
        QTest::mousePress(preview, Qt::LeftButton, {}, Window->Preview()->CellToPoint({30, 30}));
        Clock += 50;
        moveTo({60, 30});  // pushed
        if (c.CellsLeft) {
            Clock += 10;
            moveTo({70, 30});  // waits for the release
        }
        if (c.HandColoured)
            Terrain->GetBaseMesh()->Vertices[5].Color = TVec3{0.9f, 0.1f, 0.2f};
        edits = 0;
        const TGridCell last = c.CellsLeft ? TGridCell{70, 30} : TGridCell{60, 30};
        QTest::mouseRelease(preview, Qt::LeftButton, {}, Window->Preview()->CellToPoint(last));
        EXPECT_EQ(edits, c.Pushes);

        TMeshData rebuilt;
        BuildTerrainMesh(&rebuilt, &Map(), Terrain->TerrainSize, Terrain->TerrainHeight);
        for (TMeshVertex& v : rebuilt.Vertices)
            v.Color = Terrain->Color;
        EXPECT_TRUE(Terrain->GetBaseMesh()->Vertices == rebuilt.Vertices);
    }
}

// A long erosion shows its progress; Cancel leaves the map, the mesh and the undo steps
// as they were.
TEST_F(TerrainWindowTest, ACancelledErosionLeavesTheMapAsItWas)
{
    Choose("GridResolution", "512");
    ASSERT_EQ(Map().GetResolution(), 512);
    Press("Undo");
    Press("Redo");  // one step each way, to see that neither is touched
    const std::vector<float> before = HeightsOf(Map());
    const std::vector<float> meshBefore = MeshHeights(*Terrain);
    Bar("ErosionRadius")->setValue(6);

    bool sawProgress = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QProgressDialog*>(w);
            if (!dialog || !dialog->isVisible())
                continue;
            sawProgress = true;
            for (QPushButton* b : dialog->findChildren<QPushButton*>())
                if (b->text() == "Cancel")
                    QTest::mouseClick(b, Qt::LeftButton);
        }
    });
    poll.start(20);
    Press("Erode (global)");
    poll.stop();

    EXPECT_TRUE(sawProgress);
    EXPECT_EQ(HeightsOf(Map()), before);
    EXPECT_EQ(MeshHeights(*Terrain), meshBefore);
    EXPECT_TRUE(Button("Undo")->isEnabled());
    EXPECT_FALSE(Button("Redo")->isEnabled());
    Press("Undo");
    EXPECT_TRUE(Button("Redo")->isEnabled());
    EXPECT_EQ(Map().GetResolution(), 128) << "the step before is still the resample";
}

TEST_F(TerrainWindowTest, UndoAndRedoStepThroughTheEdits)
{
    EXPECT_FALSE(Button("Undo")->isEnabled());
    const std::vector<float> generated = HeightsOf(Map());
    Press("Raise All");
    const std::vector<float> raised = HeightsOf(Map());
    EXPECT_TRUE(Button("Undo")->isEnabled());
    EXPECT_FALSE(Button("Redo")->isEnabled());
    Stroke({{64, 64}, {70, 64}});
    const std::vector<float> painted = HeightsOf(Map());
    EXPECT_NE(painted, raised);

    Press("Undo");  // the whole stroke is one step
    EXPECT_EQ(HeightsOf(Map()), raised);
    EXPECT_EQ(MeshHeights(*Terrain), BuiltHeights());
    EXPECT_TRUE(Button("Redo")->isEnabled());
    Press("Undo");
    EXPECT_EQ(HeightsOf(Map()), generated);
    EXPECT_FALSE(Button("Undo")->isEnabled());
    Press("Redo");
    Press("Redo");
    EXPECT_EQ(HeightsOf(Map()), painted);
    EXPECT_EQ(MeshHeights(*Terrain), BuiltHeights());
    EXPECT_FALSE(Button("Redo")->isEnabled());

    // A new resolution is a step too, and its undo brings the old grid back.
    Choose("GridResolution", "64");
    EXPECT_EQ(Map().GetResolution(), 64);
    EXPECT_EQ(Terrain->GetBaseMesh()->Vertices.size(), 64u * 64u);
    Press("Undo");
    EXPECT_EQ(Map().GetResolution(), 128);
    EXPECT_EQ(HeightsOf(Map()), painted);
    EXPECT_EQ(Terrain->GetBaseMesh()->Vertices.size(), 128u * 128u);
    // The group still shows 64, and choosing it again resamples again.
    EXPECT_TRUE(Radio("GridResolution", "64")->isChecked());
    Choose("GridResolution", "64");
    EXPECT_EQ(Map().GetResolution(), 64);
    // An assistive tool's toggle chooses as a click does.
    AccessibleToggle(Radio("GridResolution", "32"));
    EXPECT_EQ(Map().GetResolution(), 32);
}

TEST_F(TerrainWindowTest, ClosesWhenItsObjectGoesAndOnNewAndOpen)
{
    QPointer<TTerrainForm> window = Window;
    // Another node going leaves it open.
    Click("Create", "Cube");
    TSceneNode* cube = Form->Scene().GetSelectedObject();
    Form->Run(std::make_unique<TDeleteSubtreeCommand>(Form->Scene(), cube));
    Settle();
    ASSERT_FALSE(window.isNull());

    // Its object going inside a group closes it.
    Form->Run(std::make_unique<TCreateGroupCommand>(Form->Scene(), "Group", Form->Scene().GetRoot(),
                                                    Form->Scene().GetRoot()->ChildCount()));
    TSceneNode* group =
        Form->Scene().GetRoot()->GetChild(Form->Scene().GetRoot()->ChildCount() - 1);
    ASSERT_EQ(group->Name, "Group");
    Form->Run(std::make_unique<TReparentNodesCommand>(Form->Scene(), true, 0, group->GetId(),
                                                      TSceneNodeIdArray{Terrain->GetId()}));
    ASSERT_EQ(Terrain->GetParent(), group);
    ASSERT_FALSE(window.isNull());
    Form->Run(std::make_unique<TDeleteSubtreeCommand>(Form->Scene(), group));
    Settle();
    EXPECT_TRUE(window.isNull());
    EXPECT_EQ(OpenWindow(), nullptr);

    // Back with the undo: the editor opens on it again, and File > New closes it.
    Form->Undo();
    Form->SelectNode(Terrain->GetId());
    Click("View", "Terrain Editor...");
    window = OpenWindow();
    ASSERT_FALSE(window.isNull());
    YesNoAnswers.push_back(true);
    Click("File", "New");
    Settle();
    EXPECT_TRUE(window.isNull());

    // File > Open closes it as well.
    Click("Create", "Terrain");
    window = OpenWindow();
    ASSERT_FALSE(window.isNull());
    FileAnswers.push_back(Path("closing.qstn").toStdString());
    Click("File", "Save As...");
    FileAnswers.push_back(Path("closing.qstn").toStdString());
    YesNoAnswers.push_back(true);
    Click("File", "Open...");
    Settle();
    EXPECT_TRUE(window.isNull());

    // Edit > Delete selected on the terrain itself closes it too.
    Form->SelectNode(Form->Scene().GetFirstObject()->GetId());
    Click("View", "Terrain Editor...");
    window = OpenWindow();
    ASSERT_FALSE(window.isNull());
    Click("Edit", "Delete selected");
    Settle();
    EXPECT_TRUE(window.isNull());
    Form->Undo();

    // Its own Close button too, and it opens again afterwards.
    Form->SelectNode(Form->Scene().GetFirstObject()->GetId());
    Click("View", "Terrain Editor...");
    Window = OpenWindow();
    ASSERT_NE(Window, nullptr);
    window = Window;
    Press("Close");
    Settle();
    EXPECT_TRUE(window.isNull());
    Click("View", "Terrain Editor...");
    EXPECT_NE(OpenWindow(), nullptr);
}

TEST_F(TerrainWindowTest, ASculptedTerrainIsSavedAndOpensWithTheSameShape)
{
    Window->SetSeedSource([] { return 99; });
    Press("New (regenerate)");
    Stroke({{30, 30}, {90, 40}, {100, 100}});
    Choose("BrushMode", "Smooth");
    Stroke({{64, 20}, {64, 110}});
    const std::vector<float> shape = MeshHeights(*Terrain);
    const uint32_t id = Terrain->GetId();

    FileAnswers.push_back(Path("sculpt.qstn").toStdString());
    Click("File", "Save As...");
    YesNoAnswers.push_back(true);
    Click("File", "New");
    FileAnswers.push_back(Path("sculpt.qstn").toStdString());
    Click("File", "Open...");
    Settle();

    Terrain = dynamic_cast<TSceneObject*>(Form->Scene().FindNodeById(id));
    ASSERT_NE(Terrain, nullptr);
    ASSERT_EQ(Terrain->PrimType, ptTerrain);
    ASSERT_NE(Terrain->GetHeightmap(), nullptr);
    const std::vector<float> loaded = MeshHeights(*Terrain);
    ASSERT_EQ(loaded.size(), shape.size());
    for (size_t i = 0; i < shape.size(); ++i)
        ASSERT_NEAR(loaded[i], shape[i], 1e-5f) << "vertex " << i;

    // The editor shows that shape: its map scaled by the height is the mesh, and closing
    // it or painting far away keeps the rest of the sculpt.
    Form->SelectNode(id);
    Click("View", "Terrain Editor...");
    Window = OpenWindow();
    ASSERT_NE(Window, nullptr);
    Window->SetClock([this] { return Clock; });
    ASSERT_EQ(Map().GetResolution(), 128);
    for (int i = 0; i < 128 * 128; i += 97)
        ASSERT_NEAR(Map().Data()[i] * Terrain->TerrainHeight, shape[i], 1e-5f) << "cell " << i;
    // Paint on the mesh (as the paint page would) is not wiped by Apply or Close when
    // the map did not change.
    Terrain->GetBaseMesh()->Vertices[7].Color = Vec3(1, 0, 0);
    Press("Apply");
    Press("Close");
    Settle();
    EXPECT_EQ(MeshHeights(*Terrain), loaded) << "nothing changed, nothing rebuilt";
    EXPECT_EQ(Terrain->GetBaseMesh()->Vertices[7].Color, Vec3(1, 0, 0));

    Click("View", "Terrain Editor...");
    Window = OpenWindow();
    Window->SetClock([this] { return Clock; });
    Stroke({{5, 5}});
    const std::vector<float> after = MeshHeights(*Terrain);
    for (int y = 40; y < 128; y += 7)
        for (int x = 40; x < 128; x += 5)
            ASSERT_NEAR(after[y * 128 + x], shape[y * 128 + x], 1e-5f) << x << ", " << y;
}

TEST_F(TerrainWindowTest, WholeMapButtonsErosionAndThePreviewColours)
{
    Choose("GridResolution", "32");
    ASSERT_EQ(Map().GetResolution(), 32);
    THeightmap expected(32);
    std::copy(Map().Data(), Map().Data() + Map().CellCount(), expected.Data());

    Press("Round Edges");
    ApplyEdgeShape(&expected, 0.2f);
    expected.Clamp(0.0f, 1.0f);
    EXPECT_EQ(HeightsOf(Map()), HeightsOf(expected));
    EXPECT_EQ(Map().Get(0, 0), 0.0f);
    EXPECT_EQ(Map().Get(31, 31), 0.0f);

    Bar("ErosionAmount")->setValue(80);
    Bar("ErosionRadius")->setValue(3);
    EXPECT_EQ(Window->findChild<QLabel*>("ErosionAmountValue")->text(),
              QLocale().toString(0.8, 'f', 2));
    Press("Erode (global)");
    ErodeTerrain(&expected, 200, 3, 0.8f);
    EXPECT_EQ(HeightsOf(Map()), HeightsOf(expected));
    EXPECT_EQ(MeshHeights(*Terrain), BuiltHeights());

    Press("Lower All");
    LowerTerrain(&expected, 0.05f);
    expected.Clamp(0.0f, 1.0f);
    EXPECT_EQ(HeightsOf(Map()), HeightsOf(expected));

    // Painted up to the top, the heights stop at 1 and the preview shows the top colour.
    Bar("BrushFlow")->setValue(100);
    Bar("BrushHardness")->setValue(100);
    for (int i = 0; i < 15; ++i)
        Stroke({{16, 16}});
    EXPECT_EQ(Map().Get(16, 16), 1.0f);
    Window->Preview()->grab();  // paints
    const int pixel = 16 * 511 / 31 + 1;
    EXPECT_EQ(Window->Preview()->Picture().pixel(pixel, pixel) & 0xFFFFFFu, 0xFFA0FFu);

    // With contours, the lines show in the preview.
    QTest::mouseClick(Window->findChild<QCheckBox*>(), Qt::LeftButton, {}, QPoint(8, 8));
    EXPECT_TRUE(Window->Preview()->Contours());
    Window->Preview()->grab();
    EXPECT_EQ(Window->Preview()->Picture().pixel(pixel, pixel) & 0xFFFFFFu, 0u);
}
