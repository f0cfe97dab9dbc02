#pragma once

#include "Platform/Core/Clock.h"
#include "Platform/Desktop/DesktopEntries.h"
#include "Source/Features/System/ProcessMonitor.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <map>
#include <memory>

// A proc tree of made-up processes whose CPU times a test moves, and a process monitor over it.
class SyntheticProc {
public:
    struct Process {
        int pid = 0;
        int ppid = 1;
        QByteArray comm;
        QByteArray exe;
        quint64 ticks = 0;       // utime
        quint64 rssPages = 100;  // resident pages
    };

    SyntheticProc() {
        QDir().mkpath(proc());
        QDir().mkpath(applications());
        write(proc() + "/stat", "cpu 1 2 3 4\nbtime 1700000000\n");
        add({1, 0, "systemd", "", 0, 10});
    }

    QString proc() const { return dir_.path() + "/proc"; }
    QString applications() const { return dir_.path() + "/applications"; }

    // A desktop entry whose program is `program` (so its processes group under `name`).
    QString addApplication(const QString& id, const QString& name, const QString& program, const QString& icon = {}) {
        const QString path = applications() + "/" + id + ".desktop";
        write(path, QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=%2 %U\n%3")
                        .arg(name, program, icon.isEmpty() ? QString() : QStringLiteral("Icon=") + icon + "\n")
                        .toUtf8());
        return path;
    }

    void add(const Process& p) {
        processes_[p.pid] = p;
        writeProcess(p);
    }
    void remove(int pid) {
        processes_.erase(pid);
        QDir(proc() + "/" + QString::number(pid)).removeRecursively();
    }
    // Adds CPU ticks (100 a second is one full core).
    void burn(int pid, quint64 ticks) {
        processes_[pid].ticks += ticks;
        writeProcess(processes_[pid]);
    }
    void setMemory(int pid, quint64 pages) {
        processes_[pid].rssPages = pages;
        writeProcess(processes_[pid]);
    }

private:
    static void write(const QString& path, const QByteArray& data) {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(data);
    }
    void writeProcess(const Process& p) {
        const QString d = proc() + "/" + QString::number(p.pid);
        QDir().mkpath(d);
        const QByteArray stat = QByteArray::number(p.pid) + " (" + p.comm + ") S " + QByteArray::number(p.ppid) + " " +
                                QByteArray::number(p.pid) + " " + QByteArray::number(p.pid) + " 0 -1 4194560 120 0 0 0 " +
                                QByteArray::number(p.ticks) + " 0 0 0 20 0 1 0 " + QByteArray::number(1000 + p.pid) +
                                " 200000000 " + QByteArray::number(p.rssPages) +
                                " 18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 0 0 17 1 0 0 0 0 0 0 0 0 0 0 0 0 0\n";
        write(d + "/stat", stat);
        const QByteArray program = p.exe.isEmpty() ? "/usr/bin/" + p.comm : p.exe;
        write(d + "/cmdline", program + '\0');
        QFile::remove(d + "/exe");
        QFile::link(QString::fromUtf8(program), d + "/exe");
    }

    QTemporaryDir dir_;
    std::map<int, Process> processes_;
};

// A monitor over a synthetic tree, driven by a fake clock.
class MonitorRig {
public:
    MonitorRig() : clock_(std::make_shared<FakeClock>()) {
        Clock::setShared(clock_);
        entries_ = std::make_unique<DesktopEntries>(QStringList{proc_.applications()});
    }
    ~MonitorRig() {
        monitor_.reset();
        Clock::setShared(nullptr);
    }
    SyntheticProc& proc() { return proc_; }
    FakeClock& clock() { return *clock_; }
    DesktopEntries& entries() { return *entries_; }
    ProcessMonitor& monitor() {
        if (!monitor_) monitor_ = std::make_unique<ProcessMonitor>(proc_.proc(), entries_.get());
        return *monitor_;
    }
    // One refresh `seconds` after the previous one.
    void refresh(double seconds = 2.0) {
        clock_->advance(seconds);
        monitor().scheduleProcessRefresh();
        monitor().waitForRefreshes();
    }
    void rebuildEntries() { entries_->rebuild(); }
    // Browser (three processes, an application of its own), a busier editor and a quiet shell,
    // measured over one refresh: by CPU editor, Browser, shell; by memory Browser, editor, shell.
    void addBrowserEditorShell() {
        proc_.addApplication("org.example.Browser", "Browser", "browser");
        rebuildEntries();
        proc_.add({100, 1, "browser", "/usr/bin/browser", 0, 50000});
        proc_.add({101, 100, "browser", "/usr/bin/browser", 0, 20000});
        proc_.add({102, 100, "browser", "/usr/bin/browser", 0, 10000});
        proc_.add({200, 1, "editor", "", 0, 30000});
        proc_.add({201, 1, "shell", "", 0, 1000});
        refresh();
        proc_.burn(100, 60);  // 30 % over 2 s
        proc_.burn(200, 100);
        proc_.burn(201, 10);
        refresh();
    }

private:
    SyntheticProc proc_;
    std::shared_ptr<FakeClock> clock_;
    std::unique_ptr<DesktopEntries> entries_;
    std::unique_ptr<ProcessMonitor> monitor_;
};
