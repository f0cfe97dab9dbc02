#include "Views/Toolbox/QRPane.h"

#include "Platform/Desktop/Pasteboard.h"
#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Platform/Ui/FileDialogs.h"
#include "Source/Features/Toolbox/ToolboxModel.h"
#include "Views/Toolbox/CodeTextView.h"
#include "Views/Toolbox/InkLabel.h"
#include "Views/Toolbox/PaneButton.h"
#include "Views/Toolbox/PaneCard.h"
#include "Views/Toolbox/PaneScrollArea.h"
#include "Views/Toolbox/QRImageView.h"
#include "Views/Toolbox/SegmentedPicker.h"

#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLoggingCategory>
#include <QScopedValueRollback>
#include <QVBoxLayout>

using QRCodeGenerator::Correction;

Q_LOGGING_CATEGORY(lcQRPane, "com.pelwick.Quorvin.Toolbox", QtInfoMsg)

namespace {

constexpr int kFailureSide = 260;

int indexOf(Correction correction) {
    return int(std::find(QRCodeGenerator::allCorrections.begin(), QRCodeGenerator::allCorrections.end(), correction) -
               QRCodeGenerator::allCorrections.begin());
}

}  // namespace

QRPane::QRPane(ToolboxModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(12);
    column->addWidget(makeCodeCard());
    column->addWidget(makeSource());
    column->addWidget(makeSettings());
    column->addStretch(1);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->addWidget(new PaneScrollArea(content, PaneScrollArea::Indicators::shown));

    qr_.setInput(model_.input(), model_.inputBytes());
    editor_->setText(model_.input());
    connect(&model_, &ToolboxModel::inputChanged, this, [this](const QString& input) {
        if (!typing_) editor_->setText(input);  // else it shows the edit already
        qr_.setInput(input, model_.inputBytes());
        showCounter();
    });
    connect(editor_, &CodeTextView::edited, this, [this](int position, int removed, const QString& added) {
        const QScopedValueRollback typing(typing_, true);
        model_.editInput(position, removed, added);
    });
    connect(&qr_, &QRPaneModel::textFromClipboard, &model_, &ToolboxModel::setInput);
    connect(&qr_, &QRPaneModel::codeChanged, this, &QRPane::showCode);
    connect(&qr_.copyConfirmation(), &CopyConfirmation::didCopyChanged, this, [this](bool copied) {
        copy_->setTitle(copied ? QStringLiteral("Скопировано") : QStringLiteral("Копировать картинку"));
    });
    showCode();
    showCounter();
}

QWidget* QRPane::makeCodeCard() {
    auto* card = new PaneCard(16);
    QVBoxLayout* stack = card->contentLayout();
    stack->setSpacing(10);

    codeBox_ = new QWidget;
    auto* code = new QVBoxLayout(codeBox_);
    code->setContentsMargins(0, 0, 0, 0);
    code->setSpacing(10);
    image_ = new QRImageView;
    code->addWidget(image_, 0, Qt::AlignHCenter);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    copy_ = new PaneButton(QStringLiteral("Копировать картинку"), QStringLiteral("doc.on.doc"), PaneButton::Look::bordered,
                           PaneButton::ControlSize::large);
    save_ = new PaneButton(QStringLiteral("Сохранить PNG"), QStringLiteral("arrow.down.circle"),
                           PaneButton::Look::bordered, PaneButton::ControlSize::large);
    connect(copy_, &QAbstractButton::clicked, this, [this] { qr_.copy(Pasteboard::general()); });
    connect(save_, &QAbstractButton::clicked, this, &QRPane::save);
    buttons->addStretch(1);
    buttons->addWidget(copy_);
    buttons->addWidget(save_);
    buttons->addStretch(1);
    code->addLayout(buttons);
    saveFailure_ = new InkLabel(QString(), SystemFont::font(11));
    saveFailure_->setWordWrap(true);
    saveFailure_->setAlignment(Qt::AlignHCenter);
    saveFailure_->hide();
    code->addWidget(saveFailure_);
    stack->addWidget(codeBox_);

    failureBox_ = new QWidget;
    failureBox_->setFixedSize(kFailureSide, kFailureSide);
    auto* failure = new QVBoxLayout(failureBox_);
    failure->setContentsMargins(0, 0, 0, 0);
    failure->setSpacing(8);
    failure->addStretch(1);
    failureSymbol_ = new QLabel;
    failureSymbol_->setAlignment(Qt::AlignCenter);
    failureSymbol_->setFixedSize(34, 34);
    failure->addWidget(failureSymbol_, 0, Qt::AlignHCenter);
    failureText_ = new InkLabel(QString(), SystemFont::font(12), InkLabel::Ink::secondary);
    failureText_->setWordWrap(true);
    failureText_->setAlignment(Qt::AlignHCenter);
    failure->addWidget(failureText_);
    failure->addStretch(1);
    stack->addWidget(failureBox_, 0, Qt::AlignHCenter);
    return card;
}

QWidget* QRPane::makeSource() {
    auto* box = new QWidget;
    auto* stack = new QVBoxLayout(box);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(6);

    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    QFont titleFont = SystemFont::font(11, QFont::DemiBold);
    titleFont.setLetterSpacing(QFont::AbsoluteSpacing, 0.3);
    header->addWidget(new InkLabel(QStringLiteral("Содержимое"), titleFont, InkLabel::Ink::secondary));
    header->addStretch(1);
    counter_ = new InkLabel(QString(), SystemFont::monospaced(10), InkLabel::Ink::tertiary);
    header->addWidget(counter_);
    paste_ = new PaneButton(QStringLiteral("Из буфера"), QString(), PaneButton::Look::bordered,
                            PaneButton::ControlSize::small);
    connect(paste_, &QAbstractButton::clicked, this, [this] { qr_.readClipboard(false); });
    header->addWidget(paste_);
    stack->addLayout(header);

    editor_ = new CodeTextView(true);
    editor_->setFixedHeight(90);
    auto* card = new PaneCard(0);
    card->contentLayout()->addWidget(editor_);
    stack->addWidget(card);
    return box;
}

QWidget* QRPane::makeSettings() {
    auto* card = new PaneCard(14);
    QVBoxLayout* stack = card->contentLayout();
    stack->setSpacing(8);
    auto* row = new QHBoxLayout;
    row->addWidget(new InkLabel(QStringLiteral("Устойчивость к повреждениям"), SystemFont::font(12)));
    row->addStretch(1);
    QStringList titles;
    for (Correction correction : QRCodeGenerator::allCorrections) titles.append(QRPaneModel::segmentTitle(correction));
    levelPicker_ = new SegmentedPicker(titles);
    levelPicker_->setFixedWidth(200);
    levelPicker_->setCurrentIndex(indexOf(qr_.correction()));
    connect(levelPicker_, &SegmentedPicker::activated, this,
            [this](int index) { qr_.setCorrection(QRCodeGenerator::allCorrections[size_t(index)]); });
    row->addWidget(levelPicker_);
    stack->addLayout(row);
    levelDescription_ = new InkLabel(QRPaneModel::description(qr_.correction()), SystemFont::font(11),
                                     InkLabel::Ink::secondary);
    levelDescription_->setWordWrap(true);
    stack->addWidget(levelDescription_);
    connect(&qr_, &QRPaneModel::correctionChanged, this, [this] {
        levelPicker_->setCurrentIndex(indexOf(qr_.correction()));
        levelDescription_->setText(QRPaneModel::description(qr_.correction()));
    });
    return card;
}

void QRPane::showCode() {
    const QRCodeGenerator::Result& code = qr_.code();
    const bool ok = !code.failure;
    codeBox_->setVisible(ok);
    failureBox_->setVisible(!ok);
    saveFailure_->hide();
    if (ok) {
        image_->setImage(code.image);
        return;
    }
    image_->setImage(QImage());
    const bool empty = code.failure->kind == QRCodeGenerator::Failure::Kind::empty;
    const bool dark = SystemColors::isDark(palette());
    failureSymbolName_ = empty ? QStringLiteral("qrcode") : QStringLiteral("exclamationmark.triangle.fill");
    failureSymbol_->setPixmap(QPixmap::fromImage(
        Symbols::image(failureSymbolName_, 28, empty ? SystemColors::tertiary(palette()) : SystemColors::orange(dark),
                       Symbols::Weight::regular, 2.0)));
    failureText_->setText(code.failure->message());
}

void QRPane::showCounter() {
    counter_->setText(QRPaneModel::counterText(model_.inputBytes()));
    if (QRPaneModel::isOverLimit(model_.inputBytes())) counter_->setColor(SystemColors::orange(SystemColors::isDark(palette())));
    else counter_->setColor(std::nullopt);
}

void QRPane::save() {
    const QByteArray png = qr_.pngData();
    if (png.isEmpty()) return;
    FileDialogs::Request request;
    request.title = QStringLiteral("Сохранить PNG");
    request.defaultName = QRPaneModel::defaultFileName;
    request.nameFilters = {QStringLiteral("PNG (*.png)")};
    QPointer<QRPane> self(this);
    FileDialogs::shared().chooseSaveFile(this, request, [self, png](const QString& chosen) {
        if (!self || chosen.isEmpty()) return;
        const QString path = QRPaneModel::withPngSuffix(chosen);
        if (const auto error = QRPaneModel::save(path, png)) {
            qCWarning(lcQRPane, "Could not save the QR code: %s", qPrintable(error->message()));
            self->saveFailure_->setText(QRPaneModel::saveFailureText(*error));
            self->saveFailure_->setColor(SystemColors::red(SystemColors::isDark(self->palette())));
            self->saveFailure_->show();
            return;
        }
        self->saveFailure_->hide();
    });
}

void QRPane::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    qr_.setDevicePixelRatio(devicePixelRatioF());
    if (appeared_) return;
    appeared_ = true;
    if (model_.input().isEmpty()) qr_.readClipboard(true);
}

void QRPane::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        showCounter();
        if (qr_.code().failure) showCode();
    } else if (event->type() == QEvent::ScreenChangeInternal) {
        qr_.setDevicePixelRatio(devicePixelRatioF());
    }
}
