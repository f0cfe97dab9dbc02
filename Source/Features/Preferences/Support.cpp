#include "Source/Features/Preferences/Support.h"

#include "Platform/Core/Bundle.h"
#include "Platform/System/SystemIdentity.h"
#include "Source/Features/Preferences/UserIdentity.h"

#include <QStringList>

QUrl Support::website() {
    static const QUrl url(QStringLiteral("https://pelwick.com/quorvin"));
    return url;
}

QUrl Support::telegram() {
    static const QUrl url(QStringLiteral("https://t.me/quorvin_support"));
    return url;
}

QString Support::email() { return QStringLiteral("support@pelwick.com"); }

Support::Facts Support::currentFacts() {
    const Bundle& bundle = Bundle::main();
    const SystemIdentity& system = SystemIdentity::current();
    return Facts{bundle.version(), bundle.build(), system.versionLine(), system.model, UserIdentity::id()};
}

QString Support::systemInfo(const Facts& facts) {
    const auto known = [](const QString& value) { return value.isEmpty() ? QStringLiteral("?") : value; };
    return QStringList{QStringLiteral("Quorvin ") + known(facts.version) + QStringLiteral(" (") + known(facts.build) +
                           QLatin1Char(')'),
                       facts.system, QStringLiteral("Model: ") + facts.model,
                       QStringLiteral("Install: ") + facts.installID}
        .join(QLatin1Char('\n'));
}

QString Support::systemInfo() { return systemInfo(currentFacts()); }

QUrl Support::reportURL(const QString& systemInfo) {
    const QString body = QStringLiteral("What happened:\n\n\nWhat you expected:\n\n\n---\n") + systemInfo;
    QUrl url;
    url.setScheme(QStringLiteral("mailto"));
    url.setPath(email());
    // Every value fully percent-encoded: mail programs differ on what '+' or '&' mean in a query.
    url.setQuery(QStringLiteral("subject=") +
                     QString::fromLatin1(QUrl::toPercentEncoding(QStringLiteral("Quorvin bug report"))) +
                     QStringLiteral("&body=") + QString::fromLatin1(QUrl::toPercentEncoding(body)),
                 QUrl::StrictMode);
    if (!url.isValid()) return QUrl(QStringLiteral("mailto:") + email());
    return url;
}
