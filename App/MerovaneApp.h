#pragma once

#include <functional>

class UserDefaults;

// The application description: its initialiser migrates the legacy settings once; running it
// hands control to the event loop. No window opens by itself.
class MerovaneApp {
public:
    MerovaneApp();
    // Copies, once, every key the legacy domain holds and the standard one lacks, then sets
    // "migratedLegacyDefaults". Returns how many keys were copied. A standard domain that started
    // from a damaged file copies nothing: its lost values are not the legacy ones, and stale ones
    // (an old history limit) would cut the user's data. Nor does one whose file could not be read:
    // its values are unknown and nothing is saved. The legacy domain is asked for (and its file
    // read) only while a migration is due.
    static int migrateLegacyDefaults(UserDefaults& standard, const std::function<UserDefaults&()>& legacy);
    // The program's icon on its windows, and an icon theme to fall back on for file and mime
    // icons where the desktop names none (a bare window manager). Needs the application object;
    // call it before any icon is looked up (Qt keeps a theme's misses).
    static void setUpIcons();
    int run();
};
