#include "Views/Toolbox/SmallButton.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Platform/Gui/Symbols.h"

#include <QEvent>

SmallButton::SmallButton(const QString& title, const QString& symbol, QWidget* parent)
    : QPushButton(title, parent), symbol_(symbol) {
    setFont(SystemFont::font(fontSize));
    setFixedHeight(height);
    setCursor(Qt::ArrowCursor);
    setFocusPolicy(Qt::TabFocus);
    setStyleSheet(QStringLiteral("QPushButton { padding: 0px 8px; }"));
    applyIcon();
}

void SmallButton::changeEvent(QEvent* event) {
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::EnabledChange) applyIcon();
}

void SmallButton::applyIcon() {
    if (symbol_.isEmpty()) return;
    const QColor color = isEnabled() ? SystemColors::primary(palette()) : SystemColors::tertiary(palette());
    const double dpr = devicePixelRatioF();
    QPixmap pixmap = QPixmap::fromImage(Symbols::image(symbol_, 12, color, Symbols::Weight::regular, dpr));
    setIcon(QIcon(pixmap));
    setIconSize(QSize(12, 12));
}
