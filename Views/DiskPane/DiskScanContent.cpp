#include "Views/DiskPane/DiskScanContent.h"

#include "Platform/Core/Clock.h"
#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Source/Features/System/DiskPaneModel.h"
#include "Views/Shared/ActivitySpinner.h"
#include "Views/Shared/GlassCard.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace {
constexpr double kSpacing = 7;
constexpr double kSidePadding = 14;
constexpr double kSymbolBox = 14;
constexpr double kSpinnerSide = 16 * 0.8;
const QString kDot = QStringLiteral("\u00B7");

QFont labelFont() { return SystemFont::font(12, QFont::Medium); }
}  // namespace

// The button: its whole rectangle takes clicks; the label is painted, the spinner is a child.
class DiskScanContent::Button : public QAbstractButton {
public:
    explicit Button(QWidget* parent) : QAbstractButton(parent) {
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::NoFocus);
        spinner_ = new ActivitySpinner(int(std::lround(kSpinnerSide)), this);
        spinner_->hide();
        // Pressing shrinks the label (drawn here rather than by a graphics effect, which would nest
        // inside the popup's own fades).
        connect(this, &QAbstractButton::pressed, this, [this] { scale_.animateTo(0.96, Motion::state()); });
        connect(this, &QAbstractButton::released, this, [this] { scale_.animateTo(1.0, Motion::state()); });
    }
    double pressScale() const { return scale_.value(); }

    const Label& label() const { return label_; }
    void setLabel(const Label& label, bool animated) {
        if (label == label_) return;
        // A change of kind (a new state) fades in; a new path or age only repaints.
        const bool newKind = label.spinner != label_.spinner || label.symbol != label_.symbol ||
                             label.texts.size() != label_.texts.size();
        label_ = label;
        spinner_->setVisible(label_.spinner);
        placeSpinner();
        if (newKind && animated && isVisible()) {
            opacity_.setValue(0);
            opacity_.animateTo(1, Motion::state());
        }
        update();
    }

protected:
    void resizeEvent(QResizeEvent*) override { placeSpinner(); }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setOpacity(opacity_.value() * (isEnabled() ? 1.0 : 0.6));
        const QPointF centre = QRectF(rect()).center();
        p.translate(centre);
        p.scale(scale_.value(), scale_.value());
        p.translate(-centre);
        const Layout layout = measure();
        const QPalette pal = palette();
        const bool dark = SystemColors::isDark(pal);
        double x = layout.left;
        if (!label_.spinner && !label_.symbol.isEmpty()) {
            const QColor color = label_.symbolGreen ? SystemColors::green(dark) : SystemColors::primary(pal);
            Symbols::draw(p, QRectF(x, 0, kSymbolBox, height()), label_.symbol, color, 12 * 1.2,
                          Symbols::Weight::medium);
        }
        x += layout.lead + kSpacing;
        p.setFont(labelFont());
        const QFontMetricsF metrics(labelFont());
        for (int i = 0; i < label_.texts.size(); ++i) {
            const Text& text = label_.texts[i];
            QColor color = SystemColors::primary(pal);
            switch (text.tone) {
            case Label::Tone::primary: break;
            case Label::Tone::secondary: color = SystemColors::secondary(pal); break;
            case Label::Tone::tertiary: color = SystemColors::tertiary(pal); break;
            // The green word on the card, as light or dark as it must be to read there.
            case Label::Tone::green:
                color = SystemColors::legible(SystemColors::green(dark), GlassCard::surface(pal));
                break;
            }
            const double w = layout.widths[i];
            const QString shown = text.elides ? metrics.elidedText(text.text, Qt::ElideMiddle, w) : text.text;
            p.setPen(color);
            p.drawText(QRectF(x, 0, w + 1, height()), Qt::AlignLeft | Qt::AlignVCenter, shown);
            x += w + kSpacing;
        }
    }

private:
    using Text = Label::Text;
    struct Layout {
        double left = 0;
        double lead = 0;
        QList<double> widths;
    };
    Layout measure() const {
        Layout layout;
        const QFontMetricsF metrics(labelFont());
        layout.lead = label_.spinner ? kSpinnerSide : kSymbolBox;
        double fixed = layout.lead, elidable = 0;
        for (const Text& text : label_.texts) {
            const double w = std::ceil(metrics.horizontalAdvance(text.text));
            layout.widths << w;
            fixed += kSpacing + (text.elides ? 0 : w);
            if (text.elides) elidable += w;
        }
        const double room = std::max(0.0, width() - 2 * kSidePadding - fixed);
        if (elidable > room) {
            for (int i = 0; i < label_.texts.size(); ++i)
                if (label_.texts[i].elides) layout.widths[i] = std::floor(room * layout.widths[i] / elidable);
            elidable = room;
        }
        const double total = fixed + elidable;
        layout.left = std::max(kSidePadding, (width() - total) / 2);
        return layout;
    }
    void placeSpinner() {
        const Layout layout = measure();
        const QSize hint = spinner_->sizeHint();
        spinner_->setGeometry(int(std::round(layout.left + (kSpinnerSide - hint.width()) / 2)),
                              (height() - hint.height()) / 2, hint.width(), hint.height());
    }

    Label label_;
    ActivitySpinner* spinner_ = nullptr;
    Motion::AnimatedValue opacity_{this, 1.0, [this] { update(); }};
    Motion::AnimatedValue scale_{this, 1.0, [this] { update(); }};
};

DiskScanContent::DiskScanContent(DiskCleanScanner& scanner, VolumeUsageScanner& volume, DiskPaneModel& model,
                                 QWidget* parent)
    : QWidget(parent), scanner_(scanner), volume_(volume), model_(model) {
    setAttribute(Qt::WA_TranslucentBackground);
    button_ = new Button(this);
    connect(button_, &QAbstractButton::clicked, this, [this] {
        if (showsVolumeButton()) {
            if (volume_.state().phase == VolumeUsageScanner::Phase::scanning)
                volume_.cancel();
            else
                volume_.scan();
        } else {
            scanner_.scan();
        }
    });
    ageTimer_.setSingleShot(true);
    ageTimer_.setTimerType(Qt::CoarseTimer);
    connect(&ageTimer_, &QTimer::timeout, this, [this] { refresh(false); });
    for (auto signal : {&DiskCleanScanner::stateChanged, &DiskCleanScanner::currentPathChanged,
                        &DiskCleanScanner::groupsChanged})
        connect(&scanner_, signal, this, [this] { refresh(true); });
    for (auto signal : {&VolumeUsageScanner::stateChanged, &VolumeUsageScanner::rootChanged})
        connect(&volume_, signal, this, [this] { refresh(true); });
    // The mode swaps the button at once.
    connect(&model_, &DiskPaneModel::modeChanged, this, [this] { refresh(false); });
    refresh(false);
}

bool DiskScanContent::showsVolumeButton() const { return model_.mode() == DiskPaneModel::Mode::everything; }

DiskScanContent::Label DiskScanContent::label() const { return button_->label(); }

DiskScanContent::Label DiskScanContent::cleanupLabel(const DiskCleanScanner::State& state, const QString& currentPath,
                                                     double reclaimable, const QString& home) {
    Label label;
    switch (state.phase) {
    case DiskCleanScanner::Phase::idle:
        label.symbol = QStringLiteral("magnifyingglass");
        label.texts = {{QStringLiteral("Scan for reclaimable space")}};
        break;
    case DiskCleanScanner::Phase::scanning:
        label.spinner = true;
        label.texts = {{currentPath.isEmpty() ? QStringLiteral("Scanning\u2026")
                                              : DiskPaneModel::displayPath(currentPath, home),
                        Label::Tone::primary, true}};
        break;
    case DiskCleanScanner::Phase::complete:
        label.symbol = QStringLiteral("checkmark.circle.fill");
        label.symbolGreen = true;
        if (reclaimable > 0)
            label.texts << Label::Text{QStringLiteral("Scan Complete"), Label::Tone::green};
        else
            label.texts << Label::Text{QStringLiteral("Nothing to reclaim"), Label::Tone::secondary};
        label.texts << Label::Text{kDot, Label::Tone::tertiary}
                    << Label::Text{CleanupItem::format(reclaimable), Label::Tone::secondary};
        break;
    }
    return label;
}

DiskScanContent::Label DiskScanContent::volumeLabel(const VolumeUsageScanner::State& state,
                                                    const std::optional<UsageNode>& root, const QDateTime& now) {
    Label label;
    switch (state.phase) {
    case VolumeUsageScanner::Phase::idle:
        label.symbol = QStringLiteral("magnifyingglass");
        label.texts = {{QStringLiteral("Scan the whole volume")}};
        break;
    case VolumeUsageScanner::Phase::scanning:
        label.spinner = true;
        label.texts = {{state.path, Label::Tone::primary, true},
                       {kDot, Label::Tone::tertiary},
                       {QStringLiteral("Stop"), Label::Tone::secondary}};
        break;
    case VolumeUsageScanner::Phase::complete:
        label.symbol = QStringLiteral("arrow.clockwise");
        label.symbolGreen = true;
        label.texts = {{root ? CleanupItem::format(root->bytes) : QStringLiteral("--")},
                       {kDot, Label::Tone::tertiary},
                       {QStringLiteral("scanned ") + relativeText(state.date, now) + QStringLiteral(" ago"),
                        Label::Tone::secondary}};
        break;
    }
    return label;
}

QString DiskScanContent::relativeText(const QDateTime& from, const QDateTime& now) {
    const qint64 seconds = std::max<qint64>(0, from.secsTo(now));
    if (seconds < 60) return QString::asprintf("%lld sec", static_cast<long long>(seconds));
    const qint64 minutes = seconds / 60;
    if (minutes < 60) return QString::asprintf("%lld min", static_cast<long long>(minutes));
    const qint64 hours = minutes / 60;
    if (hours < 24) {
        QString text = QString::asprintf("%lld hr", static_cast<long long>(hours));
        if (minutes % 60) text += QString::asprintf(", %lld min", static_cast<long long>(minutes % 60));
        return text;
    }
    const qint64 days = hours / 24;
    QString text = QString::asprintf(days == 1 ? "%lld day" : "%lld days", static_cast<long long>(days));
    if (hours % 24) text += QString::asprintf(", %lld hr", static_cast<long long>(hours % 24));
    return text;
}

void DiskScanContent::refresh(bool animated) {
    const bool volume = showsVolumeButton();
    if (volume) {
        button_->setEnabled(true);
        button_->setLabel(volumeLabel(volume_.state(), volume_.root(), Clock::shared().now()), animated);
    } else {
        button_->setEnabled(scanner_.state().phase != DiskCleanScanner::Phase::scanning);
        button_->setLabel(
            cleanupLabel(scanner_.state(), scanner_.currentPath(), scanner_.reclaimable(), DiskPaneModel::homePath()),
            animated);
    }
    scheduleAgeRefresh();
}

void DiskScanContent::scheduleAgeRefresh() {
    ageTimer_.stop();
    if (!isVisible() || !showsVolumeButton() || volume_.state().phase != VolumeUsageScanner::Phase::complete) return;
    // Next time the shown age changes: each second for the first minute, then each minute, then each hour.
    const qint64 age = std::max<qint64>(0, volume_.state().date.msecsTo(Clock::shared().now()));
    const qint64 unit = age < 60'000 ? 1000 : age < 86'400'000 ? 60'000 : 3'600'000;
    ageTimer_.start(int(unit - age % unit + 20));
}

void DiskScanContent::resizeEvent(QResizeEvent*) { button_->setGeometry(rect()); }
void DiskScanContent::showEvent(QShowEvent*) { refresh(false); }
void DiskScanContent::hideEvent(QHideEvent*) { ageTimer_.stop(); }

QAbstractButton* DiskScanContent::button() const { return button_; }
