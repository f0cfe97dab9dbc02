#include "Views/Shared/DetailNavigationBar.h"

#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"

#include <QPainter>
#include <QShortcut>

namespace {
constexpr int kMargin = 8;
constexpr int kButton = 32;
constexpr int kSpacing = 4;

// The round back button: a chevron on a faint circle that deepens under the pointer.
class BackButton : public QAbstractButton {
public:
    explicit BackButton(QWidget* parent) : QAbstractButton(parent) {
        setAttribute(Qt::WA_Hover);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::NoFocus);
        setFixedSize(kButton, kButton);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const double opacity = isDown() ? 0.16 : underMouse() ? 0.11 : 0.06;
        p.setPen(Qt::NoPen);
        p.setBrush(SystemColors::withOpacity(palette().color(QPalette::WindowText), opacity));
        p.drawEllipse(QRectF(rect()).adjusted(2, 2, -2, -2));
        Symbols::draw(p, QRectF(rect()), QStringLiteral("chevron.left"), SystemColors::primary(palette()), 15,
                      Symbols::Weight::semibold);
    }
};
}  // namespace

DetailNavigationBar::DetailNavigationBar(QString title, QString backHelp, std::function<void()> onBack,
                                         QWidget* trailing, QWidget* parent)
    : QWidget(parent), title_(std::move(title)), backHelp_(std::move(backHelp)), onBack_(std::move(onBack)),
      trailing_(trailing) {
    setAttribute(Qt::WA_TranslucentBackground);
    back_ = new BackButton(this);
    back_->setToolTip(backHelp_);
    back_->setAccessibleName(backHelp_);
    connect(back_, &QAbstractButton::clicked, this, [this] {
        if (onBack_) onBack_();
    });
    escape_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape_->setContext(Qt::WindowShortcut);
    connect(escape_, &QShortcut::activated, back_, &QAbstractButton::click);
    if (trailing_) trailing_->setParent(this);
    setFont(SystemFont::font(13, QFont::DemiBold));
    layoutChildren();
}

void DetailNavigationBar::setTitle(const QString& title) {
    title_ = title;
    update();
}

QSize DetailNavigationBar::sizeHint() const { return QSize(320, barHeight); }
QSize DetailNavigationBar::minimumSizeHint() const { return QSize(kMargin * 2 + kButton, barHeight); }

QRectF DetailNavigationBar::titleRect() const {
    const double left = kMargin + kButton + kSpacing;
    double right = width() - kMargin;
    if (trailing_ && trailing_->isVisibleTo(this)) right = trailing_->geometry().left() - kSpacing;
    return QRectF(left, 0, std::max(0.0, right - left), QWidget::height());
}

QString DetailNavigationBar::displayedTitle() const {
    return QFontMetrics(font()).elidedText(title_, Qt::ElideMiddle, int(titleRect().width()));
}

void DetailNavigationBar::layoutChildren() {
    const int h = QWidget::height();
    back_->move(kMargin, (h - kButton) / 2);
    if (trailing_) {
        const QSize hint = trailing_->sizeHint().boundedTo(QSize(width() / 2, h));
        trailing_->setGeometry(width() - kMargin - hint.width(), (h - hint.height()) / 2, hint.width(), hint.height());
    }
}

void DetailNavigationBar::resizeEvent(QResizeEvent*) { layoutChildren(); }

void DetailNavigationBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setFont(font());
    p.setPen(SystemColors::primary(palette()));
    p.drawText(titleRect(), Qt::AlignVCenter | Qt::AlignLeft, displayedTitle());
}
