#include "Platform/Core/Bundle.h"

#include "Platform/Core/JsonText.h"
#include "Platform/Files/NativePath.h"
#include "Platform/Files/SafeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <unistd.h>

namespace {

constexpr qint64 largestInfo = 1024 * 1024;

}  // namespace

const Bundle& Bundle::main() {
    static const Bundle bundle = forExecutable(executablePath());
    return bundle;
}

QString Bundle::executablePath() {
    // Read once: after an update has taken the bundle's place the link names a removed file.
    static const QString path = [] {
        QByteArray target(256, '\0');
        for (;;) {
            const ssize_t n = ::readlink("/proc/self/exe", target.data(), size_t(target.size()));
            if (n < 0) return QString();
            if (n < target.size()) return NativePath::decode(QByteArrayView(target.constData(), n));
            target.resize(target.size() * 2);
        }
    }();
    return path;
}

Bundle Bundle::forExecutable(const QString& executablePath) {
    Bundle b;
    b.identifier_ = QStringLiteral("com.pelwick.Quorvin");
    b.version_ = QStringLiteral(QUORVIN_VERSION);
    b.build_ = QStringLiteral(QUORVIN_BUILD);
    b.name_ = QStringLiteral("Quorvin");
    b.feedURL_ = defaultFeedURL();
    if (executablePath.isEmpty()) return b;

    // By the text alone: Qt's file functions would name a folder that is not UTF-8 by its look-alike.
    const QString executable =
        QDir::cleanPath(QDir::isAbsolutePath(executablePath) ? executablePath
                                                             : QDir::currentPath() + QLatin1Char('/') + executablePath);
    const QString binDir = executable.left(executable.lastIndexOf(QLatin1Char('/')));
    if (binDir.section(QLatin1Char('/'), -1) != QLatin1String("bin")) return b;
    const QString candidate = QDir::cleanPath(binDir + QStringLiteral("/.."));
    const std::optional<QByteArray> info = SafeFile::readRegular(candidate + QStringLiteral("/Info.json"), largestInfo);
    if (!info || !JsonText::isOneValue(*info)) return b;

    const QJsonObject o = QJsonDocument::fromJson(*info).object();
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
    if (!resourcesPath_.isEmpty() && NativePath::isUtf8(resourcesPath_)) {
        const QString onDisk = resourcesPath_ + "/" + name;
        if (QFileInfo::exists(onDisk)) return onDisk;
    }
    return QStringLiteral(":/") + name;
}
