#include "Platform/Core/Bundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

const Bundle& Bundle::main() {
    static const Bundle bundle = forExecutable(QCoreApplication::instance() ? QCoreApplication::applicationFilePath()
                                                                             : QString());
    return bundle;
}

Bundle Bundle::forExecutable(const QString& executablePath) {
    Bundle b;
    b.identifier_ = QStringLiteral("com.pelwick.Quorvin");
    b.version_ = QStringLiteral(QUORVIN_VERSION);
    b.build_ = QStringLiteral(QUORVIN_BUILD);
    b.name_ = QStringLiteral("Quorvin");
    b.feedURL_ = defaultFeedURL();
    if (executablePath.isEmpty()) return b;

    const QDir binDir = QFileInfo(executablePath).absoluteDir();
    const QString candidate = QDir::cleanPath(binDir.absolutePath() + "/..");
    QFile info(candidate + "/Info.json");
    if (binDir.dirName() != QLatin1String("bin") || !info.open(QIODevice::ReadOnly)) return b;

    const QJsonObject o = QJsonDocument::fromJson(info.readAll()).object();
    auto text = [&](const char* key, const QString& fallback) {
        const QJsonValue v = o.value(QLatin1String(key));
        return v.isString() && !v.toString().isEmpty() ? v.toString() : fallback;
    };
    b.identifier_ = text("identifier", b.identifier_);
    b.version_ = text("version", b.version_);
    b.build_ = text("build", b.build_);
    b.name_ = text("name", b.name_);
    const QUrl feed(text("feedURL", QString()), QUrl::StrictMode);
    if (feed.isValid() && feed.scheme() == QLatin1String("https") && !feed.host().isEmpty())
        b.feedURL_ = feed.toString(QUrl::FullyEncoded);
    b.bundlePath_ = candidate;
    b.resourcesPath_ = candidate + "/Resources";
    return b;
}

QString Bundle::defaultFeedURL() { return QStringLiteral(QUORVIN_FEED_URL); }

QString Bundle::resourcePath(const QString& name) const {
    if (!resourcesPath_.isEmpty()) {
        const QString onDisk = resourcesPath_ + "/" + name;
        if (QFileInfo::exists(onDisk)) return onDisk;
    }
    return QStringLiteral(":/") + name;
}
