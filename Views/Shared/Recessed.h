#pragma once

#include <QWidget>

class QPainter;

// A recessed well behind content: a rounded rectangle with continuous corners filled with the
// quaternary label colour at half opacity.
class Recessed : public QWidget {
    Q_OBJECT
public:
    explicit Recessed(double cornerRadius, QWidget* parent = nullptr);

    double cornerRadius() const { return cornerRadius_; }
    // Puts content on the well, filling it (earlier content is deleted).
    void setContent(QWidget* content);
    QWidget* content() const { return content_; }

    static void paint(QPainter& painter, const QRectF& rect, double cornerRadius, const QPalette& palette);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double cornerRadius_;
    QWidget* content_ = nullptr;
};

// Puts content on a new recessed well and returns the well (which takes the content's place in
// its parent's layout).
Recessed* recessed(QWidget* content, double cornerRadius);
