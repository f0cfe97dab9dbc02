#include "Views/Clipboard/ClipboardPreviewRootView.h"

#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Platform/Desktop/Workspace.h"
#include "Source/Features/Clipboard/ClipboardPopupLayout.h"
#include "Source/Features/Clipboard/ClipboardPreviewImageCache.h"
#include "Views/Shared/ContinuousCorners.h"
#include "Views/Shared/GlassCard.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QTextDocument>

#include <cmath>

namespace {

constexpr double kPadding = 12;

// The image scaled to fit inside 12 of padding, corners rounded; or the placeholder.
class ImagePreview final : public QWidget {
public:
    ImagePreview(QImage image, QWidget* parent) : QWidget(parent), image_(std::move(image)) {
        setAttribute(Qt::WA_TranslucentBackground);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        const QRectF room = QRectF(rect()).adjusted(kPadding, kPadding, -kPadding, -kPadding);
        if (image_.isNull()) {
            const QPalette& pal = palette();
            const QRectF symbol(room.center().x() - 14, room.center().y() - 26, 28, 28);
            Symbols::draw(p, symbol, QStringLiteral("photo.badge.exclamationmark"), SystemColors::secondary(pal), 28);
            p.setFont(SystemFont::font(12, QFont::DemiBold));
            p.setPen(SystemColors::secondary(pal));
            p.drawText(QRectF(room.left(), symbol.bottom() + 6, room.width(), 18), Qt::AlignCenter,
                       QStringLiteral("Изображение недоступно"));
            return;
        }
        const QSizeF size = image_.deviceIndependentSize();
        if (size.isEmpty() || room.isEmpty()) return;
        const double scale = std::min(room.width() / size.width(), room.height() / size.height());
        const QSizeF drawn(size.width() * scale, size.height() * scale);
        const QRectF target(room.center().x() - drawn.width() / 2, room.center().y() - drawn.height() / 2, drawn.width(),
                            drawn.height());
        p.setClipPath(ContinuousCorners::roundedRect(target, 6));
        p.drawImage(target, image_);
    }

private:
    QImage image_;
};

// One file: its icon and its name, cut in the middle when long.
class FileLine final : public QWidget {
public:
    FileLine(const QUrl& url, QWidget* parent) : QWidget(parent) {
        path_ = url.isLocalFile() ? url.toLocalFile() : url.toString();
        QString trimmed = path_;
        while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/'))) trimmed.chop(1);
        name_ = QFileInfo(trimmed).fileName();
        if (name_.isEmpty()) name_ = trimmed;
        icon_ = Workspace::shared().icon(path_);
        setFixedHeight(18);
        setAttribute(Qt::WA_TranslucentBackground);
    }
    QString name() const { return name_; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        if (!icon_.isNull()) {
            // Edged where it would fade into the card (a white page on light grey).
            // One picture of the icon per scale, so that the edged one is kept between paints.
            if (iconImage_.isNull() || iconScale_ != devicePixelRatioF()) {
                iconScale_ = devicePixelRatioF();
                iconImage_ = icon_.pixmap(QSize(18, 18), iconScale_).toImage();
            }
            p.drawImage(QRectF(0, 0, 18, 18), SystemColors::legibleIcon(iconImage_, GlassCard::surface(palette())));
        }
        p.setFont(SystemFont::font(12));
        p.setPen(SystemColors::primary(palette()));
        const QRectF text(18 + 8, 0, std::max(0, width() - 26), height());
        p.drawText(text, Qt::AlignVCenter | Qt::AlignLeft,
                   QFontMetricsF(p.font()).elidedText(name_, Qt::ElideMiddle, text.width()));
    }

private:
    QString path_, name_;
    QIcon icon_;
    QImage iconImage_;
    qreal iconScale_ = 0;
};

QScrollArea* bareScrollArea(QWidget* parent) {
    auto* area = new QScrollArea(parent);
    area->setFrameShape(QFrame::NoFrame);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setFocusPolicy(Qt::NoFocus);
    area->setAttribute(Qt::WA_TranslucentBackground);
    area->viewport()->setAutoFillBackground(false);
    area->setStyleSheet(QStringLiteral("QScrollArea { background: transparent; }"));
    return area;
}

}  // namespace

ClipboardPreviewRootView::ClipboardPreviewRootView(const ClipboardItem& item, const QStringList& infoLines,
                                                   double bodyWidth, double contentHeight, double infoHeight,
                                                   QWidget* parent)
    : QWidget(parent), item_(item), infoLines_(infoLines), bodyWidth_(bodyWidth), contentHeight_(contentHeight),
      infoHeight_(infoHeight) {
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    const int w = int(std::lround(bodyWidth_));
    setFixedSize(w, int(std::lround(contentHeight_ + 1 + infoHeight_)));
    switch (item_.content.kind()) {
    case ClipboardContent::Kind::text: content_ = makeText(); break;
    case ClipboardContent::Kind::image: content_ = makeImage(); break;
    case ClipboardContent::Kind::files: content_ = makeFiles(); break;
    }
    content_->setGeometry(0, 0, w, int(std::lround(contentHeight_)));
    // The information lines are painted by this view under the divider.
    metadata_ = new QWidget(this);
    metadata_->setAttribute(Qt::WA_TransparentForMouseEvents);
    metadata_->setAttribute(Qt::WA_TranslucentBackground);
    metadata_->setGeometry(0, int(std::lround(contentHeight_ + 1)), w, int(std::lround(infoHeight_)));
}

QWidget* ClipboardPreviewRootView::makeText() {
    text_ = new QPlainTextEdit(this);
    text_->setReadOnly(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text_->setFocusPolicy(Qt::NoFocus);
    text_->setFrameShape(QFrame::NoFrame);
    text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    text_->setFont(ClipboardPopupLayout::previewTextFont());
    text_->setAttribute(Qt::WA_TranslucentBackground);
    text_->viewport()->setAutoFillBackground(false);
    QPalette pal = text_->palette();
    pal.setColor(QPalette::Base, Qt::transparent);
    pal.setColor(QPalette::Text, SystemColors::primary(palette()));
    text_->setPalette(pal);
    text_->document()->setDocumentMargin(kPadding);
    // A long text shows its start; the information lines say how much of it that is.
    text_->setPlainText(ClipboardPopupLayout::previewText(item_.content));
    return text_;
}

QWidget* ClipboardPreviewRootView::makeImage() {
    QImage image;
    if (const ClipboardImageReference* reference = item_.content.imageReference())
        image = ClipboardPreviewImageCache::image(*reference);
    hasImage_ = !image.isNull();
    return new ImagePreview(image, this);
}

QWidget* ClipboardPreviewRootView::makeFiles() {
    QScrollArea* area = bareScrollArea(this);
    auto* list = new QWidget;
    list->setAttribute(Qt::WA_TranslucentBackground);
    const QList<QUrl> urls = item_.content.fileURLs();
    const int count = std::min<int>(int(urls.size()), maxFileLines);
    const int lineWidth = int(bodyWidth_ - 2 * kPadding);
    int y = int(kPadding);
    for (int i = 0; i < count; ++i) {
        auto* line = new FileLine(urls[i], list);
        line->setGeometry(int(kPadding), y, lineWidth, 18);
        files_ << line->name();
        y += 18 + 6;
    }
    list->setFixedSize(int(bodyWidth_), count > 0 ? y - 6 + int(kPadding) : int(2 * kPadding));
    area->setWidget(list);
    return area;
}

QString ClipboardPreviewRootView::shownText() const { return text_ ? text_->toPlainText() : QString(); }

QStringList ClipboardPreviewRootView::listedFiles() const { return files_; }

bool ClipboardPreviewRootView::hasImage() const { return hasImage_; }

void ClipboardPreviewRootView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    // The divider between content and information.
    const double dividerY = contentHeight_;
    p.fillRect(QRectF(kPadding, dividerY, bodyWidth_ - 2 * kPadding, 1), SystemColors::withOpacity(SystemColors::primary(pal), 0.1));

    double y = contentHeight_ + 1 + kPadding;
    const double x = kPadding, w = bodyWidth_ - 2 * kPadding;
    const QFont information = SystemFont::font(11, QFont::Medium);
    const QFont hint = SystemFont::font(11);
    for (const QString& line : infoLines_) {
        if (line.isEmpty()) {
            y += infoGapHeight;
            continue;
        }
        const bool isHint = line.startsWith(QStringLiteral("⌘"));
        p.setFont(isHint ? hint : information);
        p.setPen(isHint ? SystemColors::tertiary(pal) : SystemColors::secondary(pal));
        p.drawText(QRectF(x, y, w, infoLineHeight), Qt::AlignVCenter | Qt::AlignLeft,
                   QFontMetricsF(p.font()).elidedText(line, Qt::ElideRight, w));
        y += infoLineHeight;
    }
}
