#pragma once
// An off-screen GL 2.1 compatibility context with a depth-buffered frame buffer of the
// given size, current and bound while it lives. Make it after the application object.
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QSurfaceFormat>

#include <memory>

class TBenchGLTarget {
public:
    TBenchGLTarget(int Width, int Height)
    {
        QSurfaceFormat f;
        f.setProfile(QSurfaceFormat::CompatibilityProfile);
        f.setVersion(2, 1);
        f.setDepthBufferSize(24);
        Surface.setFormat(f);
        Surface.create();
        Context.setFormat(f);
        Context.create();
        Context.makeCurrent(&Surface);
        Fbo = std::make_unique<QOpenGLFramebufferObject>(Width, Height,
                                                         QOpenGLFramebufferObject::Depth);
        Fbo->bind();
    }
    QOffscreenSurface Surface;
    QOpenGLContext Context;
    std::unique_ptr<QOpenGLFramebufferObject> Fbo;
};
