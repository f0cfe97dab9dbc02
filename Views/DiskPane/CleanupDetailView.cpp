#include "Views/DiskPane/CleanupDetailView.h"

#include "Platform/Core/OneLine.h"
#include "Platform/Desktop/Workspace.h"
#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Source/Features/System/DiskCleanScanner.h"
#include "Source/Features/System/DiskPaneModel.h"
#include "Views/Shared/ClearScrollArea.h"
#include "Views/Shared/ContinuousCorners.h"
#include "Views/Shared/DetailNavigationBar.h"
#include "Views/Shared/GlassActionBar.h"
#include "Views/Shared/Recessed.h"
#include "Views/Shared/UnshownNote.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

QLabel* makeLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent = nullptr) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, color);
    pal.setColor(QPalette::Text, color);
    label->setPalette(pal);
    label->setAttribute(Qt::WA_TranslucentBackground);
    return label;
}

QLabel* selectable(QLabel* label) {
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setCursor(Qt::IBeamCursor);
    return label;
}

// A symbol drawn at a size in a fixed box.
class Glyph : public QWidget {
public:
    Glyph(QString symbol, double pointSize, QColor color, QSize box, QWidget* parent = nullptr)
        : QWidget(parent), symbol_(std::move(symbol)), pointSize_(pointSize), color_(color) {
        setAttribute(Qt::WA_TranslucentBackground);
        setFixedSize(box);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        Symbols::draw(p, QRectF(rect()), symbol_, color_, pointSize_ * 1.2);
    }

private:
    QString symbol_;
    double pointSize_;
    QColor color_;
};

// The green "Safe to Delete" note behind the consequence text.
class ConsequenceNote : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillPath(ContinuousCorners::roundedRect(QRectF(rect()), 9),
                   SystemColors::withOpacity(SystemColors::green(SystemColors::isDark(palette())), 0.1));
    }
};

// A caption over its content.
QWidget* field(const QString& caption, QWidget* content, const QPalette& palette) {
    auto* box = new QWidget;
    box->setAttribute(Qt::WA_TranslucentBackground);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    column->addWidget(makeLabel(caption, SystemFont::font(10, QFont::Medium), SystemColors::tertiary(palette)));
    column->addWidget(content);
    return box;
}

}  // namespace

CleanupDetailView::CleanupDetailView(CleanupItem item, Part part, std::function<void()> onBack,
                                     DiskCleanScanner& scanner, QWidget* parent)
    : QWidget(parent), item_(std::move(item)), part_(part), onBack_(std::move(onBack)), scanner_(scanner) {
    setAttribute(Qt::WA_TranslucentBackground);
    switch (part_) {
    case Part::navigation: buildNavigation(); break;
    case Part::main: buildMain(); break;
    case Part::actions: buildActions(); break;
    }
}

QString CleanupDetailView::location(const CleanupItem& item, const QString& home) {
    return DiskPaneModel::displayPath(item.paths.isEmpty() ? QString() : item.paths.first(), home);
}

void CleanupDetailView::showInFinder() {
    if (item_.paths.isEmpty()) return;
    QPointer<QWidget> near = window();
    const QString path = item_.paths.first();
    Workspace::shared().revealFile(path, [near, path](bool shown) {
        if (near && !shown) UnshownNote::showPath(near, QStringLiteral("Show in Finder"), path);
    });
}

void CleanupDetailView::moveToTrash() {
    scanner_.moveToTrash(item_, [](const DiskCleanScanner::TrashReport&) {});
    if (onBack_) onBack_();
}

void CleanupDetailView::buildNavigation() {
    auto* bar = new DetailNavigationBar(OneLine::of(item_.name), QStringLiteral("Back to reclaimable items"), onBack_,
                                        nullptr, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(bar);
}

void CleanupDetailView::buildActions() {
    auto* show = new QPushButton(QStringLiteral("Show in Finder"));
    auto* trash = new QPushButton(QStringLiteral("Move to Trash"));
    show->setCursor(Qt::PointingHandCursor);
    trash->setCursor(Qt::PointingHandCursor);
    show_ = show;
    trash_ = trash;
    connect(show, &QPushButton::clicked, this, &CleanupDetailView::showInFinder);
    connect(trash, &QPushButton::clicked, this, &CleanupDetailView::moveToTrash);
    auto* bar = new GlassActionBar(show, trash, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(bar);
}

void CleanupDetailView::buildMain() {
    const QPalette pal = palette();
    const QString home = DiskPaneModel::homePath();
    auto* scroll = new ClearScrollArea(this);
    scroll->setWidgetResizable(true);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);

    auto* content = new QWidget;
    content->setAttribute(Qt::WA_TranslucentBackground);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(2, 0, 2, 0);
    column->setSpacing(14);

    // Header.
    auto* header = new QHBoxLayout;
    header->setSpacing(10);
    header->addWidget(new Glyph(QStringLiteral("folder.fill"), 22, SystemColors::accent(pal), QSize(28, 28)));
    auto* names = new QVBoxLayout;
    names->setSpacing(1);
    auto* title = makeLabel(OneLine::of(item_.name), SystemFont::font(13, QFont::DemiBold), SystemColors::primary(pal));
    names->addWidget(title);
    names->addWidget(makeLabel(CleanupCategories::rawValue(item_.category), SystemFont::font(10),
                               SystemColors::secondary(pal)));
    header->addLayout(names, 1);
    column->addLayout(header);

    column->addWidget(field(QStringLiteral("Total Size"),
                            makeLabel(CleanupItem::format(item_.bytes), SystemFont::monospacedDigits(19, QFont::DemiBold),
                                      SystemColors::primary(pal)),
                            pal));

    location_ = selectable(makeLabel(location(item_, home), SystemFont::monospaced(11), SystemColors::secondary(pal)));
    location_->setWordWrap(true);
    column->addWidget(field(QStringLiteral("Location"), location_, pal));

    if (item_.paths.size() >= 2) {
        auto* lines = new QWidget;
        lines->setAttribute(Qt::WA_TranslucentBackground);
        auto* linesColumn = new QVBoxLayout(lines);
        linesColumn->setContentsMargins(8, 8, 8, 8);
        linesColumn->setSpacing(3);
        for (const QString& path : item_.paths) {
            auto* line = selectable(makeLabel(DiskPaneModel::displayPath(path, home), SystemFont::monospaced(10),
                                              SystemColors::tertiary(pal)));
            line->setWordWrap(true);
            linesColumn->addWidget(line);
            paths_ << line;
        }
        auto* well = new Recessed(8);
        well->setContent(lines);
        column->addWidget(field(QStringLiteral("All Paths"), well, pal));
    }

    auto* counts = new QHBoxLayout;
    counts->setSpacing(24);
    counts->addWidget(field(QStringLiteral("Items Found"),
                            makeLabel(QString::asprintf("%lld", static_cast<long long>(item_.itemCount)),
                                      SystemFont::monospacedDigits(13, QFont::Medium), SystemColors::primary(pal)),
                            pal));
    counts->addStretch(1);
    column->addLayout(counts);

    auto* note = new ConsequenceNote;
    auto* noteRow = new QHBoxLayout(note);
    noteRow->setContentsMargins(9, 9, 9, 9);
    noteRow->setSpacing(8);
    noteRow->addWidget(new Glyph(QStringLiteral("checkmark.shield.fill"), 13,
                                 SystemColors::green(SystemColors::isDark(pal)), QSize(16, 16)),
                       0, Qt::AlignTop);
    auto* noteText = new QVBoxLayout;
    noteText->setSpacing(2);
    noteText->addWidget(makeLabel(QStringLiteral("Safe to Delete"), SystemFont::font(11, QFont::DemiBold),
                                  SystemColors::primary(pal)));
    consequence_ = makeLabel(item_.consequence, SystemFont::font(10), SystemColors::secondary(pal));
    consequence_->setWordWrap(true);
    noteText->addWidget(consequence_);
    noteRow->addLayout(noteText, 1);
    column->addWidget(note);
    column->addStretch(1);
    scroll->setContent(content);
}
