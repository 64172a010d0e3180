// The window's checkable controls worked through the accessibility interface, as a screen
// reader or switch access works them: each activation runs the control's handler, and the
// control shows the editor's state afterwards.
#include "accessibility_support.h"
#include "editor_window_fixture.h"

#include <QCheckBox>
#include <QRadioButton>
#include <QToolButton>

namespace {

class AccessibilityTest : public EditorWindowTest {
protected:
    template <class W = QToolButton>
    W* Control(const char* Name) const
    {
        W* w = Form->findChild<W*>(QString::fromLatin1(Name));
        EXPECT_NE(w, nullptr) << Name;
        return w;
    }
    static void Act(QWidget* W) { AccessibleToggle(W); }
    bool Checked(const char* Name) const { return Control(Name)->isChecked(); }
    TEditorSelection& Sel() const { return Form->Selection(); }
};

TEST_F(AccessibilityTest, TheToolButtonsChooseTheTool)
{
    const struct {
        const char* Button;
        TGizmoMode Tool;
    } cases[] = {{"ToolButtonScale", gmScale},
                 {"ToolButtonRotate", gmRotate},
                 {"ToolButtonSelect", gmSelect},
                 {"ToolButtonMove", gmMove},
                 // Working the current tool's button keeps that tool.
                 {"ToolButtonMove", gmMove}};
    for (const auto& c : cases) {
        Act(Control(c.Button));
        EXPECT_EQ(Form->ObjectTransform().Tool(), c.Tool) << c.Button;
        for (QToolButton* b : Form->ToolButtons())
            EXPECT_EQ(b->isChecked(), b->objectName() == QLatin1String(c.Button))
                << c.Button << " " << b->objectName().toStdString();
    }
}

TEST_F(AccessibilityTest, EditAndTheSubModeButtonsFollowModelling)
{
    Act(Control("ToolButtonEdit"));
    ASSERT_TRUE(Sel().ModelingOn);
    EXPECT_TRUE(Checked("ToolButtonEdit"));
    EXPECT_EQ(Sel().ModelingSubMode, msFaces);

    const struct {
        const char* Button;
        int SubMode;
    } cases[] = {{"ToolButtonVert", msVertices},
                 {"ToolButtonEdge", msEdges},
                 {"ToolButtonFace", msFaces},
                 {"ToolButtonFace", msFaces}};
    for (const auto& c : cases) {
        Sel().SelectedFaces = {0};
        Act(Control(c.Button));
        EXPECT_EQ(Sel().ModelingSubMode, c.SubMode) << c.Button;
        EXPECT_TRUE(Sel().SelectedFaces.empty()) << c.Button;  // a choice clears the selection
        for (const char* b : {"ToolButtonVert", "ToolButtonEdge", "ToolButtonFace"})
            EXPECT_EQ(Checked(b), std::string(b) == c.Button) << c.Button << " " << b;
    }

    // The mouse goes the same way, also on the button that is down.
    QTest::mouseClick(Control("ToolButtonEdge"), Qt::LeftButton);
    EXPECT_EQ(Sel().ModelingSubMode, msEdges);
    EXPECT_FALSE(Checked("ToolButtonFace"));
    Sel().SelectedEdges = {0};
    QTest::mouseClick(Control("ToolButtonEdge"), Qt::LeftButton);
    EXPECT_TRUE(Checked("ToolButtonEdge"));
    EXPECT_TRUE(Sel().SelectedEdges.empty());

    Act(Control("ToolButtonEdit"));
    EXPECT_FALSE(Sel().ModelingOn);
    EXPECT_FALSE(Checked("ToolButtonEdit"));

    // Without a selected object modelling does not start, and "Edit" stays up.
    Key(Qt::Key_Escape);
    Act(Control("ToolButtonEdit"));
    EXPECT_FALSE(Sel().ModelingOn);
    EXPECT_FALSE(Checked("ToolButtonEdit"));
    EXPECT_EQ(Form->StatusPanels()->PanelText(0), "Select an object first, then press Tab");
}

TEST_F(AccessibilityTest, ThePaintToolsAndTheTimelineChecks)
{
    for (int tool : {1, 2, 0}) {
        Act(Form->findChild<QRadioButton*>(QStringLiteral("PaintTool%1").arg(tool)));
        EXPECT_EQ(Sel().PaintMode, tool);
    }
    auto* loop = Control<QCheckBox>("LoopProjectCheck");
    const bool looped = Form->Document().GetProjectTime().GetLoopTimeline();
    Act(loop);
    EXPECT_EQ(Form->Document().GetProjectTime().GetLoopTimeline(), !looped);
    EXPECT_EQ(loop->isChecked(), !looped);
    Act(loop);
    EXPECT_EQ(Form->Document().GetProjectTime().GetLoopTimeline(), looped);
}

}  // namespace
