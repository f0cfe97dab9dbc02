#include "Source/Features/System/NetworkMonitor.h"

#include "Platform/Core/Clock.h"
#include "Source/Features/System/SystemSettings.h"

#include <cmath>

NetworkMonitor& NetworkMonitor::shared() {
    static auto* monitor = new NetworkMonitor;
    return *monitor;
}

NetworkMonitor::NetworkMonitor(const QString& root, QObject* parent) : QObject(parent), reader_(root) {
    timer_.setParent(this);
    connect(&timer_, &QTimer::timeout, this, &NetworkMonitor::sample);
    setSettings(SystemSettings::shared());
}

void NetworkMonitor::start() {
    if (timer_.isActive()) return;
    timer_.start(intervalMilliseconds());
    sample();
}

void NetworkMonitor::stop() { timer_.stop(); }

void NetworkMonitor::setSettings(SystemSettings& settings) {
    disconnect(settingsConnection_);
    settings_ = &settings;
    settingsConnection_ =
        connect(&settings.updateInterval, &SettingBase::changed, this, &NetworkMonitor::restartTimer);
    restartTimer();
}

int NetworkMonitor::intervalMilliseconds() const {
    return int(UpdateIntervals::rawValue(settings_->updateInterval.value()) * 1000);
}

void NetworkMonitor::restartTimer() {
    if (!timer_.isActive()) return;
    timer_.start(intervalMilliseconds());
}

NetworkMonitor::Counters NetworkMonitor::delta(const std::unordered_map<std::string, Counters>& previous,
                                               const std::vector<NetDevReader::Interface>& current) {
    Counters sum;
    for (const NetDevReader::Interface& iface : current) {
        if (!iface.physical) continue;
        const auto it = previous.find(iface.name);
        if (it == previous.end()) continue;
        if (iface.received >= it->second.received) sum.received += iface.received - it->second.received;
        if (iface.sent >= it->second.sent) sum.sent += iface.sent - it->second.sent;
    }
    return sum;
}

void NetworkMonitor::sample() {
    if (!reader_.read(interfaces_)) return;  // keep the last rates
    const double now = Clock::shared().monotonic();
    if (havePrevious_ && now > previousTime_) {
        const Counters moved = delta(previous_, interfaces_);
        const double seconds = now - previousTime_;
        const double down = double(moved.received) / seconds;
        const double up = double(moved.sent) / seconds;
        if (down != downloadRate_ || up != uploadRate_) {
            downloadRate_ = down;
            uploadRate_ = up;
            emit ratesChanged();
        }
    } else if (havePrevious_) {
        return;  // no time passed: measure from the earlier reading next time
    }
    previous_.clear();
    for (const NetDevReader::Interface& iface : interfaces_) {
        if (iface.physical) previous_[iface.name] = Counters{iface.received, iface.sent};
    }
    previousTime_ = now;
    havePrevious_ = true;
}

QString NetworkMonitor::formatRate(double v) {
    constexpr double K = 1024.0, M = 1024.0 * 1024.0;
    if (!std::isfinite(v) || v < 0) v = 0;
    if (v >= M) return QString::asprintf("%.1f MB/s", v / M);
    if (v >= K) return QString::asprintf("%.0f KB/s", v / K);
    return QString::asprintf("%.0f B/s", v);
}
