#include "Source/Features/Preferences/UserIdentity.h"

#include "Platform/Core/UserDefaults.h"

#include <QUuid>

namespace {
const QString kKey = QStringLiteral("userIdentifier");
}

QString UserIdentity::id() { return id(UserDefaults::standard()); }

QString UserIdentity::id(UserDefaults& defaults) {
    const QString stored = defaults.string(kKey).value_or(QString());
    if (!stored.isEmpty()) return stored;
    const QString made = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    defaults.setString(kKey, made);
    return made;
}
