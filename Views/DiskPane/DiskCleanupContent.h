#pragma once

#include "Source/Features/System/CleanupItem.h"
#include "Source/Features/System/DiskPaneModel.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <map>

class CleanupItemRow;
class DiskCleanScanner;
class ActivitySpinner;
class QAbstractButton;
class ClearScrollArea;
class QVBoxLayout;
class VolumeUsageBrowser;
class VolumeUsageScanner;

// The Disk tab's body: the mode picker over either the reclaimable items of the last scan, by
// category (each category a row that opens and closes), or the volume usage browser. A spinner
// sits over the content while a reclaimable scan runs.
class DiskCleanupContent : public QWidget {
    Q_OBJECT
public:
    static constexpr int pickerHeight = 24;
    static constexpr int pickerPadding = 8;

    // onInspect: opens an item's detail; without one, a chosen item becomes the model's inspected item.
    DiskCleanupContent(DiskPaneModel& model, DiskCleanScanner& scanner, VolumeUsageScanner& volume,
                       std::function<void(const CleanupItem&)> onInspect = {}, QWidget* parent = nullptr);

    enum class Content { browser, empty, list };
    Content content() const { return content_; }
    // The empty state's text.
    QString emptyText() const;
    static QString symbol(CleanupCategory category);

    // What is on screen (tests).
    QWidget* picker() const;
    QAbstractButton* categoryRow(CleanupCategory category) const;
    QList<CleanupItemRow*> itemRows() const;
    ActivitySpinner* spinner() const { return spinner_; }
    VolumeUsageBrowser* browser() const { return browser_; }
    // The total a category row shows.
    QString categoryTotalText(CleanupCategory category) const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    class ModePicker;
    class CategoryRow;
    class EmptyState;
    void refresh();
    void rebuildList();
    void applyExpansion(bool animated);
    void layoutContent();

    DiskPaneModel& model_;
    DiskCleanScanner& scanner_;
    VolumeUsageScanner& volume_;
    std::function<void(const CleanupItem&)> onInspect_;
    Content content_ = Content::empty;
    ModePicker* picker_ = nullptr;
    QWidget* divider_ = nullptr;
    ClearScrollArea* scroll_ = nullptr;
    QWidget* listContent_ = nullptr;
    QVBoxLayout* column_ = nullptr;
    std::map<CleanupCategory, CategoryRow*> categoryRows_;
    QList<QPointer<CleanupItemRow>> itemRows_;
    EmptyState* empty_ = nullptr;
    VolumeUsageBrowser* browser_ = nullptr;
    ActivitySpinner* spinner_ = nullptr;
};
