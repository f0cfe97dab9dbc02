#pragma once

#include <QWidget>

class QPainter;

// The card look of the toolbox panes: the content padded by 12 on every edge, as wide as it may be,
// on a rounded rectangle with continuous corners filled with the quaternary label colour at half
// opacity. No border, no shadow. With no padding and radius 12 it is the surface under the JSON
// tree pane's editor and tree.
class ContentCard : public QWidget {
    Q_OBJECT
public:
    static constexpr int padding = 12;
    static constexpr double surfaceRadius = 12;

    ContentCard(QWidget* content, double cornerRadius, int padding = ContentCard::padding, QWidget* parent = nullptr);

    double cornerRadius() const { return cornerRadius_; }
    QWidget* content() const { return content_; }

    static void paint(QPainter& painter, const QRectF& rect, double cornerRadius, const QPalette& palette);
    // The card's fill as it shows on the palette's window background.
    static QColor surface(const QPalette& palette);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double cornerRadius_;
    QWidget* content_;
};

// The content in the card look with radius r (every toolbox pane passes 10).
ContentCard* contentCard(QWidget* content, double cornerRadius);
// The content flush on the rounded surface of radius 12.
ContentCard* settingsSurface(QWidget* content);
