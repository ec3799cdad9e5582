#pragma once

#include "Dialogs.h"

#include <QList>
#include <QString>

#include <deque>
#include <functional>
#include <optional>

class QWidget;

// Message boxes and standard dialogs answered by script; every message is recorded.
class ScriptedDialogs : public Dialogs {
public:
    ScriptedDialogs();
    ~ScriptedDialogs() override;

    struct Message {
        QString text;
        QString caption;
        Icon icon;
        Buttons buttons;
    };
    Answer message(QWidget*, const QString& text, const QString& caption, Icon icon,
                   Buttons buttons) override;
    QString openFileName(QWidget*, const FileRequest& request) override;
    QString saveFileName(QWidget*, const FileRequest& request) override;
    std::optional<FontChoice> font(QWidget*, const FontChoice& initial) override;

    QList<Message> messages;
    std::deque<Answer> answers;            // Yes/No answers; Yes when the script has none left
    std::deque<QString> fileNames;         // empty entries cancel
    std::optional<FontChoice> fontAnswer;  // the answer to every font dialog
    std::optional<FontChoice> fontOffered; // what the last font dialog was given
    QList<FileRequest> fileRequests;
    std::function<void(const Message&)> onMessage; // runs while the box is "open"
};

// Runs `act` on the communication settings dialog once it is shown modally (its exec() runs
// after the caller has handed control to it).
void whenDialogShown(std::function<void(QWidget*)> act);
