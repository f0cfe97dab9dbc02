#include "Source/Features/System/ProcessListBuilder.h"

#include <QSet>

#include <algorithm>

namespace {

constexpr size_t truncatedCommLength = 15;  // TASK_COMM_LEN − 1
constexpr int unresolved = -2;
constexpr int resolving = -3;

QString baseName(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.mid(slash + 1);
}

// Programs that run a script: the script, not the interpreter, names the application.
bool isInterpreter(const QString& name) {
    // Never destroyed: a refresh may still be running on its queue while the program exits.
    static const QSet<QString>& exact =
        *new QSet<QString>{QStringLiteral("sh"),  QStringLiteral("bash"), QStringLiteral("dash"), QStringLiteral("zsh"),
                           QStringLiteral("gjs"), QStringLiteral("node"), QStringLiteral("java"), QStringLiteral("mono")};
    if (exact.contains(name)) return true;
    for (const char* prefix : {"python", "perl", "ruby"})
        if (name.startsWith(QLatin1String(prefix))) return true;
    return false;
}

}  // namespace

bool ProcessListBuilder::isSessionProgram(const QString& name) {
    // Never destroyed: a refresh may still be running on its queue while the program exits.
    static const QSet<QString>& names = *new QSet<QString>{
        // init and service managers, message buses, remote and console logins
        QStringLiteral("systemd"), QStringLiteral("init"), QStringLiteral("dbus-daemon"),
        QStringLiteral("dbus-broker"), QStringLiteral("dbus-broker-launch"), QStringLiteral("sshd"),
        QStringLiteral("login"),
        // display managers and servers
        QStringLiteral("gdm"), QStringLiteral("gdm3"), QStringLiteral("gdm-session-worker"),
        QStringLiteral("gdm-x-session"), QStringLiteral("gdm-wayland-session"), QStringLiteral("sddm"),
        QStringLiteral("sddm-helper"), QStringLiteral("lightdm"), QStringLiteral("xdm"), QStringLiteral("Xorg"),
        QStringLiteral("Xwayland"), QStringLiteral("xinit"), QStringLiteral("startx"),
        // session managers
        QStringLiteral("gnome-session"), QStringLiteral("gnome-session-binary"), QStringLiteral("ksmserver"),
        QStringLiteral("startplasma-x11"), QStringLiteral("startplasma-wayland"), QStringLiteral("plasma_session"),
        QStringLiteral("xfce4-session"), QStringLiteral("lxsession"), QStringLiteral("lxqt-session"),
        QStringLiteral("mate-session"), QStringLiteral("cinnamon-session"), QStringLiteral("cinnamon-session-binary"),
        QStringLiteral("budgie-session"), QStringLiteral("gnome-flashback"),
        // desktop shells, panels and window managers that launch applications
        QStringLiteral("gnome-shell"), QStringLiteral("plasmashell"), QStringLiteral("kwin_x11"),
        QStringLiteral("kwin_wayland"), QStringLiteral("xfce4-panel"), QStringLiteral("xfdesktop"),
        QStringLiteral("xfwm4"), QStringLiteral("lxpanel"), QStringLiteral("lxqt-panel"), QStringLiteral("pcmanfm-qt"),
        QStringLiteral("mate-panel"), QStringLiteral("marco"), QStringLiteral("cinnamon"),
        QStringLiteral("budgie-panel"), QStringLiteral("budgie-wm"), QStringLiteral("gala"),
        QStringLiteral("wingpanel"), QStringLiteral("openbox"), QStringLiteral("fluxbox"), QStringLiteral("i3"),
        QStringLiteral("sway"), QStringLiteral("Hyprland"), QStringLiteral("awesome"), QStringLiteral("bspwm"),
        QStringLiteral("xmonad"),
    };
    return names.contains(name);
}

ProcessListBuilder::ProcessListBuilder(ProcessReader reader, const DesktopEntries* entries)
    : reader_(std::move(reader)), entries_(entries) {}

std::shared_ptr<const ProcessListBuilder::Owner> ProcessListBuilder::lookUpOwner(const Tracked& t) {
    if (!entries_ || (t.matchProgram.isEmpty() && t.matchArgv0.isEmpty())) return nullptr;
    const std::optional<DesktopEntry> entry = entries_->entryForProgram(t.matchProgram, t.matchArgv0);
    if (!entry) return nullptr;
    auto& owner = owners_[entry->id];
    if (!owner || owner->name != entry->name || owner->path != entry->path ||
        owner->terminal != entry->isTerminalEmulator()) {
        owner = std::make_shared<const Owner>(Owner{entry->name, entry->path, entry->id, entry->isTerminalEmulator()});
    }
    return owner;
}

void ProcessListBuilder::identify(int32_t pid, const ProcessReader::Stat& stat, Tracked& t) {
    const QStringList args = reader_.readArguments(pid);
    t = Tracked{};
    t.startTicks = stat.startTicks;
    t.comm = stat.comm;
    t.kernel = ProcessReader::isKernelThread(stat, !args.isEmpty());
    if (t.kernel) return;

    const QString executable = reader_.readExecutablePath(pid);
    const QString exeName = baseName(executable);
    const QString argv0 = args.isEmpty() ? QString() : args.front();
    const QString argv0Name = baseName(argv0);
    QString argv0Word = baseName(argv0.section(QLatin1Char(' '), 0, 0));  // "sshd: user@pts/0"
    if (argv0Word.endsWith(QLatin1Char(':'))) argv0Word.chop(1);
    const QString comm = QString::fromUtf8(stat.comm.data(), qsizetype(stat.comm.size()));

    // The kernel cuts names at 15 bytes: take the full name from the program when it continues it.
    t.processName = comm;
    if (stat.comm.size() == truncatedCommLength) {
        for (const QString& candidate : {exeName, argv0Name, argv0Word}) {
            if (candidate.size() > comm.size() && candidate.startsWith(comm)) {
                t.processName = candidate;
                break;
            }
        }
    }
    if (t.processName.isEmpty()) t.processName = exeName.isEmpty() ? argv0Word : exeName;

    t.session = isSessionProgram(comm) || isSessionProgram(t.processName) || isSessionProgram(exeName) ||
                isSessionProgram(argv0Word);

    const QString program = exeName.isEmpty() ? argv0Word : exeName;
    if (isInterpreter(program)) {
        // "python3 /usr/bin/some-tool": the first argument that is no option names the program.
        for (qsizetype i = 1; i < args.size(); ++i) {
            if (!args[i].startsWith(QLatin1Char('-'))) {
                t.matchProgram = args[i];
                t.matchArgv0 = args[i];
                break;
            }
        }
    } else {
        t.matchProgram = executable;
        t.matchArgv0 = argv0;
    }
    t.processName = shared(t.processName);
    t.matchProgram = shared(t.matchProgram);
    t.matchArgv0 = shared(t.matchArgv0);
    t.entry = lookUpOwner(t);
    t.startDate = reader_.startDate(stat.startTicks);
}

QString ProcessListBuilder::shared(const QString& text) {
    if (text.isEmpty()) return {};
    auto it = texts_.constFind(text);
    if (it == texts_.constEnd()) it = texts_.insert(text);
    return *it;
}

ProcessListBuilder::Result ProcessListBuilder::refresh(double now, bool groupTerminalProcesses) {
    Result result;
    ++generation_;
    if (ownersStale_.exchange(false)) {
        owners_.clear();
        for (auto& [pid, t] : tracked_)
            if (!t.kernel) t.entry = lookUpOwner(t);
    }

    live_.clear();
    reader_.listPids(pids_, &pidFolders_);
    const double ticksPerSecond = double(ProcessReader::clockTicksPerSecond());
    // The resident size comes from stat's rss field, the same counter as statm's: one file per
    // process and refresh instead of two.
    const uint64_t pageSize = uint64_t(ProcessReader::pageSize());
    ProcessReader::Stat stat;
    for (size_t i = 0; i < pids_.size(); ++i) {
        const int32_t pid = pids_[i];
        // A kernel thread is left out of the list: while its pid keeps the same folder (a pid taken
        // again comes with a new one), there is nothing to read.
        if (const auto kept = tracked_.find(pid);
            kept != tracked_.end() && kept->second.kernel && kept->second.folder == pidFolders_[i]) {
            kept->second.generation = generation_;
            continue;
        }
        if (!reader_.readStat(pid, stat)) continue;
        // Zombies hold no memory and cannot be ended; dead entries are on their way out.
        if (stat.state == 'Z' || stat.state == 'X' || stat.state == 'x') continue;
        Tracked& t = tracked_[pid];
        // A different start time is a new process under a reused pid; a different name is a new
        // program run by the same process.
        const bool fresh = t.generation == 0 || t.startTicks != stat.startTicks || t.comm != stat.comm;
        if (fresh) identify(pid, stat, t);
        t.generation = generation_;
        t.ppid = stat.ppid;
        t.folder = pidFolders_[i];
        if (t.kernel) continue;

        const uint64_t ticks = stat.cpuTicks();
        double cpu = 0;
        // A process first seen since the list was released still has its last reading to compare against.
        bool measured = !fresh;
        if (fresh) {
            t.baseTicks = ticks;
            t.baseTime = now;
            if (const KeptBase* kept = keptBase(pid, stat.startTicks)) {
                t.baseTicks = kept->ticks;
                t.baseTime = kept->time;
                t.lastCPU = kept->lastCPU;
                measured = true;
            }
        }
        if (measured && now - t.baseTime >= minimumCPUWindow) {
            const uint64_t delta = ticks >= t.baseTicks ? ticks - t.baseTicks : 0;
            cpu = double(delta) / ticksPerSecond / (now - t.baseTime) * 100.0;
            t.baseTicks = ticks;
            t.baseTime = now;
            t.lastCPU = cpu;
            result.hasUsableCPU = true;
        } else if (measured) {
            cpu = t.lastCPU;
        }
        live_.push_back(Live{pid, &t, cpu, stat.rssPages * pageSize});
    }

    kept_ = {};

    // Forget processes that have ended, and the names only they held.
    const size_t before = tracked_.size();
    for (auto it = tracked_.begin(); it != tracked_.end();) {
        if (it->second.generation != generation_)
            it = tracked_.erase(it);
        else
            ++it;
    }
    if (tracked_.size() != before) {
        for (auto it = texts_.begin(); it != texts_.end();) {
            if (it->isDetached())
                it = texts_.erase(it);
            else
                ++it;
        }
    }

    resolveOwners();

    std::vector<AppProcessInfo> processes;
    processes.reserve(live_.size());
    for (size_t i = 0; i < live_.size(); ++i) {
        const Live& l = live_[i];
        int owner = nearest_[i];
        // Commands run in a terminal stand on their own unless the user groups them under it.
        if (owner >= 0 && size_t(owner) != i && live_[size_t(owner)].tracked->entry->terminal &&
            !groupTerminalProcesses)
            owner = -1;
        AppProcessInfo p;
        p.pid = l.pid;
        p.processName = l.tracked->processName;
        p.cpuUsage = l.cpu;
        p.memoryBytes = l.memory;
        p.startDate = l.tracked->startDate;
        if (owner >= 0) {
            const Owner& o = *live_[size_t(owner)].tracked->entry;
            p.name = o.name;
            p.bundlePath = o.path;
            p.bundleID = o.id;
        } else {
            p.name = p.processName;
        }
        processes.push_back(std::move(p));
    }
    result.groups = GroupedProcessInfo::group(processes);
    return result;
}

const ProcessListBuilder::KeptBase* ProcessListBuilder::keptBase(int32_t pid, uint64_t startTicks) const {
    const auto it = std::lower_bound(kept_.begin(), kept_.end(), pid,
                                     [](const KeptBase& k, int32_t p) { return k.pid < p; });
    return it != kept_.end() && it->pid == pid && it->startTicks == startTicks ? &*it : nullptr;
}

void ProcessListBuilder::releaseIdentities() {
    std::vector<KeptBase> kept;
    kept.reserve(tracked_.size());
    for (const auto& [pid, t] : tracked_)
        if (!t.kernel) kept.push_back(KeptBase{pid, t.startTicks, t.baseTicks, t.baseTime, t.lastCPU});
    std::sort(kept.begin(), kept.end(), [](const KeptBase& a, const KeptBase& b) { return a.pid < b.pid; });
    // Swapped with empty ones: clear() would keep the tables' capacity.
    tracked_ = {};
    texts_ = {};
    owners_ = {};
    pids_ = {};
    live_ = {};
    liveIndex_ = {};
    nearest_ = {};
    path_ = {};
    kept_ = std::move(kept);
}

// The owner of a process is the nearest process, itself included, that a desktop entry launches.
// The walk up the parents stops below pid 1 and below any session-level process (the service
// manager, the session manager, the desktop shell): those start nearly everything in a session,
// so what they start belongs to no application unless it is one itself. A session-level process
// that is an application itself (a shell with a desktop entry) still owns its own process.
void ProcessListBuilder::resolveOwners() {
    liveIndex_.clear();
    liveIndex_.reserve(live_.size());
    for (size_t i = 0; i < live_.size(); ++i) liveIndex_.emplace(live_[i].pid, int(i));
    nearest_.assign(live_.size(), unresolved);

    for (size_t start = 0; start < live_.size(); ++start) {
        if (nearest_[start] != unresolved) continue;
        path_.clear();
        int current = int(start);
        int found = -1;
        for (;;) {
            const int memo = nearest_[size_t(current)];
            if (memo != unresolved) {
                found = memo == resolving ? -1 : memo;  // a cycle of parents: no owner
                break;
            }
            const Tracked& t = *live_[size_t(current)].tracked;
            if (t.entry) {
                found = current;
                break;
            }
            nearest_[size_t(current)] = resolving;
            path_.push_back(current);
            if (t.ppid <= 1) break;
            const auto parent = liveIndex_.find(t.ppid);
            if (parent == liveIndex_.end()) break;
            if (live_[size_t(parent->second)].tracked->session) break;
            current = parent->second;
        }
        if (found == current && nearest_[size_t(current)] == unresolved) nearest_[size_t(current)] = current;
        for (int p : path_) nearest_[size_t(p)] = found;
    }
}
