#include "Source/Features/Updates/Release.h"

#include "Source/Features/Updates/UpdateFeed.h"

#include <nlohmann/json.hpp>

namespace {
std::optional<QString> text(const nlohmann::json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end() || !it->is_string()) return std::nullopt;
    return QString::fromStdString(it->get<std::string>());
}
}  // namespace

std::optional<QUrl> decodeFeedURL(const nlohmann::json& value) {
    if (!value.is_string()) return std::nullopt;
    const QString s = QString::fromStdString(value.get<std::string>());
    if (s.isEmpty()) return std::nullopt;
    const QUrl url(s, QUrl::StrictMode);
    if (!url.isValid()) return std::nullopt;
    return url;
}

std::optional<Release> Release::fromJson(const nlohmann::json& object) {
    if (!object.is_object()) return std::nullopt;
    Release r;
    const auto version = text(object, "version");
    const auto date = text(object, "date");
    const auto notes = object.find("notes");
    if (!version || !date || notes == object.end() || !notes->is_array()) return std::nullopt;
    r.version = *version;
    r.date = *date;
    for (const nlohmann::json& note : *notes) {
        if (!note.is_string()) return std::nullopt;
        r.notes << QString::fromStdString(note.get<std::string>());
    }
    const auto image = object.find("image");
    if (image != object.end() && !image->is_null()) {
        r.image = decodeFeedURL(*image);
        if (!r.image) return std::nullopt;
    }
    return r;
}

nlohmann::ordered_json Release::toJson() const {
    nlohmann::ordered_json o;
    o["version"] = version.toStdString();
    o["date"] = date.toStdString();
    o["notes"] = nlohmann::ordered_json::array();
    for (const QString& note : notes) o["notes"].push_back(note.toStdString());
    if (image) o["image"] = image->toString(QUrl::FullyEncoded).toStdString();
    return o;
}

std::optional<QList<Release>> Release::decodeList(const QByteArray& bytes) {
    const nlohmann::json array = parseFeedJson(bytes);
    if (array.is_discarded() || !array.is_array()) return std::nullopt;
    QList<Release> out;
    for (const nlohmann::json& record : array) {
        auto release = fromJson(record);
        if (!release) return std::nullopt;
        out << *release;
    }
    return out;
}

size_t qHash(const Release& release, size_t seed) {
    QtPrivate::QHashCombine combine;
    seed = combine(seed, release.version);
    seed = combine(seed, release.date);
    seed = combine(seed, release.notes);
    seed = combine(seed, release.image ? release.image->toString() : QString());
    return combine(seed, release.image.has_value());
}
