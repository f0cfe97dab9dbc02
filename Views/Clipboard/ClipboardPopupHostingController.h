#pragma once

#include <QPainterPath>
#include <QPointer>
#include <QRect>
#include <QRegion>
#include <QWidget>

class ClipboardCompositeRootView;
class QTimer;

// Hosts the clipboard popup's view tree in its panel. The tree is laid out over the popup's whole
// layout frame (the main card's frame and the room beside it for the preview), but the panel
// covers only what is drawn, a small margin around it: compositors that shadow a window darken
// all of it. The panel grows at once when a drawing needs more room (to the whole room of what
// moves: the main frame, the preview's area) and shrinks once the drawings have settled; the
// tree keeps its place on screen meanwhile. It also keeps every scroll area of the tree free of
// scroll bars (also those that come later, such as the preview's), and where no compositor
// draws translucent windows it cuts the panel to the drawn cards.
class ClipboardPopupHostingController : public QWidget {
    Q_OBJECT
public:
    // How far the panel reaches beyond the drawn cards (their anti-aliased edges).
    static constexpr int drawnMargin = 2;
    // How long the drawings stay still before the panel shrinks to them.
    static constexpr int settleMs = 250;

    ClipboardPopupHostingController(QWidget* panel, bool masksToDrawnParts);

    // The layout frame in Qt's screen space and where the drawings will stand in it when the
    // panel is first shown (the tree lays its cards out only then); call before setRootView.
    void setLayoutFrame(const QRect& frame, const QRect& drawn);
    QRect layoutFrame() const { return layoutFrame_; }
    // The part of the layout frame the panel covers now, in the frame's coordinates.
    QRect coveredRect() const { return covered_; }
    void setRootView(ClipboardCompositeRootView* root);
    ClipboardCompositeRootView* rootView() const { return root_; }
    bool masksToDrawnParts() const { return masks_; }

    // Turns off the scroll bars of every scroll area in the tree.
    static void suppressScrollers(QWidget* root);
    // The area covered by any closed piece of the path; overlapping pieces add up.
    static QRegion regionOfPieces(const QPainterPath& path);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void drawnShapeChanged();
    // The drawn parts' bounding rectangle with the margin, in the layout frame's coordinates.
    QRect neededRect() const;
    // The room of everything that moves or grows: the main column and the preview's area.
    QRect roomRect() const;
    bool isPanelMapped() const;
    void cover(const QRect& area);
    void shrinkToDrawing();

    QPointer<QWidget> panel_;
    bool masks_;
    QRect layoutFrame_;
    QRect covered_;
    QRect lastNeeded_;
    QTimer* settle_ = nullptr;
    ClipboardCompositeRootView* root_ = nullptr;
};
