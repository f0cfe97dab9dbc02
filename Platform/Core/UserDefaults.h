#pragma once

#include "Platform/Core/SaveLineage.h"
#include "Platform/Files/FileError.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <mutex>
#include <optional>

#include <sys/types.h>

class FolderLock;

// A settings domain kept as one typed JSON file, written atomically on every change.
// Values: bool, number, string, array, dictionary; data is kept as a base64 string.
// Only a regular file is read (never a FIFO or a device, which could block the start); a link
// the user made to a regular file of their own is read and written through, the new file taking
// the target's place. A file that is there but cannot be read is never written over: the values
// stay in memory until it is readable.
// Another instance of the program (the same user on another display) may write the same file:
// each write re-reads it under the folder's lock and lays only the keys changed here over it, so
// neither sets back what the other changed; what the other changed is taken in (and signalled),
// and a moment after the other saves (what its path names now is watched, also after its folder
// was moved away or made again), changes made here and not yet written laid over it. While the
// other holds the lock a write stays pending and is made, never waited for, on this object's
// thread as soon as the lock is free; quitting waits for it a bounded time. Each write names the
// saves the file descends from under `savesKey`: a key the file lacks counts as removed there only
// when the file descends from the version this instance last read or wrote; one written by an
// instance that never took in this one's last save (its folder moved away meanwhile) takes no key
// away and sets back none this one saved in a save it never had.
// A getter of the wrong type reads as absent. Safe to use from any thread; the change
// signal is emitted on the thread that changed the value (the store's own for another instance's).
class UserDefaults : public QObject {
    Q_OBJECT
public:
    // "com.pelwick.Quorvin" under $XDG_CONFIG_HOME.
    static UserDefaults& standard();
    // The former domain "com.pelwick.Merovane", beside the standard one.
    static UserDefaults& legacy();

    static constexpr const char* standardDomain = "com.pelwick.Quorvin";
    static constexpr const char* legacyDomain = "com.pelwick.Merovane";
    // Where the file names the saves it descends from; no setting's name, and never a value here.
    static constexpr const char* savesKey = "~saves";
    // $XDG_CONFIG_HOME/<domain>.json
    static QString pathForDomain(const QString& domain);

    // A domain only read (the former one) is never written, moved or kept aside, even when damaged.
    enum class Access { readWrite, readOnly };

    // An empty path keeps the values in memory only.
    explicit UserDefaults(QString filePath, Access access = Access::readWrite, QObject* parent = nullptr);
    ~UserDefaults() override;  // a pending write is made only when the lock is free now

    QString filePath() const { return path_; }

    bool contains(const QString& key) const;
    QStringList keys() const;
    QJsonValue value(const QString& key) const;  // Undefined when absent

    std::optional<bool> boolValue(const QString& key) const;
    std::optional<double> doubleValue(const QString& key) const;  // finite numbers only
    std::optional<qint64> integerValue(const QString& key) const; // whole numbers only
    std::optional<QString> string(const QString& key) const;
    std::optional<QJsonArray> array(const QString& key) const;
    std::optional<QStringList> stringArray(const QString& key) const; // every element a string
    std::optional<QJsonObject> dictionary(const QString& key) const;
    std::optional<QByteArray> data(const QString& key) const;

    // Convenience readers with the default that sits where the key is read.
    bool boolOr(const QString& key, bool fallback) const { return boolValue(key).value_or(fallback); }
    double doubleOr(const QString& key, double fallback) const { return doubleValue(key).value_or(fallback); }
    QString stringOr(const QString& key, const QString& fallback) const { return string(key).value_or(fallback); }

    void set(const QString& key, const QJsonValue& value);  // Undefined or Null removes
    void setBool(const QString& key, bool v) { set(key, QJsonValue(v)); }
    void setDouble(const QString& key, double v) { set(key, QJsonValue(v)); }
    void setInteger(const QString& key, qint64 v) { set(key, QJsonValue(v)); }
    void setString(const QString& key, const QString& v) { set(key, QJsonValue(v)); }
    void setStringArray(const QString& key, const QStringList& v);
    void setData(const QString& key, const QByteArray& v);
    void remove(const QString& key);

    // Re-reads the file (used at start and by tests).
    void reload();
    // Takes in what another instance saved since this one last read or wrote the file, a signal
    // per key that changed; a file gone, damaged or unreadable leaves the values as they are.
    // Runs a moment after the file changes.
    void takeInOthersSave();
    // Whether the last write reached the disk.
    bool lastWriteSucceeded() const;
    // Whether a write waits for another instance to let go of the folder's lock.
    bool writePending() const;
    // Makes a pending write, waiting at most `waitMs` for the lock (at quit); says in the log
    // which changes were not saved.
    void finishPendingWrite(int waitMs);
    // Whether the last load found the file damaged and started from defaults: values read now
    // are not the user's choices.
    bool startedFromDamagedFile() const;
    // Why the file could not be read, when it is there but unreadable (no permission, an I/O
    // error, no regular file of the user's, too large): the values are then the defaults and
    // nothing is written until a reload reads it.
    std::optional<FileError> readFailure() const;

    // Larger than any real settings file; a larger one is not read, and none is written.
    static constexpr qint64 maxFileSize = 32 * 1024 * 1024;

signals:
    void valueChanged(const QString& key);

private:
    void load();
    // Writes the file under the folder's lock (`waited`, else tried now); `adopted` gets the keys
    // another instance changed, now taken in. False also when the write is left pending.
    bool writeLocked(QStringList& adopted, const FolderLock* waited = nullptr);
    // Lays the keys set or removed here and not yet written over `values`, the file's of
    // `lineage`; where its writer never took in this instance's last save, also the keys here it
    // lacks and those saved here in a save it never had (true then: they are to be written
    // again). `lineage` is then the version known.
    bool layOver(QJsonObject& values, const SaveLineage& lineage);
    void scheduleRetry();
    void retryPendingWrite();
    // Keeps a damaged file's bytes beside the settings file; false when they could not be kept.
    bool keepDamagedAside(const QByteArray& bytes, bool linked);

    QString path_;
    Access access_;
    mutable std::mutex mutex_;
    QJsonObject values_;
    QSet<QString> changed_;  // set or removed here since the last write that reached the disk
    mode_t newFileMode_ = 0644;  // that of a damaged file moved aside, for the one replacing it
    bool lockFailureSaid_ = false;
    bool pending_ = false;  // a write waits for the lock
    bool retryScheduled_ = false;
    int retryAttempt_ = 0;
    QByteArray writtenStamp_;  // the file as written last under the lock; empty when not known
    QByteArray seenStamp_;  // the file as read last
    SaveLineage baseLineage_;  // the saves the file descended from when last read or written
    SavesWritten<QString> written_;  // of the keys set or removed here
    bool lastWriteOk_ = true;
    bool damaged_ = false;
    std::optional<FileError> readFailure_;
};
