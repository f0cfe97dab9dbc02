#pragma once

#include "FileTreeSupport.h"
#include "Platform/Core/Clock.h"
#include "Platform/Core/UserDefaults.h"
#include "Platform/Files/Trash.h"
#include "Source/Features/System/DiskCleanScanner.h"
#include "Source/Features/System/DiskCleanSettings.h"
#include "Source/Features/System/DiskPaneModel.h"
#include "Source/Features/System/VolumeUsageScanner.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <memory>
#include <optional>

// The disk pane's engines over a home folder, a volume and a Trash of the test's own: settings in
// memory, a fixed capacity reading, results that can be put in place as the scanners' saved files.
class DiskRig {
public:
    DiskRig() {
        QDir().mkpath(home() + "/.cache");
        QDir().mkpath(volumeRoot());
        QDir().mkpath(dataHome() + "/DaveRovaz");
    }
    ~DiskRig() {
        if (cleaner_) cleaner_->waitUntilIdle();
        if (volume_) volume_->waitUntilIdle();
    }

    QString home() const { return dir_.path() + "/home/user"; }
    QString dataHome() const { return home() + "/.local/share"; }
    QString volumeRoot() const { return dir_.path() + "/volume"; }
    QString scanStore() const { return dataHome() + "/DaveRovaz/lastScan.json"; }
    QString volumeStore() const { return dataHome() + "/DaveRovaz/volumeUsage.json"; }
    LinuxTrash& trash() { return trash_; }
    DiskCleanSettings& settings() { return settings_; }

    // The capacity the model reads (none: the reading fails).
    std::optional<SystemStats::DiskCapacity> capacity = SystemStats::DiskCapacity{500.0 * (1 << 30), 410.0 * (1 << 30),
                                                                                   90.0 * (1 << 30)};

    DiskPaneModel& model() {
        if (!model_) model_ = std::make_unique<DiskPaneModel>([this] { return capacity; });
        return *model_;
    }
    // Made on first use: restores what the saved files hold at that moment.
    DiskCleanScanner& cleaner() {
        if (!cleaner_) {
            cleaner_ = std::make_unique<DiskCleanScanner>(
                settings_,
                DiskCleanScanner::Places{{home(), home() + "/.cache", dataHome()}, scanStore(), trash_.homeTrash()},
                trash_);
            // The saved result arrives from the scanner's queue.
            cleaner_->waitUntilIdle();
            QCoreApplication::processEvents();
        }
        return *cleaner_;
    }
    VolumeUsageScanner& volume() {
        if (!volume_) {
            volume_ = std::make_unique<VolumeUsageScanner>(VolumeUsageScanner::Places{volumeRoot(), {}, volumeStore()});
            // The saved tree arrives from the scanner's queue.
            volume_->waitUntilIdle();
            QCoreApplication::processEvents();
        }
        return *volume_;
    }

    // A folder under home holding `bytes` allocated bytes; returns its path.
    QString folder(const QString& relative, qint64 bytes = 4096) {
        const QString path = home() + "/" + relative;
        QDir().mkpath(path);
        if (bytes > 0) FileTree::allocateFile(path + "/data.bin", bytes);
        return path;
    }
    static CleanupItem item(const QString& name, const QStringList& paths, double bytes, CleanupCategory category,
                            qint64 files = 12, const QString& consequence = QStringLiteral("Rebuilt on next use.")) {
        return CleanupItem{QUuid::createUuid(), name, paths, bytes, files, category, consequence};
    }
    // Saves a scan result for the cleaner to restore.
    void saveScan(const QList<CleanupGroup>& groups, const QDateTime& at = QDateTime::currentDateTimeUtc()) {
        QJsonArray array;
        for (const CleanupGroup& group : groups)
            array.append(QJsonDocument::fromJson(QByteArray::fromStdString(group.toJson().dump())).object());
        writeJson(scanStore(), QJsonObject{{"scannedAt", ReferenceDate::seconds(at)}, {"groups", array}});
    }
    // Saves a volume tree for the volume scanner to restore.
    void saveVolume(const UsageNode& root, qint64 unreadable, const QDateTime& at = QDateTime::currentDateTimeUtc()) {
        writeJson(volumeStore(), QJsonObject{{"scannedAt", ReferenceDate::seconds(at)},
                                             {"root", root.toJson()},
                                             {"unreadable", unreadable}});
    }
    static UsageNode node(const QString& path, double bytes, bool directory, QList<UsageNode> children = {}) {
        return UsageNode{path.section('/', -1), path, bytes, directory, std::move(children)};
    }

private:
    static void writeJson(const QString& path, const QJsonObject& object) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(QJsonDocument(object).toJson());
    }

    QTemporaryDir dir_;
    UserDefaults store_{QString()};
    DiskCleanSettings settings_{store_};
    LinuxTrash trash_{dataHome()};
    std::unique_ptr<DiskPaneModel> model_;
    std::unique_ptr<DiskCleanScanner> cleaner_;
    std::unique_ptr<VolumeUsageScanner> volume_;
};
