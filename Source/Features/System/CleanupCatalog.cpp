#include "Source/Features/System/CleanupCatalog.h"

#include "Platform/Files/UserFolders.h"

#include <QDir>

namespace {

constexpr CleanupCategory development = CleanupCategory::development;
constexpr CleanupCategory systemCategory = CleanupCategory::system;

}  // namespace

CleanupBases CleanupBases::current() {
    return {UserFolders::home(), UserFolders::cacheHome(), UserFolders::dataHome()};
}

QString CleanupBases::resolve(const QString& location) const {
    static const QString cache = QStringLiteral("$XDG_CACHE_HOME/"), data = QStringLiteral("$XDG_DATA_HOME/");
    if (location.startsWith(cache)) return cacheHome + "/" + location.mid(cache.size());
    if (location.startsWith(data)) return dataHome + "/" + location.mid(data.size());
    return home + "/" + location;
}

const QList<CleanupCandidate>& CleanupCatalog::candidates() {
    static const QList<CleanupCandidate> rows{
        {"Xcode Derived Data", {"Library/Developer/Xcode/DerivedData"}, development,
         "Xcode rebuilds indexes and derived data on the next build. The first build of each project will be slower.",
         true, {}},
        {"Xcode Device Support", {"Library/Developer/Xcode/iOS DeviceSupport"}, development,
         "Symbols are re-copied the next time you attach that iOS version. Requires the device to be plugged in again.",
         true, {}},
        {"npm Cache", {".npm/_cacache"}, development,
         "npm re-downloads packages on the next install. Requires a network connection.", true, {}},
        {"Yarn Cache", {"Library/Caches/Yarn", ".yarn/cache"}, development,
         "Yarn re-downloads packages on the next install.", true, {"$XDG_CACHE_HOME/yarn", ".yarn/berry/cache"}},
        {"Deno Cache", {"Library/Caches/deno"}, development, "Deno re-fetches remote modules on the next run.", true,
         {"$XDG_CACHE_HOME/deno"}},
        {"Cargo Registry Cache", {".cargo/registry/cache"}, development,
         "Cargo re-downloads crate archives on the next build.", true, {}},
        {"Gradle Cache", {".gradle/caches"}, development, "Gradle re-downloads dependencies on the next build.", true,
         {}},
        {"Homebrew Downloads", {"Library/Caches/Homebrew"}, development,
         "Homebrew re-downloads bottles the next time you install or upgrade.", true, {"$XDG_CACHE_HOME/Homebrew"}},
        {"Simulator Caches", {"Library/Developer/CoreSimulator/Caches"}, development,
         "Simulators rebuild their dyld and runtime caches the next time they boot.", true, {}},
        {"Swift Package Cache", {"Library/Caches/org.swift.swiftpm"}, development,
         "Swift packages are re-cloned on the next resolve.", true, {"$XDG_CACHE_HOME/org.swift.swiftpm"}},
        {"pnpm Store", {"Library/pnpm/store"}, development,
         "pnpm re-downloads packages into its store on the next install.", true, {"$XDG_DATA_HOME/pnpm/store"}},
        {"Bun Cache", {".bun/install/cache"}, development, "Bun re-downloads packages on the next install.", true, {}},
        {"Composer Cache", {"Library/Caches/composer", ".composer/cache"}, development,
         "Composer re-downloads PHP packages on the next install.", true, {"$XDG_CACHE_HOME/composer"}},
        {"Go Build Cache", {"Library/Caches/go-build"}, development, "Go recompiles packages on the next build.", true,
         {"$XDG_CACHE_HOME/go-build"}},
        {"Xcode Archives", {"Library/Developer/Xcode/Archives"}, development,
         "Past archives are gone: you can no longer re-export or symbolicate those builds. Off by default for that "
         "reason.",
         false, {}},
        {"Maven Repository", {".m2/repository"}, development,
         "Maven re-downloads every dependency on the next build. Often large \u2014 off by default.", false, {}},
        {"User Logs", {"Library/Logs"}, systemCategory,
         "Diagnostic logs are deleted. Only matters if you are about to file a bug report.", true, {}},
        {"Saved Application State", {"Library/Saved Application State"}, systemCategory,
         "Apps forget which windows were open. They reopen with a clean slate.", true, {}},
    };
    return rows;
}

const QSet<QString>& CleanupCatalog::claimedPaths() {
    static const QSet<QString> paths = [] {
        QSet<QString> out;
        for (const CleanupCandidate& row : candidates())
            for (const QString& path : row.relativePaths) out.insert(path);
        return out;
    }();
    return paths;
}

QSet<QString> CleanupCatalog::claimedLinuxPaths(const CleanupBases& bases) {
    QSet<QString> out;
    for (const CleanupCandidate& row : candidates())
        for (const QString& location : row.linuxPaths) out.insert(bases.resolve(location));
    return out;
}

const QStringList& CleanupCatalog::protectedCachePrefixes() {
    static const QStringList prefixes{"com.apple.Music",      "com.apple.iTunes",  "com.apple.itunes",
                                      "com.apple.AMP",        "com.apple.Safari",  "com.apple.Photos",
                                      "com.apple.photo",      "com.apple.mail",    "com.apple.MobileSMS",
                                      "com.apple.AddressBook", "com.apple.iCal",   "com.apple.HomeKit",
                                      "com.apple.TCC"};
    return prefixes;
}
