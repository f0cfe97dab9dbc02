#pragma once

#include <QString>

#include <optional>

// Why a toolbox text engine gave no result; the message is shown to the user unchanged.
struct TransformFailure {
    enum class Kind { notThatFormat, syntax };

    Kind kind = Kind::notThatFormat;
    QString message;
    std::optional<qint64> line;  // 1-based; only a syntax failure has one, and only when it is known

    static TransformFailure notThatFormat(QString message);
    static TransformFailure syntax(QString message, std::optional<qint64> line);

    // What a pane shows: "Строка 3: message" for a syntax failure with a line, else the message.
    QString displayText() const;

    bool operator==(const TransformFailure&) const = default;
};
