#include "Views/Shared/GlassActionBar.h"

#include "Views/Shared/GlassBarButtonStyle.h"

#include <QAbstractButton>
#include <QHBoxLayout>

namespace {
void styleButtons(QWidget* widget) {
    if (!widget) return;
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) GlassBarButtonStyle::apply(button);
    for (QAbstractButton* button : widget->findChildren<QAbstractButton*>()) GlassBarButtonStyle::apply(button);
}
}  // namespace

GlassActionBar::GlassActionBar(QWidget* leading, QWidget* trailing, QWidget* parent)
    : QWidget(parent), leading_(leading), trailing_(trailing) {
    setAttribute(Qt::WA_TranslucentBackground);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 0, 12, 0);
    row->setSpacing(8);
    if (leading_) {
        styleButtons(leading_);
        row->addWidget(leading_, 0, Qt::AlignVCenter);
    }
    row->addStretch(1);
    if (trailing_) {
        styleButtons(trailing_);
        row->addWidget(trailing_, 0, Qt::AlignVCenter);
    }
}

QSize GlassActionBar::sizeHint() const { return QSize(QWidget::sizeHint().width(), barHeight); }
