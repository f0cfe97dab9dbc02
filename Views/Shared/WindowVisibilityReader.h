#pragma once

#include <QPointer>
#include <QWidget>

class QWindow;

// Shows nothing; reports whether the window that hosts it is visible on screen: shown, not
// minimised and exposed. The value is written to the bound flag (and signalled) later on the
// GUI thread, and only when it differs from the flag. Without a window (no parent, or a window
// never shown) it reports false. Moving the reader into another window follows that window.
class WindowVisibilityReader : public QWidget {
    Q_OBJECT
public:
    // isVisible: the owner's flag, written on changes (may be nullptr; the signal still fires).
    explicit WindowVisibilityReader(bool* isVisible, QWidget* parent = nullptr);
    ~WindowVisibilityReader() override;

    // The last value reported (the bound flag's value when the reader was made).
    bool reportedVisible() const { return reported_; }
    // Whether the hosting window is visible now.
    bool hostWindowVisible() const;

signals:
    void isVisibleChanged(bool isVisible);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void watchChain();
    void watchWindowHandle();
    void scheduleReport();
    void report();

    bool* binding_;
    bool reported_;
    bool reportPending_ = false;
    QList<QPointer<QWidget>> chain_;
    QPointer<QWindow> handle_;
    QMetaObject::Connection visibilityConnection_;
};
