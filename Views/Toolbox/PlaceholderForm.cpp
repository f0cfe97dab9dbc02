#include "Views/Toolbox/PlaceholderForm.h"

#include "Platform/Gui/SystemFont.h"
#include "Views/Toolbox/InkLabel.h"
#include "Views/Toolbox/PlaceholderField.h"

#include <QEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QSet>

#include <algorithm>

namespace {

const char* const kNameProperty = "placeholderName";

QFont nameFont() { return SystemFont::font(12); }

}  // namespace

PlaceholderForm::PlaceholderForm(QWidget* parent)
    : PaneScrollArea(new QWidget, Indicators::shown, parent), canvas_(widget()), nameMetrics_(nameFont()) {
    canvas_->installEventFilter(this);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &PlaceholderForm::placeRows);
    measure();
}

bool PlaceholderForm::setNames(const QStringList& names) {
    if (names == names_) return false;
    const QSet<QString> kept(names.begin(), names.end());
    for (const QString& name : rows_.keys())
        if (!kept.contains(name)) dropRow(name);
    names_ = names;
    measure();
    placeRows();
    return true;
}

void PlaceholderForm::clear() {
    for (const QString& name : rows_.keys()) dropRow(name);
    names_.clear();
    values_.clear();
    nameSizes_.clear();
    measure();
    verticalScrollBar()->setValue(0);
}

void PlaceholderForm::setValues(const QHash<QString, QString>& values) {
    values_ = values;
    for (auto it = rows_.cbegin(); it != rows_.cend(); ++it) it->field->setValue(values_.value(it.key()));
}

PlaceholderField* PlaceholderForm::field(const QString& name) const {
    const auto it = rows_.constFind(name);
    return it == rows_.constEnd() ? nullptr : it->field;
}

QList<PlaceholderField*> PlaceholderForm::fields() const {
    QList<PlaceholderField*> made;
    for (const QString& name : names_)
        if (PlaceholderField* f = field(name)) made.append(f);
    return made;
}

PlaceholderField* PlaceholderForm::showRow(qsizetype row) {
    if (row < 0 || row >= names_.size()) return nullptr;
    const int top = tops_[row], bottom = tops_[row + 1] - (row + 1 < names_.size() ? rowSpacing : 0);
    const int view = viewport()->height() > 0 ? viewport()->height() : maximumViewHeight;
    QScrollBar* bar = verticalScrollBar();
    if (top < bar->value())
        bar->setValue(top);
    else if (bottom > bar->value() + view)
        bar->setValue(bottom - view);
    placeRows();
    if (!rows_.contains(names_.at(row))) makeRow(names_.at(row));
    placeRows();
    return field(names_.at(row));
}

bool PlaceholderForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == canvas_ && event->type() == QEvent::Resize) {
        placeRows();
    } else if (event->type() == QEvent::KeyPress && watched->property(kNameProperty).isValid()) {
        // Tab goes down the rows in their order, making the next row when it has not been shown yet.
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool tab = key->key() == Qt::Key_Tab && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        const bool backtab =
            key->key() == Qt::Key_Backtab || (key->key() == Qt::Key_Tab && (key->modifiers() & Qt::ShiftModifier));
        if (tab || backtab) {
            const qsizetype row = names_.indexOf(watched->property(kNameProperty).toString());
            const qsizetype next = row + (backtab ? -1 : 1);
            if (row >= 0 && next >= 0 && next < names_.size()) {
                if (PlaceholderField* f = showRow(next)) {
                    f->lineEdit()->setFocus(backtab ? Qt::BacktabFocusReason : Qt::TabFocusReason);
                    return true;
                }
            }
        }
    }
    return PaneScrollArea::eventFilter(watched, event);
}

void PlaceholderForm::changeEvent(QEvent* event) {
    PaneScrollArea::changeEvent(event);
    if (event->type() != QEvent::FontChange && event->type() != QEvent::StyleChange) return;
    nameMetrics_ = QFontMetrics(nameFont());
    nameSizes_.clear();
    measure();
    placeRows();
}

QSize PlaceholderForm::nameSize(const QString& name) {
    auto it = nameSizes_.constFind(name);
    if (it == nameSizes_.constEnd()) {
        const QRect bounds(0, 0, 1 << 20, 1 << 20);
        it = nameSizes_.insert(name, nameMetrics_.boundingRect(bounds, Qt::AlignRight | Qt::AlignVCenter, name).size());
    }
    return *it;
}

PlaceholderForm::Row& PlaceholderForm::makeRow(const QString& name) {
    Row row;
    row.label = new InkLabel(name, nameFont(), InkLabel::Ink::secondary, canvas_);
    row.label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row.label->setMaximumWidth(nameWidthLimit);
    row.label->setToolTip(name);
    row.field = new PlaceholderField(canvas_);
    row.field->setValue(values_.value(name));
    row.field->lineEdit()->setProperty(kNameProperty, name);
    row.field->lineEdit()->installEventFilter(this);
    connect(row.field, &PlaceholderField::valueEdited, this,
            [this, name](const QString& value) { emit valueEdited(name, value); });
    return *rows_.insert(name, row);
}

void PlaceholderForm::dropRow(const QString& name) {
    const Row row = rows_.take(name);
    placed_.removeOne(name);
    for (QWidget* w : {static_cast<QWidget*>(row.label), static_cast<QWidget*>(row.field)}) {
        if (!w) continue;
        w->hide();
        w->deleteLater();
    }
}

void PlaceholderForm::measure() {
    tops_.assign(1, 0);
    tops_.reserve(names_.size() + 1);
    int y = 0, widest = 0;
    for (const QString& name : names_) {
        const QSize size = nameSize(name);
        widest = std::max(widest, size.width());
        y += std::max(PlaceholderField::fieldHeight, size.height()) + rowSpacing;
        tops_.push_back(y);
    }
    // The last entry is the height of all rows: no spacing after the last.
    if (!names_.isEmpty()) tops_.back() -= rowSpacing;
    nameWidth_ = std::min(nameWidthLimit, widest);
    canvas_->setFixedHeight(tops_.back());
    setFixedHeight(std::min(maximumViewHeight, tops_.back()));
}

void PlaceholderForm::placeRows() {
    // The rows in view and one more on either side, so that the caret can move on to them.
    const int view = std::min(maximumViewHeight, tops_.back());
    const int from = verticalScrollBar()->value() - maximumViewHeight / 2;
    const int to = verticalScrollBar()->value() + view + maximumViewHeight / 2;
    qsizetype first = std::upper_bound(tops_.begin(), tops_.end() - 1, from) - tops_.begin() - 1;
    first = std::max<qsizetype>(0, first);
    const int fieldLeft = nameWidth_ + columnSpacing;
    const int fieldWidth = std::max(0, canvas_->width() - fieldLeft);
    QStringList placed;
    for (qsizetype i = first; i < names_.size() && tops_[i] < to; ++i) {
        const QString& name = names_.at(i);
        auto it = rows_.find(name);
        Row& row = it != rows_.end() ? *it : makeRow(name);
        const int height = tops_[i + 1] - tops_[i] - (i + 1 < names_.size() ? rowSpacing : 0);
        row.label->setGeometry(0, tops_[i], nameWidth_, height);
        row.field->setGeometry(fieldLeft, tops_[i] + (height - PlaceholderField::fieldHeight) / 2, fieldWidth,
                               PlaceholderField::fieldHeight);
        row.label->show();
        row.field->show();
        placed.append(name);
    }
    for (const QString& name : std::as_const(placed_)) {
        if (placed.contains(name)) continue;
        const auto it = rows_.constFind(name);
        if (it == rows_.constEnd()) continue;
        if (it->field->isFocused()) {
            // Hiding the field being edited would take the caret away: it stays, where it belongs.
            const qsizetype i = names_.indexOf(name);
            it->label->move(0, tops_[i]);
            it->field->move(fieldLeft, tops_[i] + (it->label->height() - PlaceholderField::fieldHeight) / 2);
            placed.append(name);
            continue;
        }
        it->label->hide();
        it->field->hide();
    }
    placed_ = placed;
}
