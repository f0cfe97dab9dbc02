#include "Platform/Desktop/DesktopEntries.h"

#include "Platform/Files/UserFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHash>
#include <QSet>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <mutex>

namespace {

// Programs that only launch or interpret another one: an entry whose Exec= runs one of these says
// nothing about the processes named after it, so it is never matched by its Exec= program.
const QSet<QString>& launcherPrograms() {
    // Never destroyed: an index may still be built on a worker while the program exits.
    static const QSet<QString>& names = *new QSet<QString>{
        QStringLiteral("sh"),      QStringLiteral("bash"),    QStringLiteral("dash"),
        QStringLiteral("zsh"),     QStringLiteral("fish"),    QStringLiteral("env"),
        QStringLiteral("flatpak"), QStringLiteral("snap"),    QStringLiteral("python"),
        QStringLiteral("python3"), QStringLiteral("perl"),    QStringLiteral("ruby"),
        QStringLiteral("java"),    QStringLiteral("node"),    QStringLiteral("gjs"),
        QStringLiteral("wine"),    QStringLiteral("xdg-open"), QStringLiteral("gio"),
        QStringLiteral("kioclient"), QStringLiteral("kioclient5"), QStringLiteral("pkexec"),
        QStringLiteral("sudo"),    QStringLiteral("gksu"),    QStringLiteral("kdesu"),
        QStringLiteral("exo-open"), QStringLiteral("appimagelauncher"),
    };
    return names;
}

constexpr qint64 maxEntryFileSize = 1 << 20;
constexpr int maxFolderDepth = 8;
// A name that only shares a prefix with an Exec= program must continue it after a '-' and the
// program name must be at least this long ("gnome-terminal-server" for "gnome-terminal").
constexpr int minPrefixLength = 4;

QString baseName(const QString& path) {
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.mid(slash + 1);
}

// The general escapes of a desktop-entry value: \s \n \t \r \\.
QString unescapeValue(QStringView raw) {
    if (!raw.contains(QLatin1Char('\\'))) return raw.toString();
    QString out;
    out.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw[i];
        if (c != QLatin1Char('\\') || i + 1 >= raw.size()) {
            out += c;
            continue;
        }
        const QChar n = raw[++i];
        switch (n.unicode()) {
        case 's': out += QLatin1Char(' '); break;
        case 'n': out += QLatin1Char('\n'); break;
        case 't': out += QLatin1Char('\t'); break;
        case 'r': out += QLatin1Char('\r'); break;
        case '\\': out += QLatin1Char('\\'); break;
        default: out += QLatin1Char('\\'); out += n; break;
        }
    }
    return out;
}

QStringList splitList(const QString& value) {
    QStringList items;
    QString current;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == QLatin1Char('\\') && i + 1 < value.size() && value[i + 1] == QLatin1Char(';')) {
            current += QLatin1Char(';');
            ++i;
        } else if (c == QLatin1Char(';')) {
            if (!current.isEmpty()) items << current;
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.isEmpty()) items << current;
    return items;
}

bool parseBool(const QString& value) {
    return value == QLatin1String("true") || value == QLatin1String("1");
}

// Splits an Exec= value (already unescaped) into its arguments: blanks separate them, double
// quotes group them, and inside quotes a backslash escapes ", `, $ and \.
QStringList execArguments(const QString& exec) {
    QStringList args;
    QString current;
    bool inQuotes = false, hasToken = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (inQuotes) {
            if (c == QLatin1Char('\\') && i + 1 < exec.size()) {
                current += exec[++i];
            } else if (c == QLatin1Char('"')) {
                inQuotes = false;
            } else {
                current += c;
            }
        } else if (c == QLatin1Char('"')) {
            inQuotes = true;
            hasToken = true;
        } else if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n')) {
            if (hasToken) args << current;
            current.clear();
            hasToken = false;
        } else {
            current += c;
            hasToken = true;
        }
    }
    if (hasToken) args << current;
    return args;
}

// The program an Exec= line runs: skips `env` with its options and VAR=value assignments.
QString execProgramOf(const QString& exec) {
    const QStringList args = execArguments(exec);
    qsizetype i = 0;
    auto isAssignment = [](const QString& a) {
        const qsizetype eq = a.indexOf(QLatin1Char('='));
        return eq > 0 && !a.left(eq).contains(QLatin1Char('/'));
    };
    while (i < args.size() && isAssignment(args[i])) ++i;
    if (i < args.size() && baseName(args[i]) == QLatin1String("env")) {
        ++i;
        while (i < args.size()) {
            const QString& a = args[i];
            if (a == QLatin1String("-u") || a == QLatin1String("--unset") || a == QLatin1String("-C") ||
                a == QLatin1String("--chdir")) {
                i += 2;
            } else if (a.startsWith(QLatin1Char('-')) || isAssignment(a)) {
                ++i;
            } else {
                break;
            }
        }
    }
    return i < args.size() ? baseName(args[i]) : QString();
}

enum class ParseStatus { application, hidden, other };

ParseStatus parseFile(const QString& path, const QString& id, DesktopEntry& out) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxEntryFileSize) return ParseStatus::other;
    const QString text = QString::fromUtf8(file.readAll());

    QHash<QString, QString> values;
    bool inGroup = false, sawGroup = false;
    for (QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        if (line.startsWith(QLatin1Char('['))) {
            if (sawGroup && inGroup) break;  // the main group ended
            inGroup = line == QLatin1String("[Desktop Entry]");
            sawGroup = sawGroup || inGroup;
            continue;
        }
        if (!inGroup) continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0) continue;
        const QString key = line.left(eq).trimmed().toString();
        if (key.contains(QLatin1Char('['))) continue;  // localised variants
        if (!values.contains(key)) values.insert(key, unescapeValue(line.mid(eq + 1).trimmed()));
    }
    if (!sawGroup) return ParseStatus::other;
    if (parseBool(values.value(QStringLiteral("Hidden")))) return ParseStatus::hidden;
    if (values.value(QStringLiteral("Type")) != QLatin1String("Application")) return ParseStatus::other;
    const QString name = values.value(QStringLiteral("Name"));
    if (name.isEmpty()) return ParseStatus::other;

    out = DesktopEntry{};
    out.id = id;
    out.path = path;
    out.name = name;
    out.icon = values.value(QStringLiteral("Icon"));
    out.exec = values.value(QStringLiteral("Exec"));
    out.execProgram = execProgramOf(out.exec);
    out.tryExec = values.value(QStringLiteral("TryExec"));
    out.startupWMClass = values.value(QStringLiteral("StartupWMClass"));
    out.categories = splitList(values.value(QStringLiteral("Categories")));
    out.noDisplay = parseBool(values.value(QStringLiteral("NoDisplay")));
    return ParseStatus::application;
}

struct Index {
    std::vector<DesktopEntry> entries;  // folder order, then path order
    QHash<QString, int> byId;
    QHash<QString, QList<int>> byProgram;    // Exec= program and TryExec= base name
    QHash<QString, QList<int>> byLowerName;  // StartupWMClass=, the id and its last dotted part
};

void collectFiles(const QString& root, const QString& dir, int depth, QSet<QString>& visited,
                  QList<QPair<QString, QString>>& out) {
    if (depth > maxFolderDepth) return;
    const QString canonical = QFileInfo(dir).canonicalFilePath();
    if (canonical.isEmpty() || visited.contains(canonical)) return;
    visited.insert(canonical);
    QDir d(dir);
    const QFileInfoList infos =
        d.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Readable, QDir::Name);
    for (const QFileInfo& info : infos) {
        if (info.isDir()) {
            collectFiles(root, info.filePath(), depth + 1, visited, out);
        } else if (info.fileName().endsWith(QLatin1String(".desktop"))) {
            QString relative = info.filePath().mid(root.size() + 1);
            relative.replace(QLatin1Char('/'), QLatin1Char('-'));
            out.append({info.filePath(), relative});
        }
    }
}

std::shared_ptr<const Index> buildIndex(const QStringList& folders) {
    auto index = std::make_shared<Index>();
    QSet<QString> seenIds;
    for (const QString& folder : folders) {
        QString root = QDir::cleanPath(folder);
        if (!QFileInfo(root).isDir()) continue;
        QSet<QString> visited;
        QList<QPair<QString, QString>> files;
        collectFiles(root, root, 0, visited, files);
        for (const auto& [path, id] : files) {
            // The first file of an id wins, even when it hides the application or is no application.
            if (seenIds.contains(id)) continue;
            seenIds.insert(id);
            DesktopEntry entry;
            if (parseFile(path, id, entry) == ParseStatus::application) index->entries.push_back(std::move(entry));
        }
    }
    // Visible entries rank before NoDisplay ones; otherwise folder order stands.
    std::stable_sort(index->entries.begin(), index->entries.end(),
                     [](const DesktopEntry& a, const DesktopEntry& b) { return !a.noDisplay && b.noDisplay; });
    for (int i = 0; i < int(index->entries.size()); ++i) {
        const DesktopEntry& e = index->entries[size_t(i)];
        index->byId.insert(e.id, i);
        auto add = [&](QHash<QString, QList<int>>& table, const QString& key) {
            if (key.isEmpty()) return;
            QList<int>& list = table[key];
            if (!list.contains(i)) list.append(i);
        };
        if (!launcherPrograms().contains(e.execProgram)) add(index->byProgram, e.execProgram);
        if (!e.tryExec.isEmpty()) {
            const QString tryProgram = baseName(e.tryExec);
            if (!launcherPrograms().contains(tryProgram)) add(index->byProgram, tryProgram);
        }
        add(index->byLowerName, e.startupWMClass.toLower());
        QString stem = e.id;
        stem.chop(int(qstrlen(".desktop")));
        add(index->byLowerName, stem.toLower());
        const qsizetype dot = stem.lastIndexOf(QLatin1Char('.'));
        if (dot >= 0) add(index->byLowerName, stem.mid(dot + 1).toLower());
    }
    return index;
}

}  // namespace

struct DesktopEntries::State {
    QStringList folders;
    bool watch = false;
    mutable std::mutex mutex;
    std::shared_ptr<const Index> index;
    QFileSystemWatcher* watcher = nullptr;
    QTimer* debounce = nullptr;

    std::shared_ptr<const Index> current() const {
        std::lock_guard lock(mutex);
        return index;
    }

    // Watches every folder and subfolder, and the parent of a folder that does not exist yet so
    // that its creation is seen. Folders only: a new, removed or renamed file changes its folder.
    void updateWatches() {
        QStringList wanted;
        for (const QString& folder : folders) {
            QFileInfo info(folder);
            if (info.isDir()) {
                QSet<QString> visited;
                std::function<void(const QString&, int)> walk = [&](const QString& dir, int depth) {
                    if (depth > maxFolderDepth) return;
                    const QString canonical = QFileInfo(dir).canonicalFilePath();
                    if (canonical.isEmpty() || visited.contains(canonical)) return;
                    visited.insert(canonical);
                    wanted << QFileInfo(dir).absoluteFilePath();
                    for (const QFileInfo& sub : QDir(dir).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot))
                        walk(sub.absoluteFilePath(), depth + 1);
                };
                walk(info.absoluteFilePath(), 0);
            } else if (QFileInfo(info.absolutePath()).isDir()) {
                wanted << info.absolutePath();
            }
        }
        wanted.removeDuplicates();
        const QStringList watched = watcher->directories();
        QStringList stale, fresh;
        for (const QString& p : watched)
            if (!wanted.contains(p)) stale << p;
        for (const QString& p : wanted)
            if (!watched.contains(p)) fresh << p;
        if (!stale.isEmpty()) watcher->removePaths(stale);
        if (!fresh.isEmpty()) watcher->addPaths(fresh);
    }
};

DesktopEntries& DesktopEntries::shared() {
    static DesktopEntries* instance = [] {
        auto* entries = new DesktopEntries(defaultFolders(), true);
        // Its watcher works on the GUI thread, whichever thread asked first.
        if (QCoreApplication* app = QCoreApplication::instance(); app && entries->thread() != app->thread())
            entries->moveToThread(app->thread());
        return entries;
    }();
    return *instance;
}

DesktopEntries::DesktopEntries(QStringList applicationFolders, bool watch, QObject* parent)
    : QObject(parent), d(std::make_unique<State>()) {
    d->folders = std::move(applicationFolders);
    d->watch = watch;
    auto startWatching = [this] {
        if (d->watcher) return;
        d->watcher = new QFileSystemWatcher(this);
        d->debounce = new QTimer(this);
        d->debounce->setSingleShot(true);
        d->debounce->setInterval(300);  // installers add many files at once
        connect(d->debounce, &QTimer::timeout, this, [this] { rebuild(); });
        connect(d->watcher, &QFileSystemWatcher::directoryChanged, d->debounce, qOverload<>(&QTimer::start));
        d->updateWatches();
    };
    QCoreApplication* app = QCoreApplication::instance();
    if (watch && app && QThread::currentThread() == app->thread()) startWatching();
    d->index = buildIndex(d->folders);
    if (watch && !d->watcher) {
        // Made off the GUI thread: the watcher starts once the object runs on a thread with events.
        QMetaObject::invokeMethod(
            this,
            [this, startWatching] {
                startWatching();
                rebuild();
            },
            Qt::QueuedConnection);
    }
}

DesktopEntries::~DesktopEntries() = default;

QStringList DesktopEntries::defaultFolders() {
    QStringList folders;
    folders << UserFolders::dataHome() + "/applications";
    QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dataDirs.isEmpty()) dataDirs = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString& dir : dataDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (!QDir::isAbsolutePath(dir)) continue;
        const QString folder = QDir::cleanPath(dir) + "/applications";
        if (!folders.contains(folder)) folders << folder;
    }
    return folders;
}

std::optional<DesktopEntry> DesktopEntries::parse(const QString& path, const QString& id) {
    DesktopEntry entry;
    if (parseFile(path, id, entry) != ParseStatus::application) return std::nullopt;
    return entry;
}

std::vector<DesktopEntry> DesktopEntries::all() const { return d->current()->entries; }

std::optional<DesktopEntry> DesktopEntries::entry(const QString& id) const {
    const auto index = d->current();
    const auto it = index->byId.constFind(id);
    if (it == index->byId.constEnd()) return std::nullopt;
    return index->entries[size_t(*it)];
}

std::optional<DesktopEntry> DesktopEntries::entryForProgram(const QString& executablePath, const QString& argv0) const {
    const auto index = d->current();
    QStringList names;
    // argv[0] may carry arguments when a program rewrote its command line ("name: what it does"):
    // its first word counts too.
    QString firstWord = argv0.section(QLatin1Char(' '), 0, 0);
    if (firstWord.endsWith(QLatin1Char(':'))) firstWord.chop(1);
    for (const QString& candidate : {executablePath, argv0, firstWord}) {
        const QString name = baseName(candidate);
        if (!name.isEmpty() && !names.contains(name)) names << name;
    }
    if (names.isEmpty()) return std::nullopt;

    auto best = [&](const QList<int>* list) -> std::optional<DesktopEntry> {
        if (!list || list->isEmpty()) return std::nullopt;
        // Lists are in rank order already (visible first, then folder order).
        return index->entries[size_t(list->front())];
    };
    for (const QString& name : names) {
        const auto it = index->byProgram.constFind(name);
        if (it != index->byProgram.constEnd()) return best(&*it);
    }
    for (const QString& name : names) {
        const auto it = index->byLowerName.constFind(name.toLower());
        if (it != index->byLowerName.constEnd()) return best(&*it);
    }
    // A helper named after its application: "gnome-terminal-server" for Exec=gnome-terminal.
    for (const QString& name : names) {
        qsizetype dash = name.lastIndexOf(QLatin1Char('-'));
        while (dash >= minPrefixLength) {
            const auto it = index->byProgram.constFind(name.left(dash));
            if (it != index->byProgram.constEnd()) return best(&*it);
            dash = name.lastIndexOf(QLatin1Char('-'), dash - 1);
        }
    }
    return std::nullopt;
}

QIcon DesktopEntries::icon(const DesktopEntry& entry) {
    const QString name = entry.icon.trimmed();
    if (name.isEmpty()) return {};
    if (QDir::isAbsolutePath(name)) return QFileInfo(name).isFile() ? QIcon(name) : QIcon();
    QIcon icon = QIcon::fromTheme(name);
    if (!icon.isNull()) return icon;
    static const QStringList extensions = {QStringLiteral(".png"), QStringLiteral(".svg"), QStringLiteral(".xpm")};
    QString stem = name;
    for (const QString& ext : extensions) {
        if (stem.endsWith(ext)) {
            stem.chop(ext.size());
            icon = QIcon::fromTheme(stem);
            if (!icon.isNull()) return icon;
            break;
        }
    }
    const QStringList dataDirs = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    for (const QString& dir : dataDirs) {
        for (const QString& ext : QStringList{QString()} + extensions) {
            const QString path = dir + "/pixmaps/" + stem + ext;
            if (QFileInfo(path).isFile()) return QIcon(path);
        }
    }
    return {};
}

void DesktopEntries::rebuild() {
    if (d->watcher && QThread::currentThread() == thread()) d->updateWatches();
    auto index = buildIndex(d->folders);
    bool differs;
    {
        std::lock_guard lock(d->mutex);
        differs = index->entries != d->index->entries;
        d->index = std::move(index);
    }
    if (differs) emit changed();
}
