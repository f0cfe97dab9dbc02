#pragma once

#include "Platform/X11/StaysOnTop.h"
#include "Source/Features/MenuBarPet/MenuBarPet.h"

#include <QHash>
#include <QPointer>
#include <QRegion>
#include <QWidget>

// The pet's window: a small unmanaged, unfocusable, always-on-top window on the top band of the
// home screen, as wide as the sprite plus room for the heart on either side, moved along the band
// as the pet walks. It shows the look it is given and repaints only when the picture changes.
// It takes the pointer only over the pet; without a compositor its shape is cut from the frame's
// alpha so that nothing but the pet covers the band.
class PetWindow : public QWidget {
    Q_OBJECT
public:
    // Room beside the sprite for the heart, which shows on the side the pet faces away from.
    static constexpr int margin = 6;
    static constexpr int windowWidth = int(MenuBarPet::petWidth) + 2 * margin;

    explicit PetWindow(QWidget* parent = nullptr);

    void present(const MenuBarPet::Look& look);
    void setVisible(bool visible) override;
    // Transparency drawn by a compositor; without one the window shape is cut from the picture.
    void setComposited(bool composited);
    bool isComposited() const { return composited_; }
    // A compositor has started or quit: the window arrives again where it is
    // (UnmanagedWindow::arriveAgain), and is drawn again.
    void compositingChanged();
    // Whether the window goes back on top of the windows mapped after it, at most once a second
    // while it moves or changes its picture (StaysOnTop; off while a menu of ours opens over it).
    void setKeepsOnTop(bool keeps);

    // Where the window goes for a look, in global coordinates.
    static QRect frameFor(const MenuBarPet::Look& look);
    // The part that takes the pointer: the pet widened by 2 points each side, the band's height.
    static QRect petArea(int bandHeight);
    // Whether the pointer is over the pet: asked at each tick, but only looked up after the pointer
    // entered the window and until it is seen outside.
    bool pointerOverPet();

    int paintCount() const { return paintCount_; }
    const QRegion& shape() const { return shape_; }

signals:
    // Pointer x from the band's left edge.
    void pressed(double bandX);
    void dragged(double bandX);
    void released(int clicks);
    void menuRequested(const QPoint& globalPos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QRectF heartRect() const;
    void updateShape();
    void applyShape();
    const QRegion& frameRegion();

    MenuBarPet::Look look_;
    bool composited_ = true;
    bool keepsOnTop_ = true;
    QPoint placedAt_;  // where the window was last sent; the server answers later
    bool quiet_ = false;  // the server does not report the window's changes back
    QPointer<StaysOnTop> stayOnTop_;  // made with the native window, owned by it
    bool pointerCandidate_ = false;
    int clicks_ = 1;
    int paintCount_ = 0;
    QRegion shape_;
    QRegion inputArea_;
    QHash<qint64, QRegion> frameRegions_;
};
