#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class DiskCleanScanner;
class DiskPaneModel;
class QWidget;
class VolumeUsageScanner;

// What the monitor popup's Disk tab shows: the capacity ring in the header card, the scan button
// in the middle card, the cleanup list or the volume browser in the body card, and the detail of
// the disk pane's inspected cleanup item, which puts the popup into its detail mode. Tests
// install providers of their own.
class MonitorDiskTab : public QObject {
    Q_OBJECT
public:
    enum class DetailPart { navigation, main, actions };

    static MonitorDiskTab& shared();
    // Replaces the shared provider (kept until the process ends or the next install); nullptr
    // restores the default one.
    static void install(std::unique_ptr<MonitorDiskTab> provider);

    // Over the shared disk pane model and scanners.
    MonitorDiskTab() = default;
    // Over the given ones (tests).
    MonitorDiskTab(DiskPaneModel& model, DiskCleanScanner& scanner, VolumeUsageScanner& volume);
    ~MonitorDiskTab() override;

    DiskPaneModel& model() const;
    DiskCleanScanner& scanner() const;
    VolumeUsageScanner& volume() const;

    // The header card's content (312 × 132).
    virtual QWidget* makeHeader(QWidget* parent);
    // The middle card's content (336 × 38).
    virtual QWidget* makeMiddle(QWidget* parent);
    // The body card's content (336 × 378). Choosing an item there sets the inspected item.
    virtual QWidget* makeBody(QWidget* parent);
    // One piece of the inspected item's detail; onBack leaves the detail.
    virtual QWidget* makeDetail(DetailPart part, std::function<void()> onBack, QWidget* parent);

    // The inspected item's identifier in its text form; none while no item is inspected.
    virtual std::optional<QString> inspectedItemID() const;
    virtual void clearInspectedItem();

signals:
    void inspectedItemChanged();

private:
    DiskPaneModel* model_ = nullptr;
    DiskCleanScanner* scanner_ = nullptr;
    VolumeUsageScanner* volume_ = nullptr;
};
