#pragma once

#include <QColor>
#include <QLabel>

#include <optional>

// A label in one of the label styles (or a fixed hue), kept in step with its palette.
class InkLabel : public QLabel {
    Q_OBJECT
public:
    enum class Ink { primary, secondary, tertiary };

    InkLabel(const QString& text, const QFont& font, Ink ink = Ink::primary, QWidget* parent = nullptr);

    void setInk(Ink ink);
    // A colour taken over the style; std::nullopt goes back to the style.
    void setColor(std::optional<QColor> color);
    QColor color() const;

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyColor();

    Ink ink_;
    std::optional<QColor> color_;
};
