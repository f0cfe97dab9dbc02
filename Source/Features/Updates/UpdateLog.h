#pragma once

#include <QLoggingCategory>

// The updater's log: the checks, the downloads, the release notes and their images.
Q_DECLARE_LOGGING_CATEGORY(lcUpdates)
