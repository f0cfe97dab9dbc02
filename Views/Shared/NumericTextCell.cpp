#include "Views/Shared/NumericTextCell.h"

#include "Platform/Gui/SystemColors.h"
#include "Views/Shared/Motion.h"

#include <QCache>
#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QPainter>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {
constexpr double kShare = 0.55;   // how far the texts roll, in text heights
constexpr double kUnseen = 0.01;  // what is left of a roll below this: under a tenth of a pixel and 3/255

// A list of a few hundred rows shows many figures at once, often the same ones ("0.0 %"), and
// each roll draws two of them in every frame: laying a text out and shaping it costs far more
// than drawing its glyphs, so each is laid out once and kept while it is drawn.
constexpr int kKeptTexts = 1024;
int g_textsLaidOut = 0;
}  // namespace

int NumericTextCell::textsLaidOut() { return g_textsLaidOut; }

// Steps every rolling cell from one timer; it runs only while some cell rolls.
struct NumericTextCell::RollClock {
    static RollClock& shared() {
        static RollClock* clock = new RollClock;  // kept until the process ends
        return *clock;
    }
    double now() const { return double(since.nsecsElapsed()) / 1e9; }
    void add(NumericTextCell* cell) {
        if (std::find(cells.begin(), cells.end(), cell) == cells.end()) cells.push_back(cell);
        if (!timer.isActive()) timer.start();
    }
    void remove(NumericTextCell* cell) {
        cells.erase(std::remove(cells.begin(), cells.end(), cell), cells.end());
        if (cells.empty()) timer.stop();
    }
    void tick() {
        const double t = now();
        // A step may end a roll (and so leave the list); none makes or deletes a cell.
        const std::vector<NumericTextCell*> rolling = cells;
        for (NumericTextCell* cell : rolling)
            if (cell->rolling_) cell->step(cell->roll_.value(t - cell->rollStart_));
    }

    QTimer timer;
    QElapsedTimer since;
    std::vector<NumericTextCell*> cells;

private:
    RollClock() {
        since.start();
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(1000 / framesPerSecond);
        QObject::connect(&timer, &QTimer::timeout, [this] { tick(); });
    }
};

const NumericTextCell::LaidOutText& NumericTextCell::laidOut(const QString& text, const QFont& font) {
    static QCache<QString, LaidOutText> cache(kKeptTexts);
    const QString key = font.key() + QChar(0x1f) + text;
    if (const LaidOutText* kept = cache.object(key)) return *kept;
    ++g_textsLaidOut;
    auto* entry = new LaidOutText{text, font, QStaticText(text), 0, 0};
    entry->glyphs.setTextFormat(Qt::PlainText);
    entry->glyphs.prepare(QTransform(), font);
    const QFontMetricsF metrics(font);
    entry->width = metrics.horizontalAdvance(text);
    entry->height = metrics.ascent() + metrics.descent();
    cache.insert(key, entry);
    return *entry;
}

NumericTextCell::NumericTextCell(QWidget* parent) : QWidget(parent), color_(SystemColors::secondary(palette())) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

NumericTextCell::~NumericTextCell() { stopRolling(); }

void NumericTextCell::stopRolling() {
    if (!rolling_) return;
    rolling_ = false;
    RollClock::shared().remove(this);
}

void NumericTextCell::place(const QRectF& textRect, Qt::Alignment alignment) {
    QRect frame = textRect.adjusted(0, -2, 0, 2).toAlignedRect();
    if (parentWidget()) frame &= parentWidget()->rect();
    alignment_ = alignment;
    textRect_ = textRect.translated(-frame.topLeft());
    if (frame != geometry()) {
        dropPicture();
        setGeometry(frame);
    }
    drawnBoxes_ = QRect();  // the next frame repaints the whole cell
    update();
}

void NumericTextCell::setColor(const QColor& color) {
    if (color == color_) return;
    color_ = color;
    update();
}

void NumericTextCell::setText(const QString& text, bool animated) {
    if (text == text_) return;
    stopRolling();
    dropPicture();
    pictureDue_ = false;
    previous_ = text_;
    keptPrevious_ = keptText_;
    text_ = text;
    const QWindow* handle = window()->windowHandle();
    const bool seen = animated && !previous_.isEmpty() && isVisible() && handle && handle->isExposed() &&
                      !visibleRegion().isEmpty();
    if (!seen) {
        progress_ = 1;
        update();
        return;
    }
    progress_ = 0;
    lastFrameKey_ = frameKey(0);
    pictureDue_ = true;
    // Laid out now, so that each frame knows where the texts go.
    if (keptText_.text != text_ || keptText_.font != font()) keptText_ = laidOut(text_, font());
    if (keptPrevious_.text != previous_ || keptPrevious_.font != font()) keptPrevious_ = laidOut(previous_, font());
    drawnBoxes_ = QRect();
    roll_ = Motion::resolved(Motion::value());
    RollClock& clock = RollClock::shared();
    rollStart_ = clock.now();
    rolling_ = true;
    clock.add(this);
    // The picture waits until the list has laid every row out (rows may still move over the cell
    // in this turn of the loop); the first frame follows it.
    const uint64_t roll = ++rollNumber_;
    QMetaObject::invokeMethod(
        this,
        [this, roll] {
            if (!rolling_ || roll != rollNumber_ || !pictureDue_) return;
            pictureDue_ = false;
            takePicture();
            // The cell already shows the roll's first frame (the old figure where it stood): the
            // next step draws from there.
            lastFrameKey_ = frameKey(0);
            drawnBoxes_ = textBoxes(0);
        },
        Qt::QueuedConnection);
}

void NumericTextCell::step(double progress) {
    const bool ends = progress >= 1 || std::abs(1 - progress) < kUnseen;
    progress_ = ends ? 1 : progress;
    if (ends) stopRolling();  // the last frame is drawn below
    if (!under_.isNull() && !under_.fits()) dropPicture();
    const int key = frameKey(progress_);
    if (key == lastFrameKey_ && !ends) return;
    lastFrameKey_ = key;
    if (ends) pictureDue_ = false;
    if (pictureDue_) return;
    // Only where the texts were and are now: the rest of the cell looks as it did.
    const QRect boxes = textBoxes(progress_);
    update(boxes.isNull() || drawnBoxes_.isNull() ? rect() : boxes | drawnBoxes_);
    drawnBoxes_ = boxes;
}

// Where a text drawn with its top-left at `at` may leave ink, with a margin for antialiasing.
static QRect inkBox(QPointF at, double width, double height) {
    return QRectF(at.x() - 2, at.y() - 2, width + 4, height + 4).toAlignedRect();
}

QRect NumericTextCell::textBoxes(double progress) const {
    const QFont& f = font();
    if (keptText_.text != text_ || keptText_.font != f) return {};
    const double shift = textRect_.height() * kShare;
    const double p = std::clamp(progress, 0.0, 1.0);
    QRect boxes =
        inkBox(textOrigin(keptText_) + QPointF(0, p >= 1 ? 0 : shift * (1 - p)), keptText_.width, keptText_.height);
    if (p < 1 && !previous_.isEmpty()) {
        if (keptPrevious_.text != previous_ || keptPrevious_.font != f) return {};
        boxes |= inkBox(textOrigin(keptPrevious_) + QPointF(0, -shift * p), keptPrevious_.width, keptPrevious_.height);
    }
    return boxes & rect();
}

int NumericTextCell::frameKey(double progress) const {
    const double left = std::clamp(1 - progress, -1.0, 1.0);
    const int shift = int(std::lround(textRect_.height() * kShare * left * 2));
    const int fade = int(std::lround(left * 48));
    return shift * 1024 + fade;
}

void NumericTextCell::backgroundChanged() { dropPicture(); }

// Out of sight (its row gone from view, kept for another group) a roll ends at once, on the new
// figure.
void NumericTextCell::hideEvent(QHideEvent* event) {
    if (rolling_) {
        stopRolling();
        progress_ = 1;
        pictureDue_ = false;
    }
    dropPicture();
    QWidget::hideEvent(event);
}

// While the cell holds a picture, a move of its row or of the list under it drops the picture
// before the move is painted: painted at its new place, the picture would show what lay under the
// old one (another row's figures, say).
void NumericTextCell::takePicture() {
    if (!under_.take()) return;
    for (QWidget* w = parentWidget(); w && !w->isWindow(); w = w->parentWidget()) w->installEventFilter(this);
}

void NumericTextCell::dropPicture() {
    if (under_.isNull()) return;
    under_.drop();
    for (QWidget* w = parentWidget(); w && !w->isWindow(); w = w->parentWidget()) w->removeEventFilter(this);
}

bool NumericTextCell::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::Move) dropPicture();
    return false;
}

void NumericTextCell::drawText(QPainter& painter, const QString& text, LaidOutText& kept, double shift) {
    if (text.isEmpty()) return;
    if (kept.text != text || kept.font != painter.font()) kept = laidOut(text, painter.font());
    painter.drawStaticText(textOrigin(kept) + QPointF(0, shift), kept.glyphs);
}

// Placed as QPainter::drawText(rect, alignment, text) places one line.
QPointF NumericTextCell::textOrigin(const LaidOutText& laid) const {
    const QRectF& r = textRect_;
    double x = r.left();
    if (alignment_ & Qt::AlignRight)
        x = r.right() - laid.width;
    else if (alignment_ & Qt::AlignHCenter)
        x = r.left() + (r.width() - laid.width) / 2;
    double y = r.top();
    if (alignment_ & Qt::AlignBottom)
        y = r.bottom() - laid.height;
    else if (alignment_ & Qt::AlignVCenter)
        y = r.top() + (r.height() - laid.height) / 2;
    return QPointF(x, y);
}

void NumericTextCell::paintEvent(QPaintEvent*) {
    if (under_.isTaking()) return;
    ++paintCount_;
    QPainter painter(this);
    under_.paint(painter);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(font());
    if (progress_ >= 1 || previous_.isEmpty()) {
        painter.setPen(color_);
        drawText(painter, text_, keptText_, 0);
    } else {
        const double p = std::clamp(progress_, 0.0, 1.0);
        const double shift = textRect_.height() * kShare;
        painter.setPen(SystemColors::withOpacity(color_, 1 - p));
        drawText(painter, previous_, keptPrevious_, -shift * p);
        painter.setPen(SystemColors::withOpacity(color_, p));
        drawText(painter, text_, keptText_, shift * (1 - p));
    }
    // The last frame of a roll is drawn; from here on the parents paint under the cell again.
    if (progress_ >= 1) dropPicture();
}
