#pragma once

#include <QString>

// The user's home and XDG base folders, read from the environment as bytes (NativePath), so a
// folder named in bytes that are not UTF-8 is the one used, never its look-alike. An XDG value that
// is empty or relative is ignored, as the XDG rules say.
namespace UserFolders {

QString home();  // $HOME, else "/"
QString configHome();  // $XDG_CONFIG_HOME, else ~/.config
QString dataHome();  // $XDG_DATA_HOME, else ~/.local/share
QString cacheHome();  // $XDG_CACHE_HOME, else ~/.cache
QString runtimeHome();  // $XDG_RUNTIME_DIR, else empty
// $TMPDIR, else /tmp, links resolved. One that does not exist is still named (what is done there
// fails and says where), never taken for the root folder.
QString temporary();

}  // namespace UserFolders
