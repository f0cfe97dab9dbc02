#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <nlohmann/json_fwd.hpp>

#include <optional>

// The release notes of one version, from the feed or from the notes shipped in the bundle.
struct Release {
    QString version;            // the key of the merge
    QString date;               // display text, never parsed
    QStringList notes;          // in display order
    std::optional<QUrl> image;  // an optional picture

    // A JSON object with "version", "date" and "notes" (strings, notes an array of strings) and an
    // optional "image" URL (null counts as none); other keys are ignored. Nothing when a required key
    // is missing, a value has the wrong type or a URL does not parse.
    static std::optional<Release> fromJson(const nlohmann::json& object);
    nlohmann::ordered_json toJson() const;

    // A JSON array of releases (the notes in the bundle), all or nothing.
    static std::optional<QList<Release>> decodeList(const QByteArray& bytes);

    bool operator==(const Release&) const = default;
};

size_t qHash(const Release& release, size_t seed = 0);

// A URL field of the feed: a string that parses strictly as a URL; nothing otherwise.
std::optional<QUrl> decodeFeedURL(const nlohmann::json& value);
