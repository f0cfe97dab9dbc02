#include "Views/Pet/PetWindow.h"

#include "Platform/X11/StaysOnTop.h"
#include "Platform/X11/UnmanagedWindow.h"

#include <QBitmap>
#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include <cmath>

namespace {
// Without a compositor the heart's fade cannot be drawn: it shows while mostly opaque.
constexpr double kSolidHeart = 0.5;
}  // namespace

// Not a tool window: Qt raises an unmanaged tool window just before it maps it, and that restack
// is then the only change a compositor sees before it knows the window is translucent (see
// showEvent).
PetWindow::PetWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus |
                          Qt::X11BypassWindowManagerHint | Qt::NoDropShadowWindowHint) {
    setObjectName(QStringLiteral("PetWindow"));
    setWindowTitle(QStringLiteral("Quorvin Pet"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(false);
    resize(windowWidth, MenuBarPet::defaultBandHeight);
}

QRect PetWindow::frameFor(const MenuBarPet::Look& look) {
    const int h = look.band.isEmpty() ? MenuBarPet::defaultBandHeight : look.band.height();
    return QRect(look.band.left() + look.petLeft - margin, look.band.top(), windowWidth, h);
}

QRect PetWindow::petArea(int bandHeight) { return QRect(margin - 2, 0, int(MenuBarPet::petWidth) + 4, bandHeight); }

void PetWindow::setComposited(bool composited) {
    if (composited_ == composited) return;
    composited_ = composited;
    updateShape();
    update();
}

void PetWindow::compositingChanged() {
    QWindow* handle = windowHandle();
    if (!isVisible() || !handle || !UnmanagedWindow::arriveAgain(handle)) return;
    // Unmapped on the way, it may have lost its pixels; Qt hears of it only while it hears the
    // window's changes.
    update();
}

void PetWindow::present(const MenuBarPet::Look& look) {
    const QRect frame = frameFor(look);
    const bool resized = frame.size() != size();
    const bool moved = resized || frame.topLeft() != placedAt_;
    const bool heartShown = look.heart.opacity > 0 || look_.heart.opacity > 0;
    const bool picture = look.frame.cacheKey() != look_.frame.cacheKey() || look.flipped != look_.flipped ||
                         look.petTop != look_.petTop || (heartShown && look.heart != look_.heart);
    look_ = look;
    QWindow* handle = windowHandle();
    if (moved) {
        // The size rarely changes (another band height); the position at each step of a walk.
        if (resized || !handle || !UnmanagedWindow::move(handle, frame.topLeft())) {
            // Qt follows what it asks of the server from the server's reports.
            if (quiet_) quiet_ = !UnmanagedWindow::reportChanges(handle, true);
            setGeometry(frame);
        } else if (!quiet_ && handle->isExposed()) {
            // Mapped, and its moves go by us: the server need not report each one back.
            quiet_ = UnmanagedWindow::reportChanges(handle, false);
        }
        placedAt_ = frame.topLeft();
    }
    if (picture || resized) updateShape();
    // Windows mapped later cover an unmanaged one: back on top now and then while it changes anyway.
    if ((moved || picture) && stayOnTop_ && isVisible()) stayOnTop_->changed();
    if (resized || inputArea_.isEmpty()) {
        inputArea_ = petArea(frame.height());
        if (handle) UnmanagedWindow::setInputRegion(handle, inputArea_);
    }
    if (picture || resized) {
        // Painted now, so that the picture goes to the server with the move and the shape in one
        // flush; a window not shown yet paints when it shows.
        if (isVisible() && handle && handle->isExposed()) {
            UnmanagedWindow::coverExposures(handle);
            repaint();
        } else {
            update();
        }
    }
    if (handle) UnmanagedWindow::flush(handle);
}

void PetWindow::setVisible(bool visible) {
    // Qt learns that the window is unmapped from the server's report.
    if (!visible && quiet_) quiet_ = !UnmanagedWindow::reportChanges(windowHandle(), true);
    QWidget::setVisible(visible);
}

void PetWindow::setKeepsOnTop(bool keeps) {
    keepsOnTop_ = keeps;
    if (stayOnTop_) stayOnTop_->setEnabled(keeps);
}

void PetWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!stayOnTop_ && windowHandle()) {
        stayOnTop_ = new StaysOnTop(windowHandle(), StaysOnTop::Watch::ownChanges);
        stayOnTop_->setEnabled(keepsOnTop_);
    }
    placedAt_ = pos();
    UnmanagedWindow::declareNoFrame(windowHandle());
    // A shape cut before the native window existed went to the widget.
    if (!shape_.isEmpty()) applyShape();
    inputArea_ = petArea(height());
    UnmanagedWindow::setInputRegion(windowHandle(), inputArea_);
    // Mapping puts the window on top, and StaysOnTop restacks it only a while after each map.
    // Restacking it before its first map would be its only change a compositor sees before it
    // knows the window is translucent: some then keep a shadow for it that darkens the band behind
    // the pet and along its walk.
}

void PetWindow::applyShape() {
    // Straight to the server where there is one: a widget mask would clip each repaint to the shape
    // and send it as a piece per row.
    if (QWindow* handle = windowHandle(); handle && handle->handle()) {
        if (!mask().isEmpty()) clearMask();  // first: it resets the server's shape
        if (UnmanagedWindow::setShape(handle, shape_)) return;
    }
    if (shape_.isEmpty())
        clearMask();
    else
        setMask(shape_);
}

QRectF PetWindow::heartRect() const {
    const double scale = look_.heart.scale;
    const double cx = look_.flipped ? margin + MenuBarPet::petWidth - HoverHeart::centreX : margin + HoverHeart::centreX;
    const double cy = look_.petTop + HoverHeart::centreY - look_.heart.rise;
    const QSizeF size(HoverHeart::width * scale, HoverHeart::height * scale);
    return QRectF(QPointF(std::round(cx - size.width() / 2), std::round(cy - size.height() / 2)), size);
}

const QRegion& PetWindow::frameRegion() {
    const qint64 key = look_.frame.cacheKey();
    auto it = frameRegions_.find(key);
    if (it == frameRegions_.end()) {
        it = frameRegions_.insert(key, QRegion(QBitmap::fromImage(look_.frame.createAlphaMask())));
    }
    return *it;
}

void PetWindow::updateShape() {
    if (composited_) {
        if (!shape_.isEmpty()) {
            shape_ = QRegion();
            applyShape();
        }
        return;
    }
    QRegion shape;
    if (!look_.frame.isNull()) {
        QRegion sprite = frameRegion();
        if (look_.flipped) sprite = QTransform(-1, 0, 0, 1, MenuBarPet::petWidth, 0).map(sprite);
        shape += sprite.translated(margin, look_.petTop);
    }
    if (look_.heart.opacity >= kSolidHeart) {
        static const QRegion heart(QBitmap::fromImage(HoverHeart::image().createAlphaMask()));
        const QRectF r = heartRect();
        const QTransform place = QTransform::fromScale(r.width() / HoverHeart::width, r.height() / HoverHeart::height) *
                                 QTransform::fromTranslate(r.left(), r.top());
        shape += place.map(heart);
    }
    // An empty mask would show the whole window.
    if (shape.isEmpty()) shape = QRegion(0, 0, 1, 1);
    if (shape != shape_) {
        shape_ = shape;
        applyShape();
    }
}

void PetWindow::paintEvent(QPaintEvent*) {
    ++paintCount_;
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (!look_.frame.isNull()) {
        painter.save();
        painter.translate(margin, look_.petTop);
        if (look_.flipped) painter.setTransform(QTransform(-1, 0, 0, 1, MenuBarPet::petWidth, 0), true);
        painter.drawImage(QRectF(0, 0, MenuBarPet::petWidth, MenuBarPet::petHeight), look_.frame);
        painter.restore();
    }
    const double opacity = look_.heart.opacity;
    if (composited_ ? opacity > 0 : opacity >= kSolidHeart) {
        painter.setOpacity(composited_ ? opacity : 1.0);
        painter.drawImage(heartRect(), HoverHeart::image());
    }
}

bool PetWindow::pointerOverPet() {
    if (!pointerCandidate_ || !isVisible()) return false;
    const bool over = petArea(height()).translated(pos()).contains(QCursor::pos());
    if (!over) pointerCandidate_ = false;
    return over;
}

void PetWindow::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    pointerCandidate_ = true;
}

void PetWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        emit menuRequested(event->globalPosition().toPoint());
        return;
    }
    if (event->button() != Qt::LeftButton) return;
    clicks_ = 1;
    emit pressed(event->globalPosition().x() - look_.band.left());
}

void PetWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    clicks_ = 2;
    emit pressed(event->globalPosition().x() - look_.band.left());
}

void PetWindow::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) return;
    emit dragged(event->globalPosition().x() - look_.band.left());
}

void PetWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    emit released(clicks_);
}
