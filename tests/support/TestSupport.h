#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QString>

#include <functional>

namespace TestSupport {
// The temp folder that XDG_CONFIG_HOME, XDG_DATA_HOME and XDG_CACHE_HOME point into for this process.
QString tempRoot();
// Processes events until the condition holds or the timeout passes; returns the condition.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 5000);
// Processes events for a while.
void spin(int ms);
}  // namespace TestSupport
