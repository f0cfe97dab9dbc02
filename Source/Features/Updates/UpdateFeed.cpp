#include "Source/Features/Updates/UpdateFeed.h"

#include "Platform/Core/JsonDepth.h"
#include "Platform/Core/JsonText.h"

#include <nlohmann/json.hpp>

#include <limits>

namespace {
constexpr int deepestFeedLevel = 8;

std::optional<qint64> integer(const nlohmann::json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end()) return std::nullopt;
    if (it->is_number_unsigned()) {
        const auto v = it->get<std::uint64_t>();
        if (v > std::uint64_t(std::numeric_limits<qint64>::max())) return std::nullopt;
        return qint64(v);
    }
    if (it->is_number_integer()) return qint64(it->get<std::int64_t>());
    return std::nullopt;
}

std::optional<QString> text(const nlohmann::json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end() || !it->is_string()) return std::nullopt;
    return QString::fromStdString(it->get<std::string>());
}

}  // namespace

nlohmann::json parseFeedJson(const QByteArray& bytes) {
    if (!JsonText::isOneValue(bytes) ||
        JsonDepth::tooDeepOffset(std::string_view(bytes.constData(), std::size_t(bytes.size())), deepestFeedLevel) !=
            std::string_view::npos)
        return nlohmann::json(nlohmann::json::value_t::discarded);
    return nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
}

std::optional<UpdateFeed::Build> UpdateFeed::Build::fromJson(const nlohmann::json& object) {
    if (!object.is_object()) return std::nullopt;
    const auto version = text(object, "version");
    const auto build = integer(object, "build");
    const auto urlIt = object.find("url");
    const auto signature = text(object, "signature");
    const auto length = integer(object, "length");
    if (!version || !build || urlIt == object.end() || !signature || !length) return std::nullopt;
    const auto url = decodeFeedURL(*urlIt);
    if (!url) return std::nullopt;
    return Build{*version, *build, *url, *signature, *length};
}

nlohmann::ordered_json UpdateFeed::Build::toJson() const {
    nlohmann::ordered_json o;
    o["version"] = version.toStdString();
    o["build"] = build;
    o["url"] = url.toString(QUrl::FullyEncoded).toStdString();
    o["signature"] = signature.toStdString();
    o["length"] = length;
    return o;
}

std::optional<UpdateFeed> UpdateFeed::decode(const QByteArray& bytes) {
    const nlohmann::json doc = parseFeedJson(bytes);
    if (doc.is_discarded() || !doc.is_object()) return std::nullopt;
    const auto latest = doc.find("latest");
    const auto releases = doc.find("releases");
    if (latest == doc.end() || releases == doc.end() || !releases->is_array()) return std::nullopt;
    UpdateFeed feed;
    auto build = Build::fromJson(*latest);
    if (!build) return std::nullopt;
    feed.latest = *build;
    for (const nlohmann::json& record : *releases) {
        auto release = Release::fromJson(record);
        if (!release) return std::nullopt;
        feed.releases << *release;
    }
    return feed;
}

QByteArray UpdateFeed::encode() const {
    nlohmann::ordered_json o;
    o["latest"] = latest.toJson();
    o["releases"] = nlohmann::ordered_json::array();
    for (const Release& r : releases) o["releases"].push_back(r.toJson());
    return QByteArray::fromStdString(o.dump(2, ' ', false, nlohmann::json::error_handler_t::replace));
}
