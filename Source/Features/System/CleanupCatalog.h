#pragma once

#include "Source/Features/System/CleanupCategory.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

// One row of the cleanup catalogue: places a tool can rebuild, relative to the home folder.
struct CleanupCandidate {
    QString name;  // identity, and the key in "diskCleanTargets"
    QStringList relativePaths;
    CleanupCategory category;
    QString consequence;
    bool defaultOn;
    // Where the row's data lives on Linux, tried after relativePaths: home-relative, or starting
    // with "$XDG_CACHE_HOME/" or "$XDG_DATA_HOME/". Empty where Linux has no such place.
    QStringList linuxPaths;

    QString id() const { return name; }
};

// Where the folders the Linux locations name live.
struct CleanupBases {
    QString home;
    QString cacheHome;  // $XDG_CACHE_HOME, else ~/.cache
    QString dataHome;   // $XDG_DATA_HOME, else ~/.local/share

    // From the environment.
    static CleanupBases current();
    // The location as an absolute path.
    QString resolve(const QString& location) const;
};

namespace CleanupCatalog {
// The 18 rows, in the order of scanning and of the settings toggles.
const QList<CleanupCandidate>& candidates();
// Every row's relative paths, on or off (20 paths).
const QSet<QString>& claimedPaths();
// Every row's Linux locations, resolved, on or off.
QSet<QString> claimedLinuxPaths(const CleanupBases& bases);

inline const QString perAppCaches = QStringLiteral("Per-app caches");
inline const QString perAppConsequence =
    QStringLiteral("This app rebuilds its cache as you use it. Its first launch after cleaning may be slower.");
inline const QString customConsequence =
    QStringLiteral("You added this folder in Settings. It moves to the Trash, so you can put it back from there.");
// Cache folders whose names begin with one of these are never listed.
const QStringList& protectedCachePrefixes();
}  // namespace CleanupCatalog
