#pragma once

#include "Source/Features/Clipboard/ClipboardItem.h"
#include "Views/Shared/HoverPressRow.h"

#include <functional>

class RowIconButton;

// A row of the clipboard popup's pinned block: the item's picture, its label and the unpin
// button, 28 points high. A click pastes the item; the button unpins it.
class PinnedMenuRow : public HoverPressRow {
    Q_OBJECT
public:
    static constexpr int rowHeight = 28;

    PinnedMenuRow(const ClipboardItem& item, bool isHovered, std::function<void()> onPaste,
                  std::function<void()> onUnpin, QWidget* parent = nullptr);

    const ClipboardItem& item() const { return item_; }
    void setItem(const ClipboardItem& item);
    QString label() const;
    RowIconButton* unpinButton() const { return unpin_; }

    QSize sizeHint() const override { return QSize(300, rowHeight); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hoverAmountChanged() override;

private:
    ClipboardItem item_;
    std::function<void()> onPaste_;
    std::function<void()> onUnpin_;
    RowIconButton* unpin_ = nullptr;
};
