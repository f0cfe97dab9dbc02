#include "Views/DiskPane/VolumeUsageBrowser.h"

#include "Platform/Core/OneLine.h"
#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Source/Features/System/CleanupItem.h"
#include "Source/Features/System/DiskPaneModel.h"
#include "Source/Features/System/VolumeUsageScanner.h"
#include "Views/DiskPane/UsageRow.h"
#include "Views/Shared/ActivitySpinner.h"
#include "Views/Shared/ClearScrollArea.h"
#include "Views/Shared/ContinuousCorners.h"
#include "Views/Shared/Motion.h"

#include <QAbstractButton>
#include <QFontMetricsF>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <cmath>

namespace {
constexpr int kBarHeight = 27;

QFont upFont() { return SystemFont::font(11, QFont::Medium); }

// "‹ Up" on a capsule.
class UpButton : public QAbstractButton {
public:
    explicit UpButton(QWidget* parent) : QAbstractButton(parent) {
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::NoFocus);
        // Pressing shrinks the button, drawn here so that no graphics effect nests in the popup's fades.
        connect(this, &QAbstractButton::pressed, this, [this] { scale_.animateTo(0.96, Motion::state()); });
        connect(this, &QAbstractButton::released, this, [this] { scale_.animateTo(1.0, Motion::state()); });
    }
    QSize sizeHint() const override {
        const QFontMetricsF metrics(upFont());
        return QSize(int(std::ceil(8 + 9 + 3 + metrics.horizontalAdvance(QStringLiteral("Up")) + 8)),
                     int(std::ceil(metrics.height() + 6)));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QPointF centre = QRectF(rect()).center();
        p.translate(centre);
        p.scale(scale_.value(), scale_.value());
        p.translate(-centre);
        p.setPen(Qt::NoPen);
        p.setBrush(SystemColors::quaternary(palette()));
        p.drawPath(ContinuousCorners::capsule(QRectF(rect())));
        const QColor color = SystemColors::primary(palette());
        Symbols::draw(p, QRectF(8, 0, 9, height()), QStringLiteral("chevron.left"), color, 9 * 1.2,
                      Symbols::Weight::bold);
        p.setFont(upFont());
        p.setPen(color);
        p.drawText(QRectF(8 + 9 + 3, 0, width() - 20, height()), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Up"));
    }

private:
    Motion::AnimatedValue scale_{this, 1.0, [this] { update(); }};
};
}  // namespace

// The bar over a folder's list: "Up", the folder's name and its size.
class VolumeUsageBrowser::Breadcrumb : public QWidget {
public:
    explicit Breadcrumb(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TranslucentBackground);
        up = new UpButton(this);
    }
    void setNode(const std::optional<UsageNode>& node) {
        name_ = node ? node->name : QString();
        size_ = node ? CleanupItem::format(node->bytes) : QString();
        update();
    }
    UpButton* up = nullptr;

protected:
    void resizeEvent(QResizeEvent*) override {
        const QSize hint = up->sizeHint();
        up->setGeometry(10, (height() - hint.height()) / 2, hint.width(), hint.height());
    }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QFont sizeFont = SystemFont::monospaced(11, QFont::DemiBold);
        const double sizeWidth = std::ceil(QFontMetricsF(sizeFont).horizontalAdvance(size_));
        const QRectF sizeRect(width() - 10 - sizeWidth, 0, sizeWidth + 1, height());
        p.setFont(sizeFont);
        p.setPen(SystemColors::secondary(palette()));
        p.drawText(sizeRect, Qt::AlignRight | Qt::AlignVCenter, size_);
        const QFont nameFont = SystemFont::font(11, QFont::DemiBold);
        const double left = up->geometry().right() + 1 + 6;
        const double w = std::max(0.0, sizeRect.left() - 6 - left);
        p.setFont(nameFont);
        p.setPen(SystemColors::primary(palette()));
        p.drawText(QRectF(left, 0, w, height()), Qt::AlignLeft | Qt::AlignVCenter,
                   QFontMetricsF(nameFont).elidedText(OneLine::of(name_), Qt::ElideMiddle, w));
    }

private:
    QString name_;
    QString size_;
};

// The progress view and the empty view: a spinner or a symbol over a centred text.
class VolumeUsageBrowser::Message : public QWidget {
public:
    explicit Message(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TranslucentBackground);
        spinner_ = new ActivitySpinner(16, this);
    }
    void present(bool progress, const QString& text) {
        progress_ = progress;
        text_ = text;
        spinner_->setVisible(progress);
        layout();
        QWidget::show();
        update();
    }
    QString text() const { return text_; }

protected:
    void resizeEvent(QResizeEvent*) override { layout(); }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const Geometry g = geometryFor();
        if (!progress_)
            Symbols::draw(p, g.lead, QStringLiteral("externaldrive"), SystemColors::tertiary(palette()), 22 * 1.2);
        p.setFont(SystemFont::font(11));
        p.setPen(SystemColors::secondary(palette()));
        p.drawText(g.text, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, text_);
    }

private:
    struct Geometry {
        QRectF lead;
        QRectF text;
    };
    Geometry geometryFor() const {
        const double side = progress_ ? 18 : 26, spacing = progress_ ? 8 : 6;
        const double inset = progress_ ? 0 : 20;
        const QFontMetricsF metrics(SystemFont::font(11));
        const QRectF bounds = metrics.boundingRect(QRectF(0, 0, width() - 2 * inset, 1000),
                                                   Qt::AlignHCenter | Qt::TextWordWrap, text_);
        const double total = side + spacing + bounds.height();
        const double top = (height() - total) / 2;
        return {QRectF(0, top, width(), side), QRectF(inset, top + side + spacing, width() - 2 * inset, bounds.height() + 2)};
    }
    void layout() {
        const Geometry g = geometryFor();
        const QSize hint = spinner_->sizeHint();
        spinner_->setGeometry(int(std::round(g.lead.center().x() - hint.width() / 2.0)),
                              int(std::round(g.lead.center().y() - hint.height() / 2.0)), hint.width(), hint.height());
    }
    ActivitySpinner* spinner_ = nullptr;
    bool progress_ = false;
    QString text_;
};

VolumeUsageBrowser::VolumeUsageBrowser(VolumeUsageScanner& scanner, DiskPaneModel& model, QWidget* parent)
    : QWidget(parent), scanner_(scanner), model_(model) {
    setAttribute(Qt::WA_TranslucentBackground);
    breadcrumb_ = new Breadcrumb(this);
    up_ = breadcrumb_->up;
    connect(up_, &QAbstractButton::clicked, this, [this] { model_.popBrowse(); });

    scroll_ = new ClearScrollArea(this);
    scroll_->setWidgetResizable(true);
    message_ = new Message(this);

    connect(&model_, &DiskPaneModel::browseStackChanged, this, [this] { rebuild(true); });
    for (auto signal : {&VolumeUsageScanner::stateChanged, &VolumeUsageScanner::rootChanged,
                        &VolumeUsageScanner::unreadableChanged})
        connect(&scanner_, signal, this, [this] { rebuild(false); });
    rebuild(false);
}

std::optional<UsageNode> VolumeUsageBrowser::current() const {
    if (!model_.browseStack().isEmpty()) return model_.browseStack().last();
    return scanner_.root();
}

QString VolumeUsageBrowser::emptyText() const {
    return scanner_.root() ? QStringLiteral("Nothing above the size floor in here")
                           : QStringLiteral("Scan the volume to see where the space went");
}

QString VolumeUsageBrowser::unreadableNote(qint64 count) {
    return QString::asprintf("%lld", static_cast<long long>(count)) +
           QStringLiteral(" folders could not be read \u2014 grant Full Disk Access for a complete picture");
}

QList<UsageRow*> VolumeUsageBrowser::rows() const {
    return list_ ? list_->findChildren<UsageRow*>(Qt::FindDirectChildrenOnly) : QList<UsageRow*>();
}

void VolumeUsageBrowser::rebuild(bool animated) {
    const std::optional<UsageNode> node = current();
    const bool atTop = model_.browseStack().isEmpty();
    breadcrumb_->setVisible(!atTop);
    breadcrumb_->setNode(node);

    Content content = Content::empty;
    if (scanner_.state().phase == VolumeUsageScanner::Phase::scanning && !scanner_.root())
        content = Content::progress;
    else if (node && !node->children.isEmpty())
        content = Content::list;
    content_ = content;

    if (content != Content::list) {
        scroll_->hide();
        message_->present(content == Content::progress,
                       content == Content::progress ? QStringLiteral("Walking the volume \u2014 this takes a few minutes")
                                                    : emptyText());
        shownKey_.clear();
        layoutContent();
        return;
    }
    message_->hide();
    scroll_->show();
    // The same folder with the same note keeps its rows (and their hover).
    const QString key = node->path + QLatin1Char('|') + QString::number(node->bytes, 'f', 0) + QLatin1Char('|') +
                        QString::number(node->children.size()) + QLatin1Char('|') +
                        QString::number(atTop ? scanner_.unreadable() : 0);
    if (key == shownKey_ && list_) {
        layoutContent();
        return;
    }
    shownKey_ = key;
    auto* list = new QWidget;
    list->setAttribute(Qt::WA_TranslucentBackground);
    auto* column = new QVBoxLayout(list);
    column->setContentsMargins(8, 8, 8, 8);
    column->setSpacing(0);
    const double parentBytes = std::max(node->bytes, 1.0);
    for (const UsageNode& child : node->children) {
        auto* row = new UsageRow(child, parentBytes, [this, child] {
            if (DiskPaneModel::canOpen(child)) model_.pushBrowse(child);
        }, list);
        column->addWidget(row);
    }
    note_ = nullptr;
    if (atTop && scanner_.unreadable() >= 1) {
        note_ = new QLabel(unreadableNote(scanner_.unreadable()), list);
        note_->setFont(SystemFont::font(10));
        note_->setAlignment(Qt::AlignCenter);
        note_->setWordWrap(true);
        note_->setContentsMargins(16, 10, 16, 10);
        QPalette pal = note_->palette();
        pal.setColor(QPalette::WindowText, SystemColors::tertiary(palette()));
        note_->setPalette(pal);
        column->addWidget(note_);
    }
    column->addStretch(1);
    delete scroll_->takeWidget();
    scroll_->setContent(list);
    list_ = list;
    scroll_->verticalScrollBar()->setValue(0);
    layoutContent();
    if (animated && isVisible()) {
        auto* effect = new QGraphicsOpacityEffect(list);
        effect->setOpacity(0);
        list->setGraphicsEffect(effect);
        QPointer<QWidget> target(list);
        Motion::animate(
            list, Motion::drawer(),
            [target](double p) {
                if (!target) return;
                if (auto* e = qobject_cast<QGraphicsOpacityEffect*>(target->graphicsEffect()))
                    e->setOpacity(std::clamp(p, 0.0, 1.0));
            },
            [target] {
                if (target) target->setGraphicsEffect(nullptr);
            });
    }
}

void VolumeUsageBrowser::resizeEvent(QResizeEvent*) { layoutContent(); }

void VolumeUsageBrowser::layoutContent() {
    // Asked of the bar itself: a browser built inside a folder is laid out before it is on screen.
    const int top = breadcrumb_->isVisibleTo(this) ? kBarHeight : 0;
    breadcrumb_->setGeometry(0, 0, width(), kBarHeight);
    scroll_->setGeometry(0, top, width(), height() - top);
    message_->setGeometry(0, top, width(), height() - top);
}

QWidget* VolumeUsageBrowser::breadcrumb() const { return breadcrumb_; }
