#include "Views/Onboarding/ReleaseDetail.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Views/Onboarding/ReleaseBanner.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace {

QLabel* text(const QString& content, const QFont& font, const QColor& colour) {
    auto* label = new QLabel(content);
    label->setFont(font);
    label->setTextFormat(Qt::PlainText);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}

// A one-pixel line in the separator colour.
class Divider : public QWidget {
public:
    Divider() { setFixedHeight(1); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), SystemColors::withOpacity(palette().color(QPalette::WindowText), 0.12));
    }
};

}  // namespace

ReleaseDetail::ReleaseDetail(Release release, PixelScene::Theme scene, QWidget* parent)
    : QScrollArea(parent), release_(std::move(release)), scene_(std::move(scene)) {
    setObjectName(QStringLiteral("ReleaseDetail"));
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(true);

    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("ReleaseDetailContent"));
    auto* page = new QVBoxLayout(content);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);

    banner_ = new ReleaseBanner(release_.image, scene_);
    banner_->setFixedHeight(bannerHeight);
    page->addWidget(banner_);

    column_ = new QWidget;
    column_->setObjectName(QStringLiteral("ReleaseColumn"));
    column_->setMaximumWidth(columnMaximumWidth);
    auto* column = new QVBoxLayout(column_);
    column->setContentsMargins(64, 28, 64, 28);
    column->setSpacing(18);

    auto* heading = new QVBoxLayout;
    heading->setSpacing(4);
    QFont titleFont = SystemFont::font(30, QFont::Normal);
    titleFont.setLetterSpacing(QFont::AbsoluteSpacing, -0.4);
    auto* title = text(QStringLiteral("Quorvin v") + release_.version, titleFont, SystemColors::primary(palette()));
    title->setObjectName(QStringLiteral("ReleaseTitle"));
    title->setWordWrap(true);
    heading->addWidget(title);
    auto* date = text(release_.date, SystemFont::font(13), SystemColors::secondary(palette()));
    date->setObjectName(QStringLiteral("ReleaseDate"));
    heading->addWidget(date);
    column->addLayout(heading);

    column->addWidget(new Divider);

    auto* notes = new QVBoxLayout;
    notes->setSpacing(8);
    for (const QString& note : release_.notes) {
        auto* row = new QHBoxLayout;
        row->setSpacing(10);
        auto* bullet = text(QStringLiteral("•"), SystemFont::font(13), SystemColors::secondary(palette()));
        row->addWidget(bullet, 0, Qt::AlignTop);
        auto* line = text(note, SystemFont::font(13), SystemColors::primary(palette()));
        line->setObjectName(QStringLiteral("ReleaseNote"));
        line->setWordWrap(true);
        line->setTextInteractionFlags(Qt::TextSelectableByMouse);
        row->addWidget(line, 1, Qt::AlignTop);
        notes->addLayout(row);
    }
    column->addLayout(notes);

    // Up to 640 points at the left; the rest of a wide window stays empty.
    column_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* band = new QHBoxLayout;
    band->setContentsMargins(0, 0, 0, 0);
    band->addWidget(column_, 1);
    band->addStretch(0);
    page->addLayout(band);
    page->addStretch(1);
    setWidget(content);
}

QStringList ReleaseDetail::noteTexts() const {
    QStringList texts;
    for (const QLabel* label : column_->findChildren<QLabel*>(QStringLiteral("ReleaseNote"))) texts << label->text();
    return texts;
}
