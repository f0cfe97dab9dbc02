#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QString>

#include <optional>

// A plain button that shows one symbol (or, with no symbol, its text) in a colour and size,
// centred in its frame; its whole rectangle takes clicks. With no click handler it is a plain
// symbol image.
class SymbolButton : public QAbstractButton {
    Q_OBJECT
public:
    SymbolButton(QString symbol, double pointSize, QFont::Weight weight = QFont::Normal, QWidget* parent = nullptr);

    QString symbol() const { return symbol_; }
    void setSymbol(const QString& symbol);
    // The colour; without one the palette's secondary label colour.
    void setColor(std::optional<QColor> color);
    void setTextFont(const QFont& font);
    void setRotation(double degrees);
    double rotation() const { return rotation_; }
    void setContentOpacity(double opacity);
    double contentOpacity() const { return opacity_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString symbol_;
    double pointSize_;
    QFont::Weight weight_;
    std::optional<QColor> color_;
    double rotation_ = 0;
    double opacity_ = 1;
};
