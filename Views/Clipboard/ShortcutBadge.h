#pragma once

#include <QString>
#include <QWidget>

// A key combination shown as a small rounded badge, for example the command sign and a digit.
// It keeps its own size and is never squeezed.
class ShortcutBadge : public QWidget {
    Q_OBJECT
public:
    explicit ShortcutBadge(QString keys, bool isOnAccent = false, QWidget* parent = nullptr);

    QString keys() const { return keys_; }
    void setKeys(const QString& keys);
    bool isOnAccent() const { return isOnAccent_; }
    void setOnAccent(bool onAccent);

    static QFont badgeFont();
    // The badge's size for its text: 5 left and right, 1 above and below.
    static QSize sizeFor(const QString& keys);
    QSize sizeHint() const override { return sizeFor(keys_); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString keys_;
    bool isOnAccent_;
};
