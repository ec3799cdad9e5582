#include "Dialogs.h"

#include <QBoxLayout>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>

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
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

// Qt's font chooser inside a dialog of ours. On its own, Enter and Esc would only hide the chooser
// and leave the dialog around it empty; here they accept or cancel that dialog.
class EmbeddedFontChooser : public QFontDialog {
public:
    EmbeddedFontChooser(const QFont& initial, QDialog* outer) : QFontDialog(initial, outer), m_outer(outer) {}

    void done(int result) override { m_outer->done(result); }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        // Enter in its text boxes: the chooser has no button of its own to take it.
        const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier)
            accept();
        else
            QFontDialog::keyPressEvent(event);
    }

private:
    QDialog* m_outer;
};
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

std::optional<Dialogs::FontChoice> Dialogs::font(QWidget* parent, const FontChoice& initial)
{
    // Qt's font dialog has no colour: it is shown inside a dialog of ours that adds one.
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("dlgFont"));
    dialog.setWindowTitle(QStringLiteral("フォント"));
    auto* fonts = new EmbeddedFontChooser(initial.font, &dialog);
    fonts->setObjectName(QStringLiteral("fontChooser"));
    fonts->setWindowFlags(Qt::Widget);
    fonts->setOptions(QFontDialog::NoButtons);
    fonts->setSizeGripEnabled(false);

    QColor colour = initial.colour;
    auto* colourButton = new QPushButton(QStringLiteral("色 (&Colour)..."), &dialog);
    colourButton->setObjectName(QStringLiteral("colourButton"));
    const auto showColour = [&] {
        QPixmap swatch(colourButton->iconSize());
        swatch.fill(colour);
        colourButton->setIcon(QIcon(swatch));
    };
    showColour();
    QObject::connect(colourButton, &QPushButton::clicked, &dialog, [&] {
        const QColor picked = QColorDialog::getColor(colour, &dialog, QStringLiteral("色"));
        if (picked.isValid()) {
            colour = picked;
            showColour();
        }
    });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(colourButton);
    bottom->addStretch(1);
    bottom->addWidget(buttons);
    auto* column = new QVBoxLayout(&dialog);
    column->addWidget(fonts);
    column->addLayout(bottom);

    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return FontChoice{fonts->currentFont(), colour};
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

QString chooseCsvFile(QWidget* parent, bool forSaving, const QString& proposed)
{
    const Dialogs::FileRequest request{forSaving ? QStringLiteral("Save As") : QStringLiteral("Open"),
                                       {QStringLiteral("CSV files (*.csv)"), QStringLiteral("All files (*)")},
                                       QStringLiteral("csv"),
                                       proposed};
    const QString chosen =
        forSaving ? dialogs().saveFileName(parent, request) : dialogs().openFileName(parent, request);
    return chosen.isEmpty() ? QString() : QFileInfo(chosen).absoluteFilePath();
}

void showError(QWidget* parent, const QString& text)
{
    dialogs().message(parent, text, kProgramTitle, Dialogs::Icon::Critical, Dialogs::Buttons::Ok);
}
