#include "Sound.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSoundEffect>

#include <memory>

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
    static std::unique_ptr<QSoundEffect> effect;
    if (!effect)
        effect = std::make_unique<QSoundEffect>();
    effect->stop();
    effect->setSource(soundSource(name));
    effect->play();
}

void setSoundPlayer(std::function<void(const QString&)> player)
{
    replacement() = std::move(player);
}
