#pragma once

#include <QString>

#include <cstdint>
#include <span>

// What the serial link shows on the main window: the two status panels, received blocks, the IDs
// of the last frame and the messages a user must read. The main window installs itself; a program
// without windows installs its own; tests install a recorder.
class CommView {
public:
    enum class LinkMessage {
        OpenFailed,   // the port did not open; the text gives the system's reason
        WriteRefused, // a line error stopped a write: nothing was sent
    };

    virtual ~CommView() = default;
    virtual void setPortStatus(const QString& text) { (void)text; }
    virtual void setSettingsStatus(const QString& text) { (void)text; }
    virtual void displayReceivedBlock(std::span<const uint8_t> block) { (void)block; }
    virtual void showSourceId() {}
    virtual void showDestinationId() {}
    // The main window shows these in message boxes with the caption given.
    virtual void reportMessage(LinkMessage kind, const QString& text, const QString& caption)
    {
        (void)kind;
        (void)text;
        (void)caption;
    }
    // Which modem lines are raised; every open and close lowers both.
    virtual void showModemLines(bool dtrRaised, bool rtsRaised)
    {
        (void)dtrRaised;
        (void)rtsRaised;
    }
};

[[nodiscard]] CommView& commView();
// nullptr restores a view that shows nothing.
void setCommView(CommView* view);
