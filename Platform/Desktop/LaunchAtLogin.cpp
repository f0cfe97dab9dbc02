#include "Platform/Desktop/LaunchAtLogin.h"

#include "Platform/Core/Bundle.h"
#include "Platform/Files/NativePath.h"
#include "Platform/Files/SafeFile.h"
#include "Platform/Files/UserFolders.h"

#include <sys/stat.h>

namespace {

// What a desktop file's string values escape.
QString unescape(const QString& value) {
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != QLatin1Char('\\') || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const QChar next = value[++i];
        if (next == QLatin1Char('s')) out += QLatin1Char(' ');
        else if (next == QLatin1Char('n')) out += QLatin1Char('\n');
        else if (next == QLatin1Char('t')) out += QLatin1Char('\t');
        else if (next == QLatin1Char('r')) out += QLatin1Char('\r');
        else out += next;
    }
    return out;
}

// A desktop file's string value with its escapes.
QString escaped(QString value) {
    value.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    value.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    value.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
    value.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
    return value;
}

QByteArray entryWithExec(const QString& exec, bool enabled) {
    QString text = QStringLiteral(
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Quorvin\n"
        "Comment=Start Quorvin automatically when you log in\n");
    text += QStringLiteral("Exec=") + exec + QLatin1Char('\n');
    text += QStringLiteral("Terminal=false\n");
    text += QStringLiteral("X-GNOME-Autostart-enabled=") + (enabled ? "true" : "false") + QLatin1Char('\n');
    text += QStringLiteral("Hidden=") + (enabled ? "false" : "true") + QLatin1Char('\n');
    text += QLatin1String(LaunchAtLogin::markerKey) + QStringLiteral("=true\n");
    return text.toUtf8();
}

bool isTrue(const QString& value) { return value.trimmed() == QLatin1String("true"); }
bool isFalse(const QString& value) { return value.trimmed() == QLatin1String("false"); }

}  // namespace

LaunchAtLogin& LaunchAtLogin::shared() {
    static LaunchAtLogin* launch = new LaunchAtLogin(defaultFolder(), Bundle::executablePath(), FileWriter::shared());
    return *launch;
}

QString LaunchAtLogin::defaultFolder() { return UserFolders::configHome() + QStringLiteral("/autostart"); }

LaunchAtLogin::LaunchAtLogin(QString folder, QString executable, FileWriter& writer)
    : folder_(std::move(folder)), executable_(std::move(executable)), writer_(writer) {}

QString LaunchAtLogin::entryPath() const { return folder_ + QLatin1Char('/') + QLatin1String(entryName); }

std::optional<LaunchAtLogin::Entry> LaunchAtLogin::parse(const QByteArray& text) {
    std::optional<Entry> entry;
    bool inGroup = false;
    for (const QByteArray& rawLine : text.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == QLatin1String("[Desktop Entry]");
            if (inGroup && !entry) entry = Entry{};
            continue;
        }
        if (!inGroup) continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0) continue;
        const QString key = line.left(equals).trimmed();
        const QString value = unescape(line.mid(equals + 1).trimmed());
        if (key == QLatin1String(markerKey)) entry->ours = isTrue(value);
        else if (key == QLatin1String("Hidden")) entry->hidden = isTrue(value);
        else if (key == QLatin1String("X-GNOME-Autostart-enabled")) entry->switchedOff = isFalse(value);
        else if (key == QLatin1String("Exec")) entry->exec = value;
    }
    return entry;
}

QString LaunchAtLogin::execValue(const QString& executable) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool quote = false;
    for (QChar c : executable) quote = quote || reserved.contains(c);
    QString arg;
    for (QChar c : executable) {
        if (c == QLatin1Char('%')) {
            arg += QStringLiteral("%%");  // not a field code
        } else if (quote && (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                             c == QLatin1Char('\\'))) {
            arg += QLatin1Char('\\');
            arg += c;
        } else {
            arg += c;
        }
    }
    if (quote) arg = QLatin1Char('"') + arg + QLatin1Char('"');
    // The key's value is a string in its own right: its backslashes are escaped once more.
    return escaped(arg);
}

QByteArray LaunchAtLogin::entryText(const QString& executable, bool enabled) {
    return entryWithExec(execValue(executable), enabled);
}

bool LaunchAtLogin::isEnabled() const {
    const auto file = SafeFile::openRegular(entryPath());  // never read through a link we did not make
    if (!file) return false;
    const std::optional<Entry> entry = parse(file->read(64 * 1024));
    return entry && entry->ours && !entry->hidden && !entry->switchedOff;
}

bool LaunchAtLogin::canNameExecutable() const {
    if (executable_.isEmpty() || !NativePath::isUtf8(executable_)) return false;
    for (const QChar c : executable_)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) return false;
    return true;
}

FileWriter::Result LaunchAtLogin::setEnabled(bool enabled) {
    const QString path = entryPath();
    if (enabled && !canNameExecutable())
        return FileError::refused(NativePath::displayed(executable_),
                                  QStringLiteral("an autostart entry cannot name this path"));
    std::optional<Entry> entry;
    if (SafeFile::exists(path)) {
        if (const auto file = SafeFile::openRegular(path)) entry = parse(file->read(64 * 1024));
        if (!entry || !entry->ours) {
            // Someone else's entry: turning off has nothing of ours to do, turning on may not replace it.
            if (!enabled) return std::nullopt;
            return FileError::refused(path, QStringLiteral("an autostart entry of another program has this name"));
        }
    } else if (!enabled) {
        return std::nullopt;
    }
    struct stat folder {};
    const bool isFolder = ::stat(NativePath::encode(folder_).constData(), &folder) == 0 && S_ISDIR(folder.st_mode);
    if (!isFolder) {
        if (auto failure = writer_.makeFolder(folder_, 0777)) return failure;
    }
    // Turned off by a program no entry can name, the entry keeps the path it had: never another one.
    const QString exec = canNameExecutable() ? execValue(executable_) : escaped(entry->exec);
    return writer_.write(path, entryWithExec(exec, enabled), 0644);
}
