#include "editor/api/uEditorDialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

#include <vector>

namespace {

// "PNG Image (*.png)" without its " (*.png)": names may show their patterns already.
std::string WithoutShownPatterns(const std::string& Name)
{
    if (Name.size() < 2 || Name.back() != ')')
        return Name;
    const size_t open = Name.rfind('(');
    if (open == std::string::npos)
        return Name;
    const std::string inside = Name.substr(open + 1, Name.size() - open - 2);
    bool patterns = inside.find('*') != std::string::npos;
    size_t start = 0;
    while (patterns && start < inside.size()) {
        size_t end = inside.find_first_of(" ;", start);
        if (end == std::string::npos)
            end = inside.size();
        if (end > start && inside.substr(start, end - start).find('*') == std::string::npos)
            patterns = false;
        start = end + 1;
    }
    if (!patterns)
        return Name;
    size_t cut = open;
    while (cut > 0 && Name[cut - 1] == ' ')
        --cut;
    return Name.substr(0, cut);
}

}  // namespace

std::string QtFileFilter(const std::string& Filter)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t bar = Filter.find('|', start);
        parts.push_back(
            Filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos)
            break;
        start = bar + 1;
    }
    std::string result;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        std::string patterns = parts[i + 1];
        for (size_t p = 0; (p = patterns.find(';', p)) != std::string::npos;)
            patterns[p] = ' ';
        if (patterns == "*.*")
            patterns = "*";
        if (!result.empty())
            result += ";;";
        result += WithoutShownPatterns(parts[i]) + " (" + patterns + ")";
    }
    return result;
}

TEditorDialogs StandardEditorDialogs()
{
    TEditorDialogs d;
    d.OpenFileName = [](QWidget* parent, const std::string& filter, const std::string& caption) {
        QFileDialog dialog(parent);
        if (!caption.empty())
            dialog.setWindowTitle(QString::fromStdString(caption));
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setNameFilter(QString::fromStdString(QtFileFilter(filter)));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::string();
        return dialog.selectedFiles().first().toStdString();
    };
    d.SaveFileName = [](QWidget* parent, const std::string& filter, const std::string& ext) {
        QFileDialog dialog(parent);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setNameFilter(QString::fromStdString(QtFileFilter(filter)));
        dialog.setDefaultSuffix(QString::fromStdString(ext));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::string();
        return dialog.selectedFiles().first().toStdString();
    };
    d.AskYesNo = [](QWidget* parent, const std::string& caption, const std::string& text) {
        return QMessageBox::question(parent, QString::fromStdString(caption),
                                     QString::fromStdString(text),
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
    d.AskSaveChanges = [](QWidget* parent, const std::string& caption, const std::string& text) {
        const auto answer = QMessageBox::question(
            parent, QString::fromStdString(caption), QString::fromStdString(text),
            QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
        return answer == QMessageBox::Save      ? TSaveChangesAnswer::Save
               : answer == QMessageBox::Discard ? TSaveChangesAnswer::Discard
                                                : TSaveChangesAnswer::Cancel;
    };
    d.Inform = [](QWidget* parent, const std::string& caption, const std::string& text) {
        QMessageBox::information(parent, QString::fromStdString(caption),
                                 QString::fromStdString(text));
    };
    d.ShowError = [](QWidget* parent, const std::string& caption, const std::string& text) {
        QMessageBox::critical(parent, QString::fromStdString(caption),
                              QString::fromStdString(text));
    };
    d.Warn = [](QWidget* parent, const std::string& caption, const std::string& text) {
        QMessageBox::warning(parent, QString::fromStdString(caption), QString::fromStdString(text));
    };
    d.InputBox = [](QWidget* parent, const std::string& caption, const std::string& prompt,
                    const std::string& value) {
        bool ok = false;
        const QString text = QInputDialog::getText(
            parent, QString::fromStdString(caption), QString::fromStdString(prompt),
            QLineEdit::Normal, QString::fromStdString(value), &ok);
        return ok ? text.toStdString() : value;
    };
    return d;
}
