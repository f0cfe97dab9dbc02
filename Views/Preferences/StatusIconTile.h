#pragma once

#include "Views/Shared/Motion.h"

#include <QAbstractButton>
#include <QImage>
#include <QString>

// One choice of the status-icon grid: a 44 × 44 rounded square (accent-tinted when selected,
// faintly lit under the pointer) with the choice's template image at its own size, unsmoothed, in
// the primary colour; a selected tile also has an accent ring. Shrinks a little while pressed.
class StatusIconTile : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int side = 44;
    static constexpr double cornerRadius = 9;

    StatusIconTile(QString id, QImage image, const QString& toolTip, QWidget* parent = nullptr);

    QString id() const { return id_; }
    bool isSelected() const { return selected_; }
    void setSelected(bool selected);
    bool isHovered() const { return hovered_; }
    bool hasImage() const { return !image_.isNull(); }
    // The fill's opacity over its colour now: 0.22 of the accent selected, else 0.09 or 0.05 of
    // the primary colour under the pointer or not (the hover change animates).
    double fillOpacity() const;

    QSize sizeHint() const override { return QSize(side, side); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QString id_;
    QImage image_;
    bool selected_ = false;
    bool hovered_ = false;
    Motion::AnimatedValue hover_;
};
