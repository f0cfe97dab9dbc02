#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QWidget;

// What the monitor popup's Disk tab shows, and the disk pane's inspected cleanup item that puts
// the popup into its detail mode. The disk-space views install their own provider (their
// capacity, scan and cleanup views and the cleanup detail); until then the header card shows
// the start-up volume's capacity and the middle and body cards stay empty.
class MonitorDiskTab : public QObject {
    Q_OBJECT
public:
    enum class DetailPart { navigation, main, actions };

    static MonitorDiskTab& shared();
    // Replaces the shared provider (kept until the process ends or the next install); nullptr
    // restores the default one.
    static void install(std::unique_ptr<MonitorDiskTab> provider);

    MonitorDiskTab() = default;
    ~MonitorDiskTab() override;

    // The header card's content (312 × 132).
    virtual QWidget* makeHeader(QWidget* parent);
    // The middle card's content (336 × 38).
    virtual QWidget* makeMiddle(QWidget* parent);
    // The body card's content (336 × 378). Choosing an item there sets the inspected item.
    virtual QWidget* makeBody(QWidget* parent);
    // One piece of the inspected item's detail; onBack leaves the detail.
    virtual QWidget* makeDetail(DetailPart part, std::function<void()> onBack, QWidget* parent);

    // The inspected item's identifier in its text form; none while no item is inspected.
    virtual std::optional<QString> inspectedItemID() const { return std::nullopt; }
    virtual void clearInspectedItem() {}

signals:
    void inspectedItemChanged();
};
