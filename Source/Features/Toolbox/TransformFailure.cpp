#include "Source/Features/Toolbox/TransformFailure.h"

TransformFailure TransformFailure::notThatFormat(QString message) {
    return {Kind::notThatFormat, std::move(message), std::nullopt};
}

TransformFailure TransformFailure::syntax(QString message, std::optional<qint64> line) {
    return {Kind::syntax, std::move(message), line};
}

QString TransformFailure::displayText() const {
    if (kind == Kind::syntax && line) return QString::asprintf("Строка %lld: ", *line) + message;
    return message;
}
