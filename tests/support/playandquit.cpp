// A child process for the sound test: plays one sound through the real player in a real
// application, quits while it plays, and exits as the program does.
#include "Sound.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    playSystemSound(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("chimes.wav"));
    QTimer::singleShot(200, &app, &QCoreApplication::quit);
    return app.exec();
}
