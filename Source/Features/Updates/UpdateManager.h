#pragma once

#include "Platform/Core/Bundle.h"
#include "Source/Features/Updates/Release.h"
#include "Source/Features/Updates/UpdateFeed.h"

#include <QList>
#include <QObject>
#include <QString>

#include <optional>

// The program's single updater: the release notes for the changelog, and (see the checker and
// installer) what the update feed offers.
class UpdateManager : public QObject {
    Q_OBJECT
public:
    // Where a manager finds the running program and keeps its files.
    struct Environment {
        Bundle bundle;          // the running program
        QString changelogPath;  // the built-in release notes
        QString cachePath;      // the last good feed

        // The running program's bundle, its "Changelog.json" and Application Support/Updates/feed.json.
        static Environment standard();
    };

    static UpdateManager& shared();
    explicit UpdateManager(Environment environment, QObject* parent = nullptr);

    const Environment& environment() const { return env_; }

    // Merged release notes, newest first.
    const QList<Release>& releases() const { return releases_; }

    // Built-in notes first, fetched second; see ReleaseNotes::merge.
    static QList<Release> merge(const QList<Release>& builtIn, const QList<Release>& fetched);

signals:
    void releasesChanged();

private:
    void setReleases(QList<Release> releases);

    Environment env_;
    QList<Release> releases_;
};
