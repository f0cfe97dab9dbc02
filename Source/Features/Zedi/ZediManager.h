#pragma once

#include "Source/Features/Zedi/ZediSettings.h"

#include <QIcon>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class Workspace;

// Zedi: quits a chosen list of applications at once. The list holds bundle identifiers (desktop
// ids here). GUI thread only.
class ZediManager : public QObject {
    Q_OBJECT
public:
    static ZediManager& shared();
    // A manager over the settings in `defaults` and the workspace (tests); nullptr uses
    // Workspace::shared().
    explicit ZediManager(UserDefaults& defaults, Workspace* workspace = nullptr, QObject* parent = nullptr);

    // Opens the settings window on the Zedi pane; run() calls it when the list is empty.
    static void setOpenSettingsHandler(std::function<void()> handler);

    // The stored list; a value that is not a list of texts reads as empty.
    QStringList apps() const;
    void setApps(const QStringList& list);
    void add(const QString& bundleIdentifier);
    void remove(const QStringList& bundleIdentifiers);

    // Asks every running application on the list to quit; returns how many were asked. With an
    // empty list, opens the settings on the Zedi pane instead.
    int run();

    // The application's name from its desktop entry, else the identifier without ".desktop".
    static QString displayName(const QString& bundleIdentifier);
    QIcon icon(const QString& bundleIdentifier) const;

    // The workspace the manager asks (the shared one unless given).
    Workspace& workspace() const;

    ZediSettings& settings() { return settings_; }

signals:
    // The list read changed, whoever wrote it.
    void appsChanged();

private:
    ZediSettings settings_;
    Workspace* workspace_;
};
