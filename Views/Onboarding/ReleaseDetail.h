#pragma once

#include "Source/Features/Onboarding/PixelScene.h"
#include "Source/Features/Updates/Release.h"

#include <QScrollArea>

class ReleaseBanner;

// One release under its banner: the 240-point banner across the full width, then the title
// "Quorvin v" and the version, the date, a divider and the notes as bullets, in a column at most
// 640 points wide at the left. Scrolls vertically without showing scroll bars.
class ReleaseDetail : public QScrollArea {
    Q_OBJECT
public:
    static constexpr int bannerHeight = 240;
    static constexpr int columnMaximumWidth = 640;

    ReleaseDetail(Release release, PixelScene::Theme scene, QWidget* parent = nullptr);

    const Release& release() const { return release_; }
    const PixelScene::Theme& scene() const { return scene_; }
    ReleaseBanner* banner() const { return banner_; }
    // The note texts in display order, as shown.
    QStringList noteTexts() const;

private:
    Release release_;
    PixelScene::Theme scene_;
    ReleaseBanner* banner_;
    QWidget* column_;
};
