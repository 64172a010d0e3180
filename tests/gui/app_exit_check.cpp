// The program's own start and quit, as the entry point runs them, with damaged files
// opened in between: run under LeakSanitizer, the process must exit with nothing leaked.
#include "editor/api/uEditorDialogs.h"
#include "editor/uEditorStart.h"
#include "editor/uMainForm.h"
#include "render/uGLDriverPin.h"
#include "tests/document/hostile_scene_files.h"

#include <QAction>
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

QAction* FindAction(QWidget* Window, const QString& Text)
{
    for (QAction* a : Window->findChildren<QAction*>())
        if (a->text() == Text)
            return a;
    return nullptr;
}

void WriteText(const std::string& Path, const std::string& Text)
{
    std::ofstream(Path, std::ios::binary) << Text;
}

}  // namespace

int main(int argc, char** argv)
{
    PrepareEditorApplication();
    QApplication app(argc, argv);

    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    std::vector<std::string> files = {folder + "/truncated.qstn", folder + "/texture.qstn"};
    WriteText(files[0], std::string(HostileFiles::kHead) + "NODES 1\r\nBEGINNODE\r\nID 5\r\n");
    WriteText(folder + "/broken.png", "\x89PNG\r\n\x1a\n broken");
    WriteText(files[1],
              "#Quillstone\r\nVERSION 8\r\nNOENV\r\nTEX\r\n1\r\n0 broken.png\r\nNODES 0\r\n");

    std::unique_ptr<TMainForm> form = OpenEditorWindow();
    if (!form)
        return 1;
    size_t next = 0;
    TEditorDialogs& dialogs = form->Dialogs();
    dialogs.OpenFileName = [&](QWidget*, const std::string&, const std::string&) {
        return next < files.size() ? files[next++] : std::string();
    };
    dialogs.AskYesNo = [](QWidget*, const std::string&, const std::string&) { return true; };
    dialogs.AskSaveChanges = [](QWidget*, const std::string&, const std::string&) {
        return TSaveChangesAnswer::Discard;
    };
    const auto print = [](QWidget*, const std::string& Caption, const std::string& Text) {
        std::fprintf(stderr, "[%s] %s\n", Caption.c_str(), Text.c_str());
    };
    dialogs.ShowError = print;
    dialogs.Inform = print;
    dialogs.Warn = print;

    QAction* open = FindAction(form.get(), "Open...");
    QAction* quit = FindAction(form.get(), "Quit");
    if (!open || !quit)
        return 2;
    QTimer::singleShot(500, [&] {
        for (size_t i = 0; i < files.size(); ++i)
            open->trigger();
        QTimer::singleShot(500, quit, &QAction::trigger);
    });
    const int result = app.exec();
    KeepGLDriverMappedForLeakCheck();
    form.reset();
    return result;
}
