#pragma once

#include <QByteArray>
#include <QMutex>
#include <QStringList>
#include <QtGlobal>

// Collects the program's log lines (any thread) while it exists: "<level> <category>: <text>",
// the level being "info", "warning" or "debug". Lines of other categories and Qt's own are kept too.
class LogCapture {
public:
    LogCapture() {
        QMutexLocker lock(&mutex());
        lines().clear();
        previous_ = qInstallMessageHandler(&LogCapture::handle);
    }
    ~LogCapture() { qInstallMessageHandler(previous_); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    QStringList all() const {
        QMutexLocker lock(&mutex());
        return lines();
    }
    // The lines that contain every one of the given pieces.
    QStringList matching(const QStringList& pieces) const {
        QStringList found;
        for (const QString& line : all()) {
            bool every = true;
            for (const QString& piece : pieces) every = every && line.contains(piece);
            if (every) found.append(line);
        }
        return found;
    }

private:
    static QMutex& mutex() {
        static QMutex m;
        return m;
    }
    static QStringList& lines() {
        static QStringList l;
        return l;
    }
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message) {
        const char* level = type == QtInfoMsg ? "info" : type == QtDebugMsg ? "debug" : "warning";
        QMutexLocker lock(&mutex());
        lines().append(QStringLiteral("%1 %2: %3").arg(QLatin1String(level), QLatin1String(context.category), message));
    }

    QtMessageHandler previous_ = nullptr;
};
