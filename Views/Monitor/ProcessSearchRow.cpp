#include "Views/Monitor/ProcessSearchRow.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Source/Features/System/MonitorPopupModel.h"
#include "Views/Shared/Motion.h"
#include "Views/Shared/SymbolButton.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>

ProcessSearchRow::ProcessSearchRow(MonitorPopupModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedHeight(rowHeight);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 10, 12, 10);
    row->setSpacing(7);

    glass_ = new SymbolButton(QStringLiteral("magnifyingglass"), 12, QFont::Medium, this);
    glass_->setAttribute(Qt::WA_TransparentForMouseEvents);
    glass_->setFixedSize(16, 18);
    row->addWidget(glass_);

    field_ = new QLineEdit(this);
    field_->setPlaceholderText(QStringLiteral("Search process"));
    field_->setFrame(false);
    field_->setFocusPolicy(Qt::ClickFocus);  // focused by a click, not on opening
    field_->setFont(SystemFont::font(12));
    field_->setAttribute(Qt::WA_MacShowFocusRect, false);
    QPalette fieldPalette = field_->palette();
    fieldPalette.setColor(QPalette::Base, Qt::transparent);
    fieldPalette.setColor(QPalette::PlaceholderText, SystemColors::tertiary(palette()));
    field_->setPalette(fieldPalette);
    field_->setText(model_.searchText());
    field_->installEventFilter(this);
    row->addWidget(field_, 1);

    pinnedTime_ = new QLabel(this);
    pinnedTime_->setFont(SystemFont::monospaced(10, QFont::Medium));
    QPalette labelPalette = pinnedTime_->palette();
    labelPalette.setColor(QPalette::WindowText, SystemColors::secondary(palette()));
    pinnedTime_->setPalette(labelPalette);
    row->addWidget(pinnedTime_);

    live_ = new SymbolButton(QString(), 10, QFont::DemiBold, this);
    live_->setText(QStringLiteral("Live"));
    live_->setTextFont(SystemFont::font(10, QFont::DemiBold));
    live_->setColor(SystemColors::blue());
    live_->setToolTip(QStringLiteral("Return to the live process list"));
    live_->setCursor(Qt::PointingHandCursor);
    row->addWidget(live_);

    clear_ = new SymbolButton(QStringLiteral("xmark.circle.fill"), 11, QFont::Normal, this);
    clear_->setAccessibleName(QStringLiteral("Clear search"));
    clear_->setFixedSize(16, 16);
    clear_->setCursor(Qt::PointingHandCursor);
    row->addWidget(clear_);

    connect(field_, &QLineEdit::textEdited, &model_, [this](const QString& text) { model_.setSearchText(text); });
    connect(&model_, &MonitorPopupModel::searchTextChanged, this, [this](const QString& text) {
        if (field_->text() != text) field_->setText(text);
        syncClear();
    });
    connect(&model_, &MonitorPopupModel::searchFocusRequested, this, [this](bool focused) {
        if (focused)
            field_->setFocus(Qt::OtherFocusReason);
        else if (field_->hasFocus())
            field_->clearFocus();
    });
    connect(live_, &QAbstractButton::clicked, &model_, [this] { model_.setSelectedHistoryTimestamp(std::nullopt); });
    connect(clear_, &QAbstractButton::clicked, &model_, [this] { model_.setSearchText(QString()); });
    connect(&model_, &MonitorPopupModel::selectedHistoryTimestampChanged, this, [this] { syncPinned(); });
    syncPinned();
    clear_->setVisible(!model_.searchText().isEmpty());
}

QString ProcessSearchRow::pinnedTimeText(const QDateTime& at) {
    const QLocale locale = QLocale::system();
    const QString format = locale.timeFormat(QLocale::ShortFormat);
    const bool twelveHour = format.contains(QLatin1String("a"), Qt::CaseInsensitive);
    return locale.toString(at.toLocalTime().time(), twelveHour ? QStringLiteral("hh:mm:ss") : QStringLiteral("HH:mm:ss"));
}

void ProcessSearchRow::syncPinned() {
    const std::optional<QDateTime> at = model_.selectedHistoryTimestamp();
    pinnedTime_->setVisible(at.has_value());
    live_->setVisible(at.has_value());
    if (at) pinnedTime_->setText(pinnedTimeText(*at));
}

void ProcessSearchRow::syncClear() {
    const bool show = !model_.searchText().isEmpty();
    if (show == (clear_->isVisible() && clear_->contentOpacity() > 0.5)) return;
    if (clearFade_) clearFade_->stop();
    const double from = clear_->isVisible() ? clear_->contentOpacity() : 0.0, to = show ? 1.0 : 0.0;
    clear_->setVisible(true);
    clearFade_ = Motion::animate(
        clear_, Motion::state(), [this, from, to](double p) { clear_->setContentOpacity(from + (to - from) * p); },
        [this, show] { clear_->setVisible(show); });
    if (!clearFade_) clear_->setVisible(show);
}

bool ProcessSearchRow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == field_) {
        if (event->type() == QEvent::FocusIn) model_.setSearchFocused(true);
        if (event->type() == QEvent::FocusOut) model_.setSearchFocused(false);
    }
    return QWidget::eventFilter(watched, event);
}
