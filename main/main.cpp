#include "D_main.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    InitApplication();

    TfrmMain mainWindow;
    mainWindow.createToolWindows();
    mainWindow.show();
    return app.exec();
}
