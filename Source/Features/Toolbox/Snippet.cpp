#include "Source/Features/Toolbox/Snippet.h"

#include "Platform/Core/Clock.h"

#include <cmath>

nlohmann::ordered_json Snippet::toJson() const {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    object["id"] = id.toString(QUuid::WithoutBraces).toUpper().toStdString();
    object["title"] = title.toStdString();
    object["body"] = body.toStdString();
    object["createdAt"] = ReferenceDate::seconds(createdAt);
    return object;
}

std::optional<Snippet> Snippet::fromJson(const nlohmann::json& object) {
    if (!object.is_object()) return std::nullopt;
    const auto field = [&object](const char* key) -> const nlohmann::json* {
        const auto it = object.find(key);
        return it == object.end() ? nullptr : &*it;
    };
    const nlohmann::json* id = field("id");
    const nlohmann::json* title = field("title");
    const nlohmann::json* body = field("body");
    const nlohmann::json* createdAt = field("createdAt");
    if (!id || !id->is_string() || !title || !title->is_string() || !body || !body->is_string() || !createdAt ||
        !createdAt->is_number())
        return std::nullopt;
    const std::string& idText = id->get_ref<const std::string&>();
    const QUuid uuid = QUuid::fromString(QString::fromStdString(idText));
    if (idText.size() != 36 || (uuid.isNull() && idText != "00000000-0000-0000-0000-000000000000")) return std::nullopt;
    const double seconds = createdAt->get<double>();
    if (!std::isfinite(seconds)) return std::nullopt;
    return Snippet{uuid, QString::fromStdString(title->get_ref<const std::string&>()),
                   QString::fromStdString(body->get_ref<const std::string&>()), ReferenceDate::date(seconds)};
}
