#pragma once

#include "Source/Features/System/CleanupItem.h"
#include "Views/Shared/HoverPressRow.h"

#include <QAbstractButton>
#include <QTimer>

#include <functional>

class DiskCleanScanner;
class NumericTextCell;

// One reclaimable item in the cleanup list: its name and size, and a trash button that moves the
// item to the Trash in two clicks. The first click arms the button ("CONFIRM"); a second click
// within 3 s moves the item; without it the button disarms itself. A click elsewhere on the row
// opens the item's detail. The row never removes itself: the list follows the scanner's rescan.
class CleanupItemRow : public HoverPressRow {
    Q_OBJECT
public:
    static constexpr int disarmMs = 3000;
    static constexpr int trashWidth = 58;

    CleanupItemRow(CleanupItem item, std::function<void()> onInspect, DiskCleanScanner& scanner,
                   QWidget* parent = nullptr);
    CleanupItemRow(CleanupItem item, std::function<void()> onInspect, QWidget* parent = nullptr);

    const CleanupItem& item() const { return item_; }
    bool isArmed() const { return armed_; }
    QAbstractButton* trashButton() const;
    // The trash button's action: arms, or moves the item when armed.
    void trashClicked();
    static QString trashHelp(bool armed);  // "Move to Trash", "Click again to move to Trash"

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class TrashButton;
    void setArmed(bool armed);
    void layoutContent();

    CleanupItem item_;
    std::function<void()> onInspect_;
    DiskCleanScanner& scanner_;
    bool armed_ = false;
    QTimer disarm_;
    TrashButton* trash_ = nullptr;
    NumericTextCell* size_ = nullptr;
};
