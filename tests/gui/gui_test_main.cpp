// One QApplication for every window test; tests run in a real X server.
#include "editor/uApplicationFont.h"
#include "gl_test_support.h"

#include <QApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // As the program does: every GL view shares one set of textures.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    ApplyApplicationFont();  // the windows as the program shows them
    ::testing::InitGoogleTest(&argc, argv);

    // Load the GL driver once and keep it for the whole run, so that the leak checker
    // at exit still sees its libraries by name (see gl_test_support.h).
    QOffscreenSurface surface;
    surface.create();
    QOpenGLContext context;
    if (context.create() && context.makeCurrent(&surface)) {
        PinLoadedLibraries();
        context.doneCurrent();
    }
    return RUN_ALL_TESTS();
}
