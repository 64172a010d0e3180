#pragma once
// A shown main window whose dialogs answer from a script, and the menu actions a user
// would click.
#include "editor/modes/uModelingMode.h"
#include "editor/modes/uObjectTransformMode.h"
#include "editor/uInstallSubsystems.h"
#include "editor/uMainForm.h"
#include "editor/uSceneTreePanel.h"
#include "editor/uTimelinePanel.h"
#include "editor/uViewportInput.h"
#include "gl_test_support.h"
#include "render/uErrorBox.h"
#include "render/uGLView.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

// The menu items that open the tool windows (creating a terrain opens its editor).
struct TToolWindowMenuItem {
    const char* Menu;
    const char* Item;
};
inline constexpr TToolWindowMenuItem kToolWindowMenuItems[] = {
    {"View", "Cinematic Window..."}, {"View", "Environment..."},
    {"View", "Camera..."},           {"View", "Textures..."},
    {"Tools", "Texture Ripper..."},  {"Tools", "Floor Plan Builder..."},
    {"Create", "Terrain"},
};

// What a dialog was asked, in order.
struct TDialogCall {
    std::string Kind;  // "open", "save", "ask", "inform", "error", "warn"
    std::string Caption;
    std::string Text;
};

class MainFormFixture : public ::testing::Test {
protected:
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
        TEditorDialogs& d = Form->Dialogs();
        d.OpenFileName = [this](QWidget*, const std::string& filter, const std::string& caption) {
            Calls.push_back({"open", caption, filter});
            return Next(FileAnswers);
        };
        d.SaveFileName = [this](QWidget*, const std::string& filter, const std::string& ext) {
            Calls.push_back({"save", ext, filter});
            return Next(FileAnswers);
        };
        d.AskYesNo = [this](QWidget*, const std::string& caption, const std::string& text) {
            Calls.push_back({"ask", caption, text});
            if (YesNoAnswers.empty())
                return false;
            const bool yes = YesNoAnswers.front();
            YesNoAnswers.pop_front();
            return yes;
        };
        d.AskSaveChanges = [this](QWidget*, const std::string& caption, const std::string& text) {
            Calls.push_back({"asksave", caption, text});
            // Unscripted, the work is dropped as the window closes (tests that close it).
            if (SaveAnswers.empty())
                return TSaveChangesAnswer::Discard;
            const TSaveChangesAnswer a = SaveAnswers.front();
            SaveAnswers.pop_front();
            return a;
        };
        d.Inform = [this](QWidget*, const std::string& caption, const std::string& text) {
            Calls.push_back({"inform", caption, text});
        };
        d.ShowError = [this](QWidget*, const std::string& caption, const std::string& text) {
            Calls.push_back({"error", caption, text});
        };
        d.Warn = [this](QWidget*, const std::string& caption, const std::string& text) {
            Calls.push_back({"warn", caption, text});
        };
        Form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
        Form->GLView()->grabFramebuffer();
        PinLoadedLibraries();
    }
    void TearDown() override
    {
        Form.reset();
        SetErrorBoxHandler(nullptr);
        EXPECT_TRUE(Errors.empty()) << Errors.front();
    }

    // The item of a menu of the menu bar ("Edit", "Grid Size/0.25" reaches a submenu).
    QAction* MenuItem(const QString& Menu, const QString& Path) const
    {
        QMenu* menu = TopMenu(Menu);
        if (!menu)
            return nullptr;
        const QStringList parts = Path.split('/');
        for (int i = 0; i < parts.size(); ++i) {
            QAction* found = nullptr;
            for (QAction* a : menu->actions())
                if (a->text() == parts[i])
                    found = a;
            if (!found)
                return nullptr;
            if (i + 1 == parts.size())
                return found;
            menu = found->menu();
            if (!menu)
                return nullptr;
        }
        return nullptr;
    }
    QMenu* TopMenu(const QString& Title) const
    {
        for (QAction* a : Form->menuBar()->actions())
            if (a->text() == Title)
                return a->menu();
        return nullptr;
    }
    // Clicks a menu item; fails the test when there is none.
    void Click(const QString& Menu, const QString& Path)
    {
        QAction* a = MenuItem(Menu, Path);
        ASSERT_NE(a, nullptr) << Menu.toStdString() << " > " << Path.toStdString();
        ASSERT_TRUE(a->isEnabled());
        a->trigger();
    }
    std::vector<std::string> NodeNames() const
    {
        std::vector<std::string> names;
        for (TSceneNode* n : Form->Scene().GetNodes())
            if (n != Form->Scene().GetRoot())
                names.push_back(n->Name);
        return names;
    }
    QString Path(const char* Name) const { return Folder.filePath(QString::fromLatin1(Name)); }

    static std::string Next(std::deque<std::string>& Answers)
    {
        if (Answers.empty())
            return std::string();
        std::string a = Answers.front();
        Answers.pop_front();
        return a;
    }

    QTemporaryDir Folder;
    std::vector<std::string> Errors;
    std::vector<TDialogCall> Calls;
    std::deque<std::string> FileAnswers;         // empty string = cancelled
    std::deque<bool> YesNoAnswers;               // none left = No
    std::deque<TSaveChangesAnswer> SaveAnswers;  // none left = Discard
    uint64_t Now = 1000;                         // the frame loop's clock, in ms
    std::unique_ptr<TMainForm> Form;
};
