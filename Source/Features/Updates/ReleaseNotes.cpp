#include "Source/Features/Updates/ReleaseNotes.h"

#include "Platform/Files/FileWriter.h"
#include "Platform/Files/SafeFile.h"
#include "Source/Extensions/ApplicationSupport.h"
#include "Source/Features/Updates/UpdateFeed.h"
#include "Source/Features/Updates/UpdateLog.h"

#include <QHash>

#include <algorithm>

namespace ReleaseNotes {

namespace {
// Release notes are small; anything bigger is not ours.
constexpr qint64 largestNotesFile = 8 * 1024 * 1024;

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }
}  // namespace

QList<Release> readBuiltIn(const QString& path) {
    std::optional<QByteArray> bytes;
    if (path.startsWith(QLatin1Char(':'))) {
        QFile resource(path);
        if (resource.open(QIODevice::ReadOnly)) bytes = resource.readAll();
    } else {
        bytes = SafeFile::readRegular(path, largestNotesFile);
    }
    if (!bytes) return {};
    return Release::decodeList(*bytes).value_or(QList<Release>{});
}

QList<Release> readCachedReleases(const QString& cachePath,
                                  const std::function<std::optional<UpdateFeed>(const QByteArray&)>& decode) {
    const auto bytes = SafeFile::readRegular(cachePath, largestNotesFile);
    if (!bytes) return {};
    const auto feed = decode(*bytes);
    return feed ? feed->releases : QList<Release>{};
}

bool writeCache(const QString& cachePath, const QByteArray& body) {
    if (const auto error = FileWriter::shared().write(cachePath, body, 0644)) {
        qCWarning(lcUpdates, "Could not keep the update feed: %s", qPrintable(error->message()));
        return false;
    }
    return true;
}

QString defaultCachePath() { return URL::applicationSupport(QStringLiteral("Updates")) + QStringLiteral("/feed.json"); }

QList<Release> merge(const QList<Release>& builtIn, const QList<Release>& fetched) {
    QHash<QString, Release> byVersion;
    for (const Release& r : builtIn) byVersion.insert(r.version, r);
    for (const Release& r : fetched) byVersion.insert(r.version, r);
    QList<Release> out = byVersion.values();
    // Versions that compare as equal but differ ("1.01", "1.1") keep a fixed order by their text.
    std::stable_sort(out.begin(), out.end(), [](const Release& a, const Release& b) {
        const int c = compareVersions(a.version, b.version);
        return c != 0 ? c > 0 : a.version > b.version;
    });
    return out;
}

int compareVersions(const QString& a, const QString& b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            qsizetype ei = i, ej = j;
            while (ei < a.size() && isDigit(a[ei])) ++ei;
            while (ej < b.size() && isDigit(b[ej])) ++ej;
            // Leading zeros carry no value.
            qsizetype si = i, sj = j;
            while (si < ei - 1 && a[si] == QLatin1Char('0')) ++si;
            while (sj < ej - 1 && b[sj] == QLatin1Char('0')) ++sj;
            if (ei - si != ej - sj) return ei - si < ej - sj ? -1 : 1;
            for (qsizetype k = 0; k < ei - si; ++k)
                if (a[si + k] != b[sj + k]) return a[si + k] < b[sj + k] ? -1 : 1;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j]) return a[i] < b[j] ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

}  // namespace ReleaseNotes
