#include "Source/Features/Zedi/ZediManager.h"

#include "Platform/Desktop/DesktopEntries.h"
#include "Platform/Desktop/Workspace.h"

#include <QCoreApplication>
#include <QDebug>
#include <QSet>

namespace {
std::function<void()>& openSettingsHandler() {
    static std::function<void()> handler;
    return handler;
}
}  // namespace

ZediManager& ZediManager::shared() {
    static ZediManager* manager = new ZediManager(UserDefaults::standard());
    return *manager;
}

ZediManager::ZediManager(UserDefaults& defaults, Workspace* workspace, QObject* parent)
    : QObject(parent), settings_(defaults), workspace_(workspace) {
    connect(&settings_.apps, &SettingBase::changed, this, &ZediManager::appsChanged);
}

void ZediManager::setOpenSettingsHandler(std::function<void()> handler) {
    openSettingsHandler() = std::move(handler);
}

Workspace& ZediManager::workspace() const { return workspace_ ? *workspace_ : Workspace::shared(); }

QStringList ZediManager::apps() const {
    return settings_.apps.value();
}

void ZediManager::setApps(const QStringList& list) {
    QStringList unique;
    for (const QString& id : list) {
        if (!id.isEmpty() && !unique.contains(id)) unique << id;
    }
    if (unique == apps() && settings_.apps.isStored()) return;
    settings_.apps.set(unique);
}

void ZediManager::add(const QString& bundleIdentifier) {
    QStringList list = apps();
    if (bundleIdentifier.isEmpty() || list.contains(bundleIdentifier)) return;
    list << bundleIdentifier;
    setApps(list);
}

void ZediManager::remove(const QStringList& bundleIdentifiers) {
    QStringList list = apps();
    const qsizetype before = list.size();
    list.removeIf([&](const QString& id) { return bundleIdentifiers.contains(id); });
    if (list.size() != before) setApps(list);
}

int ZediManager::run() {
    const QStringList list = apps();
    if (list.isEmpty()) {
        if (openSettingsHandler()) {
            openSettingsHandler()();
        } else {
            qWarning("Zedi has no applications to quit and no settings window to open.");
        }
        return 0;
    }
    const QSet<QString> wanted(list.begin(), list.end());
    const qint64 self = QCoreApplication::applicationPid();
    int asked = 0;
    for (const RunningApplication& app : workspace().runningApplications()) {
        if (app.pid == self || !wanted.contains(app.bundleIdentifier)) continue;
        if (workspace().terminate(app)) ++asked;
    }
    return asked;
}

QString ZediManager::displayName(const QString& bundleIdentifier) {
    if (auto entry = DesktopEntries::shared().entry(bundleIdentifier); entry && !entry->name.isEmpty()) {
        return entry->name;
    }
    QString name = bundleIdentifier;
    if (name.endsWith(QLatin1String(".desktop"))) name.chop(8);
    return name;
}

QIcon ZediManager::icon(const QString& bundleIdentifier) const {
    return workspace().icon(bundleIdentifier);
}
