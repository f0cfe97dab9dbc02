#pragma once

#include <QStringList>
#include <QWidget>

// A segmented control: one segment per title, exactly one chosen. A click or the arrow keys
// choose a segment and emit activated(); setCurrentIndex() does not.
class SegmentedPicker : public QWidget {
    Q_OBJECT
public:
    explicit SegmentedPicker(const QStringList& titles, QWidget* parent = nullptr);

    int currentIndex() const { return current_; }
    void setCurrentIndex(int index);
    int count() const { return int(titles_.size()); }
    QString title(int index) const { return titles_.value(index); }
    // The segment under a point, or -1.
    int segmentAt(const QPoint& point) const;
    QRectF segmentRect(int index) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void activated(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void choose(int index);

    QStringList titles_;
    int current_ = 0;
};
