// Program entry. The main window arrives with the editor; until then this only opens
// the application.
#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Quillstone");
    return 0;
}
