#pragma once

#include <QHash>
#include <QList>
#include <QUuid>
#include <QWidget>

#include <vector>

class ClipboardMenuRow;
class ClipboardPopupModel;
class QTimer;

// The clipboard popup's history list: the model's rows in a scrolling area without scroll
// bars. Only the rows in view exist as widgets (the history may hold thousands), and they are
// reused as the list scrolls or changes. Rows change without animation. While the wheel turns
// the list reports a scroll phase to the model, and it keeps the model's scrollViewportMinY at
// its offset.
class ClipboardHistoryList : public QWidget {
    Q_OBJECT
public:
    static constexpr int emptyLineHeight = 56;
    static constexpr int scrollEndDelayMs = 180;

    explicit ClipboardHistoryList(ClipboardPopupModel& model, QWidget* parent = nullptr);

    // The content's height: 6 above the rows, the rows, 6 below.
    double contentHeight() const;
    double scrollOffset() const { return offset_; }
    double maximumScrollOffset() const;
    void setScrollOffset(double offset);
    // Scrolls so that the row stands in the middle of the list, as far as the content allows.
    void scrollRowToCentre(int row);

    // The row widgets in view, top to bottom.
    QList<ClipboardMenuRow*> visibleRows() const;
    ClipboardMenuRow* rowFor(const QUuid& id) const { return shown_.value(id, nullptr); }
    // The empty-state text, or empty when there are rows.
    QString emptyText() const;

protected:
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void reload();
    void layoutRows();
    void updateHighlights();
    ClipboardMenuRow* makeRow();
    void rowHovered(ClipboardMenuRow* row, bool inside);

    ClipboardPopupModel& model_;
    std::vector<double> tops_;  // row i's top in the content; one more entry for the end
    double offset_ = 0;
    QHash<QUuid, ClipboardMenuRow*> shown_;
    QList<ClipboardMenuRow*> spare_;
    QTimer* scrollEnd_ = nullptr;
    bool scrolling_ = false;
};
