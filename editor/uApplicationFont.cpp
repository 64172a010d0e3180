#include "editor/uApplicationFont.h"

#include <QApplication>
#include <QFont>

void ApplyApplicationFont()
{
    // At 11 pixels Liberation Sans fits every caption into the windows' fixed geometry;
    // DejaVu Sans, which every system with the toolkit has, stands in when it is missing.
    QFont font;
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    QApplication::setFont(font);
}
