#pragma once

#include "Views/Shared/Motion.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

class QGraphicsOpacityEffect;
class QWidget;

// Fades and blurs the monitor popup's content widgets in and out. One fade and one blur run per
// widget at a time: a new one takes over from where the running one stands. Nothing moves while
// the host is hidden; the change is then made at once.
class MonitorContentFader : public QObject {
public:
    explicit MonitorContentFader(QWidget* host);

    void fade(QWidget* widget, double to, const Motion::Animation& animation, double delay = 0,
              std::function<void()> done = {});
    void fadeIn(QWidget* widget, const Motion::Animation& animation, double delay = 0);
    void fadeOutAndDelete(QWidget* widget, const Motion::Animation& animation, double delay = 0);
    void blur(QWidget* widget, double radius, double opacity, const Motion::Animation& timing,
              std::function<void()> done);

    // The widget's opacity effect, made (fully opaque) when it has none.
    static QGraphicsOpacityEffect* opacityEffect(QWidget* widget);

private:
    QWidget* host_;
    // The running fade and blur of each content widget, and fades waiting for their delay.
    QHash<const QWidget*, QPointer<Motion::Animator>> fadeAnimators_, blurAnimators_;
    QHash<const QWidget*, QPointer<QTimer>> fadeDelays_;
};
