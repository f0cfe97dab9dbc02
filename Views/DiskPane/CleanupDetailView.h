#pragma once

#include "Source/Features/System/CleanupItem.h"

#include <QWidget>

#include <functional>

class DiskCleanScanner;
class QAbstractButton;
class QLabel;

// The detail of one reclaimable item, drawn in three pieces that the monitor popup places in its
// own frame: the navigation bar (back to the list), the main content (size, location, paths, file
// count and what cleaning means) and the action bar ("Show in Finder", "Move to Trash"). Moving
// from here takes one click and closes the detail at once.
class CleanupDetailView : public QWidget {
    Q_OBJECT
public:
    enum class Part { navigation, main, actions };

    CleanupDetailView(CleanupItem item, Part part, std::function<void()> onBack, DiskCleanScanner& scanner,
                      QWidget* parent = nullptr);

    const CleanupItem& item() const { return item_; }
    Part part() const { return part_; }

    // The item's first path for display ("~" for the home folder), "--" without paths.
    static QString location(const CleanupItem& item, const QString& home);

    void showInFinder();
    void moveToTrash();

    // What is on screen (tests).
    QAbstractButton* showButton() const { return show_; }
    QAbstractButton* trashButton() const { return trash_; }
    QLabel* locationLabel() const { return location_; }
    // The "All Paths" lines; empty with fewer than two paths.
    QList<QLabel*> pathLabels() const { return paths_; }
    QLabel* consequenceLabel() const { return consequence_; }

private:
    void buildNavigation();
    void buildMain();
    void buildActions();

    CleanupItem item_;
    Part part_;
    std::function<void()> onBack_;
    DiskCleanScanner& scanner_;
    QAbstractButton* show_ = nullptr;
    QAbstractButton* trash_ = nullptr;
    QLabel* location_ = nullptr;
    QList<QLabel*> paths_;
    QLabel* consequence_ = nullptr;
};
