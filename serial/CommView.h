#pragma once

#include <QString>

#include <cstdint>
#include <span>

class QWidget;

// What the port driver has to tell a user: a port that would not open, a write refused after a
// line error.
enum class LinkMessage { OpenFailed, WriteRefused };

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
    // Owner of the message boxes the link shows.
    virtual QWidget* dialogParent() { return nullptr; }
    // Shows the message in a box by default; a program without windows prints it instead.
    virtual void reportMessage(LinkMessage kind, const QString& text, const QString& caption);
};

[[nodiscard]] CommView& commView();
// nullptr restores a view that shows nothing.
void setCommView(CommView* view);
