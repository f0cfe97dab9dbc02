#pragma once

#include "Platform/Files/LinuxFileWriter.h"

#include <QMutex>
#include <QStringList>

// A file writer that does the real work, except for the paths the test names: those fail as a
// full disk would, and are counted. Installed as the shared writer for its lifetime.
class FailingFileWriter final : public FileWriter {
public:
    enum class Operation { any, write, create, append, makeFolder, makePrivateFolder, moveAside };

    FailingFileWriter() { FileWriter::setShared(this); }
    ~FailingFileWriter() override { FileWriter::setShared(nullptr); }

    // Operations (of the kind given) on a path that contains `fragment` fail from now on.
    void failPathsContaining(const QString& fragment, Operation operation = Operation::any) {
        QMutexLocker lock(&mutex_);
        rules_.append({fragment, operation});
    }
    void succeedAgain() {
        QMutexLocker lock(&mutex_);
        rules_.clear();
    }
    // The paths of the operations that failed, in order.
    QStringList failedPaths() const {
        QMutexLocker lock(&mutex_);
        return failed_;
    }

    Result write(const QString& path, const QByteArray& bytes, mode_t mode) override {
        if (auto error = injected(Operation::write, path)) return error;
        return real_.write(path, bytes, mode);
    }
    Result writePrivate(const QString& path, const QByteArray& bytes) override {
        if (auto error = injected(Operation::write, path)) return error;
        return real_.writePrivate(path, bytes);
    }
    Result create(const QString& path, const QByteArray& bytes, mode_t mode) override {
        if (auto error = injected(Operation::create, path)) return error;
        return real_.create(path, bytes, mode);
    }
    Result append(const QString& path, const QByteArray& bytes, mode_t mode) override {
        if (auto error = injected(Operation::append, path)) return error;
        return real_.append(path, bytes, mode);
    }
    Result makeFolder(const QString& path, mode_t mode) override {
        if (auto error = injected(Operation::makeFolder, path)) return error;
        return real_.makeFolder(path, mode);
    }
    Result makePrivateFolder(const QString& path) override {
        if (auto error = injected(Operation::makePrivateFolder, path)) return error;
        return real_.makePrivateFolder(path);
    }
    Result moveAside(const QString& from, const QString& to) override {
        if (auto error = injected(Operation::moveAside, from)) return error;
        return real_.moveAside(from, to);
    }

private:
    struct Rule {
        QString fragment;
        Operation operation;
    };

    Result injected(Operation operation, const QString& path) {
        QMutexLocker lock(&mutex_);
        for (const Rule& rule : rules_) {
            if ((rule.operation == Operation::any || rule.operation == operation) && path.contains(rule.fragment)) {
                failed_.append(path);
                return FileError{path, QStringLiteral("No space left on device"), ENOSPC};
            }
        }
        return std::nullopt;
    }

    mutable QMutex mutex_;
    QList<Rule> rules_;
    QStringList failed_;
    LinuxFileWriter real_;
};
