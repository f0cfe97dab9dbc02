#pragma once

#include "Views/Shared/HoverPressRow.h"

#include <QString>

#include <functional>
#include <optional>

class ShortcutBadge;

// A command of the clipboard popup's footer: its title and, when given, its key combination;
// accent-coloured while the pointer is over it; a click runs the action.
class ClipboardFooterRow : public HoverPressRow {
    Q_OBJECT
public:
    static constexpr int rowHeight = 26;

    ClipboardFooterRow(QString title, std::optional<QString> shortcut, std::function<void()> action,
                       QWidget* parent = nullptr);

    QString title() const { return title_; }
    std::optional<QString> shortcut() const { return shortcut_; }
    ShortcutBadge* badge() const { return badge_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hoverStateChanged(bool hovered) override;

private:
    QString title_;
    std::optional<QString> shortcut_;
    std::function<void()> action_;
    ShortcutBadge* badge_ = nullptr;
};
