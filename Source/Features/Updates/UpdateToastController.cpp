#include "Source/Features/Updates/UpdateToastController.h"

#include "Platform/Desktop/AccessibilityDisplayOptions.h"
#include "Platform/Gui/Screens.h"
#include "Platform/Ui/BarStripWindow.h"
#include "Platform/X11/Compositing.h"
#include "Views/Shared/Motion.h"
#include "Views/Updates/UpdateToastView.h"

#include <QGuiApplication>
#include <QPainterPath>
#include <QRegion>
#include <QScreen>
#include <QVariantAnimation>
#include <QWidget>

namespace {

// The toast's window: borderless, above other windows, outside the window manager's focus.
QWidget* makePanel() {
    auto* panel = new QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                           Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint |
                                           Qt::NoDropShadowWindowHint);
    panel->setObjectName(QStringLiteral("UpdateToastPanel"));
    panel->setWindowTitle(QStringLiteral("Quorvin"));
    panel->setAttribute(Qt::WA_ShowWithoutActivating);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setFocusPolicy(Qt::NoFocus);
    panel->setFixedSize(int(UpdateToastController::width), int(UpdateToastController::height));
    if (Compositing::isActive()) {
        panel->setAttribute(Qt::WA_TranslucentBackground);
    } else {
        // No compositor draws transparency: the window is cut to the card.
        QPainterPath card;
        card.addRoundedRect(QRectF(0, 0, UpdateToastController::width, UpdateToastController::height),
                            UpdateToastView::cornerRadius, UpdateToastView::cornerRadius);
        panel->setMask(QRegion(card.toFillPolygon().toPolygon()));
    }
    return panel;
}

// Moves the panel from `from` to `to` (Qt space) and its opacity from a to b over the duration.
void animatePanel(QWidget* panel, QPointF from, QPointF to, double a, double b, double seconds,
                  const QEasingCurve& curve, std::function<void()> done) {
    auto step = [panel, from, to, a, b](double t) {
        panel->move((from + (to - from) * t).toPoint());
        panel->setWindowOpacity(a + (b - a) * t);
    };
    if (seconds <= 0) {
        step(1);
        if (done) done();
        return;
    }
    auto* animation = new QVariantAnimation(panel);
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    animation->setDuration(int(seconds * 1000));
    animation->setEasingCurve(curve);
    QObject::connect(animation, &QVariantAnimation::valueChanged, panel,
                     [step](const QVariant& v) { step(v.toDouble()); });
    if (done) QObject::connect(animation, &QVariantAnimation::finished, panel, std::move(done));
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

}  // namespace

UpdateToastController& UpdateToastController::shared() {
    static auto* controller = new UpdateToastController;
    return *controller;
}

QRectF UpdateToastController::finalFrame(const QRectF& screenFrame, const QRectF& visibleFrame) {
    // Upward space: a rectangle's y is its lower edge, y + height its upper one.
    double top = visibleFrame.y() + visibleFrame.height();
    if (top >= screenFrame.y() + screenFrame.height())
        top = screenFrame.y() + screenFrame.height() - BarStripWindow::barHeight;
    return QRectF(visibleFrame.x() + visibleFrame.width() - width - margin, top - height - margin, width, height);
}

void UpdateToastController::show(const QString& version) {
    dismissWork_.cancel();
    if (QWidget* old = panel_) {
        panel_ = nullptr;
        old->hide();
        old->deleteLater();
    }
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.isEmpty()) return;
    QScreen* screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen() : screens.first();

    QWidget* panel = makePanel();
    QPointer<UpdateToastController> self(this);
    auto* view = new UpdateToastView(
        version, [self] { if (self) self->close(true); },
        [self, version] {
            if (!self) return;
            self->close(true);
            if (self->whatsNew_) self->whatsNew_(version);
        },
        [self](bool inside) {
            if (!self) return;
            if (inside) self->dismissWork_.cancel();
            else self->scheduleDismiss();
        },
        panel);
    view->move(0, 0);

    const QRectF target = Screens::toQt(finalFrame(Screens::frame(screen), Screens::visibleFrame(screen)));
    const QPointF to = target.topLeft();
    const QPointF from = to + QPointF(slide, 0);
    panel->move(from.toPoint());
    panel->setWindowOpacity(0);
    panel->winId();
    Compositing::leaveUnshadowed(panel->windowHandle(), Compositing::WindowRole::notification);
    panel->show();
    panel->raise();
    QEasingCurve entrance(QEasingCurve::BezierSpline);
    entrance.addCubicBezierSegment(QPointF(0.2, 0.9), QPointF(0.3, 1.0), QPointF(1, 1));
    animatePanel(panel, from, to, 0, 1, AccessibilityDisplayOptions::reduceMotion() ? 0 : entranceSeconds, entrance, {});

    panel_ = panel;
    emit panelChanged();
    scheduleDismiss();
}

void UpdateToastController::scheduleDismiss() {
    dismissWork_.cancel();
    QPointer<UpdateToastController> self(this);
    dismissWork_.schedule(this, autoCloseSeconds, [self] {
        if (self) self->close(true);
    });
}

void UpdateToastController::close(bool animated) {
    dismissWork_.cancel();
    QWidget* panel = panel_;
    if (!panel) return;
    panel_ = nullptr;
    emit panelChanged();
    if (!animated) {
        panel->hide();
        panel->deleteLater();
        return;
    }
    const QPointF from = panel->pos();
    QPointer<QWidget> weak(panel);
    animatePanel(panel, from, from + QPointF(slide, 0), panel->windowOpacity(), 0, exitSeconds,
                 Motion::easingCurve(Motion::Animation::Kind::easeInOut), [weak] {
                     if (!weak) return;
                     weak->hide();
                     weak->deleteLater();
                 });
}
