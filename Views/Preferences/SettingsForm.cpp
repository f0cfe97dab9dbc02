#include "Views/Preferences/SettingsForm.h"

#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyleOption>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace {
constexpr int kIdRole = Qt::UserRole;
// A check box's edge against the window: a little above 3:1, for a section's shade over it.
constexpr double kEdgeContrast = 3.3;

class LegibleCheckBoxStyle : public QProxyStyle {
public:
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        if (element != PE_IndicatorCheckBox) return;
        // The edge a style draws is the window colour darkened (Fusion's by 140 %): kept where it
        // reads, otherwise moved only as far as it must.
        const QColor window = option->palette.window().color();
        const QColor drawn = window.darker(140);
        if (SystemColors::contrast(drawn, window) >= kEdgeContrast) return;
        const QColor edge = SystemColors::legible(drawn, window, kEdgeContrast);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->setBrush(Qt::NoBrush);
        painter->setPen(QPen(edge, 1));
        painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
        painter->restore();
    }
};
}  // namespace

namespace SettingsForm {

QVBoxLayout* page(QWidget* pane) {
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(6);
    return layout;
}

QLabel* secondaryLabel(const QString& text, double scale) {
    auto* label = new QLabel(text);
    label->setForegroundRole(QPalette::PlaceholderText);
    if (scale != 1.0) {
        QFont font = label->font();
        font.setPointSizeF(font.pointSizeF() * scale);
        label->setFont(font);
    }
    return label;
}

QWidget* symbolLabel(const QString& symbol, const QString& title, const QString& note, const QColor& color) {
    auto* box = new QWidget;
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    auto* icon = new QLabel;
    icon->setObjectName(QStringLiteral("symbol"));
    icon->setPixmap(QPixmap::fromImage(Symbols::image(symbol, 16, color.isValid() ? color : SystemColors::accent(),
                                                      Symbols::Weight::regular, 2.0)));
    icon->setFixedSize(18, 18);
    icon->setAlignment(Qt::AlignCenter);
    row->addWidget(icon, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    auto* titleLabel = new QLabel(title);
    titleLabel->setObjectName(QStringLiteral("title"));
    texts->addWidget(titleLabel);
    if (!note.isEmpty()) {
        QLabel* sub = secondaryLabel(note, 0.9);
        sub->setObjectName(QStringLiteral("note"));
        sub->setWordWrap(true);
        texts->addWidget(sub);
    }
    row->addLayout(texts);
    return box;
}

QWidget* labelledRow(QWidget* label, QWidget* content) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 2, 0, 2);
    layout->setSpacing(8);
    layout->addWidget(label, 1);
    layout->addWidget(content, 0, Qt::AlignVCenter);
    return row;
}

QWidget* titleLabel(const QString& title, const QString& note) {
    auto* label = new QWidget;
    auto* texts = new QVBoxLayout(label);
    texts->setContentsMargins(0, 0, 0, 0);
    texts->setSpacing(1);
    auto* titleText = new QLabel(title);
    titleText->setObjectName(QStringLiteral("title"));
    texts->addWidget(titleText);
    if (!note.isEmpty()) {
        QLabel* sub = secondaryLabel(note, 0.9);
        sub->setObjectName(QStringLiteral("note"));
        sub->setWordWrap(true);
        texts->addWidget(sub);
    }
    return label;
}

QWidget* toggleRow(const QString& symbol, const QString& title, const QString& note, QCheckBox** toggle) {
    QWidget* label = symbol.isEmpty() ? titleLabel(title, note) : symbolLabel(symbol, title, note);
    auto* box = new QCheckBox;
    box->setAccessibleName(title);
    *toggle = box;
    return labelledRow(label, box);
}

QLabel* footerLabel(const QString& text) {
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.9);
    label->setFont(font);
    label->setContentsMargins(4, 0, 4, 8);
    return label;
}

void makeCheckBoxesLegible(QWidget* root) {
    static QPointer<QStyle> style;
    if (!style) {
        style = new LegibleCheckBoxStyle;
        style->setParent(qApp);
    }
    for (QCheckBox* box : root->findChildren<QCheckBox*>()) box->setStyle(style);
}

QGroupBox* section(QVBoxLayout* page, const QString& header, const QString& footer) {
    auto* box = new QGroupBox(header);
    page->addWidget(box);
    if (!footer.isEmpty()) page->addWidget(footerLabel(footer));
    return box;
}

void bind(QSpinBox* box, Setting<int>& setting, std::function<void(int)> apply) {
    box->setRange(setting.minimum().value_or(std::numeric_limits<int>::min()),
                  setting.maximum().value_or(std::numeric_limits<int>::max()));
    const auto show = [box, &setting] {
        const QSignalBlocker blocker(box);
        box->setValue(setting.value());
    };
    show();
    QObject::connect(&setting, &SettingBase::changed, box, show);
    if (!apply) apply = [&setting](int value) { setting.set(value); };
    QObject::connect(box, &QSpinBox::valueChanged, box, std::move(apply));
}

}  // namespace SettingsForm

ApplicationChooser::ApplicationChooser(std::vector<DesktopEntry> entries, const QStringList& excludedIds,
                                       const QString& title, const QString& message, QWidget* parent)
    : QDialog(parent), list_(new QListWidget) {
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    if (!message.isEmpty()) {
        auto* label = new QLabel(message);
        label->setWordWrap(true);
        layout->addWidget(label);
    }
    auto* search = new QLineEdit;
    search->setPlaceholderText(QStringLiteral("Search"));
    search->setClearButtonEnabled(true);
    list_->setObjectName(QStringLiteral("applications"));
    list_->setIconSize(QSize(20, 20));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
    QPushButton* add = buttons->addButton(QStringLiteral("Add"), QDialogButtonBox::AcceptRole);
    add->setEnabled(false);
    layout->addWidget(search);
    layout->addWidget(list_);
    layout->addWidget(buttons);
    resize(360, 440);

    std::erase_if(entries, [&](const DesktopEntry& e) { return e.noDisplay || excludedIds.contains(e.id); });
    std::sort(entries.begin(), entries.end(),
              [](const DesktopEntry& a, const DesktopEntry& b) { return a.name.localeAwareCompare(b.name) < 0; });
    // An application without an icon keeps the icon's place, so that every name starts in one column.
    QPixmap noIcon(list_->iconSize());
    noIcon.fill(Qt::transparent);
    for (const DesktopEntry& entry : entries) {
        QIcon icon = DesktopEntries::icon(entry);
        if (icon.isNull()) icon = QIcon(noIcon);
        auto* item = new QListWidgetItem(icon, entry.name.isEmpty() ? entry.id : entry.name);
        item->setData(kIdRole, entry.id);
        list_->addItem(item);
    }
    connect(search, &QLineEdit::textChanged, this, [this](const QString& text) {
        for (int i = 0; i < list_->count(); ++i)
            list_->item(i)->setHidden(!list_->item(i)->text().contains(text, Qt::CaseInsensitive));
    });
    connect(list_, &QListWidget::currentItemChanged, this,
            [add](QListWidgetItem* current) { add->setEnabled(current != nullptr); });
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(this, &QDialog::accepted, this, [this] {
        const QString id = chosenID();
        if (!id.isEmpty()) emit chosen(id);
    });
}

QString ApplicationChooser::chosenID() const {
    QListWidgetItem* item = list_->currentItem();
    return item ? item->data(kIdRole).toString() : QString();
}
