#include "Views/Shared/HairlineSplitter.h"

#include "Platform/Gui/SystemColors.h"

#include <QPainter>

namespace {

class HairlineHandle : public QSplitterHandle {
public:
    using QSplitterHandle::QSplitterHandle;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), SystemColors::withOpacity(palette().color(QPalette::WindowText), 0.12));
    }
};

}  // namespace

HairlineSplitter::HairlineSplitter(Qt::Orientation orientation, QWidget* parent) : QSplitter(orientation, parent) {
    setHandleWidth(1);
    setChildrenCollapsible(false);
}

QSplitterHandle* HairlineSplitter::createHandle() { return new HairlineHandle(orientation(), this); }
