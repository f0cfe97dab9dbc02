#include "Views/Preferences/MenuBarPreview.h"

#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Source/Features/Widgets/WidgetManager.h"
#include "Views/Shared/ContinuousCorners.h"
#include "Views/Widgets/GroupedWidgetStripView.h"
#include "Views/Widgets/SingleWidgetView.h"

#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>

namespace {

constexpr int kOuterHorizontal = 4;
constexpr int kOuterVertical = 8;
constexpr double kItemFont = 11;

QLabel* symbolItem(const QString& name) {
    auto* label = new QLabel;
    label->setProperty("symbol", name);
    label->setFixedSize(16, MenuBarPreview::barHeight);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QLabel* textItem(const QString& text, const QFont& font) {
    auto* label = new QLabel(text);
    label->setFont(font);
    return label;
}

}  // namespace

MenuBarPreview::MenuBarPreview(WidgetManager& manager, QWidget* parent)
    : QWidget(parent), manager_(&manager), fade_(this, 1.0, [this] {
          if (auto* effect = qobject_cast<QGraphicsOpacityEffect*>(widgets_->graphicsEffect()))
              effect->setOpacity(fade_.value());
      }) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    bar_ = new QWidget(this);
    bar_->setObjectName(QStringLiteral("menuBar"));
    auto* row = new QHBoxLayout(bar_);
    row->setContentsMargins(10, 0, 10, 0);
    row->setSpacing(10);
    fixedItems_ << symbolItem(QStringLiteral("apple.logo"));
    fixedItems_ << textItem(QStringLiteral("Finder"), SystemFont::font(kItemFont, QFont::DemiBold));
    row->addWidget(fixedItems_[0]);
    row->addWidget(fixedItems_[1]);
    row->addSpacing(12 - row->spacing());
    row->addStretch(1);
    widgets_ = new QWidget;
    widgets_->setObjectName(QStringLiteral("widgets"));
    widgetsLayout_ = new QHBoxLayout(widgets_);
    widgetsLayout_->setContentsMargins(0, 0, 0, 0);
    widgetsLayout_->setSpacing(12);
    widgets_->setGraphicsEffect(new QGraphicsOpacityEffect(widgets_));
    row->addWidget(widgets_);
    fixedItems_ << symbolItem(QStringLiteral("wifi"));
    fixedItems_ << symbolItem(QStringLiteral("battery.75"));
    fixedItems_ << textItem(QStringLiteral("22:47"), SystemFont::monospacedDigits(kItemFont));
    for (int i = 2; i < fixedItems_.size(); ++i) row->addWidget(fixedItems_[i]);

    connect(&manager, &WidgetManager::configDidChange, this, [this] {
        rebuildWidgets();
        fade_.setValue(0);
        fade_.animateTo(1, Motion::move());
    });
    rebuildWidgets();
    restyle();
}

std::vector<WidgetType> MenuBarPreview::enabledTypes() const {
    return manager_ ? manager_->configuration().enabledTypes() : std::vector<WidgetType>{};
}

QRect MenuBarPreview::desktopRect() const {
    return QRect(kOuterHorizontal, kOuterVertical, width() - 2 * kOuterHorizontal, desktopHeight);
}

QSize MenuBarPreview::sizeHint() const { return QSize(400, desktopHeight + 2 * kOuterVertical); }

QSize MenuBarPreview::minimumSizeHint() const { return QSize(200, desktopHeight + 2 * kOuterVertical); }

void MenuBarPreview::rebuildWidgets() {
    while (QLayoutItem* item = widgetsLayout_->takeAt(0)) {
        delete item->widget();  // never the sender of the change being shown
        delete item;
    }
    if (!manager_) return;
    const std::vector<WidgetType> types = enabledTypes();
    const QColor ink = SystemColors::primary(palette());
    if (types.empty()) {
        QLabel* none = textItem(QStringLiteral("No widgets enabled"), SystemFont::font(kItemFont));
        none->setObjectName(QStringLiteral("noWidgets"));
        QPalette secondary = none->palette();
        secondary.setColor(QPalette::WindowText, SystemColors::secondary(palette()));
        none->setPalette(secondary);
        widgetsLayout_->addWidget(none);
    } else if (manager_->configuration().isGrouped) {
        auto* strip = new GroupedWidgetStripView(*manager_);
        strip->setInk(ink);
        widgetsLayout_->addWidget(strip, 0, Qt::AlignVCenter);
    } else {
        for (WidgetType type : types) {
            auto* single = new SingleWidgetView(type, *manager_);
            single->setObjectName(WidgetTypes::id(type));
            single->setInk(ink);
            widgetsLayout_->addWidget(single, 0, Qt::AlignVCenter);
        }
    }
}

void MenuBarPreview::restyle() {
    const QColor ink = SystemColors::primary(palette());
    for (QLabel* label : fixedItems_) {
        const QString symbol = label->property("symbol").toString();
        if (!symbol.isEmpty()) {
            label->setPixmap(QPixmap::fromImage(Symbols::image(symbol, 13, ink, Symbols::Weight::regular, 2.0)));
        } else {
            QPalette p = label->palette();
            p.setColor(QPalette::WindowText, ink);
            label->setPalette(p);
        }
    }
    rebuildWidgets();
}

void MenuBarPreview::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && bar_) restyle();
}

void MenuBarPreview::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF desktop(desktopRect());
    const QPainterPath shape = ContinuousCorners::roundedRect(desktop, cornerRadius);
    const bool dark = SystemColors::isDark(palette());
    QLinearGradient gradient(desktop.topLeft(), desktop.bottomRight());
    gradient.setColorAt(0, SystemColors::withOpacity(SystemColors::indigo(dark), 0.55));
    gradient.setColorAt(0.5, SystemColors::withOpacity(SystemColors::purple(dark), 0.45));
    gradient.setColorAt(1, SystemColors::withOpacity(SystemColors::blue(dark), 0.5));
    p.fillPath(shape, gradient);
    // The bar on its material: the window colour, mostly opaque.
    p.save();
    p.setClipPath(shape);
    const QRectF bar(desktop.left(), desktop.top(), desktop.width(), barHeight);
    p.fillRect(bar, SystemColors::withOpacity(SystemColors::windowBackground(palette()), 0.78));
    p.restore();
    p.setPen(QPen(SystemColors::quaternary(palette()), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(ContinuousCorners::roundedRect(desktop.adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius - 0.5));
}

void MenuBarPreview::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const QRect desktop = desktopRect();
    bar_->setGeometry(desktop.left(), desktop.top(), desktop.width(), barHeight);
}
