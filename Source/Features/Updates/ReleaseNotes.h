#pragma once

#include "Source/Features/Updates/Release.h"
#include "Source/Features/Updates/UpdateFeed.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

// Where release notes come from: the notes shipped in the bundle and the last good feed kept on
// disk. Every failure here is silent and gives no records from that source.
namespace ReleaseNotes {

// The bundle's "Changelog.json": a JSON array of releases. Missing or unreadable: empty.
QList<Release> readBuiltIn(const QString& path);
// The releases of the cached feed. Missing or not a feed: empty.
QList<Release> readCachedReleases(
    const QString& cachePath,
    const std::function<std::optional<UpdateFeed>(const QByteArray&)>& decode = UpdateFeed::decode);
// Writes the feed's body byte for byte, atomically; false when it could not (logged).
bool writeCache(const QString& cachePath, const QByteArray& body);
// Application Support/Updates/feed.json.
QString defaultCachePath();

// One newest-first list from the built-in and fetched notes: a record replaces an earlier one of
// the same version, whole; versions compare with their digit runs as numbers.
QList<Release> merge(const QList<Release>& builtIn, const QList<Release>& fetched);

// <0, 0 or >0 as a orders before, with or after b when runs of decimal digits compare by their
// value and other characters by their code, with no locale ("2.10" > "2.9").
int compareVersions(const QString& a, const QString& b);

}  // namespace ReleaseNotes
