#include "Views/Toolbox/TransformPane.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Platform/Gui/Symbols.h"
#include "Source/Features/Toolbox/PasteboardText.h"
#include "Source/Features/Toolbox/ToolboxModel.h"
#include "Views/Shared/ActivitySpinner.h"
#include "Views/Toolbox/CodeTextView.h"
#include "Views/Toolbox/ContentCard.h"
#include "Views/Toolbox/SmallButton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScopedValueRollback>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

QLabel* editorTitle(const QString& text) {
    auto* label = new QLabel(text);
    QFont font = SystemFont::font(11, QFont::DemiBold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.3);
    label->setFont(font);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, SystemColors::secondary(p));
    label->setPalette(p);
    return label;
}

// A titled editor: the header row (title, space, the controls) above the editor in its card.
QWidget* editor(const QString& title, CodeTextView* view, const QList<QWidget*>& accessory) {
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    auto* header = new QHBoxLayout;
    header->setContentsMargins(0, 0, 0, 0);
    header->addWidget(editorTitle(title), 0, Qt::AlignVCenter);
    header->addStretch(1);
    auto* controls = new QHBoxLayout;
    controls->setSpacing(8);
    for (QWidget* w : accessory) controls->addWidget(w, 0, Qt::AlignVCenter);
    header->addLayout(controls);
    layout->addLayout(header);
    view->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    ContentCard* card = contentCard(view, TransformPane::cardRadius);
    card->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    layout->addWidget(card, 1);
    return box;
}

}  // namespace

QString TransformPane::failureText(const TransformFailure& failure) { return failure.displayText(); }

TransformPane::TransformPane(ToolboxModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(padding, padding, padding, padding);
    layout->setSpacing(spacing);

    // Input.
    input_ = new CodeTextView(true);
    input_->setObjectName(QStringLiteral("transformInput"));
    sizeLabel_ = new QLabel;
    sizeLabel_->setFont(SystemFont::monospaced(10, QFont::Medium));
    paste_ = new SmallButton(QStringLiteral("Из буфера"));
    clear_ = new SmallButton(QStringLiteral("Очистить"));
    layout->addWidget(editor(QStringLiteral("Ввод"), input_, {sizeLabel_, paste_, clear_}), 1);

    // Result: the read-only editor, or the failure card in its place.
    output_ = new CodeTextView(false);
    output_->setObjectName(QStringLiteral("transformOutput"));
    spinner_ = new ActivitySpinner(11);
    copy_ = new SmallButton(QStringLiteral("Скопировать"));
    useAsInput_ = new SmallButton(QStringLiteral("В ввод"));
    useAsInput_->setToolTip(QStringLiteral("Подставить результат во ввод, чтобы применить следующее преобразование"));
    resultEditor_ = editor(QStringLiteral("Результат"), output_, {spinner_, copy_, useAsInput_});

    auto* failureContent = new QWidget;
    auto* failureLayout = new QVBoxLayout(failureContent);
    failureLayout->setSpacing(6);
    failureLayout->addStretch(1);
    auto* symbol = new QLabel;
    symbol->setObjectName(QStringLiteral("failureSymbol"));
    symbol->setAlignment(Qt::AlignCenter);
    symbol->setPixmap(QPixmap::fromImage(Symbols::image(QStringLiteral("exclamationmark.triangle.fill"), 18,
                                                        SystemColors::orange(SystemColors::isDark(palette())),
                                                        Symbols::Weight::regular, devicePixelRatioF())));
    failureLayout->addWidget(symbol);
    failureLabel_ = new QLabel;
    failureLabel_->setFont(SystemFont::font(12));
    failureLabel_->setAlignment(Qt::AlignCenter);
    failureLabel_->setWordWrap(true);
    failureLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    failureLayout->addWidget(failureLabel_);
    failureLayout->addStretch(1);
    failureCard_ = contentCard(failureContent, cardRadius);
    failureCard_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    result_ = new QStackedWidget;
    result_->addWidget(resultEditor_);
    result_->addWidget(failureCard_);
    layout->addWidget(result_, 1);

    QPalette p = palette();
    QPalette secondary = p;
    secondary.setColor(QPalette::WindowText, SystemColors::secondary(p));
    failureLabel_->setPalette(secondary);
    QPalette tertiary = p;
    tertiary.setColor(QPalette::WindowText, SystemColors::tertiary(p));
    sizeLabel_->setPalette(tertiary);

    connect(input_, &CodeTextView::edited, this, [this](int position, int removed, const QString& added) {
        const QScopedValueRollback typing(typing_, true);
        model_.editInput(position, removed, added);
    });
    connect(paste_, &QAbstractButton::clicked, this, [this] {
        PasteboardText::read(this, [this](std::optional<QString> text) {
            if (text) model_.setInput(*text);
        });
    });
    connect(clear_, &QAbstractButton::clicked, this, [this] { model_.setInput(QString()); });
    connect(copy_, &QAbstractButton::clicked, &model_, &ToolboxModel::copyOutput);
    connect(useAsInput_, &QAbstractButton::clicked, &model_, &ToolboxModel::useOutputAsInput);
    connect(&model_, &ToolboxModel::inputChanged, this, &TransformPane::refreshInput);
    connect(&model_, &ToolboxModel::outputChanged, this, &TransformPane::refreshResult);
    connect(&model_, &ToolboxModel::failureChanged, this, &TransformPane::refreshResult);
    connect(&model_, &ToolboxModel::isWorkingChanged, this, &TransformPane::refreshResult);
    refreshInput();
    refreshResult();
}

bool TransformPane::showsFailure() const { return result_->currentWidget() == failureCard_; }

void TransformPane::refreshInput() {
    if (!typing_) input_->setText(model_.input());  // else it shows the edit already
    const std::optional<QString> size = model_.inputSizeLabel();
    sizeLabel_->setText(size.value_or(QString()));
    sizeLabel_->setVisible(size.has_value());
    clear_->setEnabled(!model_.input().isEmpty());
}

void TransformPane::refreshResult() {
    if (const auto& failure = model_.failure()) {
        failureLabel_->setText(failureText(*failure));
        result_->setCurrentWidget(failureCard_);
    } else {
        result_->setCurrentWidget(resultEditor_);
    }
    output_->setText(model_.output());
    spinner_->setVisible(model_.isWorking());
    copy_->setEnabled(!model_.output().isEmpty());
    useAsInput_->setEnabled(!model_.output().isEmpty());
}
