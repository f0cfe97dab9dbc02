#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>

#include <optional>

// A label with its symbol before the text, both in one font size and colour (the palette's primary
// label colour when none is given).
class SymbolLabel : public QWidget {
    Q_OBJECT
public:
    SymbolLabel(const QString& symbol, const QString& text, const QFont& font,
                std::optional<QColor> color = std::nullopt, QWidget* parent = nullptr);

    QString symbol() const { return symbol_; }
    QString text() const { return text_; }
    void setColor(std::optional<QColor> color);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString symbol_;
    QString text_;
    QFont font_;
    std::optional<QColor> color_;
};
