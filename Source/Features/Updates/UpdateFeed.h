#pragma once

#include "Source/Features/Updates/Release.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// The update feed: the newest installable build and the release notes of published versions.
struct UpdateFeed {
    // One installable build: a zip archive of the bundle at `url`, `length` bytes long, signed
    // whole with the maker's Ed25519 key.
    struct Build {
        QString version;    // user-visible version
        qint64 build = 0;   // compared with the running build
        QUrl url;           // the archive
        QString signature;  // standard base64 of the 64-byte signature over the archive's bytes
        qint64 length = 0;  // the archive's exact size in bytes

        static std::optional<Build> fromJson(const nlohmann::json& object);
        nlohmann::ordered_json toJson() const;
        bool operator==(const Build&) const = default;
    };

    Build latest;
    QList<Release> releases;  // in any order

    // The feed document, all or nothing: a missing key or a value of the wrong type anywhere (inside
    // one release too), a URL that does not parse or JSON nested too deeply rejects it. Keys the
    // records do not name are ignored.
    static std::optional<UpdateFeed> decode(const QByteArray& bytes);
    QByteArray encode() const;

    bool operator==(const UpdateFeed&) const = default;
};

// Parses JSON text of the updater's files, refusing documents nested deeper than a feed can be.
nlohmann::json parseFeedJson(const QByteArray& bytes);
