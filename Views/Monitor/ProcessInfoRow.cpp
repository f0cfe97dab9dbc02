#include "Views/Monitor/ProcessInfoRow.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Views/Shared/CopyButton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

// The value: at most two lines, cut in the middle.
QString twoLines(const QString& text, const QFont& font, int width) {
    const QFontMetrics m(font);
    if (width <= 0 || m.horizontalAdvance(text) <= width) return text;
    const QString fitted = m.elidedText(text, Qt::ElideMiddle, width * 2 - m.averageCharWidth());
    // Break where the first line is full.
    int cut = 1;
    while (cut < fitted.size() && m.horizontalAdvance(fitted.left(cut + 1)) <= width) ++cut;
    return fitted.left(cut) + QLatin1Char('\n') + fitted.mid(cut);
}

class InfoValue : public QLabel {
public:
    InfoValue(QString value, QWidget* parent) : QLabel(parent), value_(std::move(value)) {
        setFont(SystemFont::monospaced(10));
        QPalette pal = palette();
        pal.setColor(QPalette::WindowText, SystemColors::secondary(palette()));
        setPalette(pal);
        setTextInteractionFlags(Qt::TextSelectableByMouse);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        setText(value_);
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        const QString shown = twoLines(value_, font(), width());
        if (shown != text()) setText(shown);
    }

private:
    QString value_;
};

}  // namespace

QVBoxLayout* ProcessInfoRow::make(const QString& label, const QString& value, bool copyable, QWidget* parent) {
    auto* block = new QVBoxLayout;
    block->setSpacing(2);
    auto* caption = new QLabel(label, parent);
    caption->setFont(SystemFont::font(9, QFont::Medium));
    QPalette captionPalette = caption->palette();
    captionPalette.setColor(QPalette::WindowText, SystemColors::tertiary(parent->palette()));
    caption->setPalette(captionPalette);
    block->addWidget(caption);
    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    row->addWidget(new InfoValue(value, parent), 1);
    if (copyable) row->addWidget(new CopyButton(value, label.toLower(), parent), 0, Qt::AlignVCenter);
    block->addLayout(row);
    return block;
}
