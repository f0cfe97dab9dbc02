#pragma once

#include <QAbstractButton>
#include <QPointer>
#include <QString>

namespace Motion {
class Animator;
}

// A push button of the toolbox panes: an optional symbol before the title, in the bordered,
// bordered-prominent (accent fill) or borderless look, at the small, regular or large control
// size. A new title cross-fades with the old one (Motion.state; a 0.2 s ease-in-out under
// Reduce Motion).
class PaneButton : public QAbstractButton {
    Q_OBJECT
public:
    enum class Look { bordered, prominent, borderless };
    enum class ControlSize { small, regular, large };

    PaneButton(const QString& title, const QString& symbol, Look look, ControlSize size, QWidget* parent = nullptr);

    QString title() const { return text(); }
    QString symbol() const { return symbol_; }
    Look look() const { return look_; }
    // Changes the title; animated unless told otherwise.
    void setTitle(const QString& title, bool animated = true);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int controlHeight() const;
    double fontSize() const;
    double contentWidth(const QString& title) const;
    void paintContent(QPainter& painter, const QString& title, const QColor& ink) const;

    QString symbol_;
    Look look_;
    ControlSize size_;
    QString previousTitle_;
    double fade_ = 1;  // 0 shows the previous title, 1 the current one
    bool hovered_ = false;
    QPointer<Motion::Animator> animator_;
};
