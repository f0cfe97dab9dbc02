#include "Views/Toolbox/ContentCard.h"

#include "Platform/Gui/SystemColors.h"
#include "Views/Shared/ContinuousCorners.h"

#include <QPainter>
#include <QVBoxLayout>

ContentCard::ContentCard(QWidget* content, double cornerRadius, int padding, QWidget* parent)
    : QWidget(parent), cornerRadius_(cornerRadius), content_(content) {
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Expanding, content ? content->sizePolicy().verticalPolicy() : QSizePolicy::Preferred);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(padding, padding, padding, padding);
    layout->setSpacing(0);
    if (content_) layout->addWidget(content_);
}

void ContentCard::paint(QPainter& painter, const QRectF& rect, double cornerRadius, const QPalette& palette) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(ContinuousCorners::roundedRect(rect, cornerRadius),
                     SystemColors::withOpacity(SystemColors::quaternary(palette), 0.5));
    painter.restore();
}

QColor ContentCard::surface(const QPalette& palette) {
    return SystemColors::over(SystemColors::withOpacity(SystemColors::quaternary(palette), 0.5),
                              SystemColors::windowBackground(palette));
}

void ContentCard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paint(painter, QRectF(rect()), cornerRadius_, palette());
}

ContentCard* contentCard(QWidget* content, double cornerRadius) { return new ContentCard(content, cornerRadius); }

ContentCard* settingsSurface(QWidget* content) { return new ContentCard(content, ContentCard::surfaceRadius, 0); }
