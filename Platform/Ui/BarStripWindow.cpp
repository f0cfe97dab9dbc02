#include "Platform/Ui/BarStripWindow.h"

#include "Platform/Ui/StatusBar.h"
#include "Platform/X11/Compositing.h"
#include "Platform/X11/StaysOnTop.h"
#include "Platform/X11/Struts.h"

#include <QGuiApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QToolTip>

#include <algorithm>
#include <cmath>

BarStripWindow::Layout BarStripWindow::layout(const std::vector<int>& widths)
{
    Layout result;
    int total = 2 * endPadding;
    for (size_t i = 0; i < widths.size(); ++i)
        total += std::max(0, widths[i]) + (i > 0 ? itemSpacing : 0);
    result.width = total;
    int right = total - endPadding;
    for (int w : widths) {
        w = std::max(0, w);
        result.rects.emplace_back(right - w, 0, w, barHeight);
        right -= w + itemSpacing;
    }
    return result;
}

int BarStripWindow::itemWidth(const StatusItem* item)
{
    const QImage image = item->image();
    if (image.isNull())
        return 0;
    return static_cast<int>(std::ceil(image.deviceIndependentSize().width() - 1e-6));
}

BarStripWindow::BarStripWindow()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus)
{
    setObjectName(QStringLiteral("StatusBarWindow"));
    setWindowTitle(QStringLiteral("StatusBarWindow"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    // A tool window that never becomes active would otherwise get no tooltips.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    // A bar casts no shadow: the window says it is a dock and asks for none, and it is made with an
    // alpha channel, which compositors that shadow every opaque window leave alone. It is filled
    // opaque all the same, so it looks the same without a compositor.
    setAttribute(Qt::WA_TranslucentBackground);
    winId();
    // A dock the window manager keeps above other windows, and whose height it leaves out of the
    // work area; where none runs, the strip goes back on top itself when covered.
    Compositing::leaveUnshadowed(windowHandle(), Compositing::WindowRole::dock);
    new StaysOnTop(windowHandle(), StaysOnTop::Watch::covering);
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, [this] {
        watchPrimaryScreen();
        place();
    });
    watchPrimaryScreen();
    relayout();
}

BarStripWindow::~BarStripWindow() { Struts::release(windowHandle()); }

void BarStripWindow::watchPrimaryScreen()
{
    disconnect(screenConnection_);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        screenConnection_ = connect(screen, &QScreen::geometryChanged, this, &BarStripWindow::place);
}

int BarStripWindow::indexOf(const StatusItem* item) const
{
    auto it = std::find(items_.begin(), items_.end(), item);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void BarStripWindow::addItem(StatusItem* item)
{
    if (indexOf(item) >= 0)
        return;
    items_.push_back(item);
    rects_.emplace_back();
    relayout();
}

void BarStripWindow::removeItem(StatusItem* item)
{
    const int i = indexOf(item);
    if (i < 0)
        return;
    items_.erase(items_.begin() + i);
    rects_.erase(rects_.begin() + i);
    relayout();
}

void BarStripWindow::relayout()
{
    std::vector<int> widths;
    std::vector<size_t> shown;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (items_[i]->isVisible()) {
            widths.push_back(itemWidth(items_[i]));
            shown.push_back(i);
        }
    }
    const Layout l = layout(widths);
    std::fill(rects_.begin(), rects_.end(), QRect());
    for (size_t k = 0; k < shown.size(); ++k)
        rects_[shown[k]] = l.rects[k];
    stripWidth_ = shown.empty() ? 0 : l.width;
    update();
    // Showing and hiding happen at once; a visible strip's size follows once per burst of
    // changes (a dozen items arrive at start-up).
    if (stripWidth_ <= 0 || !isVisible()) {
        apply();
        return;
    }
    if (!applyPending_) {
        applyPending_ = true;
        QMetaObject::invokeMethod(this, &BarStripWindow::apply, Qt::QueuedConnection);
    }
}

void BarStripWindow::apply()
{
    applyPending_ = false;
    if (stripWidth_ <= 0) {
        hide();
        return;
    }
    place();
    // Mapping an unmanaged window puts it on top of the stack.
    if (!isVisible())
        show();
}

QRect BarStripWindow::targetGeometry() const
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen || stripWidth_ <= 0)
        return {};
    const QRect g = screen->geometry();
    return QRect(g.x() + g.width() - stripWidth_, g.y(), stripWidth_, barHeight);
}

void BarStripWindow::place()
{
    const QRect target = targetGeometry();
    if (target.isValid() && geometry() != target)
        setGeometry(target);
    reserve(target);
}

void BarStripWindow::reserve(const QRect& band)
{
    if (band == reserved_)
        return;
    reserved_ = band;
    Struts::reserveTop(windowHandle(), band);
}

void BarStripWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    reserve(targetGeometry());
}

void BarStripWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    // Hidden, or gone into a tray: the space goes back.
    reserve({});
}

QRect BarStripWindow::itemRect(const StatusItem* item) const
{
    const int i = indexOf(item);
    return i < 0 ? QRect() : rects_[i];
}

QRect BarStripWindow::itemScreenRect(const StatusItem* item) const
{
    const QRect r = itemRect(item);
    if (r.isNull())
        return {};
    return r.translated(targetGeometry().topLeft());
}

StatusItem* BarStripWindow::itemAt(const QPoint& pos) const
{
    for (size_t i = 0; i < items_.size(); ++i) {
        if (!rects_[i].isNull() && rects_[i].contains(pos))
            return items_[i];
    }
    return nullptr;
}

bool BarStripWindow::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        StatusItem* item = itemAt(help->pos());
        if (item && !item->toolTip().isEmpty()) {
            QToolTip::showText(help->globalPos(), item->toolTip(), this, itemRect(item));
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QWidget::event(event);
}

void BarStripWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), background);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (size_t i = 0; i < items_.size(); ++i) {
        const QRect& r = rects_[i];
        const QImage image = items_[i]->image();
        if (r.isNull() || image.isNull())
            continue;
        // Templates arrive already coloured; every image is drawn as given, at its logical size.
        const QSizeF size = image.deviceIndependentSize();
        const QRectF target(r.x() + (r.width() - size.width()) / 2.0,
                            r.y() + (r.height() - size.height()) / 2.0, size.width(), size.height());
        painter.drawImage(target, image);
    }
}

void BarStripWindow::mousePressEvent(QMouseEvent* event)
{
    StatusItem* hit = itemAt(event->position().toPoint());
    if (!hit) {
        event->ignore();
        return;
    }
    event->accept();
    const QRect rect = itemScreenRect(hit);
    // A receiver may remove the item or the whole bar: nothing here is touched afterwards.
    emit hit->clicked(rect, event->button());
}
