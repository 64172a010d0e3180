// One QApplication for every window test; tests run in a real X server.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // As the program does: every GL view shares one set of textures.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
