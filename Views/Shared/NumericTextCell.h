#pragma once

#include "Views/Shared/Motion.h"
#include "Views/Shared/UnderlayPicture.h"

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QStaticText>
#include <QString>
#include <QWidget>

// A changing figure in a small widget of its own. A new text rolls in from below while the old
// one rolls out upward and fades (Motion.value; a 0.2 s ease-in-out under Reduce Motion), only
// while the cell is on screen, and each frame repaints the cell alone: the roll starts by taking
// a picture of what lies under the cell, and the cell paints that picture and its texts opaquely
// until the roll ends. When what lies under it changes meanwhile (a hover, a move of the cell or
// of its row, a scroll, an effect on the way), the cell goes back to painting over its parents. Frames that would look
// the same are not drawn, and the roll ends once what is left of it can no longer be seen. One
// clock steps every rolling cell at 30 frames a second: a list's figures change together, and
// each frame costs a paint and a flush of every cell that rolls.
class QPainter;

class NumericTextCell : public QWidget {
    Q_OBJECT
public:
    explicit NumericTextCell(QWidget* parent = nullptr);
    ~NumericTextCell() override;

    const QString& text() const { return text_; }
    // Changes the text; rolls when asked and the cell can be seen.
    void setText(const QString& text, bool animated);
    // Where the text goes, in the parent's coordinates; the cell spans it and 2 pixels above and
    // below (within the parent).
    void place(const QRectF& textRect, Qt::Alignment alignment);
    void setColor(const QColor& color);
    QColor color() const { return color_; }

    bool isAnimating() const { return rolling_; }
    // Frames a second of a roll.
    static constexpr int framesPerSecond = 30;
    // Whether the running roll paints opaquely over its picture of what lies under it.
    bool paintsOpaquely() const { return !under_.isNull(); }
    // What lies under the cell changed (its row's hover): the picture is dropped.
    void backgroundChanged();
    // Frames drawn (paint events) since the cell was made.
    int paintCount() const { return paintCount_; }
    // Texts laid out by all cells so far: each distinct text and font is laid out once while
    // it is among the recently drawn ones.
    static int textsLaidOut();

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct RollClock;
    void stopRolling();
    void step(double progress);
    void takePicture();
    void dropPicture();
    // The look of a frame: the texts' shift in half pixels and their opacity in 48ths; a step
    // that changes neither is not drawn.
    int frameKey(double progress) const;
    // A text laid out in a font once, with the size it takes.
    struct LaidOutText {
        QString text;
        QFont font;
        QStaticText glyphs;
        double width = 0;
        double height = 0;
    };
    static const LaidOutText& laidOut(const QString& text, const QFont& font);
    // Draws text (kept in `kept` for the frames to come) placed in textRect_ as the alignment asks.
    void drawText(QPainter& painter, const QString& text, LaidOutText& kept, double shift);
    QPointF textOrigin(const LaidOutText& laid) const;
    // Where the frame at this progress draws its texts; null when they are not laid out yet.
    QRect textBoxes(double progress) const;

    QString text_;
    QString previous_;
    LaidOutText keptText_;
    LaidOutText keptPrevious_;
    QColor color_;
    QRectF textRect_;  // in the cell's coordinates
    QRect drawnBoxes_;  // where the last frame asked for drew its texts
    Qt::Alignment alignment_ = Qt::AlignRight | Qt::AlignVCenter;
    double progress_ = 1;
    int lastFrameKey_ = -1;
    bool rolling_ = false;
    uint64_t rollNumber_ = 0;  // tells a roll's queued picture from a later roll's
    double rollStart_ = 0;  // on the clock, seconds
    Motion::Animation roll_;
    UnderlayPicture under_{this};
    bool pictureDue_ = false;  // a roll waits for its picture before its first frame
    int paintCount_ = 0;
};
