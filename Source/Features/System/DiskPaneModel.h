#pragma once

#include "Platform/Core/SerialQueue.h"
#include "Source/Features/System/CleanupItem.h"
#include "Source/Features/System/SystemStats.h"
#include "Source/Features/System/UsageNode.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <optional>

// The Disk tab's shared state: the last capacity reading and the ring's fill, the open cleanup
// groups, the inspected cleanup item, the tab's mode and the volume browser's path. One instance
// for the process; nothing of it is stored.
class DiskPaneModel : public QObject {
    Q_OBJECT
public:
    enum class Mode { reclaimable, everything };
    static constexpr std::array<Mode, 2> allModes{Mode::reclaimable, Mode::everything};
    static QString rawValue(Mode mode);  // "Reclaimable", "All Space"
    static std::optional<Mode> modeFromRawValue(const QString& raw);

    // How the ring moves to a new sweep: the slow spring of a first showing, or Motion.value.
    enum class SweepMotion { firstSweep, value };
    enum class RingTint { green, orange, red };

    using CapacityReader = std::function<std::optional<SystemStats::DiskCapacity>()>;

    static DiskPaneModel& shared();
    // reader: the start-up volume's capacity (SystemStats::getDiskCapacity when none); called on a
    // queue of the model's own, never on the GUI thread.
    explicit DiskPaneModel(CapacityReader reader = {}, QObject* parent = nullptr);
    ~DiskPaneModel() override;

    const std::optional<SystemStats::DiskCapacity>& capacity() const { return capacity_; }
    double sweep() const { return sweep_; }
    SweepMotion sweepMotion() const { return sweepMotion_; }
    // Takes a reading and, once it is back, sets the sweep to its used share (0 without one).
    // Calls made while a reading is out are answered by one more reading after it.
    void readCapacity(bool animated);
    bool isReading() const { return reading_; }

    // Used share in percent, unrounded; 0 without a reading or with a total of 0.
    static double usedPercent(const std::optional<SystemStats::DiskCapacity>& capacity);
    // 90 % or more red, 80 % or more orange, else green (the unrounded share).
    static RingTint ringTint(double percent);
    RingTint ringTint() const { return ringTint(usedPercent(capacity_)); }

    // Raw values of the open cleanup categories.
    const QSet<QString>& expanded() const { return expanded_; }
    bool isExpanded(CleanupCategory category) const;
    void toggleExpanded(CleanupCategory category);

    const std::optional<CleanupItem>& inspecting() const { return inspecting_; }
    void setInspecting(std::optional<CleanupItem> item);

    Mode mode() const { return mode_; }
    void setMode(Mode mode);

    // Folders opened in the volume browser, outermost first.
    const QList<UsageNode>& browseStack() const { return browseStack_; }
    void pushBrowse(const UsageNode& node);
    void popBrowse();

    // A path for display: every occurrence of the home folder's path replaced by "~"; "--" when empty.
    static QString displayPath(const QString& path, const QString& home);
    // The home folder as displayed.
    static QString homePath();

    // A folder with at least one kept child can be opened in the browser.
    static bool canOpen(const UsageNode& node);
    // The share bar's filled fraction: bytes over the parent's (at least 1), at most 1.
    static double barFraction(double bytes, double parentBytes);
    // The plain sum of the group's items' sizes.
    static double groupTotal(const CleanupGroup& group);

    // Custom folders to add: each chosen folder normalised, kept when the guard admits it and it
    // is neither listed already nor chosen twice. Refused holds the chosen folders the guard
    // turned away (outside the home folder, the home folder itself, a Trash).
    struct FolderChoice {
        QStringList added;
        QStringList refused;
    };
    static FolderChoice filterFolders(const QStringList& chosen, const QStringList& listed,
                                      const std::function<QString(const QString&)>& admit);

signals:
    void capacityChanged();
    void sweepChanged();
    void expandedChanged();
    void inspectingChanged();
    void modeChanged();
    void browseStackChanged();

private:
    void showCapacity(const std::optional<SystemStats::DiskCapacity>& reading, bool animated);

    CapacityReader reader_;
    std::unique_ptr<SerialQueue> queue_;
    bool reading_ = false;
    std::optional<bool> again_;  // asked again while reading: animated or not
    std::optional<SystemStats::DiskCapacity> capacity_;
    double sweep_ = 0;
    SweepMotion sweepMotion_ = SweepMotion::value;
    QSet<QString> expanded_;
    std::optional<CleanupItem> inspecting_;
    Mode mode_ = Mode::reclaimable;
    QList<UsageNode> browseStack_;
};
