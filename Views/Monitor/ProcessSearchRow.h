#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;
class QLineEdit;
class MonitorPopupModel;
class SymbolButton;

namespace Motion {
class Animator;
}

// The search row above the process list: a magnifying glass, the name filter, while a sample is
// pinned its time with a "Live" button, and while there is search text a clear button.
class ProcessSearchRow : public QWidget {
    Q_OBJECT
public:
    static constexpr int rowHeight = 38;

    explicit ProcessSearchRow(MonitorPopupModel& model, QWidget* parent = nullptr);

    QLineEdit* field() const { return field_; }
    QLabel* pinnedTime() const { return pinnedTime_; }
    SymbolButton* liveButton() const { return live_; }
    SymbolButton* clearButton() const { return clear_; }

    // The pinned time: hour, minute and second in two digits each, without an AM/PM marker.
    static QString pinnedTimeText(const QDateTime& at);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void syncPinned();
    void syncClear();

    MonitorPopupModel& model_;
    SymbolButton* glass_ = nullptr;
    QLineEdit* field_ = nullptr;
    QLabel* pinnedTime_ = nullptr;
    SymbolButton* live_ = nullptr;
    SymbolButton* clear_ = nullptr;
    QPointer<Motion::Animator> clearFade_;
};
