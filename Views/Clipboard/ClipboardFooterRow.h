#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class ShortcutBadge;

// A command of the clipboard popup's footer: its title and, when given, its key combination;
// accent-coloured while the pointer is over it; a click runs the action.
class ClipboardFooterRow : public QWidget {
    Q_OBJECT
public:
    static constexpr int rowHeight = 26;

    ClipboardFooterRow(QString title, std::optional<QString> shortcut, std::function<void()> action,
                       QWidget* parent = nullptr);

    QString title() const { return title_; }
    std::optional<QString> shortcut() const { return shortcut_; }
    bool isHovering() const { return hovering_; }
    ShortcutBadge* badge() const { return badge_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void setHovering(bool hovering);

    QString title_;
    std::optional<QString> shortcut_;
    std::function<void()> action_;
    bool hovering_ = false;
    bool pressed_ = false;
    ShortcutBadge* badge_ = nullptr;
};
