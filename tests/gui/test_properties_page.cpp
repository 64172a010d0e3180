// The Properties page driven as a user does: typed fields, Apply and the lists.
#include "editor/uPaintPage.h"
#include "editor/uPropertiesPage.h"
#include "editor_window_fixture.h"
#include "scene/uAnimationRecorder.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTabWidget>

namespace {

class PropertiesPageTest : public EditorWindowTest {
public:
    void TearDown() override
    {
        QLocale::setDefault(QLocale::c());
        EditorWindowTest::TearDown();
    }
    template <class W = QLineEdit>
    W* Control(const char* Name) const
    {
        W* w = Form->findChild<W*>(QString::fromLatin1(Name));
        EXPECT_NE(w, nullptr) << Name;
        return w;
    }
    void Type(const char* Field, const QString& Text)
    {
        QLineEdit* edit = Control(Field);
        edit->setFocus();
        edit->selectAll();
        if (Text.isEmpty())
            QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, Text);
    }
    void Apply() { QTest::mouseClick(Control<QPushButton>("ApplyButton"), Qt::LeftButton); }
    QString Info() const { return Control<QLabel>("PropertiesInfo")->text(); }
    // Modelling on with these elements selected, as the modelling mode leaves it.
    void Model(int SubMode, std::vector<int32_t> Elements)
    {
        TEditorSelection& s = Form->Selection();
        s.ModelingOn = true;
        s.ModelingSubMode = SubMode;
        s.ClearElements();
        (SubMode == msVertices ? s.SelectedVertices
         : SubMode == msEdges  ? s.SelectedEdges
                               : s.SelectedFaces) = Elements;
        emit Form->Events().SelectionChanged();
    }
    // A user's choice in a list: the item becomes current and the list reports it.
    void Choose(const char* Combo, int Index)
    {
        auto* combo = Control<QComboBox>(Combo);
        combo->setCurrentIndex(Index);
        emit combo->activated(Index);
    }
    TMeshData& Mesh() const { return *Cube->GetBaseMesh(); }
};

}  // namespace

TEST_F(PropertiesPageTest, TheObjectViewShowsTheTransformAndApplyRefusesBadText)
{
    Cube->SetRotationY(12.345f);
    emit Form->Events().DocumentEdited();
    EXPECT_EQ(Info().toStdString(), Cube->Name);
    EXPECT_EQ(Control("PosYEdit")->text(), "0.50");
    EXPECT_EQ(Control("RotYEdit")->text(), "12.3");
    EXPECT_EQ(Control("SclXEdit")->text(), "1.00");
    EXPECT_TRUE(Control<QComboBox>("BlendCombo")->isVisible());
    EXPECT_FALSE(Control("ColorREdit")->isVisible());

    float z = 0.25f;
    for (const char* bad : {"abc", "nan", "inf", "-inf", "1e39", "", "1,2,3", "2x"}) {
        Type("PosXEdit", QString::fromLatin1(bad));
        Type("PosZEdit", QString::number(z));
        Apply();
        EXPECT_EQ(Cube->GetPosition().X, 0.0f) << bad;
        EXPECT_EQ(Cube->GetPosition().Z, z) << bad;
        // The refresh shows the stored value again.
        EXPECT_EQ(Control("PosXEdit")->text(), "0.00") << bad;
        z += 0.25f;
    }
    // Fields left as shown are not written back rounded.
    EXPECT_EQ(Cube->GetRotation().Y, 12.345f);
    EXPECT_EQ(Cube->GetScale().X, 1.0f);
    // Only the touched property is recorded for keying.
    EXPECT_EQ(Form->Document().GetRecorder().Count(), 1);

    // The blend list sets the mode and nothing else.
    const TVec3 position = Cube->GetPosition();
    Choose("BlendCombo", 2);
    EXPECT_EQ(Cube->Blend, vcbTextureOnly);
    EXPECT_TRUE(SameVec(Cube->GetPosition(), position));

    // Nothing selected: the page says how to begin and offers no Apply.
    Key(Qt::Key_Escape);
    EXPECT_EQ(Info(), "Press Tab for modeling\n(select an object first)");
    EXPECT_FALSE(Control<QPushButton>("ApplyButton")->isVisible());
}

TEST_F(PropertiesPageTest, VertexColoursRoundTripInACommaLocaleAndClamp)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    for (TMeshVertex& v : Mesh().Vertices)
        v.Color = {0.85f, 0.55f, 0.3f};
    Model(msVertices, {0});
    EXPECT_EQ(Info(), "Vertex #0   Pos / Color");
    EXPECT_EQ(Control("ColorREdit")->text(), "0,850");
    EXPECT_EQ(Form->PanelTabs()->indexOf(&Form->PaintPage()), 2);  // the Paint page is offered
    EXPECT_FALSE(Control<QComboBox>("BlendCombo")->isVisible());

    // Apply without a change keeps the colour (it is read in the locale it is shown in).
    Mesh().Vertices[0].Color = {0.1f, 0.2f, 0.3f};
    Model(msVertices, {0});
    Apply();
    EXPECT_NEAR(Mesh().Vertices[0].Color.X, 0.1f, 1e-6f);
    EXPECT_NEAR(Mesh().Vertices[0].Color.Y, 0.2f, 1e-6f);
    // ... and reaches the vertices joined to vertex 0, and no other.
    const std::vector<int32_t> joined = Mesh().GetVertexNeighbours(0);
    for (size_t v = 1; v < Mesh().Vertices.size(); ++v) {
        const bool near = std::find(joined.begin(), joined.end(), int32_t(v)) != joined.end();
        EXPECT_EQ(Mesh().Vertices[v].Color.X == Mesh().Vertices[0].Color.X, near) << v;
    }
    // "." reads too; out-of-range channels clamp and text that is no number is 1.
    Type("ColorREdit", "1.5");
    Type("ColorGEdit", "-2");
    Type("ColorBEdit", "x");
    Apply();
    EXPECT_TRUE(SameVec(Mesh().Vertices[0].Color, {1, 0, 1}));
    Type("ColorREdit", "nan");
    Type("ColorGEdit", "0,25");
    Type("ColorBEdit", "inf");
    Apply();
    EXPECT_TRUE(SameVec(Mesh().Vertices[0].Color, {1, 0.25f, 1}));

    Model(msVertices, {0, 1});
    EXPECT_EQ(Info(), "2 vertices selected (apply to all + connected)");
    EXPECT_EQ(Control("ColorREdit")->text(), "");
}

TEST_F(PropertiesPageTest, SeveralFacesKeepTheirTexturesUnlessATextureIsChosen)
{
    Mesh().Faces[0].TexId = 2;
    Mesh().Faces[1].TexId = 3;
    Model(msFaces, {0});
    EXPECT_EQ(Info(), "Face #0   Color / TexID");
    EXPECT_EQ(Control<QLabel>("FaceLabel")->text(), "TexID: 2");
    EXPECT_EQ(Control<QComboBox>("FaceTextureCombo")->currentText(), "2");

    Model(msFaces, {0, 1});
    EXPECT_EQ(Info(), "2 faces selected (apply to all)");
    EXPECT_EQ(Control<QComboBox>("FaceTextureCombo")->currentText(), "");
    Type("ColorREdit", "0.5");
    Type("ColorGEdit", "0.5");
    Type("ColorBEdit", "0.5");
    Apply();
    EXPECT_EQ(Mesh().Faces[0].TexId, 2);
    EXPECT_EQ(Mesh().Faces[1].TexId, 3);
    EXPECT_EQ(Mesh().Vertices[size_t(Mesh().Faces[1].Indices[0])].Color.X, 0.5f);

    // "0 = none" takes the textures off and leaves the colours.
    Type("ColorREdit", "0.9");
    Choose("FaceTextureCombo", 0);
    EXPECT_EQ(Mesh().Faces[0].TexId, 0);
    EXPECT_EQ(Mesh().Faces[1].TexId, 0);
    EXPECT_EQ(Mesh().Vertices[size_t(Mesh().Faces[1].Indices[0])].Color.X, 0.5f);
    EXPECT_EQ(Mesh().Faces[2].TexId, 0);
}

TEST_F(PropertiesPageTest, EdgeViewsAndNoObject)
{
    const TMeshEdge e = Mesh().Edges[2];
    Model(msEdges, {2});
    EXPECT_EQ(Info(), "Edge #2");
    EXPECT_EQ(Control<QLabel>("EdgeLabel")->text(), QStringLiteral("V0: %1").arg(e.V0));
    EXPECT_EQ(Control<QLabel>("EdgeLabel2")->text(), QStringLiteral("V1: %1").arg(e.V1));
    EXPECT_FALSE(Control("PosXEdit")->isVisible());
    Model(msEdges, {2, 3});
    EXPECT_EQ(Info(), "2 edges selected (apply to endpoints)");
    EXPECT_EQ(Control<QLabel>("EdgeLabel")->text(), "");
    EXPECT_EQ(Control<QLabel>("EdgeLabel2")->text(), "");
    // An index outside the mesh leaves the page as it was.
    Model(msEdges, {99999});
    EXPECT_EQ(Info(), "2 edges selected (apply to endpoints)");

    Form->SelectNode(0);
    Model(msEdges, {});
    EXPECT_EQ(Info(), "No object selected");
    EXPECT_FALSE(Control<QPushButton>("ApplyButton")->isVisible());
}

TEST_F(PropertiesPageTest, TheFaceUVButtonsEditTheSelectedFaces)
{
    const TMeshFace before = Mesh().Faces[0];
    const TMeshFace other = Mesh().Faces[1];
    Model(msFaces, {0});
    auto* mirrorU = Control<QPushButton>("FaceUVButton1");
    ASSERT_TRUE(mirrorU->isVisible());
    EXPECT_EQ(mirrorU->text(), "MirU");
    QTest::mouseClick(mirrorU, Qt::LeftButton);
    for (int c = 0; c < before.Count; ++c) {
        EXPECT_EQ(Mesh().Faces[0].UVs[size_t(c)].U, 1 - before.UVs[size_t(c)].U) << c;
        EXPECT_EQ(Mesh().Faces[0].UVs[size_t(c)].V, before.UVs[size_t(c)].V) << c;
    }
    EXPECT_TRUE(Mesh().Faces[1] == other);
}

TEST_F(PropertiesPageTest, RefreshStackReevaluatesTheSelectedObject)
{
    auto* refresh = Control<QPushButton>("RefreshStackButton");
    ASSERT_TRUE(refresh->isVisible());
    Cube->MarkMeshDirty();
    QTest::mouseClick(refresh, Qt::LeftButton);
    EXPECT_FALSE(Cube->IsMeshDirty());
    Model(msVertices, {});
    EXPECT_FALSE(refresh->isVisible());  // modelling has no stack to refresh
}

// The pages a fresh window offers, and the page that shows when modelling ends. A page not
// offered is not in the page control at all.
TEST_F(PropertiesPageTest, PaintIsOfferedOnlyWhileModelling)
{
    QTabWidget* tabs = Form->PanelTabs();
    const auto offered = [&] {
        QStringList captions;
        for (int i = 0; i < tabs->count(); ++i)
            captions << tabs->tabText(i);
        return captions;
    };
    const QStringList withoutPaint = {"Properties", "Modifiers"},
                      all = {"Properties", "Modifiers", "Paint"};
    EXPECT_FALSE(Form->Selection().ModelingOn);
    EXPECT_EQ(offered(), withoutPaint);
    EXPECT_EQ(tabs->currentIndex(), 0);

    Key(Qt::Key_F5);
    ASSERT_TRUE(Form->Selection().ModelingOn);
    EXPECT_EQ(offered(), all);
    EXPECT_EQ(tabs->currentIndex(), 0);  // offering Paint does not show it
    tabs->setCurrentWidget(&Form->PaintPage());
    Key(Qt::Key_F5);
    ASSERT_FALSE(Form->Selection().ModelingOn);
    EXPECT_EQ(offered(), withoutPaint);
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_FALSE(Form->PaintPage().isVisible());

    // Another page than Paint stays where it is.
    Key(Qt::Key_F5);
    tabs->setCurrentIndex(1);
    Key(Qt::Key_F5);
    EXPECT_EQ(tabs->currentIndex(), 1);
    EXPECT_EQ(tabs->tabText(1), "Modifiers");
    // ... also when Paint comes back after it.
    Key(Qt::Key_F5);
    EXPECT_EQ(offered(), all);
    EXPECT_EQ(tabs->currentIndex(), 1);
}

// Apply gives the keyboard back to the view, so the next Space keys what Apply touched.
TEST_F(PropertiesPageTest, SpaceRightAfterApplyKeysTheTouchedProperties)
{
    auto* touched = Control<QLabel>("TouchedLabel");
    Type("PosXEdit", "3");
    Apply();
    EXPECT_EQ(Cube->GetPosition().X, 3.0f);
    EXPECT_EQ(touched->text(), "Touched: 1");
    // Space goes where the keyboard is, as a user's key does.
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    QTest::keyClick(focus, Qt::Key_Space);
    EXPECT_EQ(Form->Document().GetRecorder().Count(), 0);
    EXPECT_EQ(touched->text(), "Touched: 0");
    EXPECT_FALSE(Form->Document().GetProjectTime().Playing);
    EXPECT_EQ(Form->Document().GetHistory().NextUndo() != nullptr, true);
}

// A typed value that would leave a world matrix non-finite (a cube inside a group at
// X = 3e38 with scale 1e20) is refused with its message: the cube keeps its transform,
// the page shows it again and nothing is recorded for keying.
TEST_F(PropertiesPageTest, ATypedValueThatWouldOverflowAWorldMatrixIsRefused)
{
    TScene& scene = Form->Scene();
    TSceneGroup* far = scene.CreateGroup("Far", nullptr, 0);
    far->SetTransform({3e38f, 0, 0}, {0, 0, 0}, {1e20f, 1, 1});
    scene.ReparentNode(Cube, far, 0, true);
    Form->SelectNode(Cube->GetId());
    const TVec3 position = Cube->GetPosition(), scale = Cube->GetScale();
    const struct {
        const char* Field;
        const char* Typed;
        const char* Property;
        const char* Shown;
    } rows[] = {{"PosXEdit", "3e38", "Position X", "0.00"},
                {"SclXEdit", "1e20", "Scale X", "1.00"}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.Field);
        Type(r.Field, QString::fromLatin1(r.Typed));
        Apply();
        ASSERT_EQ(Errors.size(), 1u);
        EXPECT_EQ(Errors[0], std::string("Unable to set ") + r.Property +
                                 ": the world matrix of \"" + Cube->Name +
                                 "\" would not be finite.");
        Errors.clear();
        EXPECT_TRUE(SameVec(Cube->GetPosition(), position));
        EXPECT_TRUE(SameVec(Cube->GetScale(), scale));
        EXPECT_EQ(Control(r.Field)->text(), r.Shown);
    }
    EXPECT_EQ(Form->Document().GetRecorder().Count(), 0);
    // A value that keeps every matrix finite is taken.
    Type("PosXEdit", QStringLiteral("-1"));
    Apply();
    EXPECT_EQ(Cube->GetPosition().X, -1.0f);
}
