#pragma once

#include "Platform/Files/FileWriter.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Launch at login as an XDG autostart entry, "<autostart folder>/com.pelwick.Quorvin.desktop".
// It is on only while that entry is ours (it carries our marker), a regular file, and neither
// hidden nor switched off by the desktop's session settings. Turning it off marks our entry
// hidden; an entry of that name that is not ours is never changed. Written atomically. A program
// whose path a desktop entry cannot hold (bytes that are not UTF-8, a control character) is never
// turned on: no entry names another path in its place.
class LaunchAtLogin {
public:
    static constexpr const char* entryName = "com.pelwick.Quorvin.desktop";
    static constexpr const char* markerKey = "X-Quorvin-Autostart";

    // This program (Bundle::executablePath) in $XDG_CONFIG_HOME/autostart (~/.config/autostart),
    // through the shared writer.
    static LaunchAtLogin& shared();
    static QString defaultFolder();

    LaunchAtLogin(QString folder, QString executable, FileWriter& writer);

    QString entryPath() const;
    bool isEnabled() const;
    // Writes the entry on or off; the error says why when it could not be.
    FileWriter::Result setEnabled(bool enabled);
    // Whether an entry can name the executable; turning on is refused when it cannot.
    bool canNameExecutable() const;

    // What an autostart entry says, as far as launching at login goes.
    struct Entry {
        bool ours = false;
        bool hidden = false;
        bool switchedOff = false;  // X-GNOME-Autostart-enabled=false
        QString exec;
    };
    // The [Desktop Entry] group of a desktop file; absent when it has none.
    static std::optional<Entry> parse(const QByteArray& text);
    static QByteArray entryText(const QString& executable, bool enabled);
    // The executable as the Exec key wants it: quoted where needed, with its escapes.
    static QString execValue(const QString& executable);

private:
    QString folder_;
    QString executable_;
    FileWriter& writer_;
};
