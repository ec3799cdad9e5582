// The monitor of the main window: received blocks, Monitor Clear, monitor files and font.
#include "MainWindow.h"

#include "BlockText.h"
#include "ClickLabel.h"
#include "Dialogs.h"
#include "FrameAssembler.h"
#include "FramesWindow.h"
#include "KeyPanel.h"
#include "LinkStatsWindow.h"
#include "LocalClock.h"
#include "MonitorFile.h"
#include "MonitorView.h"
#include "SurveyPanel.h"
#include "TextPanel.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFileInfo>
#include <QFontInfo>
#include <QLabel>
#include <QLocale>

namespace {
const QStringList kMonitorFileFilters = {QStringLiteral("ﾃｷｽﾄﾌｧｲﾙ (*.Txt)"),
                                         QStringLiteral("全てのﾌｧｲﾙ (*.*)")};
const QString kMonitorFileSuffix = QStringLiteral("Txt");

// The name with the default extension when it has none. The standard dialogs append it themselves;
// this covers dialogs that do not.
QString withDefaultSuffix(const QString& name)
{
    return QFileInfo(name).suffix().isEmpty() ? name + u'.' + kMonitorFileSuffix : name;
}

// A file without an extension that exists is opened as it is; otherwise the name gets the
// default extension, as a typed name does.
QString fileToOpen(const QString& chosen)
{
    const QString withSuffix = withDefaultSuffix(chosen);
    return QFileInfo::exists(withSuffix) || !QFileInfo(chosen).isFile() ? withSuffix : chosen;
}
} // namespace

void MainWindow::displayReceivedBlock(std::span<const uint8_t> block)
{
    if (m_linkStatsWindow)
        m_linkStatsWindow->countReceivedBlock(block);
    if (m_framesWindow)
        m_framesWindow->recordReceived(block);
    if (block.size() >= 4 && block[3] == 0x13) {
        // The panels read character positions of the hexadecimal rendering, whatever the mode.
        if (m_keyPanel && m_keyPanel->openFlag() == 1)
            m_keyPanel->showReceivedKey(renderBinary(block));
        else if (m_surveyPanel && m_surveyPanel->openFlag() == 1)
            m_surveyPanel->countReceivedKey(renderBinary(block));
    }
    QString stamp;
    if (timeStampBox->isChecked()) {
        // One reading of the clock gives both the text and the milliseconds, so a stamp never
        // lags the clock panel.
        const LocalClockReading now = readLocalClock();
        stamp = now.text + QString::asprintf(".%04d =>", now.msec);
    }
    // The log takes every line; the monitor may drop lines that its thousand-line rule empties.
    // Both keep a line as the bytes that came, so a saved monitor and the log open as shown.
    if (binaryMode()) {
        if (m_log.running())
            m_log.append(stamp.toLatin1() + renderBinaryBytes(block));
        // "Binary" lines keep their bytes; the monitor formats the part it shows.
        m_monitor->appendBinaryLine(stamp, block);
        return;
    }
    const QByteArray line = stamp.toLatin1() + renderTextBytes(block);
    if (m_log.running())
        m_log.append(line);
    m_monitor->appendLine(line);
}

void MainWindow::onMonitorClearClicked()
{
    m_monitor->clearLines();
    m_statusPanels->setPanelText(0, QString());
}

void MainWindow::showSourceId()
{
    sourceIdPanel->setText(formatId(receivedFrame.sourceId));
}

void MainWindow::showDestinationId()
{
    destinationIdPanel->setText(formatId(receivedFrame.destinationId));
}

void MainWindow::onOpenChosen()
{
    m_openFileName = m_saveFileName;
    Dialogs::FileRequest request{QString(), kMonitorFileFilters, kMonitorFileSuffix, m_openFileName};
    const QString chosen = dialogs().openFileName(this, request);
    if (chosen.isEmpty())
        return;
    const QString path = QFileInfo(fileToOpen(chosen)).absoluteFilePath();
    m_openFileName = path;
    const MonitorFileResult loaded = loadMonitorFile(path);
    if (!loaded.error.isEmpty()) {
        showError(this, loaded.error);
        return;
    }
    m_monitor->setLines(loaded.lines, loaded.original);
    m_statusPanels->setPanelText(1, path);
}

void MainWindow::onSaveAsChosen()
{
    m_saveFileName = m_openFileName;
    Dialogs::FileRequest request{QString(), kMonitorFileFilters, kMonitorFileSuffix, m_saveFileName};
    const QString chosen = dialogs().saveFileName(this, request);
    if (chosen.isEmpty())
        return;
    const QString path = QFileInfo(withDefaultSuffix(chosen)).absoluteFilePath();
    // Replacing the log's file would end the log and lose every line the monitor no longer holds.
    if (m_log.writesTo(path)) {
        showError(
            this,
            QStringLiteral("Cannot create file \"%1\". The session log is writing to this file.").arg(path));
        return;
    }
    // The dialog asked about the name it returned; an extension added here names another file.
    if (QFileInfo(path) != QFileInfo(chosen) && QFileInfo::exists(path) &&
        dialogs().message(this, QStringLiteral("%1 は既に存在します。\n上書きしますか?").arg(path),
                          QStringLiteral("名前を付けて保存"), Dialogs::Icon::Warning,
                          Dialogs::Buttons::YesNo) != Dialogs::Answer::Yes)
        return;
    m_saveFileName = path;
    if (const QString error = saveMonitorFile(path, m_monitor->content()); !error.isEmpty()) {
        showError(this, error);
        return;
    }
    m_statusPanels->setPanelText(1, path);
}

void MainWindow::onLogChosen()
{
    if (m_log.running()) {
        m_log.stop();
        showLogStopped();
        return;
    }
    logAction->setChecked(false);
    // A new name for every log, in the folder of the last one; a file chosen that exists is
    // appended to, so the dialog need not ask.
    const QString folder = m_logFileName.isEmpty() ? QString() : QFileInfo(m_logFileName).path() + u'/';
    const QString name = folder + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_hhmmss")) +
                         u'.' + kMonitorFileSuffix;
    Dialogs::FileRequest request{QStringLiteral("ログ記録 (Log)"), kMonitorFileFilters, kMonitorFileSuffix,
                                 name, false};
    const QString chosen = dialogs().saveFileName(this, request);
    if (chosen.isEmpty())
        return;
    const QString path = QFileInfo(withDefaultSuffix(chosen)).absoluteFilePath();
    m_logFileName = path;
    if (const QString error = m_log.start(path); !error.isEmpty()) {
        showError(this, error);
        return;
    }
    logAction->setChecked(true);
    logSizeLabel->setToolTip(path);
    logSizeLabel->show();
    m_logTimer.start();
    updateLogStatus();
}

void MainWindow::updateLogStatus()
{
    if (const QString failure = m_log.takeFailure(); !failure.isEmpty()) {
        showLogStopped();
        showError(this, failure);
        return;
    }
    logSizeLabel->setText(QStringLiteral("Log ") + QLocale::c().formattedDataSize(
                                                       m_log.size(), 1, QLocale::DataSizeTraditionalFormat));
}

void MainWindow::showLogStopped()
{
    m_logTimer.stop();
    logAction->setChecked(false);
    logSizeLabel->hide();
}

void MainWindow::onFontPanelDoubleClicked()
{
    const auto chosen = dialogs().font(this, {m_monitor->font(), m_monitor->palette().color(QPalette::Text)});
    if (!chosen)
        return;
    showMonitorFont(chosen->font, chosen->colour);
}

void MainWindow::showMonitorFont(const QFont& font, const QColor& colour)
{
    // A font given in pixels has no point size of its own; the size it shows at is meant.
    const int points = font.pointSize() > 0 ? font.pointSize() : QFontInfo(font).pointSize();
    fontPanel->setText(QStringLiteral("Size:%1").arg(points));
    m_monitor->setFont(font);
    // Without a colour of the user's the text keeps the palette's, which suits a dark desktop too.
    if (!colour.isValid())
        return;
    m_monitorColour = colour;
    // The monitor paints its text in its palette's text colour.
    QPalette palette = m_monitor->palette();
    palette.setColor(QPalette::Text, colour);
    m_monitor->setPalette(palette);
}
