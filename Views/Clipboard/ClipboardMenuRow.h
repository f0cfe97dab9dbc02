#pragma once

#include "Source/Features/Clipboard/ClipboardItem.h"
#include "Views/Shared/HoverPressRow.h"

#include <QColor>
#include <QImage>

#include <functional>

class QPainter;
class RowIconButton;
class ShortcutBadge;

// A row of the clipboard popup's history list: the item's picture, its one-line label, a note
// for a concealed item, the plain-paste button while hovered (text only) and the command-digit
// badge of the first nine rows. 52 points high for an image, 28 for anything else; accent-
// coloured while highlighted. A click pastes the item.
class ClipboardMenuRow : public HoverPressRow {
    Q_OBJECT
public:
    static constexpr int contentMargin = 16;
    static constexpr int spacing = 9;
    static constexpr int minimumSpacer = 8;

    ClipboardMenuRow(const ClipboardItem& item, int index, bool isHighlighted, bool isHovered,
                     std::function<void(bool)> onHover, std::function<void()> onPaste,
                     std::function<void()> onPastePlain, QWidget* parent = nullptr);

    const ClipboardItem& item() const { return item_; }
    int index() const { return index_; }
    bool isHighlighted() const { return isHighlighted_; }
    // Reuses the row for another item or position.
    void setItem(const ClipboardItem& item, int index);
    void setHighlighted(bool highlighted);
    void setCallbacks(std::function<void(bool)> onHover, std::function<void()> onPaste,
                      std::function<void()> onPastePlain);

    QString label() const;
    RowIconButton* plainPasteButton() const { return plainPaste_; }
    ShortcutBadge* badge() const { return badge_; }
    // The badge text, or empty when the row has none.
    static QString badgeKeys(const ClipboardItem& item, int index);
    static int heightFor(const ClipboardItem& item);

    // The common row background: a rounded rectangle inset 7 left and right and 1 top and bottom.
    static void paintRowBackground(QPainter& painter, const QRectF& rowRect, const QColor& color);
    // An image stretched to fill a frame, keeping its aspect ratio, clipped to rounded corners.
    static void drawFilled(QPainter& painter, const QImage& image, const QRectF& frame, double radius);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hoverStateChanged(bool hovered) override;

private:
    void updatePieces();
    // The leading picture's frame, empty when none is drawn.
    QRectF pictureFrame() const;
    double trailingWidth() const;

    ClipboardItem item_;
    int index_;
    bool isHighlighted_;
    std::function<void(bool)> onHover_;
    std::function<void()> onPaste_;
    std::function<void()> onPastePlain_;
    RowIconButton* plainPaste_ = nullptr;
    ShortcutBadge* badge_ = nullptr;
};
