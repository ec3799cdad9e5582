#include "ScriptedDialogs.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

ScriptedDialogs::ScriptedDialogs()
{
    setDialogs(this);
}

ScriptedDialogs::~ScriptedDialogs()
{
    setDialogs(nullptr);
}

Dialogs::Answer ScriptedDialogs::message(QWidget*, const QString& text, const QString& caption, Icon icon,
                                         Buttons buttons)
{
    messages.append({text, caption, icon, buttons});
    if (onMessage)
        onMessage(messages.last());
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    if (answers.empty())
        return Answer::Yes;
    const Answer a = answers.front();
    answers.pop_front();
    return a;
}

QString ScriptedDialogs::openFileName(QWidget*, const FileRequest& request)
{
    fileRequests.append(request);
    if (fileNames.empty())
        return {};
    const QString name = fileNames.front();
    fileNames.pop_front();
    return name;
}

QString ScriptedDialogs::saveFileName(QWidget* parent, const FileRequest& request)
{
    return openFileName(parent, request);
}

std::optional<Dialogs::FontChoice> ScriptedDialogs::font(QWidget*, const FontChoice& initial)
{
    fontOffered = initial;
    return fontAnswer;
}

void whenDialogShown(std::function<void(QWidget*)> act)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->objectName() == QLatin1String("commSettingsDialog")) {
            poll->stop();
            poll->deleteLater();
            act(modal);
        }
    });
    poll->start(10);
}
