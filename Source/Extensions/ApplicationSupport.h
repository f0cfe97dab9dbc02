#pragma once

#include <QString>

struct URL {
    // The folder `name` (which may hold slashes) directly under the user's data folder
    // ($XDG_DATA_HOME, else ~/.local/share), created with its parents when missing. A creation
    // error is ignored: the path is returned all the same.
    static QString applicationSupport(const QString& name);
    // The data folder itself.
    static QString applicationSupportBase();
};
