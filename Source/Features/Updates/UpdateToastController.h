#pragma once

#include "Platform/Core/Dispatch.h"

#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QString>

#include <functional>

class QWidget;

// The toast after an update: a floating card in the top-right corner of the primary screen that
// names the new version and offers its changes. It slides in from the right, closes by itself
// 20 s after it was shown or the pointer left it, and slides out again. It never takes focus.
class UpdateToastController : public QObject {
    Q_OBJECT
public:
    static constexpr double width = 340;
    static constexpr double height = 214;
    static constexpr double margin = 12;       // from the right and top edges of the work area
    static constexpr double slide = 40;        // entrance and exit, horizontally
    static constexpr double entranceSeconds = 0.35;
    static constexpr double exitSeconds = 0.25;
    static constexpr double autoCloseSeconds = 20;

    static UpdateToastController& shared();

    // Shows a fresh toast for the version, replacing one still on screen (at once, unanimated).
    void show(const QString& version);
    // Closes the toast, sliding out when animated; nothing when none is shown.
    void close(bool animated);

    // The toast on screen; null from the start of a close.
    QWidget* panel() const { return panel_; }
    bool isDismissPending() const { return dismissWork_.isPending(); }
    // What "What’s New" opens: the changelog at a version.
    void setWhatsNewHandler(std::function<void(const QString&)> handler) { whatsNew_ = std::move(handler); }

    // The toast's resting frame in upward space, given the screen's frame and work area. Where no
    // panel reserves the top of the screen, the bar strip or the tray's dock sits there unreserved:
    // the toast stays below that band.
    static QRectF finalFrame(const QRectF& screenFrame, const QRectF& visibleFrame);

signals:
    void panelChanged();

private:
    UpdateToastController() = default;
    void scheduleDismiss();

    QPointer<QWidget> panel_;
    WorkItem dismissWork_;
    std::function<void(const QString&)> whatsNew_;
};
