#pragma once

#include <QString>
#include <QStringList>

// Decides which paths the disk cleaner may touch: those strictly inside the home folder and
// outside every Trash. Paths are compared normalised: "." and ".." resolved, trailing "/" dropped
// and the parent folder resolved through links (the last component is never followed). admit() and
// normalised() look at the file system (home and trashes are resolved there): not on the GUI thread.
class HomeGuard {
public:
    // `trashes`: trash folders to keep out of, besides any folder named ".Trash" or ".Trash-*".
    HomeGuard(const QString& home, const QStringList& trashes);

    // The normalised path when it may be touched, else an empty text.
    QString admit(const QString& path) const;
    static QString normalised(const QString& path);

    // As given, cleaned; not resolved through links.
    const QString& home() const { return home_; }

private:
    static QString resolved(const QString& path);

    QString home_;
    QStringList trashes_;
};
