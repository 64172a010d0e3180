// Program entry: the application object and the main window, then the message loop.
#include "editor/uApplicationFont.h"
#include "editor/uInstallSubsystems.h"
#include "editor/uMainForm.h"
#include "render/uErrorBox.h"
#include "render/uGLDriverPin.h"
#include "render/uGLView.h"

#include <QApplication>
#include <QSurfaceFormat>

#include <memory>

int main(int argc, char** argv)
{
    // Every GL view of the program shares one set of textures; this must be set before
    // the application object exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QSurfaceFormat::setDefaultFormat(TGLView::EditorSurfaceFormat());
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillstone"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quillstone"));
    ApplyApplicationFont();

    std::unique_ptr<TMainForm> form;
    RunGuarded(nullptr, [&] {
        form = std::make_unique<TMainForm>();
        InstallSubsystemWindows(*form);
        form->show();
    });
    if (!form)
        return 1;
    const int result = app.exec();
    KeepGLDriverMappedForLeakCheck();
    form.reset();
    return result;
}
