#pragma once

#include "Source/Features/System/UsageNode.h"
#include "Views/Shared/HoverPressRow.h"

#include <functional>

class SymbolButton;

// One kept item of the volume tree in the usage browser: icon, name, size and a chevron over a
// bar of its share of the folder being listed. A folder with kept children opens on a click; a
// hovered row offers to reveal the item in the file manager.
class UsageRow : public HoverPressRow {
    Q_OBJECT
public:
    UsageRow(UsageNode node, double parentBytes, std::function<void()> onOpen, QWidget* parent = nullptr);

    const UsageNode& node() const { return node_; }
    double parentBytes() const { return parentBytes_; }
    bool canOpen() const;
    // The share bar's filled width for a strip of the given width.
    double barWidth(double stripWidth) const;
    // The reveal button (shown while the row is hovered).
    SymbolButton* revealButton() const { return reveal_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hoverStateChanged(bool hovered) override;

private:
    void layoutContent();
    QRectF firstLine() const;
    QRectF sizeRect() const;

    UsageNode node_;
    double parentBytes_;
    std::function<void()> onOpen_;
    SymbolButton* reveal_ = nullptr;
};
