#pragma once

#include "Source/Features/Updates/Release.h"

#include <QList>
#include <QObject>
#include <QString>

#include <optional>

// The version the changelog window shows, shared by its controller and its content; absent means
// the newest release. GUI thread only.
class ChangelogSelection : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    const std::optional<QString>& version() const { return version_; }
    void setVersion(std::optional<QString> version);

    // The release to show: the first whose version equals `version` exactly, else the newest (the
    // first of the list); nothing for an empty list.
    static std::optional<Release> selected(const QList<Release>& releases, const std::optional<QString>& version);

signals:
    void versionChanged();

private:
    std::optional<QString> version_;
};
