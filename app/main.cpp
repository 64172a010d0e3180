// Program entry: the application object and the main window, then the message loop.
#include "editor/uEditorStart.h"
#include "editor/uMainForm.h"
#include "render/uGLDriverPin.h"

#include <QApplication>

#include <memory>

int main(int argc, char** argv)
{
    PrepareEditorApplication();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillstone"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quillstone"));

    std::unique_ptr<TMainForm> form = OpenEditorWindow();
    if (!form)
        return 1;
    const int result = app.exec();
    KeepGLDriverMappedForLeakCheck();
    form.reset();
    return result;
}
