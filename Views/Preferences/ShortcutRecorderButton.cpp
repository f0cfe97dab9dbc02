#include "Views/Preferences/ShortcutRecorderButton.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Source/Features/Preferences/ShortcutManager.h"
#include "Views/Shared/ContinuousCorners.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

QFont capFont() { return SystemFont::font(ShortcutRecorderButton::fontSize, QFont::Medium); }
QFont labelFont() { return SystemFont::font(ShortcutRecorderButton::fontSize); }

const QString kRecordTitle = QStringLiteral("Record Shortcut");
const QString kRecordingTitle = QStringLiteral("Press keys…");

}  // namespace

ShortcutRecorderButton::ShortcutRecorderButton(const HotkeyBinding& binding, QWidget* parent)
    : QAbstractButton(parent), binding_(binding), fade_(this, 1.0, [this] { update(); }) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    changed();
}

void ShortcutRecorderButton::setBinding(const HotkeyBinding& binding) {
    if (binding == binding_) return;
    const QString before = displayText();
    binding_ = binding;
    if (displayText() != before) {
        fade_.setValue(0.3);
        fade_.animateTo(1.0, Motion::state());
    }
    changed();
}

void ShortcutRecorderButton::setRecording(bool recording) {
    if (recording == recording_) return;
    recording_ = recording;
    fade_.setValue(0.3);
    fade_.animateTo(1.0, Motion::state());
    changed();
}

ShortcutRecorderButton::State ShortcutRecorderButton::state() const {
    if (recording_) return State::recording;
    return binding_.isEnabled ? State::keyCaps : State::off;
}

QStringList ShortcutRecorderButton::keyCaps() const {
    QStringList caps = binding_.modifierKeys();
    caps << ShortcutManager::keyName(binding_.keyCode);
    return caps;
}

QString ShortcutRecorderButton::displayText() const {
    switch (state()) {
    case State::recording: return kRecordingTitle;
    case State::off: return kRecordTitle;
    case State::keyCaps: break;
    }
    return keyCaps().join(QString());
}

void ShortcutRecorderButton::changed() {
    setAccessibleName(binding_.name + QStringLiteral(": ") + displayText());
    updateGeometry();
    update();
}

double ShortcutRecorderButton::keyCapWidth(const QString& text) {
    const double textWidth = QFontMetricsF(capFont()).horizontalAdvance(text);
    return std::max(keyCapMinimumWidth, std::ceil(textWidth) + 2 * keyCapPadding);
}

void ShortcutRecorderButton::paintKeyCap(QPainter& painter, const QRectF& rect, const QString& text,
                                         const QPalette& palette) {
    const QPainterPath shape = ContinuousCorners::roundedRect(rect, keyCapRadius);
    painter.fillPath(shape, SystemColors::quaternary(palette));
    // The hairline sits inside the cap's border.
    const QPainterPath rim = ContinuousCorners::roundedRect(rect.adjusted(0.25, 0.25, -0.25, -0.25), keyCapRadius - 0.25);
    painter.setPen(QPen(SystemColors::withOpacity(SystemColors::tertiary(palette), 0.4), 0.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(rim);
    painter.setFont(capFont());
    painter.setPen(SystemColors::primary(palette));
    painter.drawText(rect, Qt::AlignCenter, text);
}

QSize ShortcutRecorderButton::sizeHint() const {
    double width = 0;
    switch (state()) {
    case State::recording:
        width = 2 * recordingPadding + dotSide + dotSpacing +
                std::ceil(QFontMetricsF(labelFont()).horizontalAdvance(kRecordingTitle));
        break;
    case State::off:
        width = 2 * offPadding + std::ceil(QFontMetricsF(labelFont()).horizontalAdvance(kRecordTitle));
        break;
    case State::keyCaps: {
        const QStringList caps = keyCaps();
        for (const QString& cap : caps) width += keyCapWidth(cap);
        width += keyCapSpacing * double(caps.size() - 1);
        break;
    }
    }
    return QSize(int(std::ceil(width)), int(height));
}

void ShortcutRecorderButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(std::clamp(fade_.value(), 0.0, 1.0) * (isDown() ? 0.7 : 1.0));
    const QRectF area(0, (QWidget::height() - height) / 2.0, QWidget::width(), height);
    const QPalette& pal = palette();
    switch (state()) {
    case State::recording: {
        const double lineWidth = 1.5;
        p.setPen(QPen(SystemColors::accent(pal), lineWidth));
        p.setBrush(Qt::NoBrush);
        p.drawPath(ContinuousCorners::capsule(area.adjusted(lineWidth / 2, lineWidth / 2, -lineWidth / 2,
                                                            -lineWidth / 2)));
        const QRectF dot(area.left() + recordingPadding, area.center().y() - dotSide / 2, dotSide, dotSide);
        p.setPen(Qt::NoPen);
        p.setBrush(SystemColors::red(SystemColors::isDark(pal)));
        p.drawEllipse(dot);
        p.setFont(labelFont());
        p.setPen(SystemColors::primary(pal));
        p.drawText(QRectF(dot.right() + dotSpacing, area.top(), area.right() - dot.right() - dotSpacing, area.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, kRecordingTitle);
        break;
    }
    case State::off:
        p.fillPath(ContinuousCorners::capsule(area), SystemColors::quaternary(pal));
        p.setFont(labelFont());
        p.setPen(SystemColors::secondary(pal));
        p.drawText(area, Qt::AlignCenter, kRecordTitle);
        break;
    case State::keyCaps: {
        double x = area.left();
        for (const QString& cap : keyCaps()) {
            const double w = keyCapWidth(cap);
            paintKeyCap(p, QRectF(x, area.top(), w, height), cap, pal);
            x += w + keyCapSpacing;
        }
        break;
    }
    }
    if (hasFocus()) {
        p.setOpacity(1);
        p.setPen(QPen(SystemColors::withOpacity(SystemColors::accent(pal), 0.6), 2));
        p.setBrush(Qt::NoBrush);
        p.drawPath(ContinuousCorners::roundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), keyCapRadius));
    }
}
