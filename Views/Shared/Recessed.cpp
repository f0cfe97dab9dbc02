#include "Views/Shared/Recessed.h"

#include "Platform/Gui/SystemColors.h"
#include "Views/Shared/ContinuousCorners.h"

#include <QLayoutItem>
#include <QPainter>
#include <QVBoxLayout>

Recessed::Recessed(double cornerRadius, QWidget* parent) : QWidget(parent), cornerRadius_(cornerRadius) {
    setAttribute(Qt::WA_TranslucentBackground);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
}

void Recessed::setContent(QWidget* content) {
    if (content_ == content) return;
    delete content_;
    content_ = content;
    if (content_) layout()->addWidget(content_);
}

void Recessed::paint(QPainter& painter, const QRectF& rect, double cornerRadius, const QPalette& palette) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(ContinuousCorners::roundedRect(rect, cornerRadius),
                     SystemColors::withOpacity(SystemColors::quaternary(palette), 0.5));
    painter.restore();
}

void Recessed::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paint(painter, QRectF(rect()), cornerRadius_, palette());
}

Recessed* recessed(QWidget* content, double cornerRadius) {
    QWidget* parent = content ? content->parentWidget() : nullptr;
    auto* well = new Recessed(cornerRadius, parent);
    if (parent && parent->layout()) delete parent->layout()->replaceWidget(content, well);
    well->setContent(content);
    return well;
}
