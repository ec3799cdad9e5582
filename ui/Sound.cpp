#include "Sound.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QSoundEffect>

namespace {
std::function<void(const QString&)>& replacement()
{
    static std::function<void(const QString&)> p;
    return p;
}
} // namespace

QUrl soundSource(const QString& name)
{
    const QString local = QCoreApplication::applicationDirPath() + QStringLiteral("/sounds/") + name;
    if (QFileInfo::exists(local))
        return QUrl::fromLocalFile(local);
    return QUrl(QStringLiteral("qrc:/sounds/") + name);
}

void playSystemSound(const QString& name)
{
    if (replacement()) {
        replacement()(name);
        return;
    }
    // The effect belongs to the application and goes with it: one that outlived it would be
    // destroyed by the exit handlers after Qt Multimedia's sample cache, and corrupt the heap.
    static QPointer<QSoundEffect> effect;
    if (!effect)
        effect = new QSoundEffect(QCoreApplication::instance());
    effect->stop();
    effect->setSource(soundSource(name));
    effect->play();
}

void setSoundPlayer(std::function<void(const QString&)> player)
{
    replacement() = std::move(player);
}
