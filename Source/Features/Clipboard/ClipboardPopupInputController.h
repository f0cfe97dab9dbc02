#pragma once

#include <QObject>
#include <QPointF>

class ClipboardPopupController;

// The clipboard popup's hold on input while it is open: every key comes to the popup first (from
// the hot-key monitor), the pointer's moves over this program's windows are followed, and a press
// outside the popup's drawn parts closes it, in this program's windows (the press goes no further)
// or in another program's. Owned by the popup's controller. GUI thread only.
class ClipboardPopupInputController : public QObject {
public:
    explicit ClipboardPopupInputController(ClipboardPopupController& popup);
    ~ClipboardPopupInputController() override;

    void install();
    void remove();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool pointInDrawnParts(const QPointF& point) const;
    void globalMouseDown(const QPoint& globalPos);

    ClipboardPopupController& popup_;
    bool installed_ = false;
    QMetaObject::Connection globalMouse_;
};
