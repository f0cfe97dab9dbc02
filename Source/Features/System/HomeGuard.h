#pragma once

#include <QString>
#include <QStringList>

// Decides which paths the disk cleaner may touch: those strictly inside the home folder and
// outside every Trash. Paths are compared normalised: "." and ".." resolved, trailing "/" dropped
// and the parent folder resolved through links (the last component is never followed).
class HomeGuard {
public:
    // `trashes`: trash folders to keep out of, besides any folder named ".Trash" or ".Trash-*".
    HomeGuard(const QString& home, const QStringList& trashes);

    // The normalised path when it may be touched, else an empty text.
    QString admit(const QString& path) const;
    static QString normalised(const QString& path);

    const QString& home() const { return home_; }

private:
    QString home_;
    QStringList trashes_;
};
