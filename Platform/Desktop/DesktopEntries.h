#pragma once

#include <QIcon>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

// One application from the XDG application folders (a .desktop file).
struct DesktopEntry {
    QString id;          // desktop id, e.g. "org.gnome.Terminal.desktop"
    QString path;        // the .desktop file
    QString name;        // Name= (unlocalised)
    QString icon;        // Icon= (a theme name or an absolute path)
    QString exec;        // Exec= as written
    QString execProgram; // the program Exec= runs: its base name, without arguments or env prefixes
    QString tryExec;
    QString startupWMClass;
    QStringList categories;
    bool noDisplay = false;
    bool isTerminalEmulator() const { return categories.contains(QStringLiteral("TerminalEmulator")); }
    bool operator==(const DesktopEntry&) const = default;
};

// The index of installed applications, built once from $XDG_DATA_HOME/applications and each
// $XDG_DATA_DIRS/applications (earlier folders win for the same id) and rebuilt when a folder
// changes. Thread-safe: lookups may run on any queue.
class DesktopEntries : public QObject {
    Q_OBJECT
public:
    static DesktopEntries& shared();
    // An index over the given application folders (tests).
    explicit DesktopEntries(QStringList applicationFolders, bool watch = false, QObject* parent = nullptr);
    ~DesktopEntries() override;

    static QStringList defaultFolders();
    static std::optional<DesktopEntry> parse(const QString& path, const QString& id);

    std::vector<DesktopEntry> all() const;
    std::optional<DesktopEntry> entry(const QString& id) const;
    // The entry that launches a program: matched by the base name of the executable (or argv[0])
    // against Exec=/TryExec=, then against StartupWMClass= and the id; hidden entries rank last.
    std::optional<DesktopEntry> entryForProgram(const QString& executablePath, const QString& argv0 = {}) const;
    // The icon of an entry through the icon theme (or its absolute path); a null icon when none.
    static QIcon icon(const DesktopEntry& entry);
    void rebuild();

signals:
    void changed();

private:
    struct State;
    std::unique_ptr<State> d;
};
