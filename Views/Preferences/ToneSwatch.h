#pragma once

#include "Views/Shared/PanelGlass.h"

#include <QAbstractButton>

// One tone of the glass: an 18-point dot of the tone's colour (a soft gradient, a faint rim) in a
// 24-point square, ringed in the accent colour when selected. Only the dot takes clicks. Its tool
// tip and accessible name are the tone's name capitalized; a selected swatch reads as checked.
class ToneSwatch : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int dot = 18;
    static constexpr int padding = 3;
    static constexpr int side = dot + 2 * padding;

    explicit ToneSwatch(PanelGlass::Tone tone, QWidget* parent = nullptr);

    PanelGlass::Tone tone() const { return tone_; }
    bool isSelected() const { return isChecked(); }
    void setSelected(bool selected) { setChecked(selected); }
    // The tone's raw value with its first letter in upper case ("System", "Graphite").
    static QString displayName(PanelGlass::Tone tone);

    QSize sizeHint() const override { return QSize(side, side); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    PanelGlass::Tone tone_;
};
