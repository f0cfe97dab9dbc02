#include "Platform/System/SystemIdentity.h"

#include "Platform/System/SysFs.h"

#include <QStringList>

namespace {

QString readText(const QString& root, std::string_view path) {
    const auto line = SysFs::readLine(SysFs::join(root, path));
    return line ? QString::fromUtf8(line->data(), qsizetype(line->size())).trimmed() : QString();
}

// Values firmware leaves in fields nobody filled in.
bool isPlaceholder(const QString& value) {
    static const QStringList placeholders{"to be filled by o.e.m.", "to be filled by o.e.m", "system product name",
                                          "system manufacturer", "system version", "default string",
                                          "not applicable", "not specified", "none", "o.e.m.", "oem", "0", "x.x",
                                          "123456789"};
    const QString v = value.trimmed().toLower();
    return v.isEmpty() || placeholders.contains(v);
}

}  // namespace

QMap<QString, QString> SystemIdentity::parseOSRelease(const QByteArray& text) {
    QMap<QString, QString> values;
    for (const QByteArray& rawLine : text.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0) continue;
        const QString key = line.left(equals).trimmed();
        const QString raw = line.mid(equals + 1);
        QString value;
        QChar quote;
        for (qsizetype i = 0; i < raw.size(); ++i) {
            const QChar c = raw[i];
            if (quote.isNull()) {
                if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
                    quote = c;
                } else if (c == QLatin1Char('\\') && i + 1 < raw.size()) {
                    value += raw[++i];
                } else if (c.isSpace()) {
                    break;  // an unquoted value ends at a blank
                } else {
                    value += c;
                }
            } else if (c == quote) {
                quote = QChar();
            } else if (quote == QLatin1Char('"') && c == QLatin1Char('\\') && i + 1 < raw.size() &&
                       QStringLiteral("\"\\$`").contains(raw[i + 1])) {
                value += raw[++i];
            } else {
                value += c;
            }
        }
        values.insert(key, value);
    }
    return values;
}

QString SystemIdentity::modelFromDMI(const QString& vendor, const QString& product, const QString& version) {
    const QString maker = isPlaceholder(vendor) ? QString() : vendor.simplified();
    QString name = isPlaceholder(product) ? QString() : product.simplified();
    if (maker.compare(QLatin1String("LENOVO"), Qt::CaseInsensitive) == 0 && !isPlaceholder(version))
        name = version.simplified();
    if (name.isEmpty()) return maker;
    if (maker.isEmpty() || name.startsWith(maker, Qt::CaseInsensitive)) return name;
    return maker + QLatin1Char(' ') + name;
}

SystemIdentity SystemIdentity::read(const QString& root) {
    SystemIdentity identity;
    std::string buffer;
    if (!SysFs::readFile(SysFs::join(root, "/etc/os-release"), buffer))
        SysFs::readFile(SysFs::join(root, "/usr/lib/os-release"), buffer);
    const QMap<QString, QString> release =
        parseOSRelease(QByteArray::fromRawData(buffer.data(), qsizetype(buffer.size())));
    identity.osName = release.value(QStringLiteral("NAME"), QStringLiteral("Linux"));
    if (identity.osName.isEmpty()) identity.osName = QStringLiteral("Linux");
    identity.osVersionID = release.value(QStringLiteral("VERSION_ID"));
    identity.osPrettyName = release.value(QStringLiteral("PRETTY_NAME"));
    if (identity.osPrettyName.isEmpty()) {
        const QString version = release.value(QStringLiteral("VERSION"));
        identity.osPrettyName = version.isEmpty() ? identity.osName : identity.osName + QLatin1Char(' ') + version;
    }
    identity.kernelRelease = readText(root, "/proc/sys/kernel/osrelease");

    const QString dmi = QStringLiteral("/sys/devices/virtual/dmi/id/");
    identity.model = modelFromDMI(readText(root, (dmi + "sys_vendor").toStdString()),
                                  readText(root, (dmi + "product_name").toStdString()),
                                  readText(root, (dmi + "product_version").toStdString()));
    if (identity.model.isEmpty()) {
        // Boards without DMI (most ARM computers) name themselves in the device tree, NUL-terminated.
        if (SysFs::readFile(SysFs::join(root, "/proc/device-tree/model"), buffer)) {
            identity.model = QString::fromUtf8(buffer.c_str()).simplified();
        }
    }
    return identity;
}

const SystemIdentity& SystemIdentity::current() {
    static const SystemIdentity identity = read();
    return identity;
}

QString SystemIdentity::nameAndVersion() const {
    return osVersionID.isEmpty() ? osName : osName + QLatin1Char(' ') + osVersionID;
}

QString SystemIdentity::versionLine() const {
    return kernelRelease.isEmpty() ? osPrettyName : osPrettyName + QStringLiteral(", kernel ") + kernelRelease;
}
