#pragma once

#include "ProgramTitle.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

// The message boxes and standard dialogs of the program, behind one interface so tests can
// answer them by script. The real ones run nested event loops, so reception goes on inside them.
class Dialogs {
public:
    enum class Icon { None, Information, Warning, Critical };
    enum class Buttons { Ok, YesNo };
    enum class Answer { Ok, Yes, No };

    struct FileRequest {
        QString caption;
        QStringList nameFilters;      // the first one is selected
        QString defaultSuffix;        // appended to a name typed without an extension
        QString fileName;             // preset name
        bool confirmOverwrite = true; // a save dialog asks before it names an existing file
    };

    virtual ~Dialogs() = default;
    virtual Answer message(QWidget* parent, const QString& text, const QString& caption, Icon icon,
                           Buttons buttons);
    // Empty when the user cancels.
    virtual QString openFileName(QWidget* parent, const FileRequest& request);
    // Asks before overwriting an existing file unless told not to; empty when the user cancels.
    virtual QString saveFileName(QWidget* parent, const FileRequest& request);
    // The monitor's font with its colour.
    struct FontChoice {
        QFont font;
        QColor colour;
    };
    // Empty when the user cancels.
    virtual std::optional<FontChoice> font(QWidget* parent, const FontChoice& initial);
};

// The dialogs in use: the real ones unless a test has put its own in place.
[[nodiscard]] Dialogs& dialogs();
void setDialogs(Dialogs* replacement);

// Asks for a CSV file to save ("Save As") or to open ("Open"), proposing the name given; the
// chosen file's absolute path, empty when the user cancelled.
[[nodiscard]] QString chooseCsvFile(QWidget* parent, bool forSaving, const QString& proposed);

// The application's general error display: the message with the program's title.
void showError(QWidget* parent, const QString& text);
