#pragma once

class UserDefaults;

// The application description: its initialiser migrates the legacy settings once; running it
// hands control to the event loop. No window opens by itself.
class MerovaneApp {
public:
    MerovaneApp();
    // Copies, once, every key the legacy domain holds and the standard one lacks, then sets
    // "migratedLegacyDefaults". Returns how many keys were copied. A standard domain that started
    // from a damaged file copies nothing: its lost values are not the legacy ones, and stale ones
    // (an old history limit) would cut the user's data.
    static int migrateLegacyDefaults(UserDefaults& standard, UserDefaults& legacy);
    int run();
};
