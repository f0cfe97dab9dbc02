#include "Views/Onboarding/WelcomeView.h"

#include "Platform/Core/NotificationCenter.h"
#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Source/Features/Preferences/GlobalHotkeyMonitor.h"
#include "Source/Features/Preferences/ShortcutManager.h"
#include "Views/Shared/AppIconView.h"
#include "Views/Shared/ContinuousCorners.h"

#include <QApplication>
#include <QGraphicsDropShadowEffect>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>

namespace {

// A symbol in a fixed frame, in its own colour.
class SymbolGlyph : public QWidget {
public:
    SymbolGlyph(QString name, QColor colour, double pixelSize, Symbols::Weight weight, QSize frame)
        : name_(std::move(name)), colour_(colour), pixelSize_(pixelSize), weight_(weight) {
        setFixedSize(frame);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        Symbols::draw(p, QRectF(rect()), name_, colour_, pixelSize_, weight_);
    }

private:
    QString name_;
    QColor colour_;
    double pixelSize_;
    Symbols::Weight weight_;
};

QLabel* textLabel(const QString& text, double pixelSize, QFont::Weight weight, const QColor& colour,
                  bool wraps = false) {
    auto* label = new QLabel(text);
    label->setFont(SystemFont::font(pixelSize, weight));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->setWordWrap(wraps);
    if (wraps) {
        // As tall as its lines at the width it gets.
        QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Minimum);
        policy.setHeightForWidth(true);
        label->setSizePolicy(policy);
    }
    return label;
}

}  // namespace

// "Allowed" with a filled check mark, or "Not allowed yet" with a dashed circle. A change swaps the
// symbol the way a replaced symbol does: the old one shrinks away while the new one grows in.
class WelcomeView::StatusLabel : public QWidget {
public:
    explicit StatusLabel(bool granted) : granted_(granted), swap_(this, 1.0, [this] { update(); }) {
        setFixedHeight(16);
        updateWidth();
    }

    QString text() const { return text(granted_); }

    void setGranted(bool granted, bool animated) {
        if (granted == granted_) return;
        granted_ = granted;
        updateWidth();
        swap_.setValue(0.0);
        if (animated) swap_.animateTo(1.0);
        else swap_.setValue(1.0);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor colour = this->colour(granted_);
        const QFont font = SystemFont::font(11, QFont::Medium);
        const QFontMetricsF metrics(font);
        const double textWidth = metrics.horizontalAdvance(text());
        const QRectF symbol(width() - textWidth - 18, (height() - 14) / 2.0, 14, 14);
        const double k = std::clamp(swap_.value(), 0.0, 1.0);
        // The old symbol leaves in the first half, the new one arrives in the second.
        const bool showingNew = k >= 0.5;
        const double scale = showingNew ? 0.6 + 0.4 * (k - 0.5) * 2 : 1.0 - 0.4 * k * 2;
        const bool shownState = showingNew ? granted_ : !granted_;
        p.save();
        p.setOpacity(showingNew ? (k - 0.5) * 2 : 1.0 - k * 2);
        if (k >= 1.0) p.setOpacity(1.0);
        p.translate(symbol.center());
        p.scale(scale, scale);
        p.translate(-symbol.center());
        Symbols::draw(p, symbol, symbolName(shownState), this->colour(shownState), 12, Symbols::Weight::medium);
        p.restore();
        p.setFont(font);
        p.setPen(colour);
        p.drawText(QRectF(width() - textWidth, 0, textWidth, height()), Qt::AlignVCenter | Qt::AlignLeft, text());
    }

private:
    static QString text(bool granted) {
        return granted ? QStringLiteral("Allowed") : QStringLiteral("Not allowed yet");
    }
    static QString symbolName(bool granted) {
        return granted ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("circle.dashed");
    }
    QColor colour(bool granted) const {
        if (!granted) return SystemColors::secondary(palette());
        // On the card: the fill of WelcomeView::Card over the window.
        const QColor card = SystemColors::over(SystemColors::withOpacity(SystemColors::quaternary(palette()), 0.6),
                                               SystemColors::windowBackground(palette()));
        return SystemColors::legible(SystemColors::green(SystemColors::isDark(palette())), card);
    }
    void updateWidth() {
        const QFontMetricsF metrics(SystemFont::font(11, QFont::Medium));
        setFixedWidth(int(std::ceil(metrics.horizontalAdvance(text()))) + 19);
    }

    bool granted_;
    Motion::AnimatedValue swap_;
};

// The rounded surface behind the access card.
class WelcomeView::Card : public QWidget {
public:
    static QColor fill(const QPalette& palette) {
        return SystemColors::withOpacity(SystemColors::quaternary(palette), 0.6);
    }
    // A colour made to read on the card as it shows over the window.
    static QColor ink(const QColor& colour, const QPalette& palette) {
        return SystemColors::legible(colour,
                                     SystemColors::over(fill(palette), SystemColors::windowBackground(palette)));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillPath(ContinuousCorners::roundedRect(QRectF(rect()), 14), fill(palette()));
    }
};

// A wrapping text, with a symbol before it when given, painted at an opacity of its own.
class WelcomeView::FadingText : public QWidget {
public:
    FadingText(QString symbol, QString text, QFont font, QColor colour)
        : symbol_(std::move(symbol)), text_(std::move(text)), colour_(colour) {
        setFont(font);
        QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        policy.setHeightForWidth(true);
        setSizePolicy(policy);
    }

    QString text() const { return text_; }
    QString symbol() const { return symbol_; }
    QColor colour() const { return colour_; }
    void setText(const QString& text) { setContent(symbol_, text, colour_); }
    void setContent(const QString& symbol, const QString& text, const QColor& colour) {
        if (symbol == symbol_ && text == text_ && colour == colour_) return;
        symbol_ = symbol;
        text_ = text;
        colour_ = colour;
        updateGeometry();
        update();
    }
    double opacity() const { return opacity_; }
    void setOpacity(double opacity) {
        opacity_ = std::clamp(opacity, 0.0, 1.0);
        update();
    }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override {
        const QRect bounds = QFontMetrics(font()).boundingRect(QRect(0, 0, std::max(1, width - indent()), 10000),
                                                               Qt::TextWordWrap, text_);
        return bounds.height() + 1;
    }
    QSize sizeHint() const override { return QSize(300, heightForWidth(300)); }
    QSize minimumSizeHint() const override { return QSize(100, heightForWidth(100)); }

protected:
    void paintEvent(QPaintEvent*) override {
        if (opacity_ <= 0) return;
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setOpacity(opacity_);
        if (!symbol_.isEmpty()) {
            const double line = QFontMetricsF(font()).height();
            Symbols::draw(p, QRectF(0, (line - 15) / 2, 15, 15), symbol_, colour_, font().pixelSize() + 1,
                          Symbols::Weight::medium);
        }
        p.setFont(font());
        p.setPen(colour_);
        p.drawText(QRect(indent(), 0, width() - indent(), height()), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop,
                   text_);
    }

private:
    int indent() const { return symbol_.isEmpty() ? 0 : 20; }

    QString symbol_;
    QString text_;
    QColor colour_;
    double opacity_ = 1.0;
};

WelcomeView::WelcomeView(std::function<void()> onDone, InputAccess& access, QWidget* parent)
    : QWidget(parent), onDone_(std::move(onDone)), access_(access), trusted_(access.isGranted()) {
    setObjectName(QStringLiteral("WelcomeView"));
    setFocusPolicy(Qt::StrongFocus);
    poll_.setInterval(pollMs);
    connect(&poll_, &QTimer::timeout, this, &WelcomeView::poll);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* icon = new AppIconView(88);
    auto* shadow = new QGraphicsDropShadowEffect(icon);
    shadow->setColor(QColor(0, 0, 0, int(0.18 * 255)));
    shadow->setBlurRadius(20);
    shadow->setOffset(0, 4);
    icon->setGraphicsEffect(shadow);
    column->addSpacing(40);
    column->addWidget(icon, 0, Qt::AlignHCenter);

    auto* title = textLabel(QStringLiteral("Welcome to Quorvin"), 26, QFont::Bold, SystemColors::primary(palette()));
    QFont titleFont = title->font();
    titleFont.setLetterSpacing(QFont::AbsoluteSpacing, -0.4);
    title->setFont(titleFont);
    title->setObjectName(QStringLiteral("WelcomeTitle"));
    column->addSpacing(16);
    column->addWidget(title, 0, Qt::AlignHCenter);

    auto* subtitle = textLabel(QStringLiteral("Your Mac at a glance, right from the menu bar."), 13, QFont::Normal,
                               SystemColors::secondary(palette()));
    column->addSpacing(4);
    column->addWidget(subtitle, 0, Qt::AlignHCenter);

    column->addSpacing(26);
    auto* features = buildFeatures();
    features->setContentsMargins(44, 0, 44, 0);
    column->addWidget(features);

    column->addSpacing(24);
    auto* cardHolder = new QWidget;
    auto* cardMargins = new QVBoxLayout(cardHolder);
    cardMargins->setContentsMargins(32, 0, 32, 0);
    cardMargins->addWidget(buildCard());
    column->addWidget(cardHolder);

    column->addSpacing(16);
    column->addStretch(1);
    column->addWidget(buildBottomBar());

    applyTrusted(false);
    // A shortcut another program holds is named on the card, not hidden behind "All set".
    NotificationCenter::defaultCenter().observe(GlobalHotkeyMonitor::registrationDidChange, this,
                                                [this](const QVariant&) { applyShortcuts(); });
    connect(&ShortcutManager::shared(), &ShortcutManager::bindingsChanged, this, &WelcomeView::applyShortcuts);
}

WelcomeView::~WelcomeView() = default;

QString WelcomeView::shortcutProblem(const std::vector<HotkeyBinding>& bindings) {
    QStringList refused;
    for (const HotkeyBinding& binding : bindings) {
        if (!binding.isEnabled) continue;
        const auto refusal = GlobalHotkeyMonitor::refusal(binding.id);
        if (!refusal) continue;
        const QString keys = binding.modifierKeys().join(QString()) + ShortcutManager::keyName(binding.keyCode);
        QString why;
        switch (*refusal) {
        case GlobalHotkeyMonitor::Refusal::taken: why = QStringLiteral("is taken by another program"); break;
        case GlobalHotkeyMonitor::Refusal::noKey: why = QStringLiteral("uses a key this keyboard lacks"); break;
        case GlobalHotkeyMonitor::Refusal::noModifier: why = QStringLiteral("needs a modifier key"); break;
        case GlobalHotkeyMonitor::Refusal::failed: why = QStringLiteral("could not be turned on"); break;
        }
        const QString entry = keys + QStringLiteral(" (") + binding.name + QStringLiteral(") ") + why;
        if (!refused.contains(entry)) refused << entry;
    }
    if (refused.isEmpty()) return {};
    return refused.join(QStringLiteral("; ")) + (refused.size() == 1
                                                     ? QStringLiteral(". Change it in Settings → Shortcuts.")
                                                     : QStringLiteral(". Change them in Settings → Shortcuts."));
}

void WelcomeView::applyShortcuts() {
    const QString problem = shortcutProblem(ShortcutManager::shared().bindings());
    const bool dark = SystemColors::isDark(palette());
    if (problem.isEmpty())
        successLayer_->setContent(QStringLiteral("checkmark.seal.fill"),
                                  QStringLiteral("All set — your shortcuts are on."),
                                  Card::ink(SystemColors::green(dark), palette()));
    else
        successLayer_->setContent(QStringLiteral("exclamationmark.triangle.fill"), problem,
                                  Card::ink(SystemColors::orange(dark), palette()));
}

QWidget* WelcomeView::buildFeatures() {
    struct Row {
        const char* symbol;
        QColor colour;
        const char* title;
        const char* description;
    };
    const bool dark = SystemColors::isDark(palette());
    const Row rows[] = {
        {"gauge.with.dots.needle.67percent", SystemColors::green(dark), "Live system stats",
         "CPU, memory, network and disk — click the cat in the menu bar."},
        {"doc.on.clipboard", SystemColors::orange(dark), "Clipboard history",
         "Everything you copy, one shortcut away: ⌘⇧V."},
        {"pawprint.fill", SystemColors::pink(dark), "A companion",
         "A little pet walks your menu bar and reacts to your Mac."},
    };
    auto* list = new QWidget;
    auto* layout = new QVBoxLayout(list);
    layout->setSpacing(12);
    for (const Row& row : rows) {
        auto* line = new QWidget;
        auto* h = new QHBoxLayout(line);
        h->setContentsMargins(0, 0, 0, 0);
        h->setSpacing(12);
        h->addWidget(new SymbolGlyph(QString::fromUtf8(row.symbol), row.colour, 15, Symbols::Weight::semibold,
                                     QSize(22, 18)),
                     0, Qt::AlignTop);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(1);
        texts->addWidget(textLabel(QString::fromUtf8(row.title), 13, QFont::DemiBold, SystemColors::primary(palette())));
        texts->addWidget(textLabel(QString::fromUtf8(row.description), 12, QFont::Normal,
                                   SystemColors::secondary(palette()), true));
        h->addLayout(texts, 1);
        layout->addWidget(line);
    }
    return list;
}

QWidget* WelcomeView::buildCard() {
    const bool dark = SystemColors::isDark(palette());
    auto* card = new Card;
    card->setObjectName(QStringLiteral("AccessCard"));
    auto* stack = new QVBoxLayout(card);
    stack->setContentsMargins(16, 16, 16, 16);
    stack->setSpacing(10);

    auto* header = new QHBoxLayout;
    header->setSpacing(10);
    header->addWidget(
        new SymbolGlyph(QStringLiteral("accessibility"), SystemColors::blue(dark), 18, Symbols::Weight::medium,
                        QSize(20, 20)));
    header->addWidget(
        textLabel(QStringLiteral("Accessibility access"), 13, QFont::DemiBold, SystemColors::primary(palette())));
    header->addStretch(1);
    status_ = new StatusLabel(trusted_);
    header->addWidget(status_);
    stack->addLayout(header);

    stack->addWidget(textLabel(QStringLiteral("Quorvin uses it for its keyboard shortcuts, to paste from your clipboard "
                                              "history, and to lock the keyboard while you wipe it clean. It never "
                                              "records what you type, and nothing leaves your Mac."),
                               12, QFont::Normal, SystemColors::secondary(palette()), true));

    // Both layers share one cell at the top; the cell is as tall as the taller one.
    auto* layers = new QGridLayout;
    layers->setContentsMargins(0, 0, 0, 0);
    requestLayer_ = new FadingText(QString(), accessHelp(access_.session()), SystemFont::font(11, QFont::Normal),
                                   SystemColors::tertiary(palette()));
    requestLayer_->setObjectName(QStringLiteral("RequestLayer"));
    successLayer_ =
        new FadingText(QStringLiteral("checkmark.seal.fill"), QStringLiteral("All set — your shortcuts are on."),
                       SystemFont::font(12, QFont::Medium), Card::ink(SystemColors::green(dark), palette()));
    successLayer_->setObjectName(QStringLiteral("SuccessLayer"));
    auto* successHolder = new QWidget;
    auto* successMargin = new QVBoxLayout(successHolder);
    successMargin->setContentsMargins(0, 4, 0, 0);
    successMargin->addWidget(successLayer_);
    layers->addWidget(requestLayer_, 0, 0, Qt::AlignTop);
    layers->addWidget(successHolder, 0, 0, Qt::AlignTop);
    stack->addLayout(layers);

    layers_ = std::make_unique<Motion::AnimatedValue>(this, trusted_ ? 1.0 : 0.0,
                                                      [this] { applyLayerOpacity(layers_->value()); });
    return card;
}

QWidget* WelcomeView::buildBottomBar() {
    auto* bar = new QWidget;
    auto* h = new QHBoxLayout(bar);
    h->setContentsMargins(32, 0, 32, 26);
    h->addWidget(textLabel(QStringLiteral("You can change this later in System Settings."), 11, QFont::Normal,
                           SystemColors::tertiary(palette())),
                 0, Qt::AlignVCenter);
    h->addStretch(1);
    mainButton_ = new QPushButton;
    mainButton_->setObjectName(QStringLiteral("WelcomeMainButton"));
    mainButton_->setDefault(true);
    mainButton_->setFont(SystemFont::font(13, QFont::Normal));
    mainButton_->setMinimumHeight(30);
    const QColor accent = SystemColors::accent(palette());
    mainButton_->setStyleSheet(
        QStringLiteral("QPushButton { background: %1; color: white; border: none; border-radius: 8px; "
                       "padding: 6px 16px; } QPushButton:pressed { background: %2; }")
            .arg(accent.name(), accent.darker(115).name()));
    connect(mainButton_, &QPushButton::clicked, this, [this] {
        if (onDone_) onDone_();
    });
    h->addWidget(mainButton_, 0, Qt::AlignVCenter);
    return bar;
}

QString WelcomeView::accessHelp(InputAccess::Session session) {
    switch (session) {
    case InputAccess::Session::wayland:
        return QStringLiteral("This is a Wayland session: the keyboard shortcuts, pasting from your clipboard history "
                              "and the keyboard lock don't work here. Log in to an X11 session to use them.");
    case InputAccess::Session::x11:
        return QStringLiteral("This X server lacks the XTEST extension: pasting from your clipboard history doesn't "
                              "work.");
    case InputAccess::Session::none:
        break;
    }
    return QStringLiteral("There is no X server to talk to: the keyboard shortcuts, pasting from your clipboard "
                          "history and the keyboard lock don't work.");
}

QString WelcomeView::statusText() const { return status_->text(); }
QWidget* WelcomeView::requestLayer() const { return requestLayer_; }
QWidget* WelcomeView::successLayer() const { return successLayer_; }
QString WelcomeView::requestText() const { return requestLayer_->text(); }
QString WelcomeView::successText() const { return successLayer_->text(); }
QString WelcomeView::successSymbol() const { return successLayer_->symbol(); }
double WelcomeView::requestOpacity() const { return requestLayer_->opacity(); }
double WelcomeView::successOpacity() const { return successLayer_->opacity(); }

void WelcomeView::applyLayerOpacity(double granted) {
    const double g = std::clamp(granted, 0.0, 1.0);
    requestLayer_->setOpacity(1.0 - g);
    successLayer_->setOpacity(g);
}

void WelcomeView::applyTrusted(bool animated) {
    status_->setGranted(trusted_, animated);
    // The request layer takes clicks only while access is missing.
    requestLayer_->setAttribute(Qt::WA_TransparentForMouseEvents, trusted_);
    requestLayer_->setEnabled(!trusted_);
    requestLayer_->setText(accessHelp(access_.session()));
    applyShortcuts();
    mainButton_->setText(trusted_ ? QStringLiteral("Get Started") : QStringLiteral("Continue Without It"));
    if (animated) layers_->animateTo(trusted_ ? 1.0 : 0.0);
    else layers_->setValue(trusted_ ? 1.0 : 0.0);
    applyLayerOpacity(layers_->value());
}

void WelcomeView::poll() {
    const bool granted = access_.isGranted();
    if (granted == trusted_) return;
    trusted_ = granted;
    applyTrusted(true);  // Motion::state, or a 0.2 s ease-in-out under Reduce Motion
    emit trustedChanged(trusted_);
    if (granted) GlobalHotkeyMonitor::restartMonitoring();
}

void WelcomeView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!poll_.isActive()) poll_.start();
}

void WelcomeView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    poll_.stop();
}

void WelcomeView::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        mainButton_->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

// The window moves by dragging its background: the move starts once the pointer has gone a few
// pixels with the button held, so that a tap leaves the window where it is (a window manager that
// is handed a move on the press keeps moving the window after the release).
void WelcomeView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragFrom_ = event->globalPosition().toPoint();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void WelcomeView::mouseMoveEvent(QMouseEvent* event) {
    if (!dragFrom_ || !(event->buttons() & Qt::LeftButton)) {
        dragFrom_.reset();
        QWidget::mouseMoveEvent(event);
        return;
    }
    if ((event->globalPosition().toPoint() - *dragFrom_).manhattanLength() < QApplication::startDragDistance()) return;
    dragFrom_.reset();
    startWindowMove();
}

void WelcomeView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) dragFrom_.reset();
    QWidget::mouseReleaseEvent(event);
}

bool WelcomeView::startWindowMove() {
    QWindow* handle = window()->windowHandle();
    return handle && handle->startSystemMove();
}
