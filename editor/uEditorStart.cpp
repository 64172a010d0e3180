#include "editor/uEditorStart.h"

#include "editor/uApplicationFont.h"
#include "editor/uInstallSubsystems.h"
#include "editor/uMainForm.h"
#include "render/uErrorBox.h"
#include "render/uGLView.h"

#include <QCoreApplication>
#include <QSurfaceFormat>

void PrepareEditorApplication()
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QSurfaceFormat::setDefaultFormat(TGLView::EditorSurfaceFormat());
}

std::unique_ptr<TMainForm> OpenEditorWindow()
{
    ApplyApplicationFont();
    std::unique_ptr<TMainForm> form;
    RunGuarded(nullptr, [&] {
        form = std::make_unique<TMainForm>();
        InstallSubsystemWindows(*form);
        form->show();
    });
    return form;
}
