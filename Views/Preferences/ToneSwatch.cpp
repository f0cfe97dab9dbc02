#include "Views/Preferences/ToneSwatch.h"

#include "Platform/Gui/SystemColors.h"
#include "Views/Shared/PressableButtonStyle.h"

#include <QLinearGradient>
#include <QPainter>

ToneSwatch::ToneSwatch(PanelGlass::Tone tone, QWidget* parent) : QAbstractButton(parent), tone_(tone) {
    setFixedSize(side, side);
    setCheckable(true);
    setAutoExclusive(false);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setToolTip(displayName(tone));
    setAccessibleName(displayName(tone));
    PressableButtonStyle::apply(this, 0.9);
    connect(this, &QAbstractButton::toggled, this, [this] { update(); });
}

QString ToneSwatch::displayName(PanelGlass::Tone tone) {
    QString name = PanelGlass::rawValue(tone);
    if (!name.isEmpty()) name[0] = name[0].toUpper();
    return name;
}

bool ToneSwatch::hitButton(const QPoint& pos) const {
    const QPointF centre(side / 2.0, side / 2.0);
    const QPointF d = QPointF(pos) - centre;
    return d.x() * d.x() + d.y() * d.y() <= (dot / 2.0) * (dot / 2.0);
}

void ToneSwatch::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const QRectF circle(padding, padding, dot, dot);
    const QColor colour = PanelGlass::swatch(tone_, pal);
    QLinearGradient gradient(circle.topLeft(), circle.bottomLeft());
    gradient.setColorAt(0, colour.lighter(118));
    gradient.setColorAt(1, colour);
    p.setPen(Qt::NoPen);
    p.setBrush(gradient);
    p.drawEllipse(circle);
    p.setPen(QPen(SystemColors::withOpacity(SystemColors::primary(pal), 0.15), 1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(circle.adjusted(0.5, 0.5, -0.5, -0.5));
    if (isChecked()) {
        p.setPen(QPen(SystemColors::accent(pal), 2));
        p.drawEllipse(QRectF(1, 1, side - 2, side - 2));
    } else if (hasFocus()) {
        p.setPen(QPen(SystemColors::withOpacity(SystemColors::accent(pal), 0.5), 1.5));
        p.drawEllipse(QRectF(1, 1, side - 2, side - 2));
    }
}
