#include "Views/Toolbox/PlaceholderField.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Views/Shared/ContinuousCorners.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>

PlaceholderField::PlaceholderField(QWidget* parent)
    : QWidget(parent), edit_(new QLineEdit(this)), focus_(this, 0, [this] { update(); }) {
    setAttribute(Qt::WA_TranslucentBackground);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, verticalPadding, 8, verticalPadding);
    edit_->setFrame(false);
    edit_->setFont(SystemFont::font(12));
    edit_->setPlaceholderText(QStringLiteral("чем заменить"));
    edit_->setFixedHeight(textHeight);
    edit_->setAttribute(Qt::WA_MacShowFocusRect, false);
    QPalette transparent = edit_->palette();
    transparent.setColor(QPalette::Base, Qt::transparent);
    edit_->setPalette(transparent);
    edit_->installEventFilter(this);
    layout->addWidget(edit_);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(edit_, &QLineEdit::textEdited, this, &PlaceholderField::valueEdited);
}

QString PlaceholderField::value() const { return edit_->text(); }

void PlaceholderField::setValue(const QString& value) {
    if (edit_->text() != value) edit_->setText(value);
}

bool PlaceholderField::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_ && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
        focused_ = event->type() == QEvent::FocusIn;
        focus_.animateTo(focused_ ? 1 : 0, Motion::state());
    }
    return QWidget::eventFilter(watched, event);
}

void PlaceholderField::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const double t = std::clamp(focus_.value(), 0.0, 1.0);
    const QRectF frame(rect());
    painter.fillPath(ContinuousCorners::roundedRect(frame, 7), SystemColors::withOpacity(SystemColors::primary(pal), 0.06));
    const double width = 1 + 0.5 * t;
    const QColor border = SystemColors::mix(SystemColors::quaternary(pal), SystemColors::accent(pal), t);
    painter.setPen(QPen(border, width));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(ContinuousCorners::roundedRect(frame.adjusted(width / 2, width / 2, -width / 2, -width / 2), 7));
}
