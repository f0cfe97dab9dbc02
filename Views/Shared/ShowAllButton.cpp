#include "Views/Shared/ShowAllButton.h"

#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Views/Shared/Motion.h"

#include <QPainter>

namespace {
constexpr double kChevron = 9;
constexpr int kGap = 4;
}  // namespace

ShowAllButton::ShowAllButton(bool isExpanded, int count, QString noun, QWidget* parent)
    : QAbstractButton(parent), expanded_(isExpanded), count_(count), noun_(std::move(noun)),
      rotation_(isExpanded ? 180 : 0) {
    setCursor(Qt::PointingHandCursor);
    setFont(SystemFont::font(13));
    setText(title());
    connect(this, &QAbstractButton::clicked, this, [this] { setExpanded(!expanded_); });
}

QString ShowAllButton::title(bool isExpanded, int count, const QString& noun) {
    if (isExpanded) return QStringLiteral("Show Less");
    return QStringLiteral("Show All ") + QString::number(count) + QLatin1Char(' ') + noun;
}

void ShowAllButton::setExpanded(bool expanded) {
    if (expanded_ == expanded) return;
    expanded_ = expanded;
    setText(title());
    updateGeometry();
    if (turn_) turn_->stop();
    const double from = rotation_, to = expanded ? 180 : 0;
    turn_ = Motion::animate(this, Motion::state(), [this, from, to](double p) {
        rotation_ = from + (to - from) * p;
        update();
    });
    update();
    emit isExpandedChanged(expanded_);
}

void ShowAllButton::setCount(int count) {
    count_ = count;
    setText(title());
    updateGeometry();
    update();
}

QSize ShowAllButton::sizeHint() const {
    const QFontMetrics fm(font());
    return QSize(fm.horizontalAdvance(title()) + kGap + int(kChevron) + 2, fm.height() + 4);
}

void ShowAllButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QColor ink = isEnabled() ? SystemColors::accent(palette()) : SystemColors::tertiary(palette());
    const QColor shown = isDown() ? ink.darker(125) : ink;
    const QFontMetrics fm(font());
    const int textWidth = fm.horizontalAdvance(title());
    p.setFont(font());
    p.setPen(shown);
    p.drawText(QRectF(0, 0, textWidth, height()), Qt::AlignVCenter | Qt::AlignLeft, title());
    const QRectF chevron(textWidth + kGap, (height() - kChevron) / 2, kChevron, kChevron);
    Symbols::draw(p, chevron, QStringLiteral("chevron.down"), shown, kChevron, Symbols::Weight::semibold, rotation_);
}
