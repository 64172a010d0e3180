#pragma once
// Support for tests that create OpenGL contexts.
//
// Mesa's driver is unloaded when the last context and display close, before the leak
// checker runs at exit; its allocations then show up as leaks in an unknown module that
// no suppression can name. Pinning every library loaded so far keeps them mapped, so
// their frames keep their library names and the suppressions in scripts/lsan.supp apply.
#include <dlfcn.h>
#include <link.h>

inline void PinLoadedLibraries()
{
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            if (info->dlpi_name && info->dlpi_name[0] != '\0')
                dlopen(info->dlpi_name, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QSurfaceFormat>
#include <memory>
#include <qopengl.h>

// A compatibility-profile context made current on an offscreen surface, for tests of
// immediate-mode drawing and texture uploads. Pending GL errors are cleared.
struct TGLTestContext {
    std::unique_ptr<QOffscreenSurface> surface;
    std::unique_ptr<QOpenGLContext> context;

    bool MakeCurrent()
    {
        QSurfaceFormat format;
        format.setProfile(QSurfaceFormat::CompatibilityProfile);
        format.setVersion(2, 1);
        surface = std::make_unique<QOffscreenSurface>();
        surface->setFormat(format);
        surface->create();
        context = std::make_unique<QOpenGLContext>();
        context->setFormat(format);
        if (!context->create() || !context->makeCurrent(surface.get()))
            return false;
        PinLoadedLibraries();
        while (glGetError() != GL_NO_ERROR) {
        }
        return true;
    }

    void DoneCurrent()
    {
        if (context)
            context->doneCurrent();
    }
};
