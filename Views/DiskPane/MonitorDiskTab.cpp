#include "Views/DiskPane/MonitorDiskTab.h"

#include "Source/Features/System/DiskCleanScanner.h"
#include "Source/Features/System/DiskPaneModel.h"
#include "Source/Features/System/VolumeUsageScanner.h"
#include "Views/DiskPane/CleanupDetailView.h"
#include "Views/DiskPane/DiskCapacityContent.h"
#include "Views/DiskPane/DiskCleanupContent.h"
#include "Views/DiskPane/DiskScanContent.h"

namespace {
std::unique_ptr<MonitorDiskTab>& provider() {
    static std::unique_ptr<MonitorDiskTab> instance;
    return instance;
}
}  // namespace

MonitorDiskTab::MonitorDiskTab(DiskPaneModel& model, DiskCleanScanner& scanner, VolumeUsageScanner& volume)
    : model_(&model), scanner_(&scanner), volume_(&volume) {
    connect(model_, &DiskPaneModel::inspectingChanged, this, &MonitorDiskTab::inspectedItemChanged);
}

MonitorDiskTab::~MonitorDiskTab() = default;

MonitorDiskTab& MonitorDiskTab::shared() {
    if (!provider())
        provider() = std::make_unique<MonitorDiskTab>(DiskPaneModel::shared(), DiskCleanScanner::shared(),
                                                      VolumeUsageScanner::shared());
    return *provider();
}

DiskPaneModel& MonitorDiskTab::model() const { return model_ ? *model_ : DiskPaneModel::shared(); }
DiskCleanScanner& MonitorDiskTab::scanner() const { return scanner_ ? *scanner_ : DiskCleanScanner::shared(); }
VolumeUsageScanner& MonitorDiskTab::volume() const { return volume_ ? *volume_ : VolumeUsageScanner::shared(); }

void MonitorDiskTab::install(std::unique_ptr<MonitorDiskTab> replacement) { provider() = std::move(replacement); }

QWidget* MonitorDiskTab::makeHeader(QWidget* parent) { return new DiskCapacityContent(model(), parent); }

QWidget* MonitorDiskTab::makeMiddle(QWidget* parent) {
    return new DiskScanContent(scanner(), volume(), model(), parent);
}

QWidget* MonitorDiskTab::makeBody(QWidget* parent) {
    return new DiskCleanupContent(model(), scanner(), volume(), {}, parent);
}

QWidget* MonitorDiskTab::makeDetail(DetailPart part, std::function<void()> onBack, QWidget* parent) {
    const auto& item = model().inspecting();
    if (!item) {
        auto* empty = new QWidget(parent);
        empty->setAttribute(Qt::WA_TranslucentBackground);
        return empty;
    }
    return new CleanupDetailView(*item, CleanupDetailView::Part(part), std::move(onBack), scanner(), parent);
}

std::optional<QString> MonitorDiskTab::inspectedItemID() const {
    const auto& item = model().inspecting();
    if (!item) return std::nullopt;
    return item->id.toString(QUuid::WithoutBraces).toUpper();
}

void MonitorDiskTab::clearInspectedItem() { model().setInspecting(std::nullopt); }
