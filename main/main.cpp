#include "D_main.h"
#include "D_rem.h"
#include "D_survey.h"
#include "Monitor.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZelvoTerm"));
    QApplication::setApplicationDisplayName(TfrmMain::kTitle);

    TfrmMain mainWindow;
    new TfrmRem(&mainWindow);
    auto* survey = new TfrmSurvey(&mainWindow);
    survey->clearMainMonitor = [&mainWindow] { mainWindow.monitor()->clearLines(); };
    mainWindow.show();
    return app.exec();
}
