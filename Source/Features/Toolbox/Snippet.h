#pragma once

#include <QDateTime>
#include <QString>
#include <QUuid>

#include <nlohmann/json.hpp>

#include <optional>

// One stored text snippet. Its JSON form is an object with the keys id, title, body and
// createdAt, in that order: the id upper-case, the date in seconds since 2001.
struct Snippet {
    QUuid id;
    QString title;
    QString body;
    QDateTime createdAt;

    bool operator==(const Snippet&) const = default;

    nlohmann::ordered_json toJson() const;
    // Absent when a key is missing or holds the wrong type, or the id is no UUID.
    static std::optional<Snippet> fromJson(const nlohmann::json& object);
};
