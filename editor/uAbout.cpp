#include "editor/uAbout.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

#include <memory>

// The pictures live in a static library: their registration must be pulled in by name.
static void InitAboutResources()
{
    Q_INIT_RESOURCE(about);
}

const char* AboutPicturePath = ":/about/about.jpg";
const char* LogoPicturePath = ":/about/logo.png";

namespace {

constexpr int ClientWidth = 360;
constexpr int ClientHeight = 400;

// The picture scaled to fit the label, proportions kept; the label stays empty when the
// data is missing or cannot be read.
void LoadPicture(QLabel* Label, const char* Path, const char* Format)
{
    QFile file(QString::fromLatin1(Path));
    if (!file.open(QIODevice::ReadOnly))
        return;
    QImage image;
    if (!image.loadFromData(file.readAll(), Format) || image.isNull())
        return;
    const QPixmap pixmap = QPixmap::fromImage(image).scaled(Label->size(), Qt::KeepAspectRatio,
                                                            Qt::SmoothTransformation);
    Label->setPixmap(pixmap);
}

}  // namespace

TAboutForm::TAboutForm(QWidget* Parent) : QDialog(Parent)
{
    FormCreate();
}

void TAboutForm::FormCreate()
{
    InitAboutResources();
    setWindowTitle(QStringLiteral("About Quillstone"));
    setFixedSize(ClientWidth, ClientHeight);
    setSizeGripEnabled(false);

    AboutPicture = new QLabel(this);
    AboutPicture->setObjectName(QStringLiteral("AboutPicture"));
    AboutPicture->setGeometry(16, 16, ClientWidth - 32, 168);
    AboutPicture->setAlignment(Qt::AlignCenter);

    LogoPicture = new QLabel(this);
    LogoPicture->setObjectName(QStringLiteral("LogoPicture"));
    LogoPicture->setGeometry((ClientWidth - 200) / 2, AboutPicture->geometry().bottom() + 1 + 16,
                             200, 40);
    LogoPicture->setAlignment(Qt::AlignCenter);

    VersionLabel = new QLabel(QStringLiteral("Version 0.1.62"), this);
    VersionLabel->setObjectName(QStringLiteral("VersionLabel"));
    VersionLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    VersionLabel->setGeometry(16, LogoPicture->geometry().bottom() + 1 + 16, ClientWidth - 32, 20);

    CreditLabel = new QLabel(QStringLiteral("Made with Qt and OpenGL"), this);
    CreditLabel->setObjectName(QStringLiteral("CreditLabel"));
    CreditLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    CreditLabel->setStyleSheet(QStringLiteral("color: #808080;"));
    CreditLabel->setGeometry(16, VersionLabel->y() + 22, ClientWidth - 32, 20);

    CloseButton = new QPushButton(QStringLiteral("OK"), this);
    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    CloseButton->setDefault(true);
    const int h = CloseButton->sizeHint().height();
    CloseButton->setGeometry((ClientWidth - 80) / 2, ClientHeight - h - 16, 80, h);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);

    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(ClientWidth / 2, ClientHeight / 2));

    // Each picture on its own: one that cannot be read leaves only itself empty.
    LoadPicture(AboutPicture, AboutPicturePath, "JPG");
    LoadPicture(LogoPicture, LogoPicturePath, "PNG");
}

void ShowAboutBox()
{
    auto form = std::make_unique<TAboutForm>();
    form->exec();
}
