#pragma once
// Help > About...: a small fixed dialog with the program's two pictures, its version and
// a credit line.
#include <QDialog>

class QLabel;
class QPushButton;

// Where the two pictures are read from; tests point them elsewhere.
extern const char* AboutPicturePath;  // a JPEG
extern const char* LogoPicturePath;   // a PNG

class TAboutForm : public QDialog {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget* Parent = nullptr);

    QLabel* AboutPicture = nullptr;
    QLabel* LogoPicture = nullptr;
    QLabel* VersionLabel = nullptr;
    QLabel* CreditLabel = nullptr;
    QPushButton* CloseButton = nullptr;

private:
    void FormCreate();
};

// Shows the dialog modally and frees it afterwards.
void ShowAboutBox();
