#include "Source/Features/System/DiskPaneModel.h"

#include "Platform/Core/Dispatch.h"
#include "Platform/Core/RawValues.h"
#include "Platform/Files/NativePath.h"
#include "Platform/Files/UserFolders.h"

#include <QPointer>

#include <algorithm>
#include <utility>

namespace {
constexpr RawValues::Entry<DiskPaneModel::Mode> modeRawValues[]{
    {DiskPaneModel::Mode::reclaimable, "Reclaimable"},
    {DiskPaneModel::Mode::everything, "All Space"},
};
}  // namespace

QString DiskPaneModel::rawValue(Mode mode) { return RawValues::rawValue(modeRawValues, mode); }

std::optional<DiskPaneModel::Mode> DiskPaneModel::modeFromRawValue(const QString& raw) {
    return RawValues::fromRawValue(modeRawValues, raw);
}

DiskPaneModel& DiskPaneModel::shared() {
    static DiskPaneModel* model = new DiskPaneModel;
    return *model;
}

DiskPaneModel::DiskPaneModel(CapacityReader reader, QObject* parent)
    : QObject(parent), reader_(std::move(reader)),
      queue_(std::make_unique<SerialQueue>("com.merovane.diskpane", QueuePriority::userInitiated)) {
    if (!reader_) reader_ = [] { return SystemStats::getDiskCapacity(); };
}

DiskPaneModel::~DiskPaneModel() = default;

void DiskPaneModel::readCapacity(bool animated) {
    // A volume that stops answering holds up the queue only, with one reading waiting at most.
    if (reading_) {
        again_ = again_.value_or(false) || animated;
        return;
    }
    reading_ = true;
    QPointer<DiskPaneModel> self(this);
    queue_->async([self, reader = reader_, animated] {
        const auto reading = reader();
        Dispatch::main([self, reading, animated] {
            if (self) self->showCapacity(reading, animated);
        });
    });
}

void DiskPaneModel::showCapacity(const std::optional<SystemStats::DiskCapacity>& reading, bool animated) {
    reading_ = false;
    if (reading != capacity_) {
        capacity_ = reading;
        emit capacityChanged();
    }
    const double sweep = usedPercent(capacity_) / 100.0;
    sweepMotion_ = animated ? SweepMotion::firstSweep : SweepMotion::value;
    if (sweep != sweep_) {
        sweep_ = sweep;
        emit sweepChanged();
    }
    if (const auto again = std::exchange(again_, std::nullopt)) readCapacity(*again);
}

double DiskPaneModel::usedPercent(const std::optional<SystemStats::DiskCapacity>& capacity) {
    if (!capacity || !(capacity->total > 0)) return 0;
    return capacity->used / capacity->total * 100.0;
}

DiskPaneModel::RingTint DiskPaneModel::ringTint(double percent) {
    if (percent >= 90) return RingTint::red;
    if (percent >= 80) return RingTint::orange;
    return RingTint::green;
}

bool DiskPaneModel::isExpanded(CleanupCategory category) const {
    return expanded_.contains(CleanupCategories::rawValue(category));
}

void DiskPaneModel::toggleExpanded(CleanupCategory category) {
    const QString raw = CleanupCategories::rawValue(category);
    if (!expanded_.remove(raw)) expanded_.insert(raw);
    emit expandedChanged();
}

void DiskPaneModel::setInspecting(std::optional<CleanupItem> item) {
    const bool same = (!item && !inspecting_) || (item && inspecting_ && item->id == inspecting_->id);
    inspecting_ = std::move(item);
    if (!same) emit inspectingChanged();
}

void DiskPaneModel::setMode(Mode mode) {
    if (mode == mode_) return;
    mode_ = mode;
    emit modeChanged();
}

void DiskPaneModel::pushBrowse(const UsageNode& node) {
    browseStack_.append(node);
    emit browseStackChanged();
}

void DiskPaneModel::popBrowse() {
    if (browseStack_.isEmpty()) return;
    browseStack_.removeLast();
    emit browseStackChanged();
}

QString DiskPaneModel::displayPath(const QString& path, const QString& home) {
    if (path.isEmpty()) return QStringLiteral("--");
    QString shown = NativePath::displayed(path);
    if (home.isEmpty()) return shown;
    return shown.replace(home, QStringLiteral("~"));
}

QString DiskPaneModel::homePath() { return NativePath::displayed(UserFolders::home()); }

bool DiskPaneModel::canOpen(const UsageNode& node) { return node.isDirectory && !node.children.isEmpty(); }

double DiskPaneModel::barFraction(double bytes, double parentBytes) {
    const double parent = std::max(parentBytes, 1.0);
    return std::clamp(bytes / parent, 0.0, 1.0);
}

double DiskPaneModel::groupTotal(const CleanupGroup& group) {
    double sum = 0;
    for (const CleanupItem& item : group.items) sum += item.bytes;
    return sum;
}

DiskPaneModel::FolderChoice DiskPaneModel::filterFolders(const QStringList& chosen, const QStringList& listed,
                                                         const std::function<QString(const QString&)>& admit) {
    FolderChoice choice;
    for (const QString& folder : chosen) {
        const QString admitted = admit(folder);
        if (admitted.isEmpty()) {
            choice.refused << folder;
            continue;
        }
        if (listed.contains(admitted) || choice.added.contains(admitted)) continue;
        choice.added << admitted;
    }
    return choice;
}
