#pragma once

#include "Source/Features/Widgets/WidgetConfiguration.h"
#include "Source/Features/Widgets/WidgetSettings.h"
#include "Source/Features/Widgets/WidgetType.h"

#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <optional>

class NetworkMonitor;
class SystemSampler;

// The menu-bar widgets' configuration and their current texts. The configuration follows its
// setting (a missing or damaged value reads as the defaults) and is saved there on every change;
// the texts are recomputed on every sample of the sampler. GUI thread only.
class WidgetManager : public QObject {
    Q_OBJECT
public:
    // The readings the texts are made of. Percentages are −1 and the rate negative when unread.
    struct Readings {
        double cpu = -1;
        double gpu = -1;
        double memory = -1;
        double disk = -1;
        double downloadRate = -1;
        std::optional<double> temperature;
    };
    using Reader = std::function<Readings()>;

    static WidgetManager& shared();
    // Recomputes on every sample of the sampler, reading it and the network monitor.
    WidgetManager(UserDefaults& defaults, SystemSampler& sampler, NetworkMonitor& network, QObject* parent = nullptr);
    // Reads through reader; the texts change only when recomputeValues() is called (tests).
    WidgetManager(UserDefaults& defaults, Reader reader, QObject* parent = nullptr);

    const WidgetConfiguration& configuration() const { return configuration_; }
    // A different value is saved and signalled with configDidChange; an equal one does nothing.
    // A value written to the setting by anyone else is taken and signalled the same way.
    void setConfiguration(const WidgetConfiguration& configuration);
    void setShowLabels(bool showLabels);
    void setGrouped(bool isGrouped);
    // Removes the type from the enabled set when present, else inserts it.
    void toggleWidget(WidgetType type);
    // Asks the widget status items to be rebuilt now rather than after the change's delay.
    void requestRebuild() { emit rebuildRequested(); }

    // The current text of every type.
    const std::map<WidgetType, QString>& values() const { return values_; }
    QString value(WidgetType type) const;
    // Recomputes the texts from the readings; signals valuesChanged when any text changed.
    void recomputeValues();

    // "42%" for the percentages, the download rate for network, "61°" for the temperature;
    // "—" for a reading that is not there.
    static QString valueText(WidgetType type, const Readings& readings);

    WidgetSettings& settings() { return settings_; }

signals:
    void configDidChange();
    void rebuildRequested();
    void valuesChanged();

private:
    void settingChanged();

    WidgetSettings settings_;
    Reader reader_;
    WidgetConfiguration configuration_;
    std::map<WidgetType, QString> values_;
};
