#pragma once

#include <QPainterPath>
#include <QPointer>
#include <QRegion>
#include <QWidget>

class ClipboardCompositeRootView;

// Hosts the clipboard popup's view tree in its panel, filling it. It keeps every scroll area
// of the tree free of scroll bars (also those that come later, such as the preview's), and
// where no compositor draws translucent windows it cuts the panel to the drawn cards.
class ClipboardPopupHostingController : public QWidget {
    Q_OBJECT
public:
    ClipboardPopupHostingController(QWidget* panel, bool masksToDrawnParts);

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

    QPointer<QWidget> panel_;
    bool masks_;
    ClipboardCompositeRootView* root_ = nullptr;
};
