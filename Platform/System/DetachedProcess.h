#pragma once

#include <QString>
#include <QStringList>

// Starting a program that outlives this process: in a session of its own, not our child, reading
// nothing (stdin is /dev/null), with our environment, stdout and stderr. The program and its
// arguments are NativePath texts, passed as their exact bytes (QProcess would pass a name that is
// not UTF-8 as its look-alike).
namespace DetachedProcess {

// False, with errno set, when it could not be started (exec failed too).
bool start(const QString& program, const QStringList& arguments);

}  // namespace DetachedProcess
