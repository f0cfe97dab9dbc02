#pragma once

#include <QWidget>

class QVBoxLayout;

// The card every toolbox pane puts around its editors and controls: a rounded rectangle with
// continuous corners filled with the quaternary style at half opacity, no border, no shadow.
// The content sits 12 points inside it, plus its own padding.
class PaneCard : public QWidget {
    Q_OBJECT
public:
    static constexpr double cornerRadius = 10;
    static constexpr int inset = 12;

    explicit PaneCard(int padding = 0, QWidget* parent = nullptr);

    QVBoxLayout* contentLayout() const { return layout_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QVBoxLayout* layout_;
};
