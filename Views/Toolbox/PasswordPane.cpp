#include "Views/Toolbox/PasswordPane.h"

#include "Platform/Desktop/Pasteboard.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Views/Toolbox/ContentCard.h"
#include "Views/Toolbox/InkLabel.h"
#include "Views/Toolbox/PaneButton.h"
#include "Views/Toolbox/PaneCard.h"
#include "Views/Toolbox/PaneScrollArea.h"
#include "Views/Toolbox/SegmentedPicker.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QTextEdit>
#include <QTextLayout>
#include <QVBoxLayout>

#include <cmath>

using PasswordGenerator::Style;

namespace {

constexpr double kPasswordSize = 20;
constexpr double kSmallestPasswordSize = kPasswordSize * 0.6;

// Lines the text takes at a width in this font, breaking at hyphens and, failing that, anywhere.
int lineCount(const QString& text, const QFont& font, double width) {
    QTextLayout layout(text, font);
    QTextOption option(Qt::AlignHCenter);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    int lines = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        ++lines;
    }
    layout.endLayout();
    return lines;
}

QCheckBox* toggle(const QString& title) {
    auto* box = new QCheckBox(title);
    box->setFont(SystemFont::font(13));
    return box;
}

}  // namespace

PasswordPane::PasswordPane(QWidget* parent) : QWidget(parent) {
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(14);
    column->addWidget(makeResultCard());
    column->addWidget(makeControlsCard());
    column->addStretch(1);

    scroll_ = new PaneScrollArea(content, PaneScrollArea::Indicators::shown, this);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->addWidget(scroll_);

    connect(&model_, &PasswordPaneModel::changed, this, &PasswordPane::refresh);
    connect(&model_.copyConfirmation(), &CopyConfirmation::didCopyChanged, this, [this](bool copied) {
        copy_->setTitle(copied ? QStringLiteral("Скопировано") : QStringLiteral("Скопировать"));
    });
    refresh();
}

QWidget* PasswordPane::makeResultCard() {
    auto* card = new PaneCard(18);
    QVBoxLayout* stack = card->contentLayout();
    stack->setSpacing(10);

    password_ = new QTextEdit;
    password_->setReadOnly(true);
    password_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    password_->setFrameShape(QFrame::NoFrame);
    password_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    password_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    password_->setAcceptRichText(false);
    password_->viewport()->setAutoFillBackground(false);
    password_->setAutoFillBackground(false);
    password_->document()->setDocumentMargin(0);
    QTextOption option(Qt::AlignHCenter);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    password_->document()->setDefaultTextOption(option);
    password_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    password_->setAccessibleName(QStringLiteral("Пароль"));
    password_->installEventFilter(this);
    stack->addWidget(password_);

    auto* strengthRow = new QHBoxLayout;
    strengthRow->setSpacing(10);
    strength_ = new InkLabel(QString(), SystemFont::font(11, QFont::DemiBold));
    entropy_ = new InkLabel(QString(), SystemFont::monospaced(10), InkLabel::Ink::tertiary);
    strengthRow->addStretch(1);
    strengthRow->addWidget(strength_);
    strengthRow->addWidget(entropy_);
    strengthRow->addStretch(1);
    stack->addLayout(strengthRow);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    regenerate_ = new PaneButton(QStringLiteral("Другой"), QStringLiteral("arrow.clockwise"), PaneButton::Look::bordered,
                                 PaneButton::ControlSize::large);
    copy_ = new PaneButton(QStringLiteral("Скопировать"), QStringLiteral("doc.on.doc"), PaneButton::Look::prominent,
                           PaneButton::ControlSize::large);
    copy_->setToolTip(QStringLiteral("Копируется как защищённое — не сохранится в истории буфера"));
    connect(regenerate_, &QAbstractButton::clicked, &model_, &PasswordPaneModel::regenerate);
    connect(copy_, &QAbstractButton::clicked, this, [this] { model_.copy(Pasteboard::general()); });
    buttons->addStretch(1);
    buttons->addWidget(regenerate_);
    buttons->addWidget(copy_);
    buttons->addStretch(1);
    stack->addLayout(buttons);
    return card;
}

QWidget* PasswordPane::makeControlsCard() {
    auto* card = new PaneCard(16);
    QVBoxLayout* stack = card->contentLayout();
    stack->setSpacing(12);

    QStringList titles;
    for (Style style : PasswordGenerator::allStyles) titles.append(PasswordPaneModel::texts(style).segmentTitle);
    stylePicker_ = new SegmentedPicker(titles);
    connect(stylePicker_, &SegmentedPicker::activated, this,
            [this](int index) { model_.setStyle(PasswordGenerator::allStyles[size_t(index)]); });
    stack->addWidget(stylePicker_);

    description_ = new InkLabel(QString(), SystemFont::font(11), InkLabel::Ink::secondary);
    description_->setWordWrap(true);
    stack->addWidget(description_);

    auto* divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setFixedHeight(1);
    divider->setForegroundRole(QPalette::Mid);
    stack->addWidget(divider);

    auto* lengthRow = new QHBoxLayout;
    unit_ = new InkLabel(QString(), SystemFont::font(12));
    length_ = new InkLabel(QString(), SystemFont::monospacedDigits(12, QFont::Medium));
    lengthRow->addWidget(unit_);
    lengthRow->addStretch(1);
    lengthRow->addWidget(length_);
    stack->addLayout(lengthRow);

    slider_ = new QSlider(Qt::Horizontal);
    slider_->setSingleStep(1);
    slider_->setPageStep(1);
    slider_->setAccessibleName(QStringLiteral("Длина"));
    connect(slider_, &QSlider::valueChanged, this, [this](int value) { model_.setSliderValue(value); });
    stack->addWidget(slider_);

    digit_ = toggle(QStringLiteral("Цифра"));
    capital_ = toggle(QStringLiteral("Заглавная"));
    symbol_ = toggle(QStringLiteral("Символы"));
    connect(digit_, &QCheckBox::toggled, &model_, &PasswordPaneModel::setIncludeDigit);
    connect(capital_, &QCheckBox::toggled, &model_, &PasswordPaneModel::setIncludeCapital);
    connect(symbol_, &QCheckBox::toggled, &model_, &PasswordPaneModel::setIncludeSymbol);
    stack->addWidget(digit_);
    stack->addWidget(capital_);
    stack->addWidget(symbol_);
    return card;
}

QColor PasswordPane::strengthColor() const {
    const bool dark = SystemColors::isDark(palette());
    QColor hue = SystemColors::primary(palette());
    switch (model_.strength()) {
    case PasswordPaneModel::Strength::weak: hue = SystemColors::red(dark); break;
    case PasswordPaneModel::Strength::acceptable: hue = SystemColors::orange(dark); break;
    case PasswordPaneModel::Strength::good: hue = SystemColors::yellow(dark); break;
    case PasswordPaneModel::Strength::veryStrong: hue = SystemColors::green(dark); break;
    }
    // The word sits on the result card, which is nearly as light as yellow.
    return SystemColors::legible(hue, ContentCard::surface(palette()));
}

void PasswordPane::refresh() {
    const PasswordGenerator::Options& options = model_.options();
    if (password_->toPlainText() != model_.password()) password_->setPlainText(model_.password());
    fitPassword();

    strength_->setText(PasswordPaneModel::strengthLabel(model_.strength()));
    strength_->setColor(strengthColor());
    entropy_->setText(model_.entropyText());

    const PasswordPaneModel::StyleTexts texts = PasswordPaneModel::texts(options.style);
    stylePicker_->setCurrentIndex(int(std::find(PasswordGenerator::allStyles.begin(), PasswordGenerator::allStyles.end(),
                                                options.style) -
                                      PasswordGenerator::allStyles.begin()));
    description_->setText(texts.description);
    unit_->setText(texts.unitLabel);
    length_->setText(QString::number(options.length));
    {
        const QSignalBlocker block(slider_);
        const PasswordGenerator::LengthRange range = PasswordGenerator::lengthRange(options.style);
        slider_->setRange(int(range.lower), int(range.upper));
        slider_->setValue(int(options.length));
    }
    for (auto [box, on] : {std::pair{digit_, options.includeDigit}, std::pair{capital_, options.includeCapital},
                           std::pair{symbol_, options.includeSymbol}}) {
        const QSignalBlocker block(box);
        box->setChecked(on);
    }
    digit_->setVisible(PasswordPaneModel::offersDigitAndCapital(options.style));
    capital_->setVisible(PasswordPaneModel::offersDigitAndCapital(options.style));
    symbol_->setVisible(PasswordPaneModel::offersSymbol(options.style));
}

void PasswordPane::fitPassword() {
    const QString text = model_.password();
    const double width = std::max(1, password_->width());
    double size = kPasswordSize;
    while (size > kSmallestPasswordSize && lineCount(text, SystemFont::monospaced(size, QFont::Medium), width) > 2)
        size = std::max(kSmallestPasswordSize, size - 1);
    passwordFontSize_ = size;
    const QFont font = SystemFont::monospaced(size, QFont::Medium);
    if (password_->font() != font) {
        password_->setFont(font);
        password_->document()->setDefaultFont(font);
    }
    const int lines = std::clamp(lineCount(text, font, width), 1, 2);
    password_->setFixedHeight(int(std::ceil(QFontMetricsF(font).lineSpacing() * lines)) + 2);
}

void PasswordPane::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    model_.appear();
}

bool PasswordPane::eventFilter(QObject* watched, QEvent* event) {
    if (watched == password_ && event->type() == QEvent::Resize) fitPassword();
    return QWidget::eventFilter(watched, event);
}

void PasswordPane::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::PaletteChange) return;
    strength_->setColor(strengthColor());
    QPalette text = password_->palette();
    const QColor ink = SystemColors::primary(palette());
    if (text.color(QPalette::Text) != ink) {
        text.setColor(QPalette::Text, ink);
        password_->setPalette(text);
    }
}
