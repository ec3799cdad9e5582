#include "D_main.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZelvoTerm"));
    QApplication::setApplicationDisplayName(TfrmMain::kTitle);

    TfrmMain mainWindow;
    mainWindow.createToolWindows();
    mainWindow.show();
    return app.exec();
}
