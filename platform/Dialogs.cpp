#include "Dialogs.h"

#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>

namespace {
Dialogs*& replacement()
{
    static Dialogs* d = nullptr;
    return d;
}

QString runFileDialog(QWidget* parent, const Dialogs::FileRequest& request, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(parent, request.caption);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilters(request.nameFilters);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}
} // namespace

Dialogs::Answer Dialogs::message(QWidget* parent, const QString& text, const QString& caption, Icon icon,
                                 Buttons buttons)
{
    QMessageBox box(parent);
    box.setWindowTitle(caption);
    box.setText(text);
    switch (icon) {
    case Icon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Icon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    if (buttons == Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return Answer::Ok;
}

QString Dialogs::openFileName(QWidget* parent, const FileRequest& request)
{
    return runFileDialog(parent, request, QFileDialog::AcceptOpen);
}

QString Dialogs::saveFileName(QWidget* parent, const FileRequest& request)
{
    return runFileDialog(parent, request, QFileDialog::AcceptSave);
}

std::optional<QFont> Dialogs::font(QWidget* parent, const QFont& initial)
{
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, initial, parent);
    if (!ok)
        return std::nullopt;
    return chosen;
}

Dialogs& dialogs()
{
    static Dialogs real;
    return replacement() ? *replacement() : real;
}

void setDialogs(Dialogs* d)
{
    replacement() = d;
}

void showError(QWidget* parent, const QString& text)
{
    dialogs().message(parent, text, kProgramTitle, Dialogs::Icon::Critical, Dialogs::Buttons::Ok);
}
