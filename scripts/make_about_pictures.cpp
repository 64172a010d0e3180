// Paints the about window's two pictures (editor/resources/about.jpg and logo.png).
// Build and run once by hand:
//   g++ -std=c++17 -fPIC scripts/make_about_pictures.cpp $(pkg-config --cflags --libs Qt6Gui) -o
//   /tmp/mkpic (cd editor/resources && QT_QPA_PLATFORM=offscreen /tmp/mkpic)
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    {
        QImage img(328, 168, QImage::Format_RGB32);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient sky(0, 0, 0, 168);
        sky.setColorAt(0, QColor(24, 32, 64));
        sky.setColorAt(0.6, QColor(88, 70, 120));
        sky.setColorAt(1, QColor(220, 140, 90));
        p.fillRect(img.rect(), sky);
        // A grid floor in perspective.
        p.setPen(QPen(QColor(255, 220, 180, 90), 1));
        for (int i = -12; i <= 12; ++i)
            p.drawLine(QPointF(164 + i * 6, 110), QPointF(164 + i * 40, 168));
        for (int j = 0; j < 8; ++j) {
            const double y = 110 + 58 * std::pow(j / 7.0, 1.8);
            p.drawLine(QPointF(0, y), QPointF(328, y));
        }
        // Three shaded solids.
        QRadialGradient ball(120, 80, 40, 108, 68);
        ball.setColorAt(0, QColor(250, 230, 200));
        ball.setColorAt(1, QColor(150, 60, 40));
        p.setPen(Qt::NoPen);
        p.setBrush(ball);
        p.drawEllipse(QPointF(120, 88), 30, 30);
        QPainterPath cube;
        cube.moveTo(190, 120);
        cube.lineTo(230, 108);
        cube.lineTo(230, 68);
        cube.lineTo(190, 80);
        cube.closeSubpath();
        p.setBrush(QColor(70, 130, 180));
        p.drawPath(cube);
        QPainterPath side;
        side.moveTo(230, 108);
        side.lineTo(258, 118);
        side.lineTo(258, 78);
        side.lineTo(230, 68);
        side.closeSubpath();
        p.setBrush(QColor(40, 90, 140));
        p.drawPath(side);
        QPainterPath top;
        top.moveTo(190, 80);
        top.lineTo(230, 68);
        top.lineTo(258, 78);
        top.lineTo(218, 90);
        top.closeSubpath();
        p.setBrush(QColor(120, 180, 220));
        p.drawPath(top);
        // A quill stroke across the sky.
        QPainterPath quill;
        quill.moveTo(30, 40);
        quill.cubicTo(90, 10, 200, 10, 300, 36);
        quill.cubicTo(200, 24, 100, 28, 30, 40);
        p.setBrush(QColor(255, 250, 235, 200));
        p.drawPath(quill);
        p.end();
        img.save("about.jpg", "JPG", 85);
    }
    {
        QImage img(400, 80, QImage::Format_ARGB32);
        img.fill(Qt::transparent);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        // A feather mark and the name drawn as strokes.
        QPainterPath feather;
        feather.moveTo(20, 70);
        feather.cubicTo(30, 30, 50, 12, 76, 8);
        feather.cubicTo(64, 30, 48, 54, 20, 70);
        QLinearGradient g(20, 70, 76, 8);
        g.setColorAt(0, QColor(40, 90, 160));
        g.setColorAt(1, QColor(120, 200, 240));
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawPath(feather);
        p.setPen(QPen(QColor(30, 40, 60), 2));
        p.drawLine(QPointF(20, 70), QPointF(60, 24));
        QFont f;
        f.setPixelSize(44);
        f.setBold(true);
        QPainterPath text;
        text.addText(96, 58, f, QStringLiteral("Quillstone"));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(50, 60, 80));
        p.drawPath(text);
        p.end();
        img.save("logo.png", "PNG");
    }
    return 0;
}
