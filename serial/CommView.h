#pragma once

#include <QString>

#include <cstdint>
#include <span>

class QWidget;

// What the serial link shows on the main window: the two status panels, received blocks and the
// IDs of the last frame. The main window installs itself; tests install a recorder.
class CommView {
public:
    virtual ~CommView() = default;
    virtual void setPortStatus(const QString& text) { (void)text; }
    virtual void setSettingsStatus(const QString& text) { (void)text; }
    virtual void displayReceivedBlock(std::span<const uint8_t> block) { (void)block; }
    virtual void showSourceId() {}
    virtual void showDestinationId() {}
    // Which modem lines are raised; every open and close lowers both.
    virtual void showModemLines(bool dtrRaised, bool rtsRaised)
    {
        (void)dtrRaised;
        (void)rtsRaised;
    }
    // Owner of the message boxes the link shows.
    virtual QWidget* dialogParent() { return nullptr; }
};

[[nodiscard]] CommView& commView();
// nullptr restores a view that shows nothing.
void setCommView(CommView* view);
