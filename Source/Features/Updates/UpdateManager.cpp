#include "Source/Features/Updates/UpdateManager.h"

#include "Source/Features/Updates/ReleaseNotes.h"

UpdateManager::Environment UpdateManager::Environment::standard() {
    const Bundle& bundle = Bundle::main();
    return {bundle, bundle.resourcePath(QStringLiteral("Changelog.json")), ReleaseNotes::defaultCachePath()};
}

UpdateManager& UpdateManager::shared() {
    static auto* manager = new UpdateManager(Environment::standard());
    return *manager;
}

UpdateManager::UpdateManager(Environment environment, QObject* parent)
    : QObject(parent), env_(std::move(environment)) {
    // Only the cached notes are used at start: the pending build comes from a live check.
    releases_ = merge(ReleaseNotes::readBuiltIn(env_.changelogPath), ReleaseNotes::readCachedReleases(env_.cachePath));
}

QList<Release> UpdateManager::merge(const QList<Release>& builtIn, const QList<Release>& fetched) {
    return ReleaseNotes::merge(builtIn, fetched);
}

void UpdateManager::setReleases(QList<Release> releases) {
    if (releases == releases_) return;
    releases_ = std::move(releases);
    emit releasesChanged();
}
