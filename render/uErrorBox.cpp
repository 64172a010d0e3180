#include "render/uErrorBox.h"

#include <QMessageBox>

namespace {
TErrorBoxHandler& Handler()
{
    static TErrorBoxHandler h;
    return h;
}
}  // namespace

void SetErrorBoxHandler(TErrorBoxHandler h)
{
    Handler() = std::move(h);
}

void ShowErrorBox(QWidget* Parent, const std::string& Message)
{
    try {
        if (Handler()) {
            Handler()(Parent, Message);
            return;
        }
        QMessageBox::critical(Parent, QStringLiteral("Quillstone"),
                              QString::fromStdString(Message));
    } catch (...) {
        // Nothing may leave an error report.
    }
}
