#include "Source/Features/Widgets/WidgetManager.h"

#include "Source/Features/System/NetworkMonitor.h"
#include "Source/Features/System/SystemSampler.h"

#include <cmath>

namespace {
const QString kMissing = QStringLiteral("—");

QString percentText(double percent) {
    if (!std::isfinite(percent) || percent < 0) return kMissing;
    return QString::asprintf("%.0f%%", percent);
}
}  // namespace

WidgetManager& WidgetManager::shared() {
    static auto* manager =
        new WidgetManager(UserDefaults::standard(), SystemSampler::shared(), NetworkMonitor::shared());
    return *manager;
}

WidgetManager::WidgetManager(UserDefaults& defaults, SystemSampler& sampler, NetworkMonitor& network, QObject* parent)
    : WidgetManager(
          defaults,
          [&sampler, &network] {
              Readings readings;
              readings.cpu = sampler.cpu();
              readings.gpu = sampler.gpu();
              readings.memory = sampler.memory();
              readings.disk = sampler.disk();
              readings.downloadRate = network.downloadRate();
              readings.temperature = sampler.temperature();
              return readings;
          },
          parent) {
    connect(&sampler, &SystemSampler::didSample, this, &WidgetManager::recomputeValues);
}

WidgetManager::WidgetManager(UserDefaults& defaults, Reader reader, QObject* parent)
    : QObject(parent), settings_(defaults), reader_(std::move(reader)), configuration_(settings_.configuration.value()) {
    connect(&settings_.configuration, &SettingBase::changed, this, &WidgetManager::settingChanged);
    recomputeValues();
}

void WidgetManager::settingChanged() {
    WidgetConfiguration stored = settings_.configuration.value();
    if (stored == configuration_) return;
    configuration_ = std::move(stored);
    emit configDidChange();
}

void WidgetManager::setConfiguration(const WidgetConfiguration& configuration) {
    if (configuration == configuration_) return;
    configuration_ = configuration;
    settings_.configuration.set(configuration);
    emit configDidChange();
}

void WidgetManager::setShowLabels(bool showLabels) {
    WidgetConfiguration changed = configuration_;
    changed.showLabels = showLabels;
    setConfiguration(changed);
}

void WidgetManager::setGrouped(bool isGrouped) {
    WidgetConfiguration changed = configuration_;
    changed.isGrouped = isGrouped;
    setConfiguration(changed);
}

void WidgetManager::toggleWidget(WidgetType type) {
    WidgetConfiguration changed = configuration_;
    if (!changed.enabledWidgets.erase(type)) changed.enabledWidgets.insert(type);
    setConfiguration(changed);
}

QString WidgetManager::value(WidgetType type) const {
    auto it = values_.find(type);
    return it == values_.end() ? kMissing : it->second;
}

QString WidgetManager::valueText(WidgetType type, const Readings& readings) {
    switch (type) {
    case WidgetType::cpu: return percentText(readings.cpu);
    case WidgetType::gpu: return percentText(readings.gpu);
    case WidgetType::memory: return percentText(readings.memory);
    case WidgetType::disk: return percentText(readings.disk);
    case WidgetType::network:
        if (!std::isfinite(readings.downloadRate) || readings.downloadRate < 0) return kMissing;
        return NetworkMonitor::formatRate(readings.downloadRate);
    case WidgetType::temperature:
        if (!readings.temperature || !std::isfinite(*readings.temperature)) return kMissing;
        return QString::asprintf("%.0f°", *readings.temperature);
    }
    return kMissing;
}

void WidgetManager::recomputeValues() {
    const Readings readings = reader_ ? reader_() : Readings{};
    std::map<WidgetType, QString> next;
    for (WidgetType type : WidgetTypes::allCases) next[type] = valueText(type, readings);
    if (next == values_) return;
    values_ = std::move(next);
    emit valuesChanged();
}
