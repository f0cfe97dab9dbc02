#include "Views/Toolbox/VariableButton.h"

#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Views/Shared/ContinuousCorners.h"
#include "Views/Shared/PressableButtonStyle.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace {
constexpr int kHeight = 42;
constexpr double kPadding = 9;
constexpr double kSymbolWidth = 16;
constexpr double kGap = 8;
}  // namespace

VariableButton::VariableButton(const QString& title, const QString& token, const QString& symbol, QWidget* parent)
    : QAbstractButton(parent), token_(token), symbol_(symbol) {
    setText(title);
    setAccessibleName(title);
    setToolTip(QStringLiteral("Вставить ") + token + QStringLiteral(" в позицию курсора"));
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_TranslucentBackground);
    PressableButtonStyle::apply(this, 0.98);
}

QSize VariableButton::sizeHint() const {
    const double title = QFontMetricsF(SystemFont::font(11, QFont::Medium)).horizontalAdvance(text());
    const double token = QFontMetricsF(SystemFont::monospaced(9)).horizontalAdvance(token_);
    return QSize(int(std::ceil(2 * kPadding + kSymbolWidth + kGap + std::max(title, token))), kHeight);
}

void VariableButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const QRectF frame(rect());
    painter.fillPath(ContinuousCorners::roundedRect(frame, 8),
                     SystemColors::withOpacity(SystemColors::primary(pal), isDown() ? 0.11 : 0.055));
    if (hasFocus()) {
        painter.setPen(QPen(SystemColors::withOpacity(SystemColors::accent(pal), 0.6), 1.5));
        painter.drawPath(ContinuousCorners::roundedRect(frame.adjusted(0.75, 0.75, -0.75, -0.75), 8));
    }
    Symbols::draw(painter, QRectF(kPadding, (height() - kSymbolWidth) / 2, kSymbolWidth, kSymbolWidth), symbol_,
                  SystemColors::accent(pal), 12, Symbols::Weight::medium);

    const double x = kPadding + kSymbolWidth + kGap;
    const double width = frame.width() - x - kPadding;
    const QFont titleFont = SystemFont::font(11, QFont::Medium);
    const QFont tokenFont = SystemFont::monospaced(9);
    const QFontMetricsF titleMetrics(titleFont), tokenMetrics(tokenFont);
    const double block = titleMetrics.height() + 1 + tokenMetrics.height();
    const double top = (height() - block) / 2;
    painter.setFont(titleFont);
    painter.setPen(SystemColors::primary(pal));
    painter.drawText(QRectF(x, top, width, titleMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     titleMetrics.elidedText(text(), Qt::ElideRight, width));
    painter.setFont(tokenFont);
    painter.setPen(SystemColors::tertiary(pal));
    painter.drawText(QRectF(x, top + titleMetrics.height() + 1, width, tokenMetrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, tokenMetrics.elidedText(token_, Qt::ElideRight, width));
}
