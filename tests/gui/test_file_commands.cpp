// File > New, Open, Save and Save As as a user meets them, with the file dialogs and
// message boxes answered from a script: the saved file is read back, a refused file
// leaves the open project as it was, and an opened scene keeps the camera it was saved
// with.
#include "base/uCommandHistory.h"
#include "base/uDocumentIds.h"
#include "document/uProjectDocument.h"
#include "editor/uStatusBar.h"
#include "main_form_test_support.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifierStack.h"
#include "scene/uSceneObject.h"
#include "tests/document/hostile_scene_files.h"

#include <QFile>
#include <QFileInfo>

namespace {

class FileCommandsTest : public MainFormFixture {
protected:
    // The scene as another document reads it from the file.
    std::vector<std::string> NamesInFile(const QString& File, TVec3* Camera = nullptr)
    {
        TProjectDocument doc;
        doc.LoadFromFile(File.toStdString());
        std::vector<std::string> names;
        for (TSceneNode* n : doc.GetScene().GetNodes())
            if (n != doc.GetScene().GetRoot())
                names.push_back(n->Name);
        if (Camera)
            *Camera = doc.GetScene().CameraPosition;
        return names;
    }
    // Runs the frame loop for Ms milliseconds of its clock, a tick every 250 ms.
    void RunFrameLoop(uint64_t Ms)
    {
        for (uint64_t t = 0; t < Ms; t += 250) {
            Now += 250;
            Form->FrameLoop()->FrameTimerTick();
        }
    }
    QString AutosaveFile() const { return Path("Quillstone.autosave.qstn"); }
    size_t CallsOf(const std::string& Kind) const
    {
        size_t n = 0;
        for (const TDialogCall& c : Calls)
            n += c.Kind == Kind;
        return n;
    }
};

void ExpectVec(const TVec3& a, const TVec3& b)
{
    EXPECT_FLOAT_EQ(a.X, b.X);
    EXPECT_FLOAT_EQ(a.Y, b.Y);
    EXPECT_FLOAT_EQ(a.Z, b.Z);
}

}  // namespace

TEST_F(FileCommandsTest, SaveAsWritesTheSceneAndLaterSavesReuseTheName)
{
    Click("Create", "Sphere");
    const QString file = Path("first.qstn");
    FileAnswers = {file.toStdString()};
    Click("File", "Save As...");

    ASSERT_EQ(CallsOf("save"), 1u);
    EXPECT_EQ(Calls.back().Caption, "qstn");
    EXPECT_EQ(Calls.back().Text, "Quillstone Scene|*.qstn");
    EXPECT_EQ(Form->ProjectFileName(), file.toStdString());
    EXPECT_FALSE(Form->Document().IsModified());
    EXPECT_EQ(Form->StatusPanels()->PanelText(TStatusBar::spSelection), "Saved: first.qstn");
    TVec3 camera{};
    EXPECT_EQ(NamesInFile(file, &camera), NodeNames());
    ExpectVec(camera, Form->Camera().Position);

    // Save on a named project asks for nothing and writes to the same file.
    Click("Create", "Cone");
    EXPECT_TRUE(Form->Document().IsModified());
    Click("File", "Save");
    EXPECT_EQ(CallsOf("save"), 1u);
    EXPECT_FALSE(Form->Document().IsModified());
    EXPECT_EQ(NamesInFile(file), NodeNames());
    EXPECT_EQ(NodeNames().size(), 3u);
}

TEST_F(FileCommandsTest, SaveOfANewProjectAsksOnceAndACancelChangesNothing)
{
    FileAnswers = {""};
    Click("File", "Save");
    EXPECT_EQ(CallsOf("save"), 1u);
    EXPECT_TRUE(Form->ProjectFileName().empty());
    EXPECT_TRUE(QDir(Folder.path()).entryList(QDir::Files).isEmpty());

    const QString file = Path("named.qstn");
    FileAnswers = {file.toStdString()};
    Click("File", "Save");
    Click("File", "Save");
    EXPECT_EQ(CallsOf("save"), 2u);
    EXPECT_TRUE(QFileInfo::exists(file));
}

TEST_F(FileCommandsTest, SaveErrorReachesTheErrorBoxAndKeepsTheProjectModified)
{
    const std::string file = Path("no such folder/scene.qstn").toStdString();
    FileAnswers = {file};
    Click("File", "Save As...");
    ASSERT_EQ(Errors.size(), 1u);
    Errors.clear();
    EXPECT_TRUE(Form->Document().IsModified());
    EXPECT_EQ(Form->ProjectFileName(), file);
}

TEST_F(FileCommandsTest, NewAsksAndClearsTheProjectOnlyOnYes)
{
    FileAnswers = {Path("before.qstn").toStdString()};
    Click("File", "Save As...");
    Click("Create", "Torus");
    Click("Create", "Group");
    const std::vector<std::string> before = NodeNames();

    YesNoAnswers = {false};
    Click("File", "New");
    ASSERT_EQ(Calls.back().Kind, "ask");
    EXPECT_EQ(Calls.back().Caption, "New");
    EXPECT_EQ(Calls.back().Text, "Clear the scene?");
    EXPECT_EQ(NodeNames(), before);

    Click("View", "Shaded");
    YesNoAnswers = {true};
    Click("File", "New");
    EXPECT_TRUE(NodeNames().empty());
    EXPECT_TRUE(Form->ProjectFileName().empty());
    EXPECT_FALSE(Form->Document().IsModified());
    EXPECT_FALSE(Form->Document().GetHistory().CanUndo());
    EXPECT_EQ(DisplayMode, 0);  // the display mode stays
    EXPECT_EQ(Form->StatusPanels()->PanelText(TStatusBar::spObjects), "Objects: 0");

    // New asks even when nothing changed.
    Click("File", "New");
    EXPECT_EQ(Calls.back().Caption, "New");
}

TEST_F(FileCommandsTest, OpenLoadsTheSceneAndKeepsTheCameraItWasSavedWith)
{
    Click("Create", "Sphere");
    Form->Camera().Position = Vec3(6, 4, -3);
    Form->Camera().Yaw = 130;
    Form->Camera().Pitch = -35;
    const QString file = Path("camera.qstn");
    FileAnswers = {file.toStdString()};
    Click("File", "Save As...");
    const std::vector<std::string> saved = NodeNames();

    YesNoAnswers = {true};
    Click("File", "New");
    Form->Camera().ResetToDefaults();
    Calls.clear();

    // An empty scene is replaced without a question.
    FileAnswers = {file.toStdString()};
    Click("File", "Open...");
    ASSERT_EQ(Calls.size(), 1u);
    EXPECT_EQ(Calls[0].Kind, "open");
    EXPECT_EQ(Calls[0].Text, "Quillstone Scene|*.qstn|All files|*.*");
    EXPECT_EQ(NodeNames(), saved);
    EXPECT_EQ(Form->ProjectFileName(), file.toStdString());
    EXPECT_FALSE(Form->Document().IsModified());

    // The first object is selected, and the camera stays where the file put it.
    TSceneObject* first = Form->Scene().GetFirstObject();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(Form->Scene().GetSelectedObject(), first);
    ExpectVec(Form->Camera().Position, Vec3(6, 4, -3));
    EXPECT_FLOAT_EQ(Form->Camera().Yaw, 130);
    EXPECT_FLOAT_EQ(Form->Camera().Pitch, -35);
    // Orbiting turns about a point straight ahead, as far away as the object.
    const TVec3 ahead = Vec3Add(Form->Camera().Position, Vec3Scale(Form->Camera().CameraForward(),
                                                                   Form->Camera().OrbitDistance));
    ExpectVec(Form->Camera().OrbitPivot, ahead);
    EXPECT_NEAR(Form->Camera().OrbitDistance,
                Vec3Length(Vec3Sub(first->GetPosition(), Vec3(6, 4, -3))), 1e-4);
}

TEST_F(FileCommandsTest, OpenWithTheCameraAtTheOriginFramesTheFirstObject)
{
    Form->Camera().Position = Vec3(0, 0, 0);
    const QString file = Path("origin.qstn");
    FileAnswers = {file.toStdString()};
    Click("File", "Save As...");
    Form->Camera().ResetToDefaults();

    YesNoAnswers = {true};
    FileAnswers = {file.toStdString()};
    Click("File", "Open...");
    TSceneObject* first = Form->Scene().GetFirstObject();
    ASSERT_NE(first, nullptr);
    ExpectVec(Form->Camera().OrbitPivot, first->GetPosition());
    EXPECT_GT(Vec3Length(Form->Camera().Position), 1.0f);
}

TEST_F(FileCommandsTest, OpenAsksOverAnyNodeAndACancelOrNoChangesNothing)
{
    const QString file = Path("other.qstn");
    FileAnswers = {file.toStdString()};
    Click("File", "Save As...");
    Click("Create", "Plane");
    const std::vector<std::string> before = NodeNames();
    Calls.clear();

    FileAnswers = {""};
    Click("File", "Open...");
    ASSERT_EQ(Calls.size(), 1u);  // a cancelled dialog asks nothing more

    FileAnswers = {file.toStdString()};
    YesNoAnswers = {false};
    Click("File", "Open...");
    ASSERT_EQ(Calls.size(), 3u);
    EXPECT_EQ(Calls[2].Kind, "ask");
    EXPECT_EQ(Calls[2].Caption, "Open");
    EXPECT_EQ(Calls[2].Text, "Load scene? Current unsaved changes will be lost.");
    EXPECT_EQ(NodeNames(), before);
}

TEST_F(FileCommandsTest, ARefusedFileLeavesTheOpenProjectAsItWas)
{
    const QString good = Path("good.qstn");
    FileAnswers = {good.toStdString()};
    Click("File", "Save As...");
    Click("Create", "Cylinder");
    Click("Create", "Group");
    const std::vector<std::string> before = NodeNames();
    const size_t undoSteps = Form->Document().GetHistory().UndoCount();
    const TVec3 camera = Form->Camera().Position;

    struct TCase {
        const char* Name;
        QByteArray Content;
    };
    const TCase cases[] = {
        {"garbage.qstn", "this is not a scene\n"},
        {"empty.qstn", ""},
        {"newer.qstn", "#Quillstone\nVERSION 99\n"},
    };
    for (const TCase& c : cases) {
        QFile f(Path(c.Name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.Content);
        f.close();
        Calls.clear();
        FileAnswers = {f.fileName().toStdString()};
        YesNoAnswers = {true};
        Click("File", "Open...");
        ASSERT_FALSE(Calls.empty()) << c.Name;
        EXPECT_EQ(Calls.back().Kind, "error") << c.Name;
        EXPECT_EQ(Calls.back().Caption, "Open Error");
        EXPECT_EQ(Calls.back().Text.rfind("Error loading: ", 0), 0u) << Calls.back().Text;
        EXPECT_GT(Calls.back().Text.size(), std::string("Error loading: ").size());
        EXPECT_EQ(NodeNames(), before) << c.Name;
        EXPECT_EQ(Form->ProjectFileName(), good.toStdString());
        EXPECT_EQ(Form->Document().GetHistory().UndoCount(), undoSteps);
        EXPECT_TRUE(Form->Document().IsModified());
        ExpectVec(Form->Camera().Position, camera);
    }
    // A file that is not there is refused the same way.
    Calls.clear();
    FileAnswers = {Path("missing.qstn").toStdString()};
    YesNoAnswers = {true};
    Click("File", "Open...");
    EXPECT_EQ(Calls.back().Caption, "Open Error");
    EXPECT_EQ(NodeNames(), before);
}

TEST_F(FileCommandsTest, QuitWithUnsavedWorkAsksFirst)
{
    const QString file = Path("work.qstn");
    FileAnswers = {file.toStdString()};
    Click("File", "Save As...");
    const std::vector<std::string> saved = NamesInFile(file);
    Click("Create", "Sphere");
    ASSERT_TRUE(Form->Document().IsModified());

    // Cancel: the editor stays, with the work.
    SaveAnswers = {TSaveChangesAnswer::Cancel};
    Click("File", "Quit");
    ASSERT_EQ(CallsOf("asksave"), 1u);
    EXPECT_EQ(Calls.back().Caption, "Quit");
    EXPECT_EQ(Calls.back().Text, "The scene has unsaved changes. Save them before quitting?");
    EXPECT_TRUE(Form->isVisible());
    EXPECT_TRUE(Form->Document().IsModified());

    // The window's close box asks the same; a failed save keeps the editor open.
    QFile::remove(file);
    QDir().mkpath(file);  // a folder where the file was: the save is refused
    SaveAnswers = {TSaveChangesAnswer::Save};
    Form->close();
    EXPECT_EQ(CallsOf("asksave"), 2u);
    ASSERT_EQ(Errors.size(), 1u);
    Errors.clear();
    EXPECT_TRUE(Form->isVisible());
    QDir().rmdir(file);

    // Save: the work is in the file, then the window closes.
    SaveAnswers = {TSaveChangesAnswer::Save};
    Click("File", "Quit");
    EXPECT_FALSE(Form->isVisible());
    EXPECT_EQ(NamesInFile(file), NodeNames());
    EXPECT_NE(NamesInFile(file), saved);
}

TEST_F(FileCommandsTest, QuitDiscardsOnlyWhenTold)
{
    // A project never saved: Save asks for a name, and cancelling that keeps the editor.
    Click("Create", "Cube");
    SaveAnswers = {TSaveChangesAnswer::Save};
    FileAnswers = {""};
    Click("File", "Quit");
    EXPECT_EQ(CallsOf("save"), 1u);
    EXPECT_TRUE(Form->isVisible());

    SaveAnswers = {TSaveChangesAnswer::Discard};
    Click("File", "Quit");
    EXPECT_FALSE(Form->isVisible());
    EXPECT_TRUE(QDir(Folder.path()).entryList(QDir::Files).isEmpty());

    // Nothing unsaved: no question.
    Form->show();
    const QString file = Path("clean.qstn");
    FileAnswers = {file.toStdString()};
    Click("File", "Save As...");
    Click("File", "Quit");
    EXPECT_EQ(CallsOf("asksave"), 2u);
    EXPECT_FALSE(Form->isVisible());
}

TEST_F(FileCommandsTest, AFileWhoseStacksPassTheBudgetOpensAndSaysWhatWasLeftOut)
{
    // One sphere smoothed 3000 times over: its stack is held, the rest of the file loads.
    std::string text = "#Quillstone\r\nVERSION 8\r\nNOENV\r\nNOTEX\r\nNODES 1\r\n"
                       "BEGINNODE\r\nID 7\r\nTYPE object\r\nPARENT 0\r\nNAME Ball\r\n"
                       "POS 0 0 0\r\nROT 0 0 0\r\nSCL 1 1 1\r\nVIS 1\r\nLOCK 0\r\nPRIM 1\r\n"
                       "COLOR 1 0 0\r\nTEXID 0\r\nBLEND 0\r\nSEL 0\r\n0\r\nMODS 3001\r\n"
                       "BEGINMOD subdivide 1\r\nID 0\r\nENABLED 1\r\nLevels=4\r\nENDMOD\r\n";
    for (int i = 0; i < 3000; ++i)
        text += "BEGINMOD smooth 1\r\nID 0\r\nENABLED 1\r\nIterations=100\r\nENDMOD\r\n";
    text += "ENDNODE\r\n";
    QFile f(Path("smooth.qstn"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray::fromStdString(text));
    f.close();
    Calls.clear();
    FileAnswers = {f.fileName().toStdString()};
    YesNoAnswers = {true};
    // A small work bound: the default one is seconds of smoothing.
    Form->Document().SetEvaluationBudget({4000000, 4000000, 30000000});
    Click("File", "Open...");
    ASSERT_FALSE(Calls.empty());
    EXPECT_EQ(Calls.back().Kind, "inform");
    EXPECT_EQ(Calls.back().Caption, "Open");
    EXPECT_NE(Calls.back().Text.find("Ball"), std::string::npos) << Calls.back().Text;
    EXPECT_EQ(Form->ProjectFileName(), f.fileName().toStdString());
    auto* ball = dynamic_cast<TSceneObject*>(Form->Scene().GetFirstObject());
    ASSERT_NE(ball, nullptr);
    EXPECT_EQ(ball->GetModifiers().Count(), 3001);
    EXPECT_TRUE(ball->IsEvaluationHeld());
    EXPECT_EQ(ball->GetEvaluatedMesh(), ball->GetBaseMesh());
}

TEST_F(FileCommandsTest, AutosaveWritesOnlyAProjectChangedSinceTheLastAutosaveOpenOrSave)
{
    Form->FrameLoop()->Start();
    Click("Create", "Sphere");
    const QString file = Path("work.qstn");
    FileAnswers = {file.toStdString()};
    Click("File", "Save As...");

    // Saved and untouched: a minute of ticks writes no autosave.
    RunFrameLoop(61000);
    EXPECT_FALSE(QFileInfo::exists(AutosaveFile()));

    // An edit is autosaved at the next 30 s check, once.
    Click("Create", "Cone");
    RunFrameLoop(31000);
    ASSERT_TRUE(QFileInfo::exists(AutosaveFile()));
    EXPECT_EQ(NamesInFile(AutosaveFile()), NodeNames());
    EXPECT_TRUE(Form->Document().IsModified());  // an autosave is no save
    ASSERT_TRUE(QFile::remove(AutosaveFile()));
    RunFrameLoop(61000);
    EXPECT_FALSE(QFileInfo::exists(AutosaveFile()));

    // An edit that leaves the revision alone, as a modifier settings window's.
    emit Form->Events().DocumentEdited();
    RunFrameLoop(31000);
    ASSERT_TRUE(QFileInfo::exists(AutosaveFile()));
    ASSERT_TRUE(QFile::remove(AutosaveFile()));

    // Saved, then opened: nothing to autosave until the next edit.
    Click("File", "Save");
    RunFrameLoop(61000);
    EXPECT_FALSE(QFileInfo::exists(AutosaveFile()));
    YesNoAnswers = {true};
    FileAnswers = {file.toStdString()};
    Click("File", "Open...");
    ASSERT_EQ(NodeNames().size(), 3u);
    RunFrameLoop(61000);
    EXPECT_FALSE(QFileInfo::exists(AutosaveFile()));
    Click("Create", "Cube");
    RunFrameLoop(31000);
    EXPECT_TRUE(QFileInfo::exists(AutosaveFile()));
}

// A file whose ids reach the top of the range leaves that project unable to make more
// nodes, but File > New and File > Open start afresh: the next project makes its own.
TEST_F(FileCommandsTest, TopOfRangeIdsOfOneFileDoNotOutliveItsProject)
{
    const TDocumentIdCounters ids = SnapshotDocumentIds();
    const std::string top = Path("top.qstn").toStdString();
    HostileFiles::WriteTopIds(top, GetModifierDescriptor(0).TypeId);
    FileAnswers = {top};
    YesNoAnswers = {true};
    Click("File", "Open...");
    ASSERT_NE(Form->Document().GetScene().FindNodeById(4294967294u), nullptr);

    YesNoAnswers = {true};
    Click("File", "New");
    Calls.clear();
    Click("Create", "Cube");
    EXPECT_TRUE(Calls.empty()) << Calls.back().Text;
    ASSERT_EQ(Form->Document().GetScene().NodeCount(), 1);
    EXPECT_EQ(Form->Document().GetScene().GetNodes()[1]->GetId(), 1u);

    // Open of another file after the top-of-range one: new nodes follow its own ids.
    FileAnswers = {top};
    YesNoAnswers = {true};
    Click("File", "Open...");
    const QString small = Path("small.qstn");
    {
        QFile f(small);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#Quillstone\r\nVERSION 8\r\nNOENV\r\nNOTEX\r\nNODES 1\r\n");
        f.write(HostileFiles::GroupBlock(40, "Forty").c_str());
    }
    FileAnswers = {small.toStdString()};
    YesNoAnswers = {true};
    Click("File", "Open...");
    Calls.clear();
    Click("Create", "Cube");
    EXPECT_TRUE(Calls.empty()) << Calls.back().Text;
    EXPECT_NE(Form->Document().GetScene().FindNodeById(41), nullptr);
    RestoreDocumentIds(ids);
}
