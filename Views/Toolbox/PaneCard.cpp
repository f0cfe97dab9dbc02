#include "Views/Toolbox/PaneCard.h"

#include "Views/Toolbox/ContentCard.h"

#include <QPainter>
#include <QVBoxLayout>

PaneCard::PaneCard(int padding, QWidget* parent) : QWidget(parent), layout_(new QVBoxLayout(this)) {
    setAttribute(Qt::WA_TranslucentBackground);
    const int margin = inset + padding;
    layout_->setContentsMargins(margin, margin, margin, margin);
    layout_->setSpacing(0);
}

void PaneCard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    ContentCard::paint(painter, QRectF(rect()), cornerRadius, palette());
}
