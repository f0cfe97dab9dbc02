#pragma once

#include "Platform/System/NetDevReader.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class SystemSettings;

// The shared network monitor: download and upload rates in bytes per second over the physical
// interfaces, measured on a timer set by the update interval.
class NetworkMonitor : public QObject {
    Q_OBJECT
public:
    static NetworkMonitor& shared();

    explicit NetworkMonitor(const QString& root = QStringLiteral("/"), QObject* parent = nullptr);

    // The settings whose update interval the timer follows (SystemSettings::shared() until given).
    void setSettings(SystemSettings& settings);

    // Starts the timer at the current update interval and takes the first reading; nothing when running.
    void start();
    void stop();
    // Reads the counters now; from the second reading on, publishes the rates since the previous one.
    void sample();

    bool isRunning() const { return timer_.isActive(); }
    int timerInterval() const { return timer_.interval(); }  // milliseconds

    // Bytes per second; -1 until two readings have been taken.
    double downloadRate() const { return downloadRate_; }
    double uploadRate() const { return uploadRate_; }

    // "%.1f MB/s" from 1 MiB/s up, "%.0f KB/s" from 1 KiB/s up, else "%.0f B/s"; a rate that
    // cannot be shown (negative, not a number) reads as 0 B/s.
    static QString formatRate(double bytesPerSecond);

    struct Counters {
        uint64_t received = 0;
        uint64_t sent = 0;
    };
    // Bytes moved between two readings of the physical interfaces. An interface missing from the
    // previous reading, or whose counter went down (a reset), adds nothing for that interval.
    static Counters delta(const std::unordered_map<std::string, Counters>& previous,
                          const std::vector<NetDevReader::Interface>& current);

signals:
    void ratesChanged();

private:
    void restartTimer();
    int intervalMilliseconds() const;

    NetDevReader reader_;
    QTimer timer_;
    SystemSettings* settings_ = nullptr;
    QMetaObject::Connection settingsConnection_;
    std::vector<NetDevReader::Interface> interfaces_;
    std::unordered_map<std::string, Counters> previous_;
    double previousTime_ = 0;
    bool havePrevious_ = false;
    double downloadRate_ = -1;
    double uploadRate_ = -1;
};
