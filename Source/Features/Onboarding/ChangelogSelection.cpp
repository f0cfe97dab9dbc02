#include "Source/Features/Onboarding/ChangelogSelection.h"

void ChangelogSelection::setVersion(std::optional<QString> version) {
    if (version == version_) return;
    version_ = std::move(version);
    emit versionChanged();
}

std::optional<Release> ChangelogSelection::selected(const QList<Release>& releases,
                                                    const std::optional<QString>& version) {
    if (version) {
        for (const Release& release : releases)
            if (release.version == *version) return release;
    }
    if (releases.isEmpty()) return std::nullopt;
    return releases.front();
}
