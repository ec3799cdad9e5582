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
    virtual void DisplayRecvFrame(std::span<const uint8_t> block) { (void)block; }
    virtual void ShowSrcID() {}
    virtual void ShowDstID() {}
    // Owner of the message boxes the link shows.
    virtual QWidget* dialogParent() { return nullptr; }
};

[[nodiscard]] CommView& commView();
// nullptr restores a view that shows nothing.
void setCommView(CommView* view);
